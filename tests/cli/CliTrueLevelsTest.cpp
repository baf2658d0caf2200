// Frames made by real encoders (cjpeg and ffmpeg), grey and colour, stored in an se1 file and
// extracted in every format: the pictures must be what an independent decoder (djpeg) makes of
// the same streams, grey ones at their decoded levels.
#ifdef VIALTO_CLI_FILE
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cli/CliHarness.h"

namespace vialto::test::cli {
namespace {

struct Source {
  std::string name;     // the JPEG file in the scratch directory
  std::string command;  // the encoder's command line, run in that directory
  bool grey;
};

// Two real encoders, each with grey and colour output; the picture has levels below 16 and
// above 235, where a video-range conversion would show.
const Source kSources[] = {
    {"cjpeg-grey.jpg", "cjpeg -grayscale -quality 92 -outfile cjpeg-grey.jpg scene.ppm", true},
    {"cjpeg-grey-pgm.jpg", "cjpeg -quality 75 -outfile cjpeg-grey-pgm.jpg scene.pgm", true},
    {"cjpeg-colour.jpg", "cjpeg -quality 90 -outfile cjpeg-colour.jpg scene.ppm", false},
    {"ffmpeg-colour.jpg",
     "ffmpeg -hide_banner -loglevel error -i scene.ppm -pix_fmt yuvj422p -q:v 3 -y "
     "ffmpeg-colour.jpg",
     false},
};

int RunIn(const std::string& dir, const std::string& command) {
  return std::system(("cd '" + dir + "' && " + command).c_str());
}

int MaxDifference(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return 1000;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

// djpeg's picture widened (grey) or kept (colour) to RGB.
Bytes AsRgb(const Ppm& reference) {
  if (reference.channels == 3) return reference.pixels;
  Bytes rgb;
  for (const uint8_t v : reference.pixels) rgb.insert(rgb.end(), {v, v, v});
  return rgb;
}

class TrueLevels : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string d = dir_.path().string();
    ASSERT_EQ(RunIn(d,
                    "ffmpeg -hide_banner -loglevel error -f lavfi -i "
                    "'testsrc2=size=120x72,eq=contrast=1.6' -frames:v 1 -y scene.ppm"),
              0);
    ASSERT_EQ(
        RunIn(d, "ffmpeg -hide_banner -loglevel error -i scene.ppm -pix_fmt gray -y scene.pgm"), 0);
    std::vector<std::string> make{"make", "se1", "-o", dir_.File("real.se1")};
    for (const Source& s : kSources) {
      ASSERT_EQ(RunIn(d, s.command), 0) << s.command;
      ASSERT_EQ(RunIn(d, "djpeg -pnm -outfile '" + s.name + ".pnm' '" + s.name + "'"), 0);
      make.push_back(dir_.File(s.name));
    }
    const RunResult made = RunTool(dir_, make);
    ASSERT_EQ(made.status, 0) << made.err;
  }

  std::string Extract(const std::string& format) {
    const std::string out = dir_.File("out-" + format);
    const RunResult r =
        RunTool(dir_, {"extract", dir_.File("real.se1"), "--as", format, "-o", out});
    EXPECT_EQ(r.status, 0) << format << ": " << r.err;
    EXPECT_EQ(r.err, "") << format;
    return out;
  }

  static std::string FrameFile(const std::string& dir, size_t n, const std::string& ext) {
    char name[32];
    std::snprintf(name, sizeof name, "/real-%06zu.", n);
    return dir + name + ext;
  }

  Ppm Reference(size_t n) const { return ReadPnm(dir_.File(kSources[n].name + ".pnm")); }

