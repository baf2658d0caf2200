#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "platform/text/TextOutput.h"
#include "support/GuardedBuffer.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace {

using vialto::test::Bytes;
using vialto::test::GuardedBuffer;

constexpr COLORREF kTransparent = 0xFFFFFFFF;
constexpr std::size_t kFrontGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;

// A bitmap-order picture (B, G, R, bottom row stored first) with guard bytes in front and an
// inaccessible page right behind it.
class Picture {
 public:
  Picture(int width, int height, uint8_t fill = 0)
      : width_(width),
        height_(height),
        buffer_(std::make_unique<GuardedBuffer>(kFrontGuard + Size(), fill)) {
    std::memset(buffer_->data(), kGuardByte, kFrontGuard);
  }
  int width() const { return width_; }
  int height() const { return height_; }
  std::size_t Size() const { return std::size_t(width_) * height_ * 3; }
  uint8_t* data() { return buffer_->data() + kFrontGuard; }
  const uint8_t* data() const { return buffer_->data() + kFrontGuard; }
  Bytes Copy() const { return Bytes(data(), data() + Size()); }
  void Fill(const Bytes& bytes) { std::memcpy(data(), bytes.data(), Size()); }
  // The pixel in column x of row y counted from the top, as stored: B, G, R.
  const uint8_t* At(int x, int y) const {
    return data() + (std::size_t(height_ - 1 - y) * width_ + x) * 3;
  }
  bool FrontGuardIntact() const {
    return std::all_of(buffer_->data(), buffer_->data() + kFrontGuard,
                       [](uint8_t b) { return b == kGuardByte; });
  }

 private:
  int width_, height_;
  std::unique_ptr<GuardedBuffer> buffer_;
};

struct Box {  // top-down picture coordinates, right and bottom exclusive
  int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
  long pixels = 0;
  bool Empty() const { return pixels == 0; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

Box ChangedPixels(const Picture& picture, const Bytes& before) {
  Box box;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const uint8_t* now = picture.At(x, y);
      const std::size_t offset = now - picture.data();
      if (std::memcmp(now, before.data() + offset, 3) == 0) continue;
      box.left = std::min(box.left, x), box.right = std::max(box.right, x + 1);
      box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y + 1);
      ++box.pixels;
    }
  return box;
}

LOGFONTA Font(const char* face, int height, int weight = FW_NORMAL) {
  LOGFONTA font;
  std::memset(&font, 0, sizeof font);
  font.lfHeight = height;
  font.lfWeight = weight;
  std::strncpy(font.lfFaceName, face, sizeof font.lfFaceName - 1);
  return font;
}

// Draws on a copy of before and returns what changed.
Box DrawAndCompare(Picture& picture, int x, int y, const char* text, const LOGFONTA& font,
                   COLORREF textColour = RGB(255, 255, 255), COLORREF back = kTransparent) {
  const Bytes before = picture.Copy();
  EXPECT_EQ(ImageWriteStringToImg(picture.data(), picture.width(), picture.height(), x, y, text,
                                  &font, textColour, back),
            1);
  EXPECT_TRUE(picture.FrontGuardIntact());
  return ChangedPixels(picture, before);
}

TEST(TextOverlay, TextColourIsStoredBlueGreenRed) {
  Picture picture(120, 40);
  LOGFONTA font = Font("DejaVu Sans", -24);
  font.lfQuality = NONANTIALIASED_QUALITY;
  ASSERT_GT(DrawAndCompare(picture, 4, 4, "Red", font, RGB(255, 0, 0)).pixels, 40);
  for (std::size_t i = 0; i < picture.Size(); i += 3) {
    const uint8_t* p = picture.data() + i;
    const bool untouched = p[0] == 0 && p[1] == 0 && p[2] == 0;
    EXPECT_TRUE(untouched || (p[0] == 0 && p[1] == 0 && p[2] == 255)) << "pixel " << i / 3;
  }
  // Anti-aliased edges blend towards the colour, never into the other channels.
  Picture smooth(120, 40);
  DrawAndCompare(smooth, 4, 4, "Red", Font("DejaVu Sans", -24), RGB(255, 0, 0));
  int fullRed = 0, partial = 0;
  for (std::size_t i = 0; i < smooth.Size(); i += 3) {
    const uint8_t* p = smooth.data() + i;
    EXPECT_EQ(p[0] | p[1], 0);
    fullRed += p[2] == 255;
    partial += p[2] > 0 && p[2] < 255;
  }
  EXPECT_GT(fullRed, 0);
  EXPECT_GT(partial, 0);
}

