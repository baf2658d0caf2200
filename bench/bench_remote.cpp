// A forward walk through a 1,000-frame "se1" sequence, reading every frame's bytes (and, in the
// "decoded" case, decoding the picture as a viewer would), over http from nginx on loopback
// against the same walk on the local file. "local" is the peer, so the printed ratio is the
// share of the local rate that http reaches; requests_per_frame counts the http requests.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "seq/SerFileDecode.h"
#include "support/SampleBuilder.h"
#include "support/Servers.h"

namespace {

using vialto::test::Bytes;

constexpr int kFrames = 1000;

struct Setup {
  vialto::test::TempDir root;
  std::unique_ptr<vialto::test::NginxServer> nginx;
  std::string localPath;
  int64_t frameBytes = 0;

  Setup() {
    vialto::test::Se1Sample sample;
    vialto::test::Se1Frame f;
    f.width = 768;
    f.height = 288;
    f.padding = 35'000;  // with the picture's 5 KB, frames of about 40 KB
    sample.AddFrames(kFrames, f);
    localPath = root.File("walk.se1");
    sample.Write(localPath);
    frameBytes = sample.FileLength() / kFrames;
    nginx = std::make_unique<vialto::test::NginxServer>(root.path().string());
  }
};

Setup& Shared() {
  static Setup setup;
  return setup;
}

// Walks from the first frame to the last; false when a step or a read fails.
bool Walk(CSerFileDecode* d, bool decode, tjhandle tj, std::vector<unsigned char>& data,
          std::vector<unsigned char>& rgb) {
  if (Ser_MoveFirst(d) != 1) return false;
  int frames = 0;
  do {
    const int64_t n = d->m_SubHeadInfo.nFrameLen - 64;
    if (n <= 0) return false;
    data.resize(static_cast<std::size_t>(n));
    std::size_t got = 0;
    if (!d->ReadSource(d->m_nCurFramePos + 64, data.data(), data.size(), &got) ||
        got != data.size())
      return false;
    if (decode) {
      int w = 0, h = 0, sub = 0, space = 0;
      const unsigned long len = static_cast<unsigned long>(data.size());
      if (tjDecompressHeader3(tj, data.data(), len, &w, &h, &sub, &space) != 0) return false;
      rgb.resize(static_cast<std::size_t>(w) * h * 3);
      if (tjDecompress2(tj, data.data(), len, rgb.data(), w, 0, h, TJPF_RGB, 0) != 0) return false;
    }
    benchmark::DoNotOptimize(data.data());
    ++frames;
  } while (Ser_MoveCurrentFrameNo(d, 1) == 1);
  return frames == kFrames;
}

void RunWalk(benchmark::State& state, bool overHttp, bool decode) {
  Setup& s = Shared();
  CSerFileDecode* d = Ser_CreateSerFileDecode();
  const std::string name = overHttp ? s.nginx->HttpUrl("walk.se1") : s.localPath;
  if (Ser_SetSerFileName(d, name.c_str()) != 1) {
    state.SkipWithError("open failed");
    Ser_FinishSerFileDecode(d);
    return;
  }
  tjhandle tj = tjInitDecompress();
  std::vector<unsigned char> data, rgb;
  const int64_t requestsBefore = d->m_pSession->RequestCount();
  for (auto _ : state)
    if (!Walk(d, decode, tj, data, rgb)) {
      state.SkipWithError("walk failed");
      break;
    }
  const double walks = static_cast<double>(state.iterations());
  state.counters["frames_per_s"] = benchmark::Counter(walks * kFrames, benchmark::Counter::kIsRate);
  if (overHttp && walks > 0)
    state.counters["requests_per_frame"] =
        static_cast<double>(d->m_pSession->RequestCount() - requestsBefore) / (walks * kFrames);
  state.SetBytesProcessed(static_cast<int64_t>(walks) * s.frameBytes * kFrames);
  tjDestroy(tj);
  Ser_FinishSerFileDecode(d);
}

void BM_HttpBytes(benchmark::State& st) { RunWalk(st, true, false); }
void BM_LocalBytes(benchmark::State& st) { RunWalk(st, false, false); }
void BM_HttpDecoded(benchmark::State& st) { RunWalk(st, true, true); }
void BM_LocalDecoded(benchmark::State& st) { RunWalk(st, false, true); }

BENCHMARK(BM_HttpBytes)->Name("se1_walk/vialto_http/bytes")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocalBytes)->Name("se1_walk/local/bytes")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HttpDecoded)->Name("se1_walk/vialto_http/decoded")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocalDecoded)->Name("se1_walk/local/decoded")->Unit(benchmark::kMillisecond);

}  // namespace
