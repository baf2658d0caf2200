// JPEG decode and encode of 768 x 288 camera frames through our exports against TurboJPEG's own
// calls on the same pixels and settings (RGB, 4:2:0, accurate integer DCT, fancy upsampling).
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "vialto/vialto.h"

namespace {

constexpr int kWidth = 768;
constexpr int kHeight = 288;

using Bytes = std::vector<unsigned char>;

// A road-like picture: a sky gradient, a darker road with lane marks and a kerb edge, sensor noise.
Bytes RoadFrame() {
  Bytes rgb(std::size_t(kWidth) * kHeight * 3);
  uint32_t state = 12345;
  const auto noise = [&state] {
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) & 15) - 8;
  };
  const int horizon = kHeight / 3;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      int r, g, b;
      if (y < horizon) {
        r = 120 + y;
        g = 150 + y;
        b = 220 - y / 2;
      } else {
        const int depth = y - horizon;
        r = g = b = 70 + depth / 4 + (x * 20) / kWidth;
        const int centre = kWidth / 2, spread = 40 + depth * 3;
        const bool lane = std::abs(x - (centre - spread)) < 3 + depth / 30 ||
                          std::abs(x - (centre + spread)) < 3 + depth / 30;
        const bool dashed = std::abs(x - centre) < 2 + depth / 40 && (depth / 12) % 2 == 0;
        if (lane || dashed) r = g = b = 235;
        if (x < centre - spread - 60) g += 40;  // verge
      }
      const std::size_t i = (std::size_t(y) * kWidth + x) * 3;
      rgb[i] = static_cast<unsigned char>(std::clamp(r + noise(), 0, 255));
      rgb[i + 1] = static_cast<unsigned char>(std::clamp(g + noise(), 0, 255));
      rgb[i + 2] = static_cast<unsigned char>(std::clamp(b + noise(), 0, 255));
    }
  return rgb;
}

const Bytes& Frame() {
  static const Bytes frame = RoadFrame();
  return frame;
}

Bytes EncodeWithVialto(int quality) {
  uint32_t length = 0;
  unsigned char* stream = RGBToJpeg(Frame().data(), kWidth, kHeight, 24, quality, &length);
  Bytes bytes(stream, stream + (stream ? length : 0));
  Ser_DeleteRGBToJpegBuf(stream);
  return bytes;
}

// Our encoder's settings are libjpeg's defaults, which TurboJPEG reproduces with these flags.
constexpr int kTurboEncodeFlags = TJFLAG_ACCURATEDCT | TJFLAG_NOREALLOC;

void BM_DecodeVialto(benchmark::State& state) {
  const Bytes stream = EncodeWithVialto(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    uint32_t w = 0, h = 0;
    int depth = 0;
    unsigned char* rgb = JpegToRGB(stream.data(), int(stream.size()), &w, &h, &depth);
    benchmark::DoNotOptimize(rgb);
    if (rgb == nullptr) state.SkipWithError("decode failed");
    Ser_DeleteJpegToRGBBuf(rgb);
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_DecodeVialtoInto(benchmark::State& state) {
  const Bytes stream = EncodeWithVialto(static_cast<int>(state.range(0)));
  Bytes dst(std::size_t(kWidth) * kHeight * 3);
  for (auto _ : state) {
    uint32_t w = 0, h = 0;
    int depth = 0;
    if (!ImageJpegToRGB(dst.data(), stream.data(), int(stream.size()), &w, &h, &depth))
      state.SkipWithError("decode failed");
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_DecodeTurbo(benchmark::State& state) {
  const Bytes stream = EncodeWithVialto(static_cast<int>(state.range(0)));
  tjhandle handle = tjInitDecompress();
  Bytes dst(std::size_t(kWidth) * kHeight * 3);
  for (auto _ : state) {
    if (tjDecompress2(handle, stream.data(), stream.size(), dst.data(), kWidth, 0, kHeight,
                      TJPF_RGB, 0) != 0)
      state.SkipWithError("decode failed");
    benchmark::ClobberMemory();
  }
  tjDestroy(handle);
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_EncodeVialto(benchmark::State& state) {
  const int quality = static_cast<int>(state.range(0));
  for (auto _ : state) {
    uint32_t length = 0;
    unsigned char* stream = RGBToJpeg(Frame().data(), kWidth, kHeight, 24, quality, &length);
    benchmark::DoNotOptimize(stream);
    if (stream == nullptr) state.SkipWithError("encode failed");
    Ser_DeleteRGBToJpegBuf(stream);
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_EncodeTurbo(benchmark::State& state) {
  const int quality = static_cast<int>(state.range(0));
  tjhandle handle = tjInitCompress();
  unsigned char* buffer = tjAlloc(int(tjBufSize(kWidth, kHeight, TJSAMP_420)));
  unsigned long size = 0;
  for (auto _ : state) {
    size = tjBufSize(kWidth, kHeight, TJSAMP_420);
    if (tjCompress2(handle, Frame().data(), kWidth, 0, kHeight, TJPF_RGB, &buffer, &size,
                    TJSAMP_420, quality, kTurboEncodeFlags) != 0)
      state.SkipWithError("encode failed");
    benchmark::DoNotOptimize(buffer);
  }
  // Same settings, same coder: the streams must be identical, or the comparison is unfair.
  if (Bytes(buffer, buffer + size) != EncodeWithVialto(quality))
    state.SkipWithError("TurboJPEG and vialto streams differ");
  tjFree(buffer);
  tjDestroy(handle);
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void Qualities(benchmark::internal::Benchmark* b) {
  b->ArgName("q")->Arg(85)->Arg(90)->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_DecodeVialto)->Name("jpeg_decode/vialto/768x288")->Apply(Qualities);
BENCHMARK(BM_DecodeVialtoInto)->Name("jpeg_decode/vialto_into/768x288")->Apply(Qualities);
BENCHMARK(BM_DecodeTurbo)->Name("jpeg_decode/turbojpeg/768x288")->Apply(Qualities);
BENCHMARK(BM_EncodeVialto)->Name("jpeg_encode/vialto/768x288")->Apply(Qualities);
BENCHMARK(BM_EncodeTurbo)->Name("jpeg_encode/turbojpeg/768x288")->Apply(Qualities);

}  // namespace