TEST(TextOverlay, YZeroIsTheTopOfThePictureAndTheLastStoredRows) {
  Picture picture(80, 60);
  const Box ink = DrawAndCompare(picture, 2, 0, "Top", Font("DejaVu Sans", 20));
  ASSERT_FALSE(ink.Empty());
  EXPECT_LE(ink.top, 5);
  EXPECT_LE(ink.bottom, 20);
  // The first stored rows are the bottom of the picture and stay black.
  const std::size_t lastStoredRows = std::size_t(60 - 20) * 80 * 3;
  EXPECT_TRUE(std::all_of(picture.data(), picture.data() + lastStoredRows,
                          [](uint8_t b) { return b == 0; }));
}

TEST(TextOverlay, OpaqueFillsTheCellBoxTransparentKeepsWhatIsBetweenStrokes) {
  const int width = 200, height = 50, x = 7, y = 9, cell = 30;
  const Bytes noise = vialto::test::RandomBytes(std::size_t(width) * height * 3, 7);
  const LOGFONTA font = Font("DejaVu Sans", cell);
  vialto::platform::text::FontRequest request;
  request.faceName = "DejaVu Sans";
  request.height = cell;
  const int64_t advance = vialto::platform::text::MeasureTextLine(request, U"HIH")->advance;

  Picture picture(width, height);
  picture.Fill(noise);
  const COLORREF back = RGB(10, 20, 30);
  // Text in the background colour paints exactly the cell box, in one colour.
  const Box box = DrawAndCompare(picture, x, y, "HIH", font, back, back);
  EXPECT_EQ(box.left, x);
  EXPECT_EQ(box.top, y);
  EXPECT_EQ(box.Width(), advance);
  EXPECT_EQ(box.Height(), cell);
  for (int row = box.top; row < box.bottom; ++row)
    for (int col = box.left; col < box.right; ++col)
      EXPECT_EQ(std::memcmp(picture.At(col, row), "\x1e\x14\x0a", 3), 0);

  // Opaque: every pixel of the box lies between background and text colour.
  picture.Fill(noise);
  const Box opaque = DrawAndCompare(picture, x, y, "HIH", font, RGB(250, 240, 230), back);
  EXPECT_EQ(opaque.pixels, long(advance) * cell);
  for (int row = box.top; row < box.bottom; ++row)
    for (int col = box.left; col < box.right; ++col) {
      const uint8_t* p = picture.At(col, row);
      EXPECT_TRUE(p[0] >= 30 && p[0] <= 230 && p[1] >= 20 && p[1] <= 240 && p[2] >= 10 &&
                  p[2] <= 250);
    }

  // Transparent: the strokes change, most of the box keeps the noise.
  picture.Fill(noise);
  const Box strokes = DrawAndCompare(picture, x, y, "HIH", font, RGB(250, 240, 230), kTransparent);
  EXPECT_GT(strokes.pixels, 50);
  EXPECT_LT(strokes.pixels, long(advance) * cell / 2);
  EXPECT_GE(strokes.left, box.left);
  EXPECT_LE(strokes.right, box.right);
}

TEST(TextOverlay, EmptyOrNullArgumentsDrawNothing) {
  Picture picture(16, 16, 0x33);
  const LOGFONTA font = Font("DejaVu Sans", -12);
  EXPECT_TRUE(DrawAndCompare(picture, 0, 0, "", font, 0, 0).Empty());
  EXPECT_EQ(ImageWriteStringToImg(picture.data(), 16, 16, 0, 0, nullptr, &font, 0, 0), 1);
  EXPECT_EQ(ImageWriteStringToImg(picture.data(), 16, 16, 0, 0, "x", nullptr, 0, 0), 1);
  EXPECT_EQ(ImageWriteStringToImg(nullptr, 16, 16, 0, 0, "x", &font, 0, 0), 1);
  EXPECT_EQ(ImageWriteStringToImg(picture.data(), 0, 16, 0, 0, "x", &font, 0, 0), 1);
  EXPECT_EQ(ImageWriteStringToImg(picture.data(), 16, -1, 0, 0, "x", &font, 0, 0), 1);
  EXPECT_TRUE(std::all_of(picture.data(), picture.data() + picture.Size(),
                          [](uint8_t b) { return b == 0x33; }));
}

