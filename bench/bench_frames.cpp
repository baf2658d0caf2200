// Playing an "se1" sequence from a local file as RGB24, against reading the same frames with
// pread and decoding them straight with TurboJPEG, in the same run.
//
// One iteration is one frame: our side fetches the current frame and steps to the next (the way a
// viewer plays a sequence, sub-header reads included); the peer preads the frame's stream at its
// known offset into a reused buffer and decodes it into a reused picture.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/SampleBuilder.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace {

using vialto::test::Bytes;
using vialto::test::Se1Frame;
using vialto::test::Se1Sample;

constexpr int kWidth = 768, kHeight = 288, kFrames = 1000;
constexpr int kDistinctPictures = 16;  // cycled, so building the file stays quick

// A camera-like picture: smooth shading with grain and a few hard edges, so the entropy decoder
// has real work to do.
Bytes TexturedPicture(int seed) {
  Bytes rgb(static_cast<std::size_t>(kWidth) * kHeight * 3);
  uint32_t state = 0x9e3779b9u * static_cast<uint32_t>(seed + 1);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      state = state * 1664525u + 1013904223u;
      const int grain = static_cast<int>(state >> 27) - 16;
      const int edge = ((x / 48 + y / 36 + seed) % 5 == 0) ? 60 : 0;
      unsigned char* p = &rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3];
      const int base[3] = {(x * 255) / kWidth, (y * 255) / kHeight,
                           ((x + y + 13 * seed) * 3) % 256};
      for (int c = 0; c < 3; ++c) {
        const int v = base[c] + grain + edge;
        p[c] = static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
      }
    }
  return rgb;
}

struct Sequence {
  vialto::test::TempDir dir;
  std::string path = dir.File("play.se1");
  std::vector<int64_t> dataOffsets;  // where each frame's JPEG stream starts
  std::vector<int64_t> dataLengths;
};

const Sequence& TheSequence() {
  static const std::unique_ptr<Sequence> seq = [] {
    auto s = std::make_unique<Sequence>();
    std::vector<Bytes> jpegs;
    for (int i = 0; i < kDistinctPictures; ++i)
      jpegs.push_back(Se1Sample::EncodeJpeg(TexturedPicture(i), kWidth, kHeight, false, 85));
    Se1Sample sample;
    for (int i = 0; i < kFrames; ++i) {
      Se1Frame frame;
      frame.width = kWidth;
      frame.height = kHeight;
      frame.data = jpegs[i % kDistinctPictures];
      sample.AddFrame(frame);
    }
    sample.Write(s->path);
    for (int i = 0; i < kFrames; ++i) {
      s->dataOffsets.push_back(sample.Positions()[i] + vialto::test::kSubHeadSize);
      s->dataLengths.push_back(sample.Lengths()[i] - vialto::test::kSubHeadSize);
    }
    return s;
  }();
  return *seq;
}

// --- ours
// -----------------------------------------------------------------------------------------

void PlayWithVialto(benchmark::State& state, bool bitmapOrder) {
  const Sequence& seq = TheSequence();
  CSerFileDecode* d = Ser_CreateSerFileDecode();
  if (Ser_SetSerFileName(d, seq.path.c_str()) != 1) {
    state.SkipWithError("cannot open the sequence");
    Ser_FinishSerFileDecode(d);
    return;
  }
  for (auto _ : state) {
    int w, h, aux, length;
    // "JPG" frames: Buf hands them out as decoded, BufEx in bitmap order.
    unsigned char* rgb = bitmapOrder ? Ser_GetCurrentFrameDataBufEx(d, &w, &h, &aux, &length, 3)
                                     : Ser_GetCurrentFrameDataBuf(d, &w, &h, &aux, 3);
    if (!rgb) {
      state.SkipWithError("frame not decoded");
      break;
    }
    benchmark::DoNotOptimize(rgb[0]);
    Ser_DeleteFrameDataBuf(d, rgb);
    if (!Ser_MoveCurrentFrameNo(d, 1)) Ser_MoveFirst(d);
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  Ser_FinishSerFileDecode(d);
}

// --- TurboJPEG straight
// ---------------------------------------------------------------------------

void PlayWithTurboJpeg(benchmark::State& state, bool bitmapOrder) {
  const Sequence& seq = TheSequence();
  const int fd = ::open(seq.path.c_str(), O_RDONLY);
  tjhandle tj = tjInitDecompress();
  if (fd < 0 || !tj) {
    state.SkipWithError("cannot set up");
    return;
  }
  std::vector<unsigned char> stream;
  std::vector<unsigned char> picture(static_cast<std::size_t>(kWidth) * kHeight * 3);
  const int pixelFormat = bitmapOrder ? TJPF_BGR : TJPF_RGB;
  const int flags = bitmapOrder ? TJFLAG_BOTTOMUP : 0;
  int frame = 0;
  for (auto _ : state) {
    const auto n = static_cast<std::size_t>(seq.dataLengths[frame]);
    if (stream.size() < n) stream.resize(n);
    if (::pread(fd, stream.data(), n, seq.dataOffsets[frame]) != static_cast<ssize_t>(n) ||
        tjDecompress2(tj, stream.data(), static_cast<unsigned long>(n), picture.data(), kWidth, 0,
                      kHeight, pixelFormat, flags) != 0) {
      state.SkipWithError("frame not decoded");
      break;
    }
    benchmark::DoNotOptimize(picture[0]);
    frame = (frame + 1) % kFrames;
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  tjDestroy(tj);
  ::close(fd);
}

BENCHMARK_CAPTURE(PlayWithVialto, rgb24, false)->Name("frames/vialto/rgb24");
BENCHMARK_CAPTURE(PlayWithTurboJpeg, rgb24, false)->Name("frames/turbojpeg/rgb24");
BENCHMARK_CAPTURE(PlayWithVialto, bitmap, true)->Name("frames/vialto/bitmap");
BENCHMARK_CAPTURE(PlayWithTurboJpeg, bitmap, true)->Name("frames/turbojpeg/bitmap");

}  // namespace
