// The search that finishes what the window search leaves open: it narrows the bracket around the
// target's frame with one window per step, aimed where the frame numbers of the bounds put the
// target (interpolation) and, when a step fails to halve the bracket, at its middle (bisection).
// A window that holds no marker lies inside one long frame; the next one carries on behind it,
// twice as long, until a marker shows. The cost stays within about twice log2(frames) windows.
#include <algorithm>
#include <bit>

#include "seq/FrameBracket.h"
#include "seq/SearchWindow.h"
#include "seq/SerFileDecode.h"

namespace seq = vialto::seq;

namespace {

constexpr int64_t kMinProbe = 256;
// A probe window is sized to the frames the bracket holds, up to this many search windows...
constexpr int64_t kMaxProbeGrowth = 16;
// ... and this many bytes, unless the search window itself is longer.
constexpr int64_t kMaxProbeBytes = int64_t{16} << 20;

// Enough steps for any file whose frame numbers rise along it; a bound for those that do not.
int ProbeLimit(int64_t span, int64_t probe) {
  const auto windows = static_cast<uint64_t>(span / probe + 1);
  return 4 * std::bit_width(windows) + 16;
}

struct ProbePlan {
  int64_t start;
  int64_t length;  // scanned: length + kScanSlack, read: length + kWindowSlack
};

// Where the next window goes and how long it is.
ProbePlan PlanProbe(const seq::FrameBracket& bracket, int64_t base, int64_t capacity,
                    bool interpolate) {
  const int64_t length = std::clamp(bracket.AverageFrameLength(), base, capacity);
  const int64_t low = bracket.Low();
  const int64_t high = bracket.High();
  if (high - low <= length + seq::kScanSlack) return {low, length};  // one window covers the rest
  const int64_t aim = interpolate ? bracket.Interpolated() : bracket.Middle();
  return {std::max(low, std::min(aim - length / 2, high - length)), length};
}

}  // namespace

int CSerFileDecode::NarrowToFrame(seq::FrameBracket& bracket, int64_t window) {
  if (bracket.Settled()) return bracket.Found() ? 1 : 0;
  const int64_t base = std::max(window, kMinProbe);
  const int64_t capacity = std::max(base, std::min(base * kMaxProbeGrowth, kMaxProbeBytes));
  seq::WindowBuffer buffer(static_cast<std::size_t>(capacity + seq::kWindowSlack));
  if (!buffer.bytes) return 0;

  const int limit = ProbeLimit(bracket.High() - bracket.Low(), base);
  bool interpolate = true;
  bool carryOn = false;  // the last window held no marker: read on behind it
  ProbePlan plan{0, 0};
  int64_t runStart = 0;  // where the windows read back to back without a marker began
  for (int probe = 0; probe < limit && !bracket.Settled(); ++probe) {
    const int64_t span = bracket.High() - bracket.Low();
    plan = carryOn ? ProbePlan{plan.start + plan.length + seq::kScanSlack,
                               std::min(plan.length * 2, capacity)}
                   : PlanProbe(bracket, base, capacity, interpolate);
    if (!ReadWindow(plan.start, buffer.bytes,
                    static_cast<std::size_t>(plan.length + seq::kWindowSlack)))
      return 0;
    if (!carryOn) runStart = plan.start;
    bool narrowed = false;
    const int64_t scanned = plan.length + seq::kScanSlack;
    seq::ForEachMarker(buffer.bytes, plan.start, scanned, [&](const seq::MarkerHit& hit) {
      const auto verdict = bracket.Note(hit);
      narrowed = narrowed || verdict == seq::FrameBracket::Verdict::kNarrowed;
      return verdict != seq::FrameBracket::Verdict::kTarget;
    });
    if (bracket.Found()) break;
    // The whole run of windows read back to back holds no marker of the target: reaching a bound
    // moves it back to where the run began, not just to the last window's start.
    bracket.NoteScanned(runStart, plan.start + scanned);
    // Only markers the bracket could use count: ignored ones are as good as none.
    carryOn = !narrowed && plan.start + scanned < bracket.High();
    // An aim that fails to halve the bracket hands the next step to bisection.
    interpolate = bracket.High() - bracket.Low() <= span / 2;
  }
  return bracket.Found() ? 1 : 0;
}
