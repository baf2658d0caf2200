// extract's frame pipeline: frames encoded on several workers must give the very files, the very
// messages and the very order of a run that encodes each frame before reading the next, also
// when frames fail on either side; and its PNGs must decode, with an independent decoder, to the
// pixels of its PPMs.
#ifdef VIALTO_CLI_FILE
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "cli/CliHarness.h"

namespace vialto::test::cli {
namespace {

namespace fs = std::filesystem;

// Every file of a directory by name.
std::map<std::string, Bytes> FilesIn(const std::string& dir) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    files[entry.path().filename().string()] = ReadFile(entry.path().string());
  }
  return files;
}

// Offsets of the sub-headers of an se1 file's frames, walking its chain.
std::vector<size_t> FrameOffsets(const Bytes& file) {
  std::vector<size_t> offsets;
  for (size_t at = Le32(file, 64); at + 64 <= file.size(); at += Le32(file, at + 16)) {
    offsets.push_back(at);
    if (Le32(file, at + 16) < 64) break;
  }
  return offsets;
}

class FrameOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = dir_.File("road.se1");
    const RunResult made = RunTool(dir_, {"make", "se1", "-o", source_, "--synthetic",
                                          std::to_string(kFrames), "--size", "320x180"});
    ASSERT_EQ(made.status, 0) << made.err;
  }

  // Frame `decodeFails` gets a stream that ends before its picture (the decode fails on a
  // worker), frame `tagFails` a codec tag the library does not decode (the reading refuses it).
  void DamageFrames(int decodeFails, int tagFails) {
    Bytes file = ReadFile(source_);
    const std::vector<size_t> frames = FrameOffsets(file);
    ASSERT_EQ(frames.size(), static_cast<size_t>(kFrames));
    const size_t stream = frames[static_cast<size_t>(decodeFails)] + 64;
    file[stream + 2] = 0xFF;  // an end-of-image marker straight after the start
    file[stream + 3] = 0xD9;
    std::memcpy(&file[frames[static_cast<size_t>(tagFails)] + 8], "XYZ", 3);
    WriteFile(source_, file);
  }

  RunResult Extract(const std::string& format, const std::string& out,
                    std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"extract", source_, "--all",       "--as",
                                  format,    "-o",    dir_.File(out)};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunTool(dir_, args);
  }

  static constexpr int kFrames = 24;
  TempDir dir_;
  std::string source_;
};

TEST_F(FrameOutput, WorkersWriteWhatOneJobWritesInEveryFormat) {
  for (const std::string format : {"png", "ppm", "pgm", "yuv", "jpeg", "raw"}) {
    const RunResult one = Extract(format, "one-" + format, {"--jobs", "1"});
    const RunResult many = Extract(format, "many-" + format, {"--jobs", "4"});
    ASSERT_EQ(one.status, 0) << format << ": " << one.err;
    EXPECT_EQ(many.status, 0) << format << ": " << many.err;
    const auto expected = FilesIn(dir_.File("one-" + format));
    EXPECT_EQ(expected.size(), static_cast<size_t>(kFrames)) << format;
    EXPECT_TRUE(FilesIn(dir_.File("many-" + format)) == expected) << format << ": files differ";
    const std::string dirOne = dir_.File("one-" + format), dirMany = dir_.File("many-" + format);
    std::string outMany = many.out;
    outMany.replace(outMany.find(dirMany), dirMany.size(), dirOne);
    EXPECT_EQ(outMany, one.out) << format;
    EXPECT_EQ(many.err, one.err) << format;
  }
}

TEST_F(FrameOutput, FailedFramesAreNamedInOrderAndTheOthersStillWritten) {
  DamageFrames(5, 11);
  const RunResult one = Extract("png", "one", {"--jobs", "1"});
  const RunResult many = Extract("png", "many", {"--jobs", "3"});
  const RunResult byDefault = Extract("png", "default");
  for (const RunResult* r : {&one, &many, &byDefault}) {
    EXPECT_EQ(r->status, 1) << r->err;
    const size_t decode = r->err.find("road.se1: frame 5: the library could not decode it");
    const size_t tag = r->err.find("road.se1: frame 11: codec tag \"XYZ\"");
    const size_t count = r->err.find("2 frames could not be written");
    EXPECT_NE(decode, std::string::npos) << r->err;
    EXPECT_NE(tag, std::string::npos) << r->err;
    EXPECT_NE(count, std::string::npos) << r->err;
    EXPECT_TRUE(decode < tag && tag < count) << r->err;
    EXPECT_NE(r->out.find("extracted 22 frames"), std::string::npos) << r->out;
  }
  EXPECT_EQ(many.err, one.err);
  EXPECT_EQ(byDefault.err, one.err);
  const auto files = FilesIn(dir_.File("one"));
  EXPECT_EQ(files.size(), static_cast<size_t>(kFrames - 2));
  EXPECT_FALSE(files.count("road-000005.png"));
  EXPECT_FALSE(files.count("road-000011.png"));
  EXPECT_TRUE(FilesIn(dir_.File("many")) == files);
  EXPECT_TRUE(FilesIn(dir_.File("default")) == files);
}

TEST_F(FrameOutput, AFrameCutShortIsNamedAndEveryFrameBeforeItWritten) {
  Bytes file = ReadFile(source_);
  const std::vector<size_t> frames = FrameOffsets(file);
  file.resize(frames[20] + 100);
  WriteFile(source_, file);
  for (const std::string jobs : {"1", "4"}) {
    const RunResult r = Extract("ppm", "cut-" + jobs, {"--jobs", jobs});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("road.se1: frame 20: the library could not decode it"), std::string::npos)
        << r.err;
    EXPECT_EQ(FilesIn(dir_.File("cut-" + jobs)).size(), 20u) << jobs << ": " << r.err;
  }
  EXPECT_TRUE(FilesIn(dir_.File("cut-4")) == FilesIn(dir_.File("cut-1")));
}

TEST_F(FrameOutput, PngsDecodeToThePixelsOfThePpms) {
  ASSERT_EQ(Extract("png", "png").status, 0);
  ASSERT_EQ(Extract("ppm", "ppm").status, 0);
  // PIL (python3-pil) reads each PNG and writes its pixels as a PPM.
  const std::string script =
      "import sys, glob\nfrom PIL import Image\n"
      "for p in sorted(glob.glob(sys.argv[1] + '/*.png')):\n"
      "    Image.open(p).convert('RGB').save(p[:-4] + '.check.ppm')\n";
  WriteFile(dir_.File("decode.py"), Bytes(script.begin(), script.end()));
  const std::string command = "/usr/bin/python3 " + dir_.File("decode.py") + " " + dir_.File("png");
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  for (int n = 0; n < kFrames; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "road-%06d", n);
    const Ppm decoded = ReadPnm(dir_.File("png/" + std::string(name) + ".check.ppm"));
    const Ppm ppm = ReadPnm(dir_.File("ppm/" + std::string(name) + ".ppm"));
    ASSERT_EQ(ppm.width, 320) << name;
    ASSERT_EQ(ppm.height, 180) << name;
    EXPECT_EQ(decoded.width, ppm.width) << name;
    EXPECT_EQ(decoded.height, ppm.height) << name;
    EXPECT_TRUE(decoded.pixels == ppm.pixels) << name << ": PNG and PPM pixels differ";
  }
}

TEST_F(FrameOutput, JobsMustBeAPositiveNumber) {
  for (const std::string bad : {"0", "-2", "many"}) {
    const RunResult r = Extract("png", "bad", {"--jobs", bad});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("--jobs"), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace vialto::test::cli
#endif
