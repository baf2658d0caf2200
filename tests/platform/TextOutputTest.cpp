#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "platform/text/TextOutput.h"
#include "platform/text/Windows1252.h"
#include "support/TestUtil.h"

namespace {

using namespace vialto::platform::text;

FontRequest Face(const char* name, int height = -20) {
  FontRequest request;
  request.faceName = name;
  request.height = height;
  return request;
}

std::string FileName(const FontRequest& request) {
  const std::optional<FontMatch> match = MatchFont(request);
  if (!match) return "(none)";
  return match->file.substr(match->file.rfind('/') + 1);
}

// Records coverage per pixel and fails on any paint outside the grid.
class CheckingSurface final : public TextSurface {
 public:
  CheckingSurface(int width, int height) : width_(width), height_(height), ink_(width * height) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void BlendRow(int y, int x, const uint8_t* coverage, int n, Paint) override {
    Check(y, x, n);
    for (int i = 0; i < n && InBounds(y, x, n); ++i) ink_[y * width_ + x + i] += coverage[i];
  }
  void BlendRun(int y, int x, int n, uint8_t coverage, Paint) override {
    Check(y, x, n);
    for (int i = 0; i < n && InBounds(y, x, n); ++i) ink_[y * width_ + x + i] += coverage;
  }
  long Total() const {
    long total = 0;
    for (const long v : ink_) total += v;
    return total;
  }
  const std::vector<long>& Ink() const { return ink_; }

 private:
  bool InBounds(int y, int x, int n) const {
    return y >= 0 && y < height_ && x >= 0 && n > 0 && x + n <= width_;
  }
  void Check(int y, int x, int n) const {
    EXPECT_TRUE(InBounds(y, x, n)) << "row " << y << " x " << x << " n " << n;
  }
  int width_, height_;
  std::vector<long> ink_;
};

TEST(Windows1252, MapsTheHighControlsThroughTheCodePage) {
  EXPECT_EQ(Windows1252ToUnicode(0x41), U'A');
  EXPECT_EQ(Windows1252ToUnicode(0x80), U'\u20AC');
  EXPECT_EQ(Windows1252ToUnicode(0x93), U'\u201C');
  EXPECT_EQ(Windows1252ToUnicode(0x9F), U'\u0178');
  EXPECT_EQ(Windows1252ToUnicode(0x81), U'\u0081');  // undefined in the code page
  EXPECT_EQ(Windows1252ToUnicode(0xA0), U'\u00A0');
  EXPECT_EQ(Windows1252ToUnicode(0xFF), U'\u00FF');
  std::u32string decoded;
  DecodeWindows1252("caf\xE9 \x80", decoded);
  EXPECT_EQ(decoded, U"caf\u00E9 \u20AC");
  EXPECT_EQ(Windows1252ToUtf8("Caf\xE9 \x80\x99"), "Caf\u00E9 \u20AC\u2122");
}

TEST(FontMatch, WeightAndItalicChooseTheFacesOfTheFamily) {
  VIALTO_POSIX_BACKEND_ONLY("fontconfig picks the DejaVu faces; GDI maps to the system's fonts");
  FontRequest request = Face("DejaVu Sans");
  EXPECT_EQ(FileName(request), "DejaVuSans.ttf");
  request.weight = 700;
  EXPECT_EQ(FileName(request), "DejaVuSans-Bold.ttf");
  request.italic = true;
  EXPECT_EQ(FileName(request), "DejaVuSans-BoldOblique.ttf");
  request.weight = 400;
  EXPECT_EQ(FileName(request), "DejaVuSans-Oblique.ttf");
  EXPECT_EQ(FileName(Face("dejavu serif")), "DejaVuSerif.ttf");  // names ignore case
  const std::optional<FontMatch> match = MatchFont(request);
  ASSERT_TRUE(match);
  EXPECT_FALSE(match->emboldened || match->slanted);
}

TEST(FontMatch, MissingFaceFallsBackByFamilyAndPitch) {
  VIALTO_POSIX_BACKEND_ONLY("fontconfig's fallback order");
  FontRequest request = Face("No Such Face");
  EXPECT_EQ(FileName(request), "DejaVuSans.ttf");
  request.family = FontFamily::Roman;
  EXPECT_EQ(FileName(request), "DejaVuSerif.ttf");
  request.family = FontFamily::Modern;
  EXPECT_EQ(FileName(request), "DejaVuSansMono.ttf");
  request.family = FontFamily::Swiss;
  EXPECT_EQ(FileName(request), "DejaVuSans.ttf");
  request.fixedPitch = true;
  EXPECT_EQ(FileName(request), "DejaVuSansMono.ttf");
  request.weight = 700;
  EXPECT_EQ(FileName(request), "DejaVuSansMono-Bold.ttf");
  // An installed face wins over the family it is asked with.
  FontRequest installed = Face("DejaVu Sans");
  installed.family = FontFamily::Roman;
  EXPECT_EQ(FileName(installed), "DejaVuSans.ttf");
}

TEST(FontMatch, SynthesisesWhatTheFaceLacks) {
  FontRequest request = Face("DejaVu Math TeX Gyre");  // one upright regular face only
  request.weight = 700;
  request.italic = true;
  const std::optional<FontMatch> match = MatchFont(request);
  ASSERT_TRUE(match);
  EXPECT_EQ(match->family, "DejaVu Math TeX Gyre");
  EXPECT_TRUE(match->emboldened);
  EXPECT_TRUE(match->slanted);
}

TEST(TextMetrics, LogicalHeightsFollowThePlatformRule) {
  VIALTO_POSIX_BACKEND_ONLY("FreeType's cell and em heights; GDI rounds its own way");
  for (const int h : {1, 7, 16, 33, 100, 500}) {
    const std::optional<LineMetrics> cell = MeasureTextLine(Face("DejaVu Sans", h), U"Hg");
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->CellHeight(), h);
    const std::optional<LineMetrics> em = MeasureTextLine(Face("DejaVu Sans", -h), U"Hg");
    ASSERT_TRUE(em);
    EXPECT_EQ(em->emHeight, h);
    EXPECT_GE(em->CellHeight(), h);  // the cell adds the internal leading
    if (h >= 33) {
      EXPECT_GT(em->advance, cell->advance);
    }
  }
  EXPECT_EQ(MeasureTextLine(Face("DejaVu Sans", 0), U"x")->CellHeight(), 16);
  for (const int h : {INT_MIN, INT_MIN + 1, INT_MAX}) {
    const std::optional<LineMetrics> huge = MeasureTextLine(Face("DejaVu Sans", h), U"x");
    ASSERT_TRUE(huge);
    EXPECT_GT(huge->emHeight, 100);
    EXPECT_LE(huge->emHeight, 4096);
  }
}

