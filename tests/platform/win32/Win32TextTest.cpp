// Text through GDI into a memory DIB: the logical-font height rules, glyph shapes read back from
// the coverage (a bar, a foot, a cross-stroke, a line turned upright), the opaque cell box,
// decorations, smoothing, and clipping that never strays outside the surface.
#if defined(_WIN32)
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "platform/text/TextOutput.h"

namespace vialto::platform::text {
namespace {

// Records the highest coverage of each paint per pixel; any call outside the grid is counted.
class RecordingSurface final : public TextSurface {
 public:
  RecordingSurface(int w, int h)
      : w_(w), h_(h), text_(std::size_t(w) * h), back_(std::size_t(w) * h) {}
  int Width() const override { return w_; }
  int Height() const override { return h_; }
  void BlendRow(int y, int x, const uint8_t* coverage, int n, Paint paint) override {
    if (!Inside(y, x, n)) return;
    for (int i = 0; i < n; ++i) Mark(x + i, y, coverage[i], paint);
  }
  void BlendRun(int y, int x, int n, uint8_t coverage, Paint paint) override {
    if (!Inside(y, x, n)) return;
    for (int i = 0; i < n; ++i) Mark(x + i, y, coverage, paint);
  }
  uint8_t Text(int x, int y) const { return text_[std::size_t(y) * w_ + x]; }
  uint8_t Back(int x, int y) const { return back_[std::size_t(y) * w_ + x]; }
  int strays = 0;

  // The box around pixels whose text coverage is at least `threshold`; empty when none.
  RECT InkBox(uint8_t threshold = 128) const {
    RECT box{w_, h_, 0, 0};
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x)
        if (Text(x, y) >= threshold) {
          box.left = std::min<LONG>(box.left, x), box.right = std::max<LONG>(box.right, x + 1);
          box.top = std::min<LONG>(box.top, y), box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    return box;
  }
  int InkInRow(int y, int from, int to) const {
    int n = 0;
    for (int x = std::max(0, from); x < std::min(w_, to); ++x) n += Text(x, y) >= 128;
    return n;
  }
  int InkInColumn(int x, int from, int to) const {
    int n = 0;
    for (int y = std::max(0, from); y < std::min(h_, to); ++y) n += Text(x, y) >= 128;
    return n;
  }

 private:
  bool Inside(int y, int x, int n) {
    if (y < 0 || y >= h_ || x < 0 || n < 0 || x + n > w_) {
      ++strays;
      return false;
    }
    return true;
  }
  void Mark(int x, int y, uint8_t c, Paint paint) {
    auto& cell = (paint == Paint::Text ? text_ : back_)[std::size_t(y) * w_ + x];
    cell = std::max(cell, c);
  }
  int w_, h_;
  std::vector<uint8_t> text_, back_;
};

FontRequest Sans(int height, bool antialiased = false) {
  FontRequest r;
  r.faceName = "DejaVu Sans";
  r.family = FontFamily::Swiss;
  r.height = height;
  r.antialiased = antialiased;
  return r;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

class Win32Text : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!MeasureTextLine(Sans(-20), U"x")) GTEST_SKIP() << "GDI has no font to draw with";
  }
};

TEST_F(Win32Text, HeightsFollowTheLogicalFontRule) {
  const auto em = MeasureTextLine(Sans(-20), U"Hello");
  ASSERT_TRUE(em);
  EXPECT_EQ(em->emHeight, 20);
  const auto cell = MeasureTextLine(Sans(24), U"Hello");
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->CellHeight(), 24);
  const auto w = MeasureTextLine(Sans(-20), U"W");
  const auto www = MeasureTextLine(Sans(-20), U"WWW");
  EXPECT_GT(w->advance, 0);
  EXPECT_EQ(www->advance, 3 * w->advance);
  EXPECT_EQ(MeasureTextLine(Sans(-20), U"")->advance, 0);
  const auto match = MatchFont(Sans(-20));
  ASSERT_TRUE(match);
  EXPECT_FALSE(match->family.empty());
}

TEST_F(Win32Text, GlyphShapesComeBackAsDrawn) {
  const FontRequest font = Sans(-48);
  const auto m = MeasureTextLine(font, U"I");
  ASSERT_TRUE(m);
  const int baseline = 10 + m->ascent;  // the line's top-left at (10, 10)

  RecordingSurface bar(120, 100);
  ASSERT_TRUE(DrawTextLine(bar, 10, 10, U"I", font, false));
  const RECT i = bar.InkBox();
  EXPECT_GT(Height(i), 48 / 2);  // a tall upright bar, standing on the baseline
  EXPECT_LT(Width(i), 48 / 4);
  EXPECT_NEAR(i.bottom, baseline, 1);
  for (int y = i.top; y < i.bottom; ++y) EXPECT_EQ(bar.InkInRow(y, i.left, i.right), Width(i)) << y;

  RecordingSurface foot(120, 100);
  ASSERT_TRUE(DrawTextLine(foot, 10, 10, U"L", font, false));
  const RECT l = foot.InkBox();
  EXPECT_NEAR(l.bottom, baseline, 1);
  EXPECT_GT(foot.InkInRow(l.bottom - 1, l.left, l.right), Width(l) * 9 / 10);  // the foot
  EXPECT_LT(foot.InkInRow(l.top, l.left, l.right), Width(l) / 2);              // only the stem
  EXPECT_EQ(foot.Text(l.left, l.top), 255);
  EXPECT_EQ(foot.Text(l.right - 1, l.top), 0);

  RecordingSurface cross(120, 100);
  ASSERT_TRUE(DrawTextLine(cross, 10, 10, U"T", font, false));
  const RECT t = cross.InkBox();
  EXPECT_GT(cross.InkInRow(t.top, t.left, t.right), Width(t) * 9 / 10);
  const int middle = (t.left + t.right) / 2;
  EXPECT_LT(cross.InkInRow(t.bottom - 1, t.left, t.right), Width(t) / 3);
  EXPECT_GT(cross.InkInColumn(middle, t.top, t.bottom), Height(t) * 9 / 10);
  EXPECT_EQ(cross.strays, 0);
}

