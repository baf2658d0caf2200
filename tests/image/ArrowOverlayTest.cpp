// PasteToImgX: tile choice and placement, the half-and-half blend, clipping, and the override
// file, exercised on private copies of the built library with a picture of known pixels beside.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "Embedded.h"
#include "image/ArrowOverlay.h"
#include "platform/Alloc.h"
#include "support/GuardedBuffer.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace {

using vialto::test::Bytes;
using PasteFn = int (*)(unsigned char*, int, int, int, int, int);

constexpr int kTile = 64;
constexpr std::size_t kTileBytes = kTile * kTile * 3;
constexpr std::size_t kPictureBytes = 8 * kTileBytes;

const unsigned char* BuiltInPixels() { return vialto::embedded::vialto_arrows_bmp + 54; }

// A copy of the built library alone in a temp dir, with `overrideFile` beside it as vialtox.res.
class LibraryCopy {
 public:
  explicit LibraryCopy(const Bytes* overrideFile = nullptr) {
    const std::string lib = dir_.File("libvialto.so");
    std::filesystem::copy_file(VIALTO_LIBRARY_FILE, lib);
    if (overrideFile != nullptr) vialto::test::WriteFile(dir_.File("vialtox.res"), *overrideFile);
    handle_ = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      ADD_FAILURE() << dlerror();
      return;
    }
    paste_ = reinterpret_cast<PasteFn>(dlsym(handle_, "PasteToImgX"));
  }
  ~LibraryCopy() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  PasteFn paste() const { return paste_; }

 private:
  vialto::test::TempDir dir_;
  void* handle_ = nullptr;
  PasteFn paste_ = nullptr;
};

// An override file: 14-byte file header with bfOffBits, filler up to it, then `pixels`.
Bytes OverrideFile(const Bytes& pixels, uint32_t offBits = 54) {
  Bytes file(offBits, 0xEE);  // the info header is never read: filler will do
  const uint32_t size = offBits + static_cast<uint32_t>(pixels.size());
  const uint8_t head[14] = {'B',
                            'M',
                            uint8_t(size),
                            uint8_t(size >> 8),
                            uint8_t(size >> 16),
                            uint8_t(size >> 24),
                            0,
                            0,
                            0,
                            0,
                            uint8_t(offBits),
                            uint8_t(offBits >> 8),
                            uint8_t(offBits >> 16),
                            uint8_t(offBits >> 24)};
  std::memcpy(file.data(), head, std::min<std::size_t>(14, file.size()));
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}

// Every pixel of every tile drawn and telling where it came from: tile k, column c, row r is
// (2k + 2, 2c, 2r), so that blended into black it reads (k + 1, c, r).
Bytes MarkerPicture() {
  Bytes pixels(kPictureBytes);
  for (int k = 0; k < 8; ++k)
    for (int r = 0; r < kTile; ++r)
      for (int c = 0; c < kTile; ++c) {
        uint8_t* p = &pixels[k * kTileBytes + (r * kTile + c) * 3];
        p[0] = uint8_t(2 * k + 2), p[1] = uint8_t(2 * c), p[2] = uint8_t(2 * r);
      }
  return pixels;
}

// Checks a black image after one marker paste: exactly tile `tile` with its first pixel at
// (left, top), clipped to the image, and nothing else (tile < 0: nothing at all).
void ExpectMarkerTile(const uint8_t* image, int width, int height, int tile, int left, int top) {
  int wrong = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = image + (static_cast<std::size_t>(y) * width + x) * 3;
      const bool covered =
          tile >= 0 && x >= left && x < left + kTile && y >= top && y < top + kTile;
      const uint8_t want[3] = {uint8_t(covered ? tile + 1 : 0), uint8_t(covered ? x - left : 0),
                               uint8_t(covered ? y - top : 0)};
      if (std::memcmp(p, want, 3) != 0 && ++wrong <= 3)
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << int(p[0]) << "," << int(p[1])
                      << "," << int(p[2]) << ", want " << int(want[0]) << "," << int(want[1]) << ","
                      << int(want[2]);
    }
  }
  EXPECT_EQ(wrong, 0);
}

