// Navigation over 10,000-frame "se1" files: random absolute moves (the frame search) on an evenly
// sized file and on a skewed one (sizes shrinking from 24 KB to 200 bytes, as a day scene fading
// into dusk), from the local file and over http (nginx on loopback), and a full forward walk.
// The peer of a search is the plain exact method: a pread walk along the sub-header chain from the
// first frame. Counters: searches/s, windows (reads longer than a sub-header) and, over http,
// requests per search, and missed_pct, the share of targets that failed or landed elsewhere.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "seq/SerFileDecode.h"
#include "support/SampleBuilder.h"
#include "support/Servers.h"
#include "support/TestUtil.h"

namespace {

using vialto::test::Se1Sample;
constexpr int kFrames = 10000;

struct SampleFile {
  std::string name;
  std::string path;
  std::vector<int64_t> positions;
};

vialto::test::TempDir& Root() {
  static vialto::test::TempDir dir;
  return dir;
}

SampleFile Publish(const std::string& name, const Se1Sample& sample) {
  const std::string path = Root().File(name);
  sample.Write(path);
  return {name, path, sample.Positions()};
}

// Frame lengths that vary by a few KB around an even mean.
const SampleFile& EvenFile() {
  static const SampleFile file = [] {
    Se1Sample sample;
    sample.AddFrames(kFrames);
    for (int i = 0; i < kFrames; ++i) sample.Frame(i).padding = (i * 7919) % 3000;
    return Publish("even.se1", sample);
  }();
  return file;
}

// Frame lengths shrinking a hundredfold along the file; the pictures are never decoded here.
const SampleFile& SkewedFile() {
  static const SampleFile file = [] {
    Se1Sample sample;
    for (int i = 0; i < kFrames; ++i) {
      const double fade = std::exp(-6.0 * i / kFrames);
      sample.AddFrame(vialto::test::PayloadFrame(i, 200 + static_cast<std::size_t>(24000 * fade)));
    }
    return Publish("skewed.se1", sample);
  }();
  return file;
}

vialto::test::NginxServer& Nginx() {
  EvenFile();
  SkewedFile();
  static vialto::test::NginxServer server(Root().path().string());
  return server;
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
  explicit OpenDecoder(const std::string& name) : handle(Ser_CreateSerFileDecode()) {
    if (Ser_SetSerFileName(handle, name.c_str()) != 1) {
      Ser_FinishSerFileDecode(handle);
      handle = nullptr;
    }
  }
  ~OpenDecoder() { Ser_FinishSerFileDecode(handle); }
  CSerFileDecode* handle;
};

void MoveToRandomFrames(benchmark::State& state, const SampleFile& file, bool overHttp) {
  const std::string name = overHttp ? Nginx().HttpUrl(file.name) : file.path;
  OpenDecoder d(name);
  if (!d.handle) return state.SkipWithError("cannot open the sample");
  auto& object = *reinterpret_cast<CSerFileDecode*>(d.handle);
  auto counter = std::make_unique<WindowCounter>(std::move(object.m_pFile));
  WindowCounter* windows = counter.get();
  object.m_pFile = std::move(counter);
  const int64_t requestsBefore = object.m_pSession->RequestCount();
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> pick(0, kFrames - 1);
  int64_t searches = 0, missed = 0;
  for (auto _ : state) {
    const int target = pick(rng);
    const bool exact = Ser_MoveTo(d.handle, target) == 1 &&
                       Ser_GetCurrentFrameNo(d.handle) == target &&
                       object.m_nCurFramePos == file.positions[static_cast<std::size_t>(target)];
    missed += !exact;
    ++searches;
  }
  const auto perSearch = [&](int64_t n) {
    return benchmark::Counter(static_cast<double>(n) / static_cast<double>(searches));
  };
  state.counters["searches/s"] =
      benchmark::Counter(static_cast<double>(searches), benchmark::Counter::kIsRate);
  state.counters["windows/search"] = perSearch(windows->windows);
  state.counters["missed_pct"] = perSearch(100 * missed);
  if (overHttp)
    state.counters["requests/search"] =
        perSearch(object.m_pSession->RequestCount() - requestsBefore);
}

// The exact method without a search: walk the chain with pread from the first frame.
void WalkToRandomFrames(benchmark::State& state, const SampleFile& file) {
  const int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return state.SkipWithError("cannot open the sample");
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> pick(0, kFrames - 1);
  int64_t searches = 0, reads = 0;
  for (auto _ : state) {
    const int target = pick(rng);
    int64_t pos = file.positions[0];
    unsigned char sub[64];
    for (int n = 0; ::pread(fd, sub, sizeof sub, pos) == static_cast<ssize_t>(sizeof sub); ++n) {
      ++reads;
      int32_t no, len;
      std::memcpy(&no, sub + 12, 4);
      std::memcpy(&len, sub + 16, 4);
      if (no == target || len <= 0) break;
      pos += len;
    }
    if (pos != file.positions[static_cast<std::size_t>(target)])
      return state.SkipWithError("walk missed");
    ++searches;
  }
  ::close(fd);
  state.counters["searches/s"] =
      benchmark::Counter(static_cast<double>(searches), benchmark::Counter::kIsRate);
  state.counters["reads/search"] =
      benchmark::Counter(static_cast<double>(reads) / static_cast<double>(searches));
}

void WalkForward(benchmark::State& state) {
  OpenDecoder d(EvenFile().path);
  if (!d.handle) return state.SkipWithError("cannot open the sample");
  int64_t steps = 0;
  for (auto _ : state) {
    Ser_MoveFirst(d.handle);
    while (Ser_MoveCurrentFrameNo(d.handle, +1)) ++steps;
    if (Ser_GetCurrentFrameNo(d.handle) != kFrames - 1)
      return state.SkipWithError("walk fell short");
  }
  state.counters["steps/s"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}

// The physical limit of a walk: one pread of 64 bytes per frame on a file held open.
void WalkPreadChain(benchmark::State& state) {
  const int fd = ::open(EvenFile().path.c_str(), O_RDONLY | O_CLOEXEC);
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
  state.counters["steps/s"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}

void LocalEven(benchmark::State& s) { MoveToRandomFrames(s, EvenFile(), false); }
void LocalSkewed(benchmark::State& s) { MoveToRandomFrames(s, SkewedFile(), false); }
void HttpEven(benchmark::State& s) { MoveToRandomFrames(s, EvenFile(), true); }
void HttpSkewed(benchmark::State& s) { MoveToRandomFrames(s, SkewedFile(), true); }
void ChainEven(benchmark::State& s) { WalkToRandomFrames(s, EvenFile()); }
void ChainSkewed(benchmark::State& s) { WalkToRandomFrames(s, SkewedFile()); }

BENCHMARK(LocalEven)->Name("MoveTo/vialto/even_10000")->Unit(benchmark::kMicrosecond);
BENCHMARK(ChainEven)->Name("MoveTo/pread_chain_walk/even_10000")->Unit(benchmark::kMicrosecond);
BENCHMARK(LocalSkewed)->Name("MoveTo/vialto/skewed_10000")->Unit(benchmark::kMicrosecond);
BENCHMARK(ChainSkewed)->Name("MoveTo/pread_chain_walk/skewed_10000")->Unit(benchmark::kMicrosecond);
BENCHMARK(HttpEven)->Name("MoveTo/vialto_http/even_10000")->Unit(benchmark::kMicrosecond);
BENCHMARK(HttpSkewed)->Name("MoveTo/vialto_http/skewed_10000")->Unit(benchmark::kMicrosecond);
BENCHMARK(WalkForward)->Name("Walk/vialto/10000")->Unit(benchmark::kMillisecond);
BENCHMARK(WalkPreadChain)->Name("Walk/pread_chain/10000")->Unit(benchmark::kMillisecond);

}  // namespace
