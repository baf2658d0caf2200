// annotate --arrow: the tip on the point wherever the point lies, the arrow on the side with
// room, a clear failure for a point that cannot be marked, and the library's own placement
// for those who ask for a tile.
#ifdef VIALTO_CLI_FILE
#include <gtest/gtest.h>

#include <cmath>

#include "cli/CliHarness.h"

namespace vialto::test::cli {
namespace {

bool IsArrowRed(const uint8_t* px) { return px[0] > 100 && px[1] < 30 && px[2] < 30; }

struct Marked {
  int red = 0;
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;  // the red pixels' box
};

Marked FindRed(const Ppm& p) {
  Marked m;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      if (!IsArrowRed(p.At(x, y))) continue;
      ++m.red;
      m.left = std::min(m.left, x);
      m.right = std::max(m.right, x);
      m.top = std::min(m.top, y);
      m.bottom = std::max(m.bottom, y);
    }
  }
  return m;
}

class Arrow : public ::testing::Test {
 protected:
  void SetUp() override {
    WritePpm(dir_.File("black.ppm"), kWidth, kHeight, Bytes(kWidth * kHeight * 3, 0));
  }
  RunResult Mark(const std::string& arrow) {
    std::filesystem::remove(dir_.File("out.ppm"));
    return RunTool(dir_,
                   {"annotate", dir_.File("black.ppm"), dir_.File("out.ppm"), "--arrow", arrow});
  }
  static constexpr int kWidth = 256, kHeight = 192;
  TempDir dir_;
};

TEST_F(Arrow, TheTipIsOnThePointAndTheArrowLiesOnTheSideWithRoom) {
  const std::pair<int, int> points[] = {{0, 0},     {255, 0},  {0, 191}, {255, 191}, {128, 96},
                                        {150, 100}, {10, 180}, {250, 5}, {64, 64},   {65, 65}};
  for (const auto& [x, y] : points) {
    const std::string point = std::to_string(x) + "," + std::to_string(y);
    const RunResult r = Mark(point);
    ASSERT_EQ(r.status, 0) << point << ": " << r.err;
    const Ppm out = ReadPnm(dir_.File("out.ppm"));
    EXPECT_TRUE(IsArrowRed(out.At(x, y))) << point << ": the point itself must be red";
    const Marked m = FindRed(out);
    EXPECT_GT(m.red, 200) << point << ": a whole arrow, not a clipped one";
    // The point is a corner of the arrow's box, and the box is about one tile.
    EXPECT_TRUE(m.left == x || m.right == x) << point;
    EXPECT_TRUE(m.top == y || m.bottom == y) << point;
    EXPECT_GE(m.right - m.left, 40) << point;
    EXPECT_LE(m.right - m.left, 64) << point;
    EXPECT_GE(m.bottom - m.top, 35) << point;
    EXPECT_LE(m.bottom - m.top, 64) << point;
  }
}

TEST_F(Arrow, APointThatCannotBeMarkedFails) {
  for (const std::string point : {"256,10", "-1,5", "10,192"}) {
    const RunResult r = Mark(point);
    EXPECT_EQ(r.status, 1) << point;
    EXPECT_NE(r.err.find("--arrow " + point + ": cannot mark the point: " + point +
                         " lies outside the 256x192 picture"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.File("out.ppm"))) << point;
  }
  WritePpm(dir_.File("tiny.ppm"), 12, 12, Bytes(12 * 12 * 3, 0));
  const RunResult tiny =
      RunTool(dir_, {"annotate", dir_.File("tiny.ppm"), dir_.File("t.ppm"), "--arrow", "6,6"});
  EXPECT_EQ(tiny.status, 1);
  EXPECT_NE(tiny.err.find("no arrowhead fits at 6,6 in the 12x12 picture"), std::string::npos)
      << tiny.err;
}

TEST_F(Arrow, ATileAsksForTheLibrarysOwnPlacement) {
  // Base tile 0 lands the tip within two pixels of the point (its solid part within four).
  ASSERT_EQ(Mark("150,100,0").status, 0);
  const Ppm zero = ReadPnm(dir_.File("out.ppm"));
  double nearest = 1e9;
  for (int y = 0; y < zero.height; ++y) {
    for (int x = 0; x < zero.width; ++x) {
      if (IsArrowRed(zero.At(x, y))) nearest = std::min(nearest, std::hypot(x - 150.0, y - 100.0));
    }
  }
  EXPECT_LE(nearest, 4.0);
  // Base tile 4 there is the horizontal arrow, a tile to the left, below the point (the library
  // counts rows bottom first).
  ASSERT_EQ(Mark("150,100,4").status, 0);
  const Marked four = FindRed(ReadPnm(dir_.File("out.ppm")));
  EXPECT_GT(four.red, 100);
  EXPECT_LT(four.right, 150);
  EXPECT_GT(four.top, 100);
  // Base tiles that end on an empty tile, or past the last one, draw nothing: that fails.
  const RunResult empty = Mark("10,10,2");
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.err.find("becomes tile 4, which is empty"), std::string::npos) << empty.err;
  const RunResult past = Mark("150,100,5");
  EXPECT_EQ(past.status, 1);
  EXPECT_NE(past.err.find("becomes tile 8, past the last tile"), std::string::npos) << past.err;
}

}  // namespace
}  // namespace vialto::test::cli
#endif