TEST(TextMetrics, WidthScalesTheAverageCharacterWidth) {
  VIALTO_POSIX_BACKEND_ONLY("FreeType's width scaling");
  const std::u32string text = U"The quick brown fox jumps";
  FontRequest request = Face("DejaVu Sans", -20);
  const int64_t natural = MeasureTextLine(request, text)->advance;
  const int64_t average = natural / int64_t(text.size());
  request.width = int(2 * average);
  const int64_t doubled = MeasureTextLine(request, text)->advance;
  EXPECT_NEAR(double(doubled) / natural, 2.0, 0.15);
  request.width = -request.width;  // the platform takes the magnitude
  EXPECT_EQ(MeasureTextLine(request, text)->advance, doubled);
  request.width = INT_MIN;
  EXPECT_TRUE(MeasureTextLine(request, text));
}

TEST(TextDrawing, PaintsOnlyInsideTheSurfaceWhateverThePlacement) {
  const std::u32string text = U"Wide \u20AC text Wg|";
  const int64_t places[][2] = {{-30, 5},      {100, 5},           {5, -20},           {5, 45},
                               {-1000000, 0}, {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {60, 20}};
  for (const int escapement : {0, 300, 900, 1800, 2700, -450, 3599}) {
    for (const int height : {-30, 12, INT_MIN, INT_MAX}) {
      FontRequest request = Face("DejaVu Sans", height);
      request.escapement = escapement;
      request.underline = request.strikeOut = true;
      for (const auto& place : places) {
        CheckingSurface surface(120, 50);
        EXPECT_TRUE(DrawTextLine(surface, place[0], place[1], text, request, true));
      }
    }
  }
}

// Glyphs too large to cache are rendered only where they show; what shows must not depend on
// how much of them does.
TEST(TextDrawing, HugeGlyphsShowTheSamePixelsWhateverTheSurface) {
  for (const bool antialiased : {true, false}) {
    FontRequest request = Face("DejaVu Sans", -1200);
    request.antialiased = antialiased;
    request.escapement = 150;
    CheckingSurface small(90, 70);
    CheckingSurface large(700, 900);
    DrawTextLine(small, -200, -250, U"W@", request, false);
    DrawTextLine(large, -200, -250, U"W@", request, false);
    long differences = 0;
    for (int y = 0; y < 70; ++y)
      for (int x = 0; x < 90; ++x)
        differences += small.Ink()[y * 90 + x] != large.Ink()[y * 700 + x];
    EXPECT_GT(small.Total(), 0);
    EXPECT_EQ(differences, 0) << (antialiased ? "anti-aliased" : "mono");
  }
}

TEST(TextDrawing, ThreadsDrawTheSameAsOneThread) {
  const FontRequest request = Face("DejaVu Serif", -18);
  CheckingSurface reference(200, 30);
  DrawTextLine(reference, 3, 4, U"Threads share nothing", request, false);
  ASSERT_GT(reference.Total(), 0);
  std::vector<std::thread> threads;
  std::vector<char> same(4, 0);  // not vector<bool>: its bits share words across threads
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      bool ok = true;
      for (int i = 0; i < 20; ++i) {
        CheckingSurface surface(200, 30);
        DrawTextLine(surface, 3, 4, U"Threads share nothing", request, false);
        ok = ok && surface.Ink() == reference.Ink();
      }
      same[t] = ok;
    });
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t) EXPECT_TRUE(same[t]) << "thread " << t;
}

}  // namespace