// The expected result of blending one tile into an image, for comparisons with real pictures.
Bytes Blended(Bytes image, int width, int height, const uint8_t* tile, int left, int top) {
  for (int r = 0; r < kTile && top + r < height; ++r)
    for (int c = 0; c < kTile && left + c < width; ++c) {
      const uint8_t* s = tile + (r * kTile + c) * 3;
      if (s[0] == 0 && s[1] == 0 && s[2] == 0) continue;
      uint8_t* d = &image[((top + r) * width + left + c) * 3];
      for (int i = 0; i < 3; ++i) d[i] = uint8_t((d[i] + s[i]) / 2);
    }
  return image;
}

TEST(ArrowOverlay, BlendsEachByteHalfAndHalfAndSkipsBlack) {
  Bytes pixels(kPictureBytes, 0);
  Bytes tile0 = vialto::test::RandomBytes(kTileBytes, 7);
  for (std::size_t i = 0; i < tile0.size(); i += 15) std::memset(&tile0[i], 0, 3);  // transparent
  const uint8_t special[][3] = {{0, 0, 1}, {0, 0, 250}, {0, 0, 250}, {0, 0, 0}};
  std::memcpy(tile0.data(), special, sizeof special);  // tile pixels (0..3, 0)
  std::copy(tile0.begin(), tile0.end(), pixels.begin());
  const Bytes file = OverrideFile(pixels);
  LibraryCopy copy(&file);
  ASSERT_NE(copy.paste(), nullptr);

  const int width = 80, height = 70;
  Bytes image = vialto::test::RandomBytes(width * height * 3, 8);
  const uint8_t under[][3] = {{255, 255, 255}, {255, 255, 255}, {0, 0, 0}, {9, 99, 199}};
  std::memcpy(image.data(), under, sizeof under);  // image pixels (0..3, 0)
  const Bytes before = image;

  EXPECT_EQ(copy.paste()(image.data(), width, height, 0, 0, 0), 1);
  const uint8_t after[][3] = {{127, 127, 128}, {127, 127, 252}, {0, 0, 125}, {9, 99, 199}};
  EXPECT_EQ(std::memcmp(image.data(), after, sizeof after), 0);
  EXPECT_EQ(image, Blended(before, width, height, tile0.data(), 0, 0));

  // A second paste averages again, moving further toward the arrow's colour.
  copy.paste()(image.data(), width, height, 0, 0, 0);
  const uint8_t twice[][3] = {{63, 63, 64}, {63, 63, 251}, {0, 0, 187}, {9, 99, 199}};
  EXPECT_EQ(std::memcmp(image.data(), twice, sizeof twice), 0);
}

TEST(ArrowOverlay, PointAndBaseTileChooseTheTileAndItsPlace) {
  const Bytes file = OverrideFile(MarkerPicture());
  LibraryCopy copy(&file);
  ASSERT_NE(copy.paste(), nullptr);
  struct Case {
    int x, y, base, tile, left, top;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 0, 0},     {64, 10, 0, 0, 64, 10},      {65, 10, 0, 1, 1, 10},
      {10, 64, 0, 0, 10, 64}, {10, 65, 0, 2, 10, 1},       {65, 65, 0, 3, 1, 1},
      {64, 64, 0, 0, 64, 64}, {150, 120, 0, 3, 86, 56},    {65, 65, 4, 7, 1, 1},
      {10, 10, 4, 4, 10, 10}, {65, 10, 1, 2, 1, 10},       {10, 10, 7, 7, 10, 10},
      {65, 10, -1, 0, 1, 10}, {10, 10, -1, -1, 0, 0},      {10, 10, 8, -1, 0, 0},
      {65, 65, 5, -1, 0, 0},  {65, 65, INT_MAX, -1, 0, 0}, {10, 10, INT_MIN, -1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "x " << c.x << " y " << c.y << " base " << c.base);
    const int width = 200, height = 150;
    Bytes image(width * height * 3, 0);
    EXPECT_EQ(copy.paste()(image.data(), width, height, c.x, c.y, c.base), 1);
    ExpectMarkerTile(image.data(), width, height, c.tile, c.left, c.top);
  }
}

