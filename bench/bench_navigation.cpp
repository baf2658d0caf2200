// Navigation over a local 10,000-frame "se1" file: random absolute moves (the windowed search)
// and a full forward walk, against a plain pread loop over the same sub-header chain.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <random>

#include "seq/SerFileDecode.h"
#include "support/SampleBuilder.h"
#include "support/TestUtil.h"

namespace {

using vialto::test::Se1Sample;
constexpr int kFrames = 10000;

// One file for the whole run, with frame lengths that vary by a few KB.
const std::string& SampleFile() {
  static vialto::test::TempDir dir;
  static const std::string path = [] {
    Se1Sample sample;
    sample.AddFrames(kFrames);
    for (int i = 0; i < kFrames; ++i) sample.Frame(i).padding = (i * 7919) % 3000;
    const std::string file = dir.File("bench.se1");
    sample.Write(file);
    return file;
  }();
  return path;
}

// Counts the reads larger than one sub-header: the search windows.
class WindowCounter : public vialto::platform::ByteSource {
 public:
  explicit WindowCounter(std::unique_ptr<vialto::platform::ByteSource> inner)
      : inner_(std::move(inner)) {}
  int64_t Length() const override { return inner_->Length(); }
  bool ReadAt(int64_t pos, void* buf, std::size_t n, std::size_t* got) override {
    windows += n > 64;
    return inner_->ReadAt(pos, buf, n, got);
  }
  int64_t windows = 0;

 private:
  std::unique_ptr<vialto::platform::ByteSource> inner_;
};

struct OpenDecoder {
  OpenDecoder() : handle(Ser_CreateSerFileDecode()) {
    if (Ser_SetSerFileName(handle, SampleFile().c_str()) != 1) handle = nullptr;
  }
  ~OpenDecoder() { Ser_FinishSerFileDecode(handle); }
  CSerFileDecode* handle;
};

void MoveToRandomFrames(benchmark::State& state) {
  OpenDecoder d;
  if (!d.handle) return state.SkipWithError("cannot open the sample");
  auto& object = *reinterpret_cast<CSerFileDecode*>(d.handle);
  auto counter = std::make_unique<WindowCounter>(std::move(object.m_pFile));
  WindowCounter* windows = counter.get();
  object.m_pFile = std::move(counter);
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> pick(0, kFrames - 1);
  int64_t searches = 0;
  for (auto _ : state) {
    const int target = pick(rng);
    if (Ser_MoveTo(d.handle, target) != 1 || Ser_GetCurrentFrameNo(d.handle) != target)
      return state.SkipWithError("search missed its frame");
    ++searches;
  }
  state.counters["windows/search"] =
      benchmark::Counter(static_cast<double>(windows->windows) / static_cast<double>(searches));
}

void WalkForward(benchmark::State& state) {
  OpenDecoder d;
  if (!d.handle) return state.SkipWithError("cannot open the sample");
  int64_t steps = 0;
  for (auto _ : state) {
    Ser_MoveFirst(d.handle);
    while (Ser_MoveCurrentFrameNo(d.handle, +1)) ++steps;
    if (Ser_GetCurrentFrameNo(d.handle) != kFrames - 1) return state.SkipWithError("walk fell short");
  }
  state.counters["steps/s"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}

// The physical limit of a walk: one pread of 64 bytes per frame on a file held open.
void WalkPreadChain(benchmark::State& state) {
  const int fd = ::open(SampleFile().c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return state.SkipWithError("cannot open the sample");
  unsigned char head[128];
  if (::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head))
    return state.SkipWithError("short head");
  uint32_t headLen;
  std::memcpy(&headLen, head + 64, 4);
  int64_t steps = 0;
  for (auto _ : state) {
    int64_t pos = headLen;
    int frames = 0;
    unsigned char sub[64];
    while (::pread(fd, sub, sizeof sub, pos) == static_cast<ssize_t>(sizeof sub) &&
           std::memcmp(sub, "QXAAAAAA", 8) == 0) {
      int32_t len;
      std::memcpy(&len, sub + 16, 4);
      pos += len;
      ++frames;
    }
    steps += frames - 1;
    benchmark::DoNotOptimize(pos);
    if (frames != kFrames) return state.SkipWithError("chain fell short");
  }
  ::close(fd);
  state.counters["steps/s"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}

BENCHMARK(MoveToRandomFrames)->Name("MoveTo/vialto/10000")->Unit(benchmark::kMicrosecond);
BENCHMARK(WalkForward)->Name("Walk/vialto/10000")->Unit(benchmark::kMillisecond);
BENCHMARK(WalkPreadChain)->Name("Walk/pread_chain/10000")->Unit(benchmark::kMillisecond);

}  // namespace
