#include "seq/FrameBracket.h"

#include <algorithm>

namespace vialto::seq {

FrameBracket::FrameBracket(int32_t target, int64_t first, int64_t end, int32_t frameCount)
    : target_(target),
      low_(std::clamp<int64_t>(first, 0, std::max<int64_t>(end, 0))),
      lowNo_(0),
      high_(std::max<int64_t>(end, 0)),
      highNo_(frameCount > target ? frameCount : -1) {}

FrameBracket::Verdict FrameBracket::Note(const MarkerHit& hit) {
  if (hit.frameNo == target_) {
    if (!found_) foundPos_ = hit.pos;
    found_ = true;
    return Verdict::kTarget;
  }
  if (hit.pos < low_ || hit.pos >= high_) return Verdict::kIgnored;
  if (hit.frameNo < target_) {
    if (hit.frameNo < lowNo_) return Verdict::kIgnored;
    // The target starts behind this frame; a length that leaves the bracket is not believed.
    const bool sane =
        hit.frameLen >= static_cast<int32_t>(kSubHeadBytes) && hit.pos + hit.frameLen <= high_;
    low_ = sane ? hit.pos + hit.frameLen : hit.pos + static_cast<int64_t>(sizeof kFrameMarker);
    lowNo_ = int64_t{hit.frameNo} + 1;
  } else {
    if (highNo_ >= 0 && hit.frameNo >= highNo_) return Verdict::kIgnored;
    high_ = hit.pos;
    highNo_ = hit.frameNo;
  }
  return Verdict::kNarrowed;
}

void FrameBracket::NoteScanned(int64_t from, int64_t to) {
  if (found_ || from >= to) return;
  if (from <= low_ && to > low_) low_ = to;
  if (from < high_ && to >= high_) high_ = from;
}

int64_t FrameBracket::Interpolated() const {
  if (highNo_ <= lowNo_ || target_ < lowNo_) return Middle();
  const double share =
      static_cast<double>(target_ - lowNo_) / static_cast<double>(highNo_ - lowNo_);
  const auto at = low_ + static_cast<int64_t>(share * static_cast<double>(high_ - low_));
  return std::clamp(at, low_, std::max(low_, high_ - 1));
}

int64_t FrameBracket::AverageFrameLength() const {
  if (highNo_ <= lowNo_ || high_ <= low_) return 0;
  return (high_ - low_) / (highNo_ - lowNo_);
}

}  // namespace vialto::seq