TEST(TextOverlay, TextIsClippedAtEverySideAndNothingOutsideIsWritten) {
  const int width = 64, height = 32;
  const LOGFONTA font = Font("DejaVu Sans Mono", -20);
  struct Case {
    int x, y;
    bool left, top, right, bottom;  // which edges the ink should reach
  };
  for (const Case c :
       {Case{-9, 6, true, false, false, false}, Case{44, 6, false, false, true, false},
        Case{2, -9, false, true, false, false}, Case{2, 20, false, false, false, true},
        Case{-9, -9, true, true, false, false}, Case{50, 22, false, false, true, true}}) {
    Picture picture(width, height);
    const Box ink = DrawAndCompare(picture, c.x, c.y, "W#W#W", font, RGB(1, 2, 3), RGB(4, 5, 6));
    ASSERT_FALSE(ink.Empty()) << c.x << "," << c.y;
    EXPECT_EQ(ink.left == 0, c.left || c.x == 0);
    EXPECT_EQ(ink.top == 0, c.top);
    EXPECT_EQ(ink.right == width, c.right);
    EXPECT_EQ(ink.bottom == height, c.bottom);
  }
  // Far away, huge or turned: nothing outside the buffer, and nothing at all when off the picture.
  for (const int place : {INT_MIN, -100000, 100000, INT_MAX}) {
    Picture picture(width, height);
    EXPECT_TRUE(DrawAndCompare(picture, place, 3, "far", font).Empty());
    EXPECT_TRUE(DrawAndCompare(picture, 3, place, "far", font, 0, 0).Empty());
  }
  for (const int extreme : {INT_MIN, INT_MAX}) {
    LOGFONTA odd = font;
    odd.lfHeight = extreme;
    odd.lfWidth = extreme;
    odd.lfEscapement = extreme;
    odd.lfUnderline = odd.lfStrikeOut = 1;
    Picture picture(width, height);
    DrawAndCompare(picture, -20, 10, "Huge", odd, 0x00FFFFFF, 0);
    DrawAndCompare(picture, extreme, extreme, "Huge", odd, 0x00FFFFFF, 0);
  }
}

TEST(TextOverlay, NegativeHeightsSizeTheEmPositiveHeightsTheCell) {
  // DejaVu Sans: capitals 1493 of 2048 units tall, cell (win ascent + descent) 2384 units.
  const double capitalOfEm = 1493.0 / 2048.0;
  const double capitalOfCell = 1493.0 / 2384.0;
  for (const int h : {13, 20, 27, 40, 55, 80, 111}) {
    Picture em(400, 200), cell(400, 200);
    const Box emInk = DrawAndCompare(em, 5, 5, "HH", Font("DejaVu Sans", -h));
    const Box cellInk = DrawAndCompare(cell, 5, 5, "HH", Font("DejaVu Sans", h));
    EXPECT_NEAR(emInk.Height(), capitalOfEm * h, 1.0) << h;
    EXPECT_NEAR(cellInk.Height(), capitalOfCell * h, 1.0) << h;
    // Accents above and descenders below stay inside a cell of h rows, give or take the faint
    // edge of a descender when the whole-pixel em and baseline cannot both fit.
    Picture tall(400, 200);
    const Box tallInk = DrawAndCompare(tall, 5, 5, "\xC9\xC5gjq|", Font("DejaVu Sans", h));
    EXPECT_GE(tallInk.top, 5);
    EXPECT_LE(tallInk.bottom, 5 + h + 1);
    EXPECT_GT(tallInk.Height(), h * 8 / 10);
  }
}

TEST(TextOverlay, BoldAndItalicDrawOtherFaces) {
  const auto draw = [](LOGFONTA font) {
    Picture picture(300, 60);
    DrawAndCompare(picture, 4, 4, "Illinois", font);
    return picture.Copy();
  };
  const auto inkOf = [](const Bytes& bytes) {
    long sum = 0;
    for (const uint8_t b : bytes) sum += b;
    return sum;
  };
  const LOGFONTA regular = Font("DejaVu Sans", -30);
  const LOGFONTA bold = Font("DejaVu Sans", -30, FW_BOLD);
  LOGFONTA italic = regular;
  italic.lfItalic = 1;
  EXPECT_GT(inkOf(draw(bold)), inkOf(draw(regular)) * 13 / 10);
  // An upright I has the same columns at its top and bottom; an oblique one leans right.
  Picture upright(60, 60), oblique(60, 60);
  const Box straight = DrawAndCompare(upright, 10, 5, "I", regular);
  const Box leaning = DrawAndCompare(oblique, 10, 5, "I", italic);
  EXPECT_GT(leaning.Width(), straight.Width() + 3);
  const auto firstInkColumn = [](const Picture& p, int row) {
    for (int x = 0; x < p.width(); ++x)
      if (p.At(x, row)[0] > 128) return x;
    return -1;
  };
  EXPECT_GT(firstInkColumn(oblique, leaning.top + 1),
            firstInkColumn(oblique, leaning.bottom - 2) + 3);
  EXPECT_EQ(firstInkColumn(upright, straight.top + 1),
            firstInkColumn(upright, straight.bottom - 2));
}