TEST(ArrowOverlay, PointsOutsideTheImageDrawNothing) {
  const Bytes file = OverrideFile(MarkerPicture());
  LibraryCopy copy(&file);
  ASSERT_NE(copy.paste(), nullptr);
  const int points[][2] = {{-1, 10},      {10, -1},           {-1, -1},          {-1, 100},
                           {100, -1},     {INT_MIN, INT_MIN}, {INT_MAX, 10},     {10, INT_MAX},
                           {200 + 64, 5}, {5, 150 + 64},      {INT_MAX, INT_MAX}};
  for (const auto& p : points) {
    SCOPED_TRACE(::testing::Message() << p[0] << ", " << p[1]);
    Bytes image(200 * 150 * 3, 0);
    EXPECT_EQ(copy.paste()(image.data(), 200, 150, p[0], p[1], 0), 1);
    ExpectMarkerTile(image.data(), 200, 150, -1, 0, 0);
  }
  // No image, or an empty one: nothing is touched and the result is still 1.
  uint8_t pixel[3] = {1, 2, 3};
  EXPECT_EQ(copy.paste()(nullptr, 100, 100, 0, 0, 0), 1);
  EXPECT_EQ(copy.paste()(pixel, 0, 1, 0, 0, 0), 1);
  EXPECT_EQ(copy.paste()(pixel, 1, -5, 0, 0, 0), 1);
  EXPECT_EQ(pixel[0] + pixel[1] + pixel[2], 6);
}

TEST(ArrowOverlay, TilesAreClippedAtTheFarEdgesOfTheImage) {
  const Bytes file = OverrideFile(MarkerPicture());
  LibraryCopy copy(&file);
  ASSERT_NE(copy.paste(), nullptr);
  struct Case {
    int width, height, x, y, tile, left, top;
  };
  const Case cases[] = {
      {100, 80, 100, 80, 3, 36, 16},  // x = width, y = height: the tile ends on the last pixel
      {130, 130, 130, 130, 3, 66, 66}, {100, 80, 99, 79, 3, 35, 15},
      {100, 80, 30, 50, 0, 30, 50},  // crosses the bottom edge
      {70, 200, 60, 10, 0, 60, 10},  // crosses the right edge
      {70, 70, 63, 63, 0, 63, 63},   // crosses both
      {64, 64, 63, 63, 0, 63, 63},   // only the last pixel of the buffer
      {1, 1, 0, 0, 0, 0, 0},           {3, 200, 2, 100, 2, 2, 36},
      {64, 64, 64, 10, -1, 0, 0},  // left = width: refused
      {64, 64, 10, 64, -1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.width << "x" << c.height << " at " << c.x << ", " << c.y);
    vialto::test::GuardedBuffer image(static_cast<std::size_t>(c.width) * c.height * 3, 0);
    EXPECT_EQ(copy.paste()(image.data(), c.width, c.height, c.x, c.y, 0), 1);
    ExpectMarkerTile(image.data(), c.width, c.height, c.tile, c.left, c.top);
  }
}

TEST(ArrowOverlay, OverrideFileIsReadFromBfOffBitsAndMayBeShort) {
  const int width = 64, height = 64;
  const Bytes grey(width * height * 3, 100);
  {  // bfOffBits past a header of junk: the info header is not examined
    const Bytes file = OverrideFile(MarkerPicture(), 300);
    LibraryCopy copy(&file);
    ASSERT_NE(copy.paste(), nullptr);
    Bytes image(200 * 150 * 3, 0);
    copy.paste()(image.data(), 200, 150, 100, 100, 0);
    ExpectMarkerTile(image.data(), 200, 150, 3, 36, 36);
  }
  {  // a short file replaces only the leading bytes of tile 0
    const Bytes lead(100, 0x40);
    const Bytes file = OverrideFile(lead);
    LibraryCopy copy(&file);
    ASSERT_NE(copy.paste(), nullptr);
    Bytes expectedTile(BuiltInPixels(), BuiltInPixels() + kTileBytes);
    std::copy(lead.begin(), lead.end(), expectedTile.begin());
    Bytes image = grey;
    copy.paste()(image.data(), width, height, 0, 0, 0);
    EXPECT_EQ(image, Blended(grey, width, height, expectedTile.data(), 0, 0));
  }
  // Files that give no pixels leave the built-in picture: shorter than the file header, or
  // bfOffBits at or past the end.
  const Bytes tiny(10, 0x55);
  Bytes pastEnd = OverrideFile({}, 54);
  pastEnd[10] = 0xFF, pastEnd[11] = 0xFF;
  const Bytes* const noPixels[] = {&tiny, &pastEnd};
  for (const Bytes* file : noPixels) {
    LibraryCopy copy(file);
    ASSERT_NE(copy.paste(), nullptr);
    Bytes image = grey;
    copy.paste()(image.data(), width, height, 0, 0, 0);
    EXPECT_EQ(image, Blended(grey, width, height, BuiltInPixels(), 0, 0));
  }
}

