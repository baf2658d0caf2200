// Results of the geometry exports.
#include <gtest/gtest.h>

#include <vector>

#include "image/Geometry.h"
#include "platform/Alloc.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(Resize, RefusesSmallDestinationsAndSourcesAndIgnoresOtherModes) {
  const Bytes src(64, 50);
  Bytes dst(64, 1);
  EXPECT_EQ(ImageResize(dst.data(), src.data(), 8, 8, 3, 8, 0, 0), 0);
  EXPECT_EQ(ImageResize(dst.data(), src.data(), 8, 8, 8, 3, 0, 0), 0);
  EXPECT_EQ(ImageResize(dst.data(), src.data(), 8, 1, 4, 4, 0, 0), 0);
  EXPECT_EQ(ImageResize(dst.data(), src.data(), 0, 8, 4, 4, 0, 0), 0);
  EXPECT_EQ(ImageResize(dst.data(), src.data(), 8, 8, 4, 4, 1, 0), 1);
  EXPECT_EQ(dst, Bytes(64, 1));
}

TEST(Resize, SameSizeRepeatsTheSecondToLastRow) {
  for (const int mode : {0, 3}) {
    const int b = mode == 3 ? 3 : 1, w = 6, h = 5;
    const Bytes src = vialto::test::RandomBytes(w * h * b, 3);
    Bytes dst(src.size());
    ASSERT_EQ(ImageResize(dst.data(), src.data(), w, h, w, h, mode, 0), 1);
    const std::size_t row = static_cast<std::size_t>(w) * b;
    EXPECT_TRUE(std::equal(src.begin(), src.end() - row, dst.begin()));
    EXPECT_TRUE(std::equal(src.end() - 2 * row, src.end() - row, dst.end() - row));
  }
}

TEST(Resize, HalvingPicksEvenRowsAndColumns) {
  for (const int mode : {0, 3}) {
    const int b = mode == 3 ? 3 : 1;
    const Bytes src = vialto::test::RandomBytes(64 * b, 4);
    Bytes dst(16 * b);
    ASSERT_EQ(ImageResize(dst.data(), src.data(), 8, 8, 4, 4, mode, 0), 1);
    for (int j = 0; j < 4; ++j)
      for (int i = 0; i < 4; ++i)
        for (int c = 0; c < b; ++c)
          ASSERT_EQ(dst[(j * 4 + i) * b + c], src[(2 * j * 8 + 2 * i) * b + c]);
  }
}

TEST(Resize, DoublingAveragesNeighboursAndClampsAtTheRightEdge) {
  Bytes src(16);
  for (int i = 0; i < 16; ++i) src[i] = static_cast<uint8_t>(10 * i + (i % 3));
  Bytes dst(64);
  ASSERT_EQ(ImageResize(dst.data(), src.data(), 4, 4, 8, 8, 0, 0), 1);
  EXPECT_EQ(dst[1], (src[0] + src[1]) / 2);
  // Output column 7 lies half way past source column 3: its neighbour is column 3 itself.
  EXPECT_EQ(dst[7], src[3]);
  // Row 1 of the output is half way between source rows 0 and 1.
  EXPECT_EQ(dst[8], (src[0] + src[4]) / 2);
}

TEST(Resize, TwoRowSourceUsesOnlyTheFirstRow) {
  const Bytes src{10, 20, 30, 40, 200, 200, 200, 200};
  Bytes dst(4 * 6);
  ASSERT_EQ(ImageResize(dst.data(), src.data(), 4, 2, 4, 6, 0, 0), 1);
  for (int j = 0; j < 6; ++j)
    EXPECT_EQ(Bytes(dst.begin() + 4 * j, dst.begin() + 4 * j + 4),
              Bytes(src.begin(), src.begin() + 4));
}

TEST(Resize, WithoutMemoryGivesTheSameBytes) {
  const Bytes src = vialto::test::RandomBytes(3 * 10 * 7, 8);
  Bytes expect(3 * 17 * 9), got(expect.size());
  ASSERT_EQ(ImageResize(expect.data(), src.data(), 10, 7, 17, 9, 3, 0), 1);
  vialto::platform::FailAllocationsAfter(0);
  EXPECT_EQ(ImageResize(got.data(), src.data(), 10, 7, 17, 9, 3, 0), 1);
  vialto::platform::FailAllocationsAfter(-1, 0);
  EXPECT_EQ(got, expect);
}

TEST(Flip, InPlaceAndIntoAnotherBuffer) {
  Bytes image{1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(ImageFlip(image.data(), image.data(), 3, 1, 0), 1);
  EXPECT_EQ(image, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(ImageFlip(image.data(), image.data(), 1, 3, 2), 1);  // any non-zero flag: 3 bytes
  EXPECT_EQ(image, (Bytes{7, 8, 9, 4, 5, 6, 1, 2, 3}));
  Bytes copy(9, 0);
  EXPECT_EQ(ImageFlip(copy.data(), image.data(), 9, 1, 0), 1);
  EXPECT_EQ(copy, image);
  EXPECT_EQ(ImageFlip(copy.data(), image.data(), 3, 3, 0), 1);
  EXPECT_EQ(copy, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(CopyMemory, CopiesCountBytes) {
  const Bytes src{1, 2, 3, 4};
  Bytes dst(4, 0);
  EXPECT_EQ(Ser_CopyMemory(dst.data(), src.data(), 0), 1);
  EXPECT_EQ(dst, Bytes(4, 0));
  EXPECT_EQ(Ser_CopyMemory(dst.data(), src.data(), 3), 1);
  EXPECT_EQ(dst, (Bytes{1, 2, 3, 0}));
}

}  // namespace
