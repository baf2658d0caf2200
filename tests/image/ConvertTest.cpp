// Per-pixel results of the conversion exports.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "image/Convert.h"
#include "image/simd/KernelsScalar.h"
#include "platform/Alloc.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Rgb = std::array<int, 3>;

// A 2 x 1 YUV image whose pair carries (y, y, cr, cb).
Bytes YuvPair(uint8_t y, uint8_t cr, uint8_t cb) { return {y, y, cr, cb}; }

Rgb FirstPixel(const Bytes& rgb) { return {rgb[0], rgb[1], rgb[2]}; }

Rgb FixedPoint(uint8_t y, uint8_t cr, uint8_t cb) {
  Bytes rgb(6);
  YUV422PlaneToRGB(YuvPair(y, cr, cb).data(), rgb.data(), 2, 1);
  return FirstPixel(rgb);
}

Rgb FloatingPoint(uint8_t y, uint8_t cr, uint8_t cb) {
  Bytes rgb(6);
  YUV422PlaneToRGB_FLOAT(YuvPair(y, cr, cb).data(), rgb.data(), 2, 1);
  return FirstPixel(rgb);
}

TEST(YuvToRgb, KnownColoursInBothConverters) {
  for (auto* convert : {&FixedPoint, &FloatingPoint}) {
    EXPECT_EQ(convert(16, 128, 128), (Rgb{0, 0, 0}));
    EXPECT_EQ(convert(235, 128, 128), (Rgb{219, 219, 219}));
    EXPECT_EQ(convert(100, 200, 50), (Rgb{185, 59, 0}));
  }
  EXPECT_EQ(FixedPoint(255, 255, 128), (Rgb{255, 148, 239}));
}

// One image whose pixels walk through every (Y, Cr, Cb): pixel pair k = (cr, cb) index, luma runs
// across the pairs so that both pixels of a pair differ.
TEST(YuvToRgb, FixedPointMatchesFormulaForAllInputs) {
  const std::size_t pairs = 1u << 16, n = 2 * pairs * 128;  // 128 rows of 2 * 65536 pixels
  Bytes yuv(2 * n), rgb(3 * n);
  uint8_t* y = yuv.data();
  uint8_t* v = y + n;
  uint8_t* u = v + n / 2;
  for (std::size_t row = 0; row < 128; ++row)
    for (std::size_t k = 0; k < pairs; ++k) {
      const std::size_t p = row * pairs + k;
      v[p] = static_cast<uint8_t>(k >> 8);
      u[p] = static_cast<uint8_t>(k);
      y[2 * p] = static_cast<uint8_t>(2 * row);
      y[2 * p + 1] = static_cast<uint8_t>(2 * row + 1);
    }
  YUV422PlaneToRGB(yuv.data(), rgb.data(), static_cast<int>(2 * pairs), 128);
  const auto clamp = [](int x) { return x < 0 ? 0 : x > 255 ? 255 : x; };
  std::size_t mismatches = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int yy = y[i] - 16, vv = v[i / 2] - 128, uu = u[i / 2] - 128;
    mismatches += rgb[3 * i] != clamp((256 * yy + 359 * vv + 128) >> 8);
    mismatches += rgb[3 * i + 1] != clamp((256 * yy - 183 * vv - 88 * uu + 128) >> 8);
    mismatches += rgb[3 * i + 2] != clamp((256 * yy + 454 * uu + 128) >> 8);
  }
  EXPECT_EQ(mismatches, 0u);
}

TEST(YuvToRgb, FixedPointConvertsEveryPixelOfAnyImage) {
  for (const int n : {1, 2, 3, 5, 23, 24, 4096, 4098, 4099}) {
    const Bytes yuv = vialto::test::RandomBytes(2 * n, static_cast<uint32_t>(n));
    Bytes rgb(3 * n, 0xAB);
    YUV422PlaneToRGB(yuv.data(), rgb.data(), n, 1);
    for (int i = 0; i < n; ++i) {
      // The odd last pixel has no chroma of its own: neutral chroma.
      const bool lone = n % 2 == 1 && i == n - 1;
      uint8_t expect[3];
      vialto::image::simd::scalar::YuvPixelToRgb(yuv[i], lone ? 128 : yuv[n + i / 2],
                                                 lone ? 128 : yuv[n + n / 2 + i / 2], expect);
      ASSERT_EQ(0, std::memcmp(expect, &rgb[3 * i], 3)) << "n " << n << " pixel " << i;
    }
  }
}

TEST(YuvToRgb, FloatConvertsPairsRowByRowAndSkipsOddColumn) {
  // 3 x 2: two pairs in all, taken consecutively; the last two pixels stay untouched.
  const Bytes yuv{16, 235, 100, 100, 16, 16, /*V*/ 128, 200, 0, /*U*/ 128, 50, 0};
  Bytes rgb(18, 7);
  YUV422PlaneToRGB_FLOAT(yuv.data(), rgb.data(), 3, 2);
  const Bytes expect{0, 0, 0, 219, 219, 219, 185, 59, 0, 185, 59, 0, 7, 7, 7, 7, 7, 7};
  EXPECT_EQ(rgb, expect);
}

