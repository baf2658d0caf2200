// annotate and demo: what the drawing commands put on real picture files, and the demo's
// outputs from sequences made by the tool.
#ifdef VIALTO_CLI_FILE
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "cli/CliHarness.h"

namespace vialto::test::cli {
namespace {

bool IsRed(const uint8_t* px) { return px[0] > 100 && px[1] < 60 && px[2] < 60; }

struct Region {
  int left, top, right, bottom;  // inclusive
  bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// Counts red pixels inside and outside a region.
std::pair<int, int> CountRed(const Ppm& p, const Region& region) {
  int inside = 0, outside = 0;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      if (IsRed(p.At(x, y))) ++(region.Contains(x, y) ? inside : outside);
    }
  }
  return {inside, outside};
}

TEST(CliAnnotate, TextLandsWhereAskedInItsColour) {
  TempDir dir;
  for (const int width : {200, 203}) {  // 203: rows that are not a multiple of four pixels
    WritePpm(dir.File("in.ppm"), width, 100, Bytes(static_cast<size_t>(width) * 100 * 3, 90));
    const RunResult r =
        RunTool(dir, {"annotate", dir.File("in.ppm"), dir.File("out.ppm"), "--text", "HELLO",
                      "--at", "10,10", "--color", "FF0000", "--size", "20"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Ppm out = ReadPnm(dir.File("out.ppm"));
    ASSERT_EQ(out.width, width);
    const auto [inside, outside] = CountRed(out, {8, 8, 120, 40});
    EXPECT_GT(inside, 30) << "width " << width;
    EXPECT_EQ(outside, 0) << "width " << width;
    const uint8_t* corner = out.At(width - 2, 97);
    EXPECT_EQ(corner[0], 90);
    EXPECT_EQ(corner[2], 90);
  }
  // An opaque background fills the text's cells.
  WritePpm(dir.File("in.ppm"), 200, 100, Bytes(200 * 100 * 3, 90));
  ASSERT_EQ(RunTool(dir, {"annotate", dir.File("in.ppm"), dir.File("bg.ppm"), "--text", "X", "--at",
                          "50,50", "--bg", "00FF00"})
                .status,
            0);
  const Ppm bg = ReadPnm(dir.File("bg.ppm"));
  int green = 0;
  for (int y = 50; y < 60; ++y) {
    for (int x = 50; x < 56; ++x) green += bg.At(x, y)[1] == 255 && bg.At(x, y)[0] == 0 ? 1 : 0;
  }
  EXPECT_GT(green, 10);
}

TEST(CliAnnotate, ArrowHeadPointsAtTheGivenPixel) {
  TempDir dir;
  WritePpm(dir.File("black.ppm"), 256, 192, Bytes(256 * 192 * 3, 0));
  const RunResult r = RunTool(
      dir, {"annotate", dir.File("black.ppm"), dir.File("arrow.ppm"), "--arrow", "150,100"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Ppm out = ReadPnm(dir.File("arrow.ppm"));
  const auto [inside, outside] = CountRed(out, {150 - 66, 100 - 66, 150 + 66, 100 + 66});
  EXPECT_GT(inside, 100);
  EXPECT_EQ(outside, 0);
  double nearest = 1e9;
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      if (IsRed(out.At(x, y))) nearest = std::min(nearest, std::hypot(x - 150.0, y - 100.0));
    }
  }
  EXPECT_LE(nearest, 5.0);
  // Near the edge of a picture smaller than two tiles the arrow is cut, not written outside.
  WritePpm(dir.File("small.ppm"), 90, 70, Bytes(90 * 70 * 3, 0));
  for (const char* point : {"85,3", "0,69", "89,0", "40,40"}) {
    const RunResult edge =
        RunTool(dir, {"annotate", dir.File("small.ppm"), dir.File("s.ppm"), "--arrow", point});
    EXPECT_EQ(edge.status, 0) << point << ": " << edge.err;
    EXPECT_EQ(ReadPnm(dir.File("s.ppm")).width, 90);
  }
}

TEST(CliAnnotate, AFaceThatIsNotInstalledNamesItsStandIn) {
  TempDir dir;
  WritePpm(dir.File("in.ppm"), 120, 40, Bytes(120 * 40 * 3, 0));
  const RunResult r = RunTool(dir, {"annotate", dir.File("in.ppm"), dir.File("out.ppm"), "--text",
                                    "hello", "--font", "No Such Face Qzx"});
  EXPECT_EQ(r.status, 0) << r.err;
  // Whichever face this machine has instead, it is named.
  const std::string said = "font \"No Such Face Qzx\" is not installed; the text is drawn in \"";
  const size_t at = r.err.find(said);
  ASSERT_NE(at, std::string::npos) << r.err;
  EXPECT_GT(r.err.find('"', at + said.size()), at + said.size()) << "an empty face name: " << r.err;
}

TEST(CliAnnotate, ReadsAndWritesEachPictureType) {
  TempDir dir;
  WritePpm(dir.File("in.ppm"), 64, 40, Bytes(64 * 40 * 3, 128));
  ASSERT_EQ(RunTool(dir, {"annotate", dir.File("in.ppm"), dir.File("a.png")}).status, 0);
  EXPECT_EQ(PngSize(dir.File("a.png")), std::make_pair(64u, 40u));
  ASSERT_EQ(RunTool(dir, {"annotate", dir.File("a.png"), dir.File("b.jpg")}).status, 0);
  const Bytes jpeg = ReadFile(dir.File("b.jpg"));
  uint32_t w = 0, h = 0;
  int depth = 0;
  unsigned char* rgb = JpegToRGB(jpeg.data(), static_cast<int>(jpeg.size()), &w, &h, &depth);
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(w, 64u);
  EXPECT_EQ(h, 40u);
  EXPECT_NEAR(rgb[0], 128, 3);
  Ser_DeleteJpegToRGBBuf(rgb);
  ASSERT_EQ(RunTool(dir, {"annotate", dir.File("b.jpg"), dir.File("c.ppm")}).status, 0);
  EXPECT_EQ(ReadPnm(dir.File("c.ppm")).width, 64);

  const RunResult missing = RunTool(dir, {"annotate", dir.File("none.png"), dir.File("x.png")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("none.png: No such file"), std::string::npos) << missing.err;
}

TEST(CliDemo, AnnotatesEveryFrameAndMakesAContactSheet) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("samples"));
  ASSERT_EQ(RunTool(dir, {"make", "se1", "-o", dir.File("samples/a.se1"), "--synthetic", "4",
                          "--size", "320x180"})
                .status,
            0);
  ASSERT_EQ(
      RunTool(dir, {"make", "ser", "-o", dir.File("samples/b.ser"), "--synthetic", "2"}).status, 0);
  const RunResult r =
      RunTool(dir, {"demo", "--samples", dir.File("samples"), "-o", dir.File("demo")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("6 frames from 2 sequences"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("frames/s"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("object marked in 4"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("object marked in 2"), std::string::npos) << r.out;
  int jpegs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.File("demo/frames"))) {
    EXPECT_EQ(ReadFile(entry.path().string())[0], 0xFF) << entry.path();
    ++jpegs;
  }
  EXPECT_EQ(jpegs, 6);
  EXPECT_TRUE(std::filesystem::exists(dir.File("demo/frames/a-se1-000003.jpg")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("demo/frames/b-ser-000001.jpg")));
  EXPECT_EQ(PngSize(dir.File("demo/contact-sheet.png")), std::make_pair(1000u, 370u));
  EXPECT_EQ(ReadFile(dir.File("demo/contact-sheet.jpg"))[0], 0xFF);
}

TEST(CliDemo, ShippedSamplesAreFoundByDefault) {
  TempDir dir;
  const RunResult r = RunTool(dir, {"demo", "-o", dir.File("demo")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("from 2 sequences"), std::string::npos) << r.out;
  EXPECT_GT(PngSize(dir.File("demo/contact-sheet.png")).first, 0u);
}

TEST(CliDemo, MissingSamplesFailClearly) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("empty"));
  const RunResult empty =
      RunTool(dir, {"demo", "--samples", dir.File("empty"), "-o", dir.File("o")});
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.err.find("no .se1 or .ser sequences found"), std::string::npos) << empty.err;
  const RunResult none = RunTool(dir, {"demo", "--samples", dir.File("nowhere")});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("nowhere: no such directory"), std::string::npos) << none.err;
}

}  // namespace
}  // namespace vialto::test::cli
#endif  // VIALTO_CLI_FILE
