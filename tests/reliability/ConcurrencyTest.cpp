// Separate decoders on separate threads, and the toolkit calls on separate buffers, give exactly
// what they give alone. Run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/SampleBuilder.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace {

using vialto::test::Bytes;
using vialto::test::RandomBytes;

// Runs `work` on `threads` threads at once and returns what each produced.
std::vector<Bytes> OnThreads(int threads, const std::function<Bytes(int)>& work) {
  std::vector<Bytes> results(static_cast<std::size_t>(threads));
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&, t] { results[static_cast<std::size_t>(t)] = work(t); });
  for (auto& th : pool) th.join();
  return results;
}

// Walks the whole sequence and collects every frame as RGB24.
Bytes PlaySequence(const std::string& path) {
  Bytes all;
  CSerFileDecode* d = Ser_CreateSerFileDecode();
  if (Ser_SetSerFileName(d, path.c_str()) != 1) return all;
  do {
    int w = 0, h = 0, aux = 0;
    unsigned char* rgb = Ser_GetCurrentFrameDataBuf(d, &w, &h, &aux, 3);
    if (!rgb) break;
    all.insert(all.end(), rgb, rgb + static_cast<std::size_t>(w) * h * 3);
    Ser_DeleteFrameDataBuf(d, rgb);
  } while (Ser_MoveCurrentFrameNo(d, +1) == 1);
  Ser_MoveTo(d, 3);
  all.push_back(static_cast<uint8_t>(Ser_GetCurrentFrameNo(d)));
  Ser_FinishSerFileDecode(d);
  return all;
}

TEST(Concurrency, SeparateDecodersOnSeparateThreads) {
  vialto::test::TempDir dir;
  const std::string se1 = dir.File("a.se1"), ser = dir.File("b.ser");
  vialto::test::Se1Sample().AddFrames(12).Write(se1);
  vialto::test::SerSample().Frames(4).Modes(1, 1).Write(ser);
  const Bytes aloneSe1 = PlaySequence(se1), aloneSer = PlaySequence(ser);
  ASSERT_GT(aloneSe1.size(), 12u * 32 * 24 * 3);
  const auto results = OnThreads(4, [&](int t) { return PlaySequence(t % 2 ? ser : se1); });
  for (int t = 0; t < 4; ++t) EXPECT_EQ(results[t], t % 2 ? aloneSer : aloneSe1) << t;
}

Bytes ToolkitRound(int seed) {
  const int w = 96, h = 40;
  const std::size_t n = static_cast<std::size_t>(w) * h;
  Bytes rgb = RandomBytes(3 * n, static_cast<uint32_t>(seed)), yuv(2 * n), back(3 * n), grey(n);
  RGBToYUV422Plane(rgb.data(), yuv.data(), w, h);
  YUV422PlaneToRGB(yuv.data(), back.data(), w, h);
  RGBToGray(back.data(), grey.data(), w, h);
  GrayToRGB(grey.data(), rgb.data(), w, h);
  ImageSwapRGB(rgb.data(), w, h);
  Bytes small(static_cast<std::size_t>(48) * 20 * 3);
  ImageResize(small.data(), rgb.data(), w, h, 48, 20, 3, 0);
  ImageFlip(small.data(), small.data(), 48, 20, 1);
  uint32_t length = 0;
  unsigned char* jpeg = RGBToJpeg(small.data(), 48, 20, 24, 80, &length);
  uint32_t jw = 0, jh = 0;
  int depth = 0;
  unsigned char* decoded = JpegToRGB(jpeg, static_cast<int>(length), &jw, &jh, &depth);
  Bytes out(decoded, decoded + static_cast<std::size_t>(jw) * jh * 3);
  Ser_DeleteRGBToJpegBuf(jpeg);
  Ser_DeleteJpegToRGBBuf(decoded);
  PasteToImgX(back.data(), w, h, 70, 30, 0);
  out.insert(out.end(), back.begin(), back.end());
  return out;
}

TEST(Concurrency, ToolkitCallsOnSeparateBuffers) {
  std::vector<Bytes> alone;
  for (int t = 0; t < 4; ++t) alone.push_back(ToolkitRound(t));
  const auto results = OnThreads(4, [](int t) {
    Bytes last;
    for (int i = 0; i < 5; ++i) last = ToolkitRound(t);
    return last;
  });
  for (int t = 0; t < 4; ++t) EXPECT_EQ(results[t], alone[t]) << t;
}

}  // namespace