TEST(RgbToYuv, WhiteBlackAndLeftPixelChroma) {
  // Red's luma is 93.19 in fixed point and 92.745 in doubles.
  for (const auto& [convert, redLuma] :
       {std::pair{&RGBToYUV422Plane, 93}, std::pair{&RGBToYUV422Plane_FLOAT, 92}}) {
    const Bytes rgb{255, 255, 255, 0, 0, 0, 0, 0, 0, 255, 0, 0};
    Bytes yuv(8, 0xEE);
    convert(rgb.data(), yuv.data(), 4, 1);
    // Y plane, then V (Cr) of the two left pixels, then U (Cb).
    const Bytes expect{255, 16, 16, static_cast<uint8_t>(redLuma), 128, 128, 128, 128};
    EXPECT_EQ(yuv, expect);
  }
  // A red left pixel gives its chroma to the pair, the right one only its luma.
  const Bytes rgb{255, 0, 0, 0, 0, 255};
  Bytes yuv(4);
  RGBToYUV422Plane(rgb.data(), yuv.data(), 2, 1);
  EXPECT_EQ(yuv, (Bytes{93, 45, 255, 85}));
}

TEST(RgbToYuv, FloatRoundsInItsOwnOrder) {
  const Bytes rgb{10, 200, 30, 90, 91, 92};
  Bytes yuv(4);
  RGBToYUV422Plane_FLOAT(rgb.data(), yuv.data(), 2, 1);
  const auto t = [](double x) { return static_cast<uint8_t>(x); };
  EXPECT_EQ(yuv[0], t(((0.587 * 200 + 0.299 * 10) + 0.114 * 30) + 16.5));
  EXPECT_EQ(yuv[1], t(((0.587 * 91 + 0.299 * 90) + 0.114 * 92) + 16.5));
  EXPECT_EQ(yuv[2], t(((0.5 * 10 - 0.4187 * 200) - 0.0813 * 30) + 128.5));
  EXPECT_EQ(yuv[3], t((0.5 * 30 - (0.1687 * 10 + 0.3313 * 200)) + 128.5));
}

TEST(RgbToYuv, OddWidthShiftsRowsAndLeavesTheLastPixelsAlone) {
  // 3 x 2: pairs are pixels (0,1) and (2,3) of the run; pixels 4 and 5 are never read.
  const Bytes rgb = vialto::test::RandomBytes(18, 5);
  Bytes yuv(12, 0x5A), viaPairs(12, 0x5A);
  RGBToYUV422Plane(rgb.data(), yuv.data(), 3, 2);
  RGBToYUV422Plane(rgb.data(), viaPairs.data(), 4, 1);  // the same two pairs
  EXPECT_EQ(Bytes(yuv.begin(), yuv.begin() + 4), Bytes(viaPairs.begin(), viaPairs.begin() + 4));
  EXPECT_EQ(yuv[4], 0x5A);
  EXPECT_EQ(yuv[5], 0x5A);
  EXPECT_EQ(yuv[6], viaPairs[4]);  // V plane at n = 6
  EXPECT_EQ(yuv[9], viaPairs[6]);  // U plane at 9
}

TEST(GrayRgb, FiguresOfBothDirections) {
  const Bytes gray{10, 16, 200, 255};
  Bytes rgb(12);
  GrayToRGB(gray.data(), rgb.data(), 2, 2);
  EXPECT_EQ(rgb, (Bytes{0, 0, 0, 0, 0, 0, 184, 184, 184, 239, 239, 239}));

  const Bytes colours{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  Bytes grey(4);
  RGBToGray(colours.data(), grey.data(), 4, 1);
  EXPECT_EQ(grey, (Bytes{76, 150, 29, 255}));
}

TEST(GrayRgb, EmptyImagesWriteNothing) {
  Bytes out(12, 9);
  const Bytes in(12, 100);
  GrayToRGB(in.data(), out.data(), 0, 4);
  RGBToGray(in.data(), out.data(), 4, -1);
  YUV422PlaneToRGB(in.data(), out.data(), -2, 2);
  RGBToYUV422Plane(in.data(), out.data(), 1, 4);
  YUV422PlaneToRGB_FLOAT(in.data(), out.data(), 4, 0);
  EXPECT_EQ(out, Bytes(12, 9));
}

TEST(SwapRgb, TwiceRestoresAndNullFails) {
  const Bytes original = vialto::test::RandomBytes(3 * 7 * 5, 11);
  Bytes image = original;
  EXPECT_EQ(ImageSwapRGB(image.data(), 7, 5), 1);
  for (std::size_t i = 0; i < image.size(); i += 3) {
    ASSERT_EQ(image[i], original[i + 2]);
    ASSERT_EQ(image[i + 1], original[i + 1]);
  }
  EXPECT_EQ(ImageSwapRGB(image.data(), 7, 5), 1);
  EXPECT_EQ(image, original);
  EXPECT_EQ(ImageSwapRGB(nullptr, 7, 5), 0);
  EXPECT_EQ(ImageSwapRGB(image.data(), 0, 5), 1);
}

TEST(FlipRows, OddCountsAndAllocationFailure) {
  Bytes image{1, 2, 3, 4, 5, 6};
  EXPECT_EQ(vialto::image::ImageFlipRows(image.data(), 2, 1), 1);
  EXPECT_EQ(image, (Bytes{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(vialto::image::ImageFlipRows(image.data(), 2, 3), 1);
  EXPECT_EQ(image, (Bytes{5, 6, 3, 4, 1, 2}));
  EXPECT_EQ(vialto::image::ImageFlipRows(nullptr, 2, 3), 0);
  for (const int successes : {0, 1}) {
    vialto::platform::FailAllocationsAfter(successes);
    EXPECT_EQ(vialto::image::ImageFlipRows(image.data(), 2, 3), 0);
    vialto::platform::FailAllocationsAfter(-1, 0);
    EXPECT_EQ(image, (Bytes{5, 6, 3, 4, 1, 2}));
  }
}

}  // namespace