  TempDir dir_;
};

TEST_F(TrueLevels, TheEncodersMadeWhatTheTestNeeds) {
  for (size_t n = 0; n < std::size(kSources); ++n) {
    const Ppm reference = Reference(n);
    EXPECT_EQ(reference.channels, kSources[n].grey ? 1 : 3) << kSources[n].name;
    const auto [low, high] = std::minmax_element(reference.pixels.begin(), reference.pixels.end());
    EXPECT_LT(*low, 16) << kSources[n].name;
    EXPECT_GT(*high, 235) << kSources[n].name;
  }
}

TEST_F(TrueLevels, PpmAndPngFramesAreTheDecodedPicture) {
  const std::string ppm = Extract("ppm");
  const std::string png = Extract("png");
  // PIL (python3-pil) turns each PNG into a PPM.
  const std::string script =
      "import sys, glob\nfrom PIL import Image\n"
      "for p in sorted(glob.glob(sys.argv[1] + '/*.png')):\n"
      "    Image.open(p).convert('RGB').save(p[:-4] + '.check.ppm')\n";
  WriteFile(dir_.File("decode.py"), Bytes(script.begin(), script.end()));
  ASSERT_EQ(std::system(("/usr/bin/python3 " + dir_.File("decode.py") + " " + png).c_str()), 0);
  for (size_t n = 0; n < std::size(kSources); ++n) {
    const Ppm reference = Reference(n);
    const Bytes expected = AsRgb(reference);
    for (const std::string& path : {FrameFile(ppm, n, "ppm"), FrameFile(png, n, "check.ppm")}) {
      const Ppm got = ReadPnm(path);
      ASSERT_EQ(got.channels, 3) << path;
      ASSERT_EQ(got.width, reference.width) << path;
      ASSERT_EQ(got.height, reference.height) << path;
      EXPECT_LE(MaxDifference(got.pixels, expected), 1) << kSources[n].name << " as " << path;
    }
  }
}

TEST_F(TrueLevels, PgmAndYuvFramesCarryTheGreyLevels) {
  const std::string pgm = Extract("pgm");
  const std::string yuv = Extract("yuv");
  for (size_t n = 0; n < std::size(kSources); ++n) {
    const Ppm reference = Reference(n);
    const Ppm grey = ReadPnm(FrameFile(pgm, n, "pgm"));
    ASSERT_EQ(grey.channels, 1) << kSources[n].name;
    const size_t pixels = static_cast<size_t>(reference.width) * reference.height;
    const Bytes planes = ReadFile(FrameFile(yuv, n, "yuv"));
    ASSERT_EQ(planes.size(), pixels * 2) << kSources[n].name;
    if (kSources[n].grey) {
      EXPECT_LE(MaxDifference(grey.pixels, reference.pixels), 1) << kSources[n].name;
      const Bytes luma(planes.begin(), planes.begin() + static_cast<ptrdiff_t>(pixels));
      EXPECT_LE(MaxDifference(luma, reference.pixels), 1) << kSources[n].name;
      EXPECT_TRUE(std::all_of(planes.begin() + static_cast<ptrdiff_t>(pixels), planes.end(),
                              [](uint8_t v) { return v == 128; }))
          << kSources[n].name << ": grey frames have neutral chroma";
      continue;
    }
    // Colour frames: the usual luma weights of djpeg's RGB.
    Bytes luma;
    for (size_t i = 0; i < pixels; ++i) {
      const uint8_t* p = &reference.pixels[i * 3];
      luma.push_back(
          static_cast<uint8_t>((19595 * p[0] + 38470 * p[1] + 7471 * p[2] + 32768) >> 16));
    }
    EXPECT_LE(MaxDifference(grey.pixels, luma), 1) << kSources[n].name;
  }
}

TEST_F(TrueLevels, JpegAndRawFramesAreTheEncodersBytes) {
  const std::string jpeg = Extract("jpeg");
  const std::string raw = Extract("raw");
  for (size_t n = 0; n < std::size(kSources); ++n) {
    const Bytes stream = ReadFile(dir_.File(kSources[n].name));
    EXPECT_EQ(ReadFile(FrameFile(jpeg, n, "jpg")), stream) << kSources[n].name;
    EXPECT_EQ(ReadFile(FrameFile(raw, n, "raw")), stream) << kSources[n].name;
  }
}

TEST_F(TrueLevels, AnnotateKeepsAGreyPicturesLevels) {
  // No drawing at all: the picture must pass through unchanged.
  const std::string in = dir_.File(kSources[0].name);
  const RunResult r = RunTool(dir_, {"annotate", in, dir_.File("same.ppm")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_LE(MaxDifference(ReadPnm(dir_.File("same.ppm")).pixels, AsRgb(Reference(0))), 1);
}

}  // namespace
}  // namespace vialto::test::cli
#endif
