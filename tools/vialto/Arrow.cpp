#include "Arrow.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "vialto/vialto.h"

namespace vialto::cli {
namespace {

constexpr int kTile = 64;  // the library's arrow tiles are 64 x 64
constexpr int kTileCount = 8;
constexpr int kHeadReach = 17;  // an arrowhead lies within this many pixels of its tip
constexpr int kSolidRed = 100;  // half of an arrow's body red (212 to 255), as pasted on black

// One diagonal arrow of the library's picture, in tile columns and stored rows.
struct ArrowShape {
  int tile = 0;
  int tipColumn = 0, tipRow = 0;
  std::vector<std::array<int, 3>> drawn;  // (column, row, solid) of every pixel the tile draws
};

// Tiles 0 to 3 point towards lower or higher columns and stored rows.
constexpr int kDirections[4][2] = {{-1, -1}, {+1, -1}, {-1, +1}, {+1, +1}};

// Pastes the tile alone onto black, where the library draws it with its corner at (0, 0) and at
// half its brightness, and takes the solid pixel furthest along its direction (the brightest of
// equals) as the tip: the soft edge beyond it is too faint to read as the arrow's point.
ArrowShape MeasureTile(int tile) {
  std::vector<uint8_t> black(kTile * kTile * 3, 0);
  PasteToImgX(black.data(), kTile, kTile, 0, 0, tile);
  ArrowShape shape;
  shape.tile = tile;
  int best = -1000000, brightest = -1;
  for (int r = 0; r < kTile; ++r) {
    for (int c = 0; c < kTile; ++c) {
      const uint8_t* p = &black[(static_cast<size_t>(r) * kTile + c) * 3];
      if ((p[0] | p[1] | p[2]) == 0) continue;
      const bool solid = p[2] >= kSolidRed;
      shape.drawn.push_back({c, r, solid ? 1 : 0});
      if (!solid) continue;
      const int score = kDirections[tile][0] * c + kDirections[tile][1] * r;
      if (score > best || (score == best && p[2] > brightest)) {
        best = score;
        brightest = p[2];
        shape.tipColumn = c;
        shape.tipRow = r;
      }
    }
  }
  return shape;
}

const std::array<ArrowShape, 4>& DiagonalArrows() {
  static const std::array<ArrowShape, 4> shapes{MeasureTile(0), MeasureTile(1), MeasureTile(2),
                                                MeasureTile(3)};
  return shapes;
}

struct Fit {
  int inside = 0;  // drawn pixels that fall inside the picture
  bool headInside = true;
};

Fit FitAt(const ArrowShape& shape, const Bitmap& bitmap, int x, int storedRow) {
  Fit fit;
  for (const auto& [c, r, solid] : shape.drawn) {
    const int dc = c - shape.tipColumn, dr = r - shape.tipRow;
    const int ix = x + dc, iy = storedRow + dr;
    const bool inside = ix >= 0 && ix < bitmap.width && iy >= 0 && iy < bitmap.height;
    fit.inside += inside ? 1 : 0;
    if (!inside && solid && std::max(std::abs(dc), std::abs(dr)) < kHeadReach)
      fit.headInside = false;
  }
  return fit;
}

// Pastes tile `tile` with its corner at (left, top) of the picture, stored rows. The library
// takes a tile back and moves to the next tile for a point past the first tile width (and by
// two for a point past the first tile height): asking for tile - 3 at (left + 64, top + 64)
// lands tile itself at (left, top), for any left and top of at least 1. The paste runs on a
// window of the picture with a tile's margin, so that both always are.
void PasteTileWithCornerAt(Bitmap& bitmap, int tile, int left, int top) {
  constexpr int kWindow = 3 * kTile;
  const int originX = left - kTile, originY = top - kTile;
  std::vector<uint8_t> window(static_cast<size_t>(kWindow) * kWindow * 3, 0);
  auto each = [&](auto copy) {
    for (int wy = 0; wy < kWindow; ++wy) {
      const int iy = originY + wy;
      if (iy < 0 || iy >= bitmap.height) continue;
      const int from = std::max(0, -originX), to = std::min(kWindow, bitmap.width - originX);
      if (from >= to) continue;
      uint8_t* w = &window[(static_cast<size_t>(wy) * kWindow + from) * 3];
      uint8_t* p = &bitmap.pixels[(static_cast<size_t>(iy) * bitmap.width + originX + from) * 3];
      copy(w, p, static_cast<size_t>(to - from) * 3);
    }
  };
  each([](uint8_t* w, const uint8_t* p, size_t n) { std::copy_n(p, n, w); });
  PasteToImgX(window.data(), kWindow, kWindow, 2 * kTile, 2 * kTile, tile - 3);
  each([](const uint8_t* w, uint8_t* p, size_t n) { std::copy_n(w, n, p); });
}

std::string PointText(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }

std::string SizeText(const Bitmap& bitmap) {
  return std::to_string(bitmap.width) + "x" + std::to_string(bitmap.height);
}

}  // namespace

bool PointArrowAt(Bitmap& bitmap, int x, int y, std::string* why) {
  if (x < 0 || y < 0 || x >= bitmap.width || y >= bitmap.height) {
    *why = PointText(x, y) + " lies outside the " + SizeText(bitmap) + " picture";
    return false;
  }
  const int storedRow = bitmap.height - 1 - y;  // the library counts rows bottom first
  const ArrowShape* best = nullptr;
  int bestInside = -1;
  for (const ArrowShape& shape : DiagonalArrows()) {
    const Fit fit = FitAt(shape, bitmap, x, storedRow);
    if (shape.drawn.empty() || !fit.headInside) continue;
    if (fit.inside > bestInside) {
      best = &shape;
      bestInside = fit.inside;
    }
  }
  if (!best) {
    *why = "no arrowhead fits at " + PointText(x, y) + " in the " + SizeText(bitmap) +
           " picture (a head needs " + std::to_string(kHeadReach) + " pixels beside the point)";
    return false;
  }
  PasteTileWithCornerAt(bitmap, best->tile, x - best->tipColumn, storedRow - best->tipRow);
  return true;
}

bool PasteArrowTile(Bitmap& bitmap, int x, int y, int tile, std::string* why) {
  if (x < 0 || y < 0 || x >= bitmap.width || y >= bitmap.height) {
    *why = PointText(x, y) + " lies outside the " + SizeText(bitmap) + " picture";
    return false;
  }
  const int storedRow = bitmap.height - 1 - y;
  const std::vector<uint8_t> before = bitmap.pixels;
  PasteToImgX(bitmap.pixels.data(), bitmap.width, bitmap.height, x, storedRow, tile);
  if (bitmap.pixels != before) return true;
  // The library's choice, to say why nothing came of it.
  const int index = tile + (x > kTile ? 1 : 0) + (storedRow > kTile ? 2 : 0);
  const int left = x > kTile ? x - kTile : x;
  const int top = storedRow > kTile ? storedRow - kTile : storedRow;
  if (index >= kTileCount) {
    *why = "at " + PointText(x, y) + " base tile " + std::to_string(tile) + " becomes tile " +
           std::to_string(index) + ", past the last tile (7): nothing is drawn";
  } else if (index >= 4 && index <= 6) {
    *why = "at " + PointText(x, y) + " base tile " + std::to_string(tile) + " becomes tile " +
           std::to_string(index) + ", which is empty (tiles 4 to 6 are)";
  } else {
    *why = "at " + PointText(x, y) + " tile " + std::to_string(index) + " lands at column " +
           std::to_string(left) + ", stored row " + std::to_string(top) +
           " and draws nothing inside the " + SizeText(bitmap) + " picture";
  }
  return false;
}

}  // namespace vialto::cli
