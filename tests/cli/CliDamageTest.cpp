// Files that are not what they declare: cut short, with a broken chain, with a frame the codec
// complains about, and larger than 2 GiB. info must say what it found and extract must write
// what it can, name each frame it could not write or that decoded with the codec's notices, and
// fail.
#ifdef VIALTO_CLI_FILE
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "cli/CliHarness.h"

namespace vialto::test::cli {
namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 28;

std::vector<size_t> FrameOffsets(const Bytes& file) {
  std::vector<size_t> offsets;
  for (size_t at = Le32(file, 64); at + 64 <= file.size(); at += Le32(file, at + 16)) {
    offsets.push_back(at);
    if (Le32(file, at + 16) < 64) break;
  }
  return offsets;
}

size_t CountFiles(const std::string& dir) {
  if (!fs::is_directory(dir)) return 0;
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Every line on stderr is the tool's own, so that no notice goes unattributed.
void ExpectOnlyToolLines(const std::string& err) {
  size_t start = 0;
  while (start < err.size()) {
    const size_t end = err.find('\n', start);
    const std::string line = err.substr(start, end - start);
    EXPECT_EQ(line.rfind("vialto ", 0), 0u) << "unattributed line: " << line;
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

class Damage : public ::testing::Test {
 protected:
  void SetUp() override {
    const RunResult made = RunTool(dir_, {"make", "se1", "-o", dir_.File("road.se1"), "--synthetic",
                                          std::to_string(kFrames), "--size", "160x90"});
    ASSERT_EQ(made.status, 0) << made.err;
    file_ = ReadFile(dir_.File("road.se1"));
    frames_ = FrameOffsets(file_);
    ASSERT_EQ(frames_.size(), static_cast<size_t>(kFrames));
  }
  std::string Write(const std::string& name, const Bytes& bytes) {
    WriteFile(dir_.File(name), bytes);
    return dir_.File(name);
  }
  Json InfoJson(const std::string& path, bool frames = false) {
    std::vector<std::string> args{"info", path, "--json"};
    if (frames) args.push_back("--frames");
    const RunResult r = RunTool(dir_, args);
    EXPECT_EQ(r.status, 0) << r.err;
    return ParseJson(r.out);
  }
  TempDir dir_;
  Bytes file_;
  std::vector<size_t> frames_;
};

TEST_F(Damage, AWholeFileIsComplete) {
  const Json j = InfoJson(dir_.File("road.se1"));
  EXPECT_EQ(j["frames_declared"].Number(), kFrames);
  EXPECT_EQ(j["frames_reachable"].Number(), kFrames);
  EXPECT_EQ(j["status"].String(), "complete");
  EXPECT_TRUE(j["problems"].Array().empty());
}

TEST_F(Damage, InfoCountsTheFramesOfAFileCutInsideAFrame) {
  Bytes cut(file_.begin(), file_.begin() + static_cast<ptrdiff_t>(frames_[4] + 64 + 300));
  const std::string path = Write("cut.se1", cut);
  const Json j = InfoJson(path);
  EXPECT_EQ(j["frames_declared"].Number(), kFrames);
  EXPECT_EQ(j["frames_reachable"].Number(), 5);
  EXPECT_EQ(j["status"].String(), "truncated");
  ASSERT_EQ(j["problems"].Array().size(), 2u);
  EXPECT_NE(j["problems"].Array()[0].String().find("frame 4 is cut short: 364 of"),
            std::string::npos);
  EXPECT_NE(j["problems"].Array()[1].String().find("23 of 28 declared frames missing"),
            std::string::npos);
  const RunResult text = RunTool(dir_, {"info", path});
  EXPECT_NE(text.out.find("reachable     5\npresent       4\nstatus        truncated\n"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.err.find("is truncated"), std::string::npos) << text.err;

  // Cut right behind frame 3: nothing is cut short, the frames simply end.
  const std::string even =
      Write("even.se1", Bytes(file_.begin(), file_.begin() + static_cast<ptrdiff_t>(frames_[4])));
  const Json e = InfoJson(even, true);
  EXPECT_EQ(e["frames_reachable"].Number(), 4);
  EXPECT_EQ(e["frames"].Array().size(), 4u);
  EXPECT_EQ(e["status"].String(), "truncated");
  EXPECT_EQ(e["problems"].Array().size(), 1u);
}

TEST_F(Damage, ABrokenChainIsDamaged) {
  Bytes broken = file_;
  broken[frames_[3]] ^= 0xFF;  // frame 3's sub-header loses its mark
  const Json j = InfoJson(Write("broken.se1", broken));
  EXPECT_EQ(j["frames_reachable"].Number(), 3);
  EXPECT_EQ(j["status"].String(), "damaged");
  ASSERT_EQ(j["problems"].Array().size(), 1u);
  EXPECT_NE(j["problems"].Array()[0].String().find("the frames stop after frame 2 although"),
            std::string::npos)
      << j["problems"].Array()[0].String();
}

TEST_F(Damage, ExtractWritesTheFramesBeforeACutAndFails) {
  Bytes cut(file_.begin(), file_.begin() + static_cast<ptrdiff_t>(frames_[4] + 64 + 300));
  const std::string path = Write("cut.se1", cut);
  for (const std::string format : {"png", "raw"}) {
    for (const std::string jobs : {"1", "2"}) {
      const std::string out = dir_.File("out-" + format + jobs);
      const RunResult r =
          RunTool(dir_, {"extract", path, "--as", format, "-o", out, "--jobs", jobs});
      EXPECT_EQ(r.status, 1) << r.err;
      EXPECT_EQ(CountFiles(out), 4u) << format << jobs << ": " << r.err;
      EXPECT_NE(r.err.find("cut.se1: frame 4 is cut short"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("cut.se1: frames 5..27 missing"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("23 declared frames missing"), std::string::npos) << r.err;
      ExpectOnlyToolLines(r.err);
    }
  }
}

TEST_F(Damage, EachCodecNoticeIsGivenToItsFrame) {
  // A restart marker in the middle of the entropy-coded data of frames that have no restart
  // interval: the codec warns and decodes the rest as grey. Neighbours, so that workers decode
  // them at the same time.
  const std::vector<int> noisy{9, 10, 11, 17};
  Bytes bad = file_;
  for (const int n : noisy) {
    size_t scan = frames_[static_cast<size_t>(n)] + 64;
    while (!(bad[scan] == 0xFF && bad[scan + 1] == 0xDA)) ++scan;
    const size_t middle = (scan + frames_[static_cast<size_t>(n) + 1]) / 2;
    bad[middle] = 0xFF;
    bad[middle + 1] = 0xD3;
  }
  const std::string path = Write("bad.se1", bad);
  std::string first;
  for (const std::string jobs : {"1", "2", "4", "8"}) {
    const std::string out = dir_.File("bad-" + jobs);
    const RunResult r = RunTool(dir_, {"extract", path, "--as", "ppm", "-o", out, "--jobs", jobs});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(CountFiles(out), static_cast<size_t>(kFrames)) << "the frames are still written";
    for (int n = 0; n < kFrames; ++n) {
      const bool named =
          r.err.find("bad.se1: frame " + std::to_string(n) + ": JPEG") != std::string::npos;
      EXPECT_EQ(named, std::count(noisy.begin(), noisy.end(), n) == 1)
          << "frame " << n << ": " << r.err;
    }
    EXPECT_NE(r.err.find("4 frames written damaged"), std::string::npos) << r.err;
    ExpectOnlyToolLines(r.err);
    if (first.empty()) first = r.err;
    EXPECT_EQ(r.err, first) << "workers must give the report of one job";
  }
  // Frames stored as they are do not go through the codec.
  const RunResult raw = RunTool(dir_, {"extract", path, "--as", "raw", "-o", dir_.File("raw")});
  EXPECT_EQ(raw.status, 0) << raw.err;
}

// A sequence past 2 GiB, of real frames: one small JPEG padded with comment segments to about
// 1 MiB, repeated with its sub-header renumbered.
class Large : public ::testing::Test {
 protected:
  static constexpr int kCopies = 2100;

  void SetUp() override {
    ASSERT_EQ(RunTool(dir_, {"make", "se1", "-o", dir_.File("one.se1"), "--synthetic", "1",
                             "--size", "32x24"})
                  .status,
              0);
    const Bytes one = ReadFile(dir_.File("one.se1"));
    const size_t at = Le32(one, 64);
    Bytes head(one.begin(), one.begin() + static_cast<ptrdiff_t>(at));
    head[5] = kCopies & 0xFF;
    head[6] = kCopies >> 8;
    const Bytes sub(one.begin() + static_cast<ptrdiff_t>(at),
                    one.begin() + static_cast<ptrdiff_t>(at + 64));
    const Bytes jpeg(one.begin() + static_cast<ptrdiff_t>(at + 64), one.end());
    jpeg_ = jpeg;
    Bytes padded(jpeg.begin(), jpeg.begin() + 2);  // SOI
    for (int i = 0; i < 16; ++i) {
      padded.insert(padded.end(), {0xFF, 0xFE, 0xFF, 0xFF});  // COM of 65535 bytes
      padded.insert(padded.end(), 65533, static_cast<uint8_t>('a' + i));
    }
    padded.insert(padded.end(), jpeg.begin() + 2, jpeg.end());
    frameBytes_ = padded.size() + 64;
    path_ = dir_.File("large.se1");
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(head.data(), 1, head.size(), f);
    Bytes frame = sub;
    frame.insert(frame.end(), padded.begin(), padded.end());
    for (int n = 0; n < kCopies; ++n) {
      auto put32 = [&](size_t offset, uint32_t v) {
        for (int b = 0; b < 4; ++b) frame[offset + b] = static_cast<uint8_t>(v >> (8 * b));
      };
      put32(12, static_cast<uint32_t>(n));
      put32(16, static_cast<uint32_t>(frameBytes_));
      put32(20, n == 0 ? 0 : static_cast<uint32_t>(frameBytes_));
      ASSERT_EQ(std::fwrite(frame.data(), 1, frame.size(), f), frame.size());
    }
    ASSERT_EQ(std::fclose(f), 0);
    headBytes_ = head.size();
    ASSERT_GT(fs::file_size(path_), (uint64_t{1} << 31) + (uint64_t{1} << 25));
  }
  void TearDown() override { fs::remove(path_); }

  TempDir dir_;
  std::string path_;
  Bytes jpeg_;
  size_t frameBytes_ = 0, headBytes_ = 0;
};

TEST_F(Large, EveryFramePast2GiBIsListedAndExtracted) {
  const RunResult info = RunTool(dir_, {"info", path_, "--frames", "--json"});
  ASSERT_EQ(info.status, 0) << info.err;
  const Json j = ParseJson(info.out);
  EXPECT_EQ(j["frames_reachable"].Number(), kCopies);
  EXPECT_EQ(j["status"].String(), "complete");
  const auto& frames = j["frames"].Array();
  ASSERT_EQ(frames.size(), static_cast<size_t>(kCopies));
  for (const size_t n : {size_t{0}, size_t{2047}, size_t{2048}, size_t{kCopies - 1}}) {
    EXPECT_EQ(frames[n]["number"].Number(), static_cast<double>(n));
    EXPECT_EQ(frames[n]["position"].Number(), static_cast<double>(headBytes_ + n * frameBytes_));
  }
  const std::string out = dir_.File("frames");
  const RunResult r = RunTool(dir_, {"extract", path_, "--all", "--as", "pgm", "-o", out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("extracted 2100 frames"), std::string::npos) << r.out;
  EXPECT_EQ(CountFiles(out), static_cast<size_t>(kCopies));
  EXPECT_EQ(ReadPnm(out + "/large-002099.pgm").width, 32);
  // Stored as they are, frames past 2 GiB are the very bytes written.
  const RunResult last = RunTool(
      dir_, {"extract", path_, "--range", "2098:2099", "--as", "raw", "-o", dir_.File("last")});
  ASSERT_EQ(last.status, 0) << last.err;
  const Bytes stored = ReadFile(dir_.File("last/large-002099.raw"));
  ASSERT_EQ(stored.size(), frameBytes_ - 64);
  EXPECT_TRUE(std::equal(jpeg_.begin() + 2, jpeg_.end(),
                         stored.end() - static_cast<ptrdiff_t>(jpeg_.size() - 2)));
}

// A "ser" whose count declares more frames than its data hold: moves keep the declared count,
// the frames past the data are named as one run, and extract writes only the frames present.
TEST(DamageSer, AnOverDeclaredCountNamesTheAbsentFramesAndWritesOnlyThePresentOnes) {
  struct Mode {
    std::vector<std::string> makeArgs;
    int present;  // frames of the declared layout that fit in the data of two made frames
  };
  // Mode 2 (grey frames, a colour last one): the colour frame's bytes hold two grey frames.
  for (const Mode& mode : {Mode{{}, 3}, Mode{{"--colour"}, 2}}) {
    TempDir dir;
    std::vector<std::string> make{"make", "ser", "-o", dir.File("two.ser"), "--synthetic", "2"};
    make.insert(make.end(), mode.makeArgs.begin(), mode.makeArgs.end());
    ASSERT_EQ(RunTool(dir, make).status, 0);
    Bytes file = ReadFile(dir.File("two.ser"));
    const size_t count = file.size() - 54 + 5;  // wFrameCount in the trailer, little-endian
    file[count] = 40;
    file[count + 1] = 0;
    const std::string path = dir.File("over.ser");
    WriteFile(path, file);

    const RunResult info = RunTool(dir, {"info", path, "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    const Json j = ParseJson(info.out);
    EXPECT_EQ(j["frame_count"].Number(), 40);
    EXPECT_EQ(j["frames_present"].Number(), mode.present);
    EXPECT_EQ(j["status"].String(), "truncated");
    ASSERT_EQ(j["problems"].Array().size(), 1u);
    const std::string run = "frames " + std::to_string(mode.present) + "..39 (" +
                            std::to_string(40 - mode.present) + ") lie past the end of the data";
    EXPECT_EQ(j["problems"].Array()[0].String(), run);

    const RunResult r =
        RunTool(dir, {"extract", path, "--all", "--as", "pgm", "-o", dir.File("out")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(CountFiles(dir.File("out")), static_cast<size_t>(mode.present)) << r.err;
    EXPECT_NE(r.err.find("over.ser: frame " + std::to_string(mode.present) + " is cut short"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("more frames went wrong (the first 20 are named)"), std::string::npos)
        << r.err;
    ExpectOnlyToolLines(r.err);
  }
}

}  // namespace
}  // namespace vialto::test::cli

#endif  // VIALTO_CLI_FILE
