// The built-in arrow picture honours the tile table: header values, where each arrow's tip and
// tail lie, empty tiles, and red pixels with soft edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "Embedded.h"
#include "image/ArrowOverlay.h"

namespace {

constexpr int kTile = 64;
constexpr std::size_t kTileBytes = kTile * kTile * 3;
constexpr std::size_t kPixelOffset = 54;

uint32_t U32(std::size_t offset) {
  const unsigned char* p = vialto::embedded::vialto_arrows_bmp + offset;
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t U16(std::size_t offset) {
  const unsigned char* p = vialto::embedded::vialto_arrows_bmp + offset;
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

const unsigned char* TilePixel(int tile, int c, int r) {
  return vialto::embedded::vialto_arrows_bmp + kPixelOffset + tile * kTileBytes +
         (static_cast<std::size_t>(r) * kTile + c) * 3;
}
bool Drawn(int tile, int c, int r) {
  const unsigned char* p = TilePixel(tile, c, r);
  return (p[0] | p[1] | p[2]) != 0;
}

struct Point {
  double c, r;
};

// Tip: the drawn pixel furthest along the arrow's direction. Tail: the middle of the drawn pixels
// within two steps of the other end (a square-cut tail has no single furthest pixel).
std::pair<Point, Point> TipAndTail(int tile, int dc, int dr) {
  int best = -1000, worst = 1000;
  Point tip{};
  for (int r = 0; r < kTile; ++r)
    for (int c = 0; c < kTile; ++c)
      if (Drawn(tile, c, r)) {
        const int along = dc * c + dr * r;
        if (along > best) best = along, tip = {double(c), double(r)};
        worst = std::min(worst, along);
      }
  double sc = 0, sr = 0;
  int n = 0;
  const int reach = 2 * std::max(std::abs(dc), std::abs(dr));
  for (int r = 0; r < kTile; ++r)
    for (int c = 0; c < kTile; ++c)
      if (Drawn(tile, c, r) && dc * c + dr * r <= worst + reach) sc += c, sr += r, ++n;
  return {tip, {sc / n, sr / n}};
}

TEST(ArrowPicture, IsA64By512BottomUp24BitBitmap) {
  ASSERT_EQ(vialto::embedded::vialto_arrows_bmp_size, kPixelOffset + 8 * kTileBytes);
  EXPECT_EQ(std::memcmp(vialto::embedded::vialto_arrows_bmp, "BM", 2), 0);
  EXPECT_EQ(U32(2), 98358u);  // bfSize
  EXPECT_EQ(U32(10), 54u);    // bfOffBits
  EXPECT_EQ(U32(14), 40u);    // biSize
  EXPECT_EQ(U32(18), 64u);
  EXPECT_EQ(U32(22), 512u);  // positive: bottom-up
  EXPECT_EQ(U16(26), 1);
  EXPECT_EQ(U16(28), 24);
  EXPECT_EQ(U32(30), 0u);
  EXPECT_EQ(U32(34), 98304u);
  EXPECT_EQ(U32(38), 2834u);
  EXPECT_EQ(U32(42), 2834u);
  EXPECT_EQ(U32(46), 0u);
  EXPECT_EQ(U32(50), 0u);
}

TEST(ArrowPicture, ArrowsLieWhereTheTileTableSays) {
  struct Expectation {
    int tile, dc, dr;
    Point tip, tail;
  };
  const Expectation table[] = {
      {0, -1, -1, {1, 1}, {45, 39}}, {1, 1, -1, {62, 1}, {20, 41}}, {2, -1, 1, {1, 62}, {44, 23}},
      {3, 1, 1, {63, 62}, {22, 20}}, {7, 1, 0, {61, 6}, {3, 6}},
  };
  for (const Expectation& e : table) {
    SCOPED_TRACE(e.tile);
    const auto [tip, tail] = TipAndTail(e.tile, e.dc, e.dr);
    EXPECT_NEAR(tip.c, e.tip.c, 2.0);
    EXPECT_NEAR(tip.r, e.tip.r, 2.0);
    EXPECT_NEAR(tail.c, e.tail.c, 2.0);
    EXPECT_NEAR(tail.r, e.tail.r, 2.0);
  }
}

TEST(ArrowPicture, ShaftsAreSixToSevenPixelsAlongARow) {
  // Diagonal shafts: 6 to 7 pixels along a row, counting pixels at least half covered.
  for (int tile = 0; tile < 4; ++tile) {
    for (int r : {28, 32, 36}) {
      const int row = tile >= 2 ? 63 - r : r;
      int n = 0;
      for (int c = 0; c < kTile; ++c) n += TilePixel(tile, c, row)[2] >= 128;
      EXPECT_GE(n, 6) << "tile " << tile << " row " << row;
      EXPECT_LE(n, 7) << "tile " << tile << " row " << row;
    }
  }
  // Horizontal shaft: rows 4 to 8 from column 3.
  for (int r = 0; r < 13; ++r) EXPECT_EQ(TilePixel(7, 20, r)[2] >= 128, r >= 4 && r <= 8) << r;
  EXPECT_FALSE(Drawn(7, 2, 6));
  EXPECT_TRUE(Drawn(7, 3, 6));
}

TEST(ArrowPicture, TilesFourToSixAndTheRestOfTileSevenAreEmpty) {
  for (int tile = 4; tile <= 6; ++tile) {
    const unsigned char* p = TilePixel(tile, 0, 0);
    EXPECT_TRUE(std::all_of(p, p + kTileBytes, [](unsigned char b) { return b == 0; })) << tile;
  }
  for (int r = 13; r < kTile; ++r) {
    for (int c = 0; c < kTile; ++c) EXPECT_FALSE(Drawn(7, c, r)) << c << "," << r;
  }
}

TEST(ArrowPicture, ArrowsAreRedWithSoftEdges) {
  for (int tile : {0, 1, 2, 3, 7}) {
    int drawn = 0, full = 0, soft = 0;
    for (int r = 0; r < kTile; ++r) {
      for (int c = 0; c < kTile; ++c) {
        if (!Drawn(tile, c, r)) continue;
        ++drawn;
        const unsigned char* p = TilePixel(tile, c, r);
        EXPECT_LE(p[0], 9);
        EXPECT_LE(p[1], 9);
        EXPECT_GE(p[2], std::max(p[0], p[1]));
        p[2] >= 212 ? ++full : ++soft;
        // Well inside the arrow (a 5 x 5 neighbourhood all drawn) a pixel is fully red.
        bool inside = true;
        for (int dr = -2; dr <= 2; ++dr) {
          for (int dc = -2; dc <= 2; ++dc) {
            const int cc = c + dc, rr = r + dr;
            inside =
                inside && cc >= 0 && cc < kTile && rr >= 0 && rr < kTile && Drawn(tile, cc, rr);
          }
        }
        if (inside) {
          EXPECT_GE(p[2], 212) << "tile " << tile << " at " << c << "," << r;
        }
      }
    }
    EXPECT_GT(full, drawn / 2) << tile;
    EXPECT_GT(soft, 0) << tile;  // anti-aliased rim
  }
}

TEST(ArrowPicture, LoadedObjectHoldsTheBuiltInPixelsAsSquareTiles) {
  const CArrowOverlay& overlay = TheArrowOverlay();
  ASSERT_NE(overlay.Pixels(), nullptr);
  EXPECT_EQ(overlay.Width(), 64);
  EXPECT_EQ(overlay.Height(), 64);
  EXPECT_EQ(std::memcmp(overlay.Pixels(), vialto::embedded::vialto_arrows_bmp + kPixelOffset,
                        8 * kTileBytes),
            0);
}

}  // namespace