TEST_F(Win32Text, OpaqueFillsExactlyTheCellBoxAndTransparentNothing) {
  const FontRequest font = Sans(-20);
  const auto m = MeasureTextLine(font, U"Ab");
  RecordingSurface opaque(100, 60);
  ASSERT_TRUE(DrawTextLine(opaque, 7, 9, U"Ab", font, true));
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 100; ++x) {
      const bool inBox = x >= 7 && x < 7 + m->advance && y >= 9 && y < 9 + m->CellHeight();
      ASSERT_EQ(opaque.Back(x, y), inBox ? 255 : 0) << x << "," << y;
    }
  RecordingSurface clear(100, 60);
  ASSERT_TRUE(DrawTextLine(clear, 7, 9, U"Ab", font, false));
  EXPECT_EQ(clear.Back(7, 9), 0);
  EXPECT_GT(Width(clear.InkBox()), 0);
}

TEST_F(Win32Text, TextAtAndBeyondTheEdgesIsCutThere) {
  const FontRequest font = Sans(-30, true);
  for (auto [x, y] : {std::pair{-25, 5}, {70, 5}, {5, -20}, {5, 40}, {-1000000, 0}, {1000000, 0}}) {
    RecordingSurface s(80, 50);
    ASSERT_TRUE(DrawTextLine(s, x, y, U"WWWW", font, true));
    EXPECT_EQ(s.strays, 0) << x << "," << y;
  }
  RecordingSurface left(80, 50);
  DrawTextLine(left, -25, 5, U"WWWW", font, false);
  EXPECT_EQ(left.InkBox().left, 0);  // the part inside is drawn
  const auto huge = MeasureTextLine(Sans(-100000), U"W");
  ASSERT_TRUE(huge);
  EXPECT_LE(huge->emHeight, 2048);  // a size bounded by what one render may cost
}

TEST_F(Win32Text, AQuarterTurnStandsTheLineUpFromItsOrigin) {
  FontRequest font = Sans(-20);
  font.escapement = 900;
  const auto m = MeasureTextLine(font, U"IIIIIIII");
  RecordingSurface s(60, 200);
  ASSERT_TRUE(DrawTextLine(s, 10, 180, U"IIIIIIII", font, false));
  const RECT ink = s.InkBox();
  EXPECT_GT(Height(ink), Width(ink) * 2);  // upright
  EXPECT_LE(ink.bottom, 181);              // from the origin upward
  EXPECT_NEAR(Height(ink), m->advance, m->advance / 5 + 2);
  EXPECT_GE(ink.left, 10);  // the cell's top edge is now its left edge
  EXPECT_EQ(s.strays, 0);
}

TEST_F(Win32Text, UnderlineRunsTheLineBelowTheBaseline) {
  FontRequest font = Sans(-30);
  RecordingSurface plain(200, 60), underlined(200, 60);
  ASSERT_TRUE(DrawTextLine(plain, 5, 5, U"a a", font, false));
  font.underline = true;
  ASSERT_TRUE(DrawTextLine(underlined, 5, 5, U"a a", font, false));
  const auto m = MeasureTextLine(font, U"a a");
  int lineRow = -1;
  for (int y = 5 + m->ascent; y < 5 + m->CellHeight() && lineRow < 0; ++y)
    if (underlined.InkInRow(y, 0, 200) >= m->advance - 1 && plain.InkInRow(y, 0, 200) == 0)
      lineRow = y;
  EXPECT_GE(lineRow, 0) << "no full-width row of ink below the baseline";
}

TEST_F(Win32Text, SmoothingGivesGreyEdgesAndItsAbsenceNone) {
  auto levels = [](bool antialiased) {
    RecordingSurface s(120, 60);
    DrawTextLine(s, 4, 4, U"sO", Sans(-36, antialiased), false);
    int grey = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 120; ++x) grey += s.Text(x, y) > 0 && s.Text(x, y) < 255;
    return grey;
  };
  EXPECT_EQ(levels(false), 0);
  EXPECT_GT(levels(true), 10);
}

// Each thread keeps its own fonts; a thread that ends gives them back, so hosts that run many
// short threads neither leak GDI objects nor crash in the release.
TEST_F(Win32Text, ThreadsThatEndGiveTheirFontsBack) {
  const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (int round = 0; round < 8; ++round) {
    std::vector<std::thread> threads;
    std::vector<char> drew(4, 0);
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&, t] {
        RecordingSurface s(60, 30);
        drew[t] = DrawTextLine(s, 2, 2, U"thread", Sans(-16 - t), false) && Width(s.InkBox()) > 0;
      });
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_TRUE(drew[t]);
  }
  const DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (before != 0) {
    EXPECT_LT(after, before + 16);  // 32 threads' fonts and contexts are gone
  }
}

}  // namespace
}  // namespace vialto::platform::text
#endif