TEST(TextOverlay, MissingFaceDrawsAsItsFamily) {
  VIALTO_POSIX_BACKEND_ONLY("fontconfig's fallback by family");
  const auto draw = [](const LOGFONTA& font) {
    Picture picture(300, 40);
    DrawAndCompare(picture, 2, 2, "Fallback faces", font);
    return picture.Copy();
  };
  LOGFONTA missing = Font("Vialto No Such Face", -20);
  missing.lfPitchAndFamily = FF_ROMAN | VARIABLE_PITCH;
  EXPECT_EQ(draw(missing), draw(Font("DejaVu Serif", -20)));
  EXPECT_NE(draw(missing), draw(Font("DejaVu Sans", -20)));
  missing.lfPitchAndFamily = FIXED_PITCH;
  EXPECT_EQ(draw(missing), draw(Font("DejaVu Sans Mono", -20)));
  missing.lfPitchAndFamily = FF_DONTCARE;
  EXPECT_EQ(draw(missing), draw(Font("DejaVu Sans", -20)));
}

TEST(TextOverlay, EscapementTurnsTheLineAboutItsFirstCellCorner) {
  const int x = 100, y = 100;
  LOGFONTA font = Font("DejaVu Sans", 24);
  Picture flat(200, 200);
  const Box line = DrawAndCompare(flat, x, y, "Turning", font);
  font.lfEscapement = 900;  // reads upwards, the cell's top to the left
  Picture up(200, 200);
  const Box upInk = DrawAndCompare(up, x, y, "Turning", font);
  EXPECT_NEAR(upInk.Height(), line.Width(), 2);
  EXPECT_NEAR(upInk.Width(), line.Height(), 2);
  EXPECT_GE(upInk.left, x);
  EXPECT_LE(upInk.right, x + 24);
  EXPECT_LE(upInk.bottom, y + 1);
  font.lfEscapement = 1800;  // upside down, left of and above the corner
  Picture down(200, 200);
  const Box downInk = DrawAndCompare(down, x, y, "Turning", font);
  EXPECT_NEAR(downInk.Width(), line.Width(), 2);
  EXPECT_LE(downInk.right, x + 1);
  EXPECT_LE(downInk.bottom, y + 1);
  font.lfEscapement = 450;
  Picture diagonal(200, 200);
  const Box slope = DrawAndCompare(diagonal, x, y, "Turning", font);
  EXPECT_GT(slope.Width(), line.Width() * 6 / 10);
  EXPECT_GT(slope.Height(), line.Width() * 6 / 10);
  EXPECT_LT(slope.top, y - line.Width() / 2);
}

// Rows have no padding at any width: a narrow picture holds exactly the left columns of what a
// wider one shows.
TEST(TextOverlay, AnyWidthDrawsTheSameColumns) {
  const LOGFONTA font = Font("DejaVu Serif", -16);
  for (const int width : {1, 3, 1001}) {
    Picture narrow(width, 20), wide(width + 13, 20);
    const int x = width > 100 ? width - 40 : -3;
    const Box ink = DrawAndCompare(narrow, x, 1, "Mw", font, RGB(200, 100, 50), RGB(1, 2, 3));
    DrawAndCompare(wide, x, 1, "Mw", font, RGB(200, 100, 50), RGB(1, 2, 3));
    EXPECT_FALSE(ink.Empty()) << width;
    for (int row = 0; row < 20; ++row)
      EXPECT_EQ(std::memcmp(narrow.At(0, row), wide.At(0, row), std::size_t(width) * 3), 0)
          << "width " << width << " row " << row;
  }
}

TEST(TextOverlay, UnderlineAndStrikeOutSpanTheLine) {
  LOGFONTA font = Font("DejaVu Sans", 30);
  const auto fullRows = [](const Picture& picture, const Box& box, int from, int to) {
    int rows = 0;
    for (int row = from; row < to; ++row) {
      int painted = 0;
      for (int col = box.left; col < box.right; ++col) painted += picture.At(col, row)[1] == 255;
      rows += painted == box.Width();
    }
    return rows;
  };
  Picture plain(200, 50);
  const Box plainInk = DrawAndCompare(plain, 5, 5, "o o", font);
  font.lfUnderline = 1;
  Picture underlined(200, 50);
  const Box under = DrawAndCompare(underlined, 5, 5, "o o", font);
  EXPECT_EQ(fullRows(plain, plainInk, 5, 35), 0);
  EXPECT_GE(fullRows(underlined, under, 5 + 24, 35), 1);  // below the baseline
  font.lfUnderline = 0;
  font.lfStrikeOut = 1;
  Picture struck(200, 50);
  const Box strike = DrawAndCompare(struck, 5, 5, "o o", font);
  EXPECT_GE(fullRows(struck, strike, 5 + 8, 5 + 22), 1);  // through the lower-case letters
}

}  // namespace