TEST(ArrowOverlay, AllZeroOverrideDrawsNothing) {
  const Bytes file = OverrideFile(Bytes(kPictureBytes, 0));
  LibraryCopy copy(&file);
  ASSERT_NE(copy.paste(), nullptr);
  const Bytes before = vialto::test::RandomBytes(200 * 150 * 3, 3);
  Bytes image = before;
  const int points[][2] = {{0, 0}, {100, 10}, {10, 100}, {100, 100}, {200, 150}};
  for (int base : {0, 4}) {
    for (const auto& p : points)
      EXPECT_EQ(copy.paste()(image.data(), 200, 150, p[0], p[1], base), 1);
  }
  EXPECT_EQ(image, before);
}

TEST(ArrowOverlay, BuiltInPictureWithoutOverride) {
  LibraryCopy copy;
  ASSERT_NE(copy.paste(), nullptr);
  const int width = 200, height = 200;
  const Bytes grey(width * height * 3, 100);
  Bytes image = grey;
  copy.paste()(image.data(), width, height, 0, 0, 0);
  EXPECT_EQ(image, Blended(grey, width, height, BuiltInPixels(), 0, 0));
  // Base tile 4: tiles 4 to 6 are empty, so only a point beyond 64 in both draws (tile 7).
  image = grey;
  const int empty[][2] = {{10, 10}, {100, 10}, {10, 100}, {64, 64}};
  for (const auto& p : empty) copy.paste()(image.data(), width, height, p[0], p[1], 4);
  EXPECT_EQ(image, grey);
  copy.paste()(image.data(), width, height, 100, 120, 4);
  EXPECT_EQ(image, Blended(grey, width, height, BuiltInPixels() + 7 * kTileBytes, 36, 56));
}

TEST(ArrowOverlay, ArrowheadTouchesThePointOnTheSideWithRoom) {
  LibraryCopy copy;
  ASSERT_NE(copy.paste(), nullptr);
  struct Case {
    int x, y, tipX, tipY;
  };
  const Case cases[] = {{40, 30, 41, 31}, {100, 30, 98, 31}, {40, 100, 41, 98}, {100, 100, 99, 98}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.x << ", " << c.y);
    const int width = 200, height = 200;
    Bytes image(width * height * 3, 0);
    copy.paste()(image.data(), width, height, c.x, c.y, 0);
    // The drawn pixel nearest the point is the tip.
    int bestX = -1, bestY = -1, best = INT_MAX;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = &image[(y * width + x) * 3];
        const int d = (x - c.x) * (x - c.x) + (y - c.y) * (y - c.y);
        if ((p[0] | p[1] | p[2]) != 0 && d < best) best = d, bestX = x, bestY = y;
      }
    EXPECT_NEAR(bestX, c.tipX, 2);
    EXPECT_NEAR(bestY, c.tipY, 2);
  }
}

TEST(ArrowOverlay, WithoutPixelsNothingIsDrawn) {
  vialto::platform::FailAllocationsAfter(0, 1);
  const CArrowOverlay overlay;
  vialto::platform::FailAllocationsAfter(-1, 0);
  EXPECT_EQ(overlay.Pixels(), nullptr);
  Bytes image(100 * 100 * 3, 50);
  EXPECT_EQ(overlay.PasteTile(image.data(), 100, 100, 0, 0, 0), 1);
  EXPECT_EQ(image, Bytes(100 * 100 * 3, 50));
}

TEST(ArrowOverlay, ConcurrentPastesMatchPastesAlone) {
  const int width = 300, height = 200;
  const Bytes start = vialto::test::RandomBytes(width * height * 3, 11);
  auto pasteMany = [&](Bytes& image, int seed) {
    for (int i = 0; i < 200; ++i)
      PasteToImgX(image.data(), width, height, (i * 37 + seed) % (width + 20) - 10,
                  (i * 53 + seed) % (height + 20) - 10, (i % 3 == 0) ? 4 : 0);
  };
  std::vector<Bytes> alone(4, start);
  for (int t = 0; t < 4; ++t) pasteMany(alone[t], t * 17);
  std::vector<Bytes> together(4, start);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back([&, t] { pasteMany(together[t], t * 17); });
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(together[t], alone[t]) << t;
  EXPECT_NE(alone[0], start);
}

}  // namespace
