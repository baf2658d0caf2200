// Every vector conversion kernel against the scalar one: random images of many sizes, unaligned
// buffers, and exact-size buffers that end at an inaccessible page.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/Convert.h"
#include "image/KernelTables.h"
#include "support/GuardedBuffer.h"
#include "support/TestUtil.h"

namespace {

using vialto::test::GuardedBuffer;
using Bytes = std::vector<uint8_t>;
namespace img = vialto::image;

struct Size {
  int width, height;
};

// Tiny, odd and block-straddling sizes, then the camera frame.
const Size kSizes[] = {{1, 1},  {2, 1},  {3, 1},  {1, 7},  {5, 3},  {16, 1}, {17, 1},  {31, 2},
                       {32, 1}, {33, 3}, {47, 5}, {64, 2}, {65, 3}, {99, 7}, {130, 3}, {768, 288}};

// A guarded copy of `bytes`: they end where the readable memory does.
struct Guarded {
  explicit Guarded(const Bytes& bytes) : buffer(bytes.size()) {
    if (!bytes.empty()) std::memcpy(buffer.data(), bytes.data(), bytes.size());
  }
  uint8_t* data() { return buffer.data(); }
  Bytes Contents() const { return Bytes(buffer.data(), buffer.data() + buffer.size()); }
  GuardedBuffer buffer;
};

class ConvertKernels : public vialto::test::VectorTable {
 protected:
  // Runs `convert` with the scalar and the vector table on the same input; the outputs start with
  // the same random bytes so that untouched bytes compare too.
  template <class Convert>
  void Compare(std::size_t inBytes, std::size_t outBytes, Convert convert) {
    uint32_t seed = 1;
    for (const Size s : kSizes) {
      const std::size_t n = static_cast<std::size_t>(s.width) * s.height;
      const Bytes input = vialto::test::RandomBytes(inBytes * n, seed++);
      const Bytes before = vialto::test::RandomBytes(outBytes * n, seed++);
      Guarded in(input), expect(before), got(before);
      convert(Scalar(), in.data(), expect.data(), s.width, s.height);
      convert(Vector(), in.data(), got.data(), s.width, s.height);
      ASSERT_EQ(got.Contents(), expect.Contents()) << s.width << " x " << s.height;
      // The same from odd addresses, in ordinary memory.
      Bytes shiftedIn(input.size() + 1), shiftedOut(before.size() + 3);
      std::memcpy(shiftedIn.data() + 1, input.data(), input.size());
      std::memcpy(shiftedOut.data() + 3, before.data(), before.size());
      convert(Vector(), shiftedIn.data() + 1, shiftedOut.data() + 3, s.width, s.height);
      ASSERT_EQ(Bytes(shiftedOut.begin() + 3, shiftedOut.end()), expect.Contents());
    }
  }
};

TEST_P(ConvertKernels, YuvToRgb) {
  Compare(2, 3, [](auto& k, const uint8_t* in, uint8_t* out, int w, int h) {
    img::YuvPlaneToRgb(k, in, out, w, h);
  });
}

TEST_P(ConvertKernels, RgbToYuv) {
  Compare(3, 2, [](auto& k, const uint8_t* in, uint8_t* out, int w, int h) {
    img::RgbToYuvPlane(k, in, out, w, h);
  });
}

TEST_P(ConvertKernels, GrayToRgb) {
  Compare(1, 3, [](auto& k, const uint8_t* in, uint8_t* out, int w, int h) {
    img::GrayImageToRgb(k, in, out, w, h);
  });
}

TEST_P(ConvertKernels, RgbToGray) {
  Compare(3, 1, [](auto& k, const uint8_t* in, uint8_t* out, int w, int h) {
    img::RgbImageToGray(k, in, out, w, h);
  });
}

TEST_P(ConvertKernels, SwapRgbInPlace) {
  Compare(3, 3, [](auto& k, const uint8_t* in, uint8_t* out, int w, int h) {
    std::memcpy(out, in, 3 * static_cast<std::size_t>(w) * h);
    img::SwapRgbImage(k, out, static_cast<unsigned>(w), static_cast<unsigned>(h));
  });
}

TEST_P(ConvertKernels, FlipRows) {
  Compare(3, 3, [](auto& k, const uint8_t* in, uint8_t* out, int w, int h) {
    std::memcpy(out, in, 3 * static_cast<std::size_t>(w) * h);
    ASSERT_EQ(img::FlipRows(k, out, 3 * static_cast<unsigned>(w), static_cast<unsigned>(h)), 1);
  });
}

// Every chroma pair once, with luma across its range and at both ends, where the clamps act.
TEST_P(ConvertKernels, YuvToRgbEveryChromaPair) {
  constexpr int kWidth = 512, kHeight = 256;  // 65536 pairs
  constexpr std::size_t n = std::size_t{kWidth} * kHeight;
  for (const bool extremes : {false, true}) {
    Bytes yuv(2 * n);
    for (std::size_t k = 0; k < n / 2; ++k) {
      yuv[2 * k] = static_cast<uint8_t>(extremes ? 0 : k * 7);
      yuv[2 * k + 1] = static_cast<uint8_t>(extremes ? 255 : k * 13 + 5);
      yuv[n + k] = static_cast<uint8_t>(k);
      yuv[n + n / 2 + k] = static_cast<uint8_t>(k >> 8);
    }
    Bytes expect(3 * n), got(3 * n);
    img::YuvPlaneToRgb(Scalar(), yuv.data(), expect.data(), kWidth, kHeight);
    img::YuvPlaneToRgb(Vector(), yuv.data(), got.data(), kWidth, kHeight);
    ASSERT_TRUE(got == expect) << (extremes ? "luma 0 and 255" : "luma across its range");
  }
}

// Left pixels over a grid of the colour cube including its corners (the clamps and the widest
// multiply-add sums), right pixels their complements.
TEST_P(ConvertKernels, RgbToYuvColourCubeGrid) {
  Bytes rgb;
  for (int r = 0; r <= 255; r += 3)
    for (int g = 0; g <= 255; g += 3)
      for (int b = 0; b <= 255; b += 3)
        for (const int c : {r, g, b, 255 - r, 255 - g, 255 - b})
          rgb.push_back(static_cast<uint8_t>(c));
  const int width = 2 * 86, height = 86 * 86;
  ASSERT_EQ(rgb.size(), 3u * width * height);
  Bytes expect(2u * width * height), got(expect.size());
  img::RgbToYuvPlane(Scalar(), rgb.data(), expect.data(), width, height);
  img::RgbToYuvPlane(Vector(), rgb.data(), got.data(), width, height);
  ASSERT_TRUE(got == expect);
}

// The YUV kernels on runs of every length up to a few vector blocks, each plane in its own buffer
// that ends at an inaccessible page, so that a partial last block that reads or writes one byte
// too many in any plane faults, and one that writes too few leaves a byte unequal.
TEST_P(ConvertKernels, YuvRunsOfEveryLength) {
  for (std::size_t pairs = 1; pairs <= 100; ++pairs) {
    const auto seed = static_cast<uint32_t>(pairs);
    const Bytes rgbBytes = vialto::test::RandomBytes(6 * pairs, seed);
    const Bytes yBytes = vialto::test::RandomBytes(2 * pairs, seed + 1000);
    const Bytes vBytes = vialto::test::RandomBytes(pairs, seed + 2000);
    const Bytes uBytes = vialto::test::RandomBytes(pairs, seed + 3000);
    {
      Guarded rgb(rgbBytes), yExpect(yBytes), vExpect(vBytes), uExpect(uBytes), y(yBytes),
          v(vBytes), u(uBytes);
      Scalar().rgbToYuv(rgb.data(), yExpect.data(), vExpect.data(), uExpect.data(), pairs);
      Vector().rgbToYuv(rgb.data(), y.data(), v.data(), u.data(), pairs);
      ASSERT_EQ(y.Contents(), yExpect.Contents()) << pairs << " pairs";
      ASSERT_EQ(v.Contents(), vExpect.Contents()) << pairs << " pairs";
      ASSERT_EQ(u.Contents(), uExpect.Contents()) << pairs << " pairs";
    }
    Guarded y(yBytes), v(vBytes), u(uBytes), expect(rgbBytes), got(rgbBytes);
    Scalar().yuvToRgb(y.data(), v.data(), u.data(), expect.data(), 2 * pairs);
    Vector().yuvToRgb(y.data(), v.data(), u.data(), got.data(), 2 * pairs);
    ASSERT_EQ(got.Contents(), expect.Contents()) << 2 * pairs << " pixels";
  }
}

INSTANTIATE_TEST_SUITE_P(Isa, ConvertKernels, ::testing::Values("ssse3", "avx2", "avx512"),
                         [](const auto& info) { return info.param; });

}  // namespace
