// make, info and extract on real files: the sequences the tool writes are read back byte by byte
// and through the tool itself, and extracted frames must come out upright in true colours.
#ifdef VIALTO_CLI_FILE
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CliHarness.h"

namespace vialto::test::cli {
namespace {

constexpr size_t kGreyFrame = 0x36000;
constexpr size_t kColourFrame = 0x6c000;

struct SubHead {
  std::string mark, codec;
  int32_t number, length, previous;
  uint16_t width, height;
  uint8_t colour;
};

SubHead ParseSubHead(const Bytes& file, size_t at) {
  SubHead s;
  s.mark.assign(file.begin() + static_cast<ptrdiff_t>(at),
                file.begin() + static_cast<ptrdiff_t>(at + 8));
  s.codec.assign(file.begin() + static_cast<ptrdiff_t>(at + 8),
                 file.begin() + static_cast<ptrdiff_t>(at + 11));
  s.number = static_cast<int32_t>(Le32(file, at + 12));
  s.length = static_cast<int32_t>(Le32(file, at + 16));
  s.previous = static_cast<int32_t>(Le32(file, at + 20));
  s.width = Le16(file, at + 24);
  s.height = Le16(file, at + 26);
  s.colour = file[at + 28];
  return s;
}

// The stored data of every frame of an se1 file, walking its chain.
std::vector<Bytes> Se1Frames(const Bytes& file) {
  std::vector<Bytes> frames;
  for (size_t at = Le32(file, 64); at + 64 <= file.size();) {
    const SubHead s = ParseSubHead(file, at);
    frames.emplace_back(file.begin() + static_cast<ptrdiff_t>(at + 64),
                        file.begin() + static_cast<ptrdiff_t>(at + static_cast<size_t>(s.length)));
    at += static_cast<size_t>(s.length);
  }
  return frames;
}

RunResult MakeSynthetic(const TempDir& dir, const std::string& kind, const std::string& name,
                        int frames, std::vector<std::string> extra = {}) {
  std::vector<std::string> args{"make",         kind,          "-o",
                                dir.File(name), "--synthetic", std::to_string(frames)};
  args.insert(args.end(), extra.begin(), extra.end());
  return RunTool(dir, args);
}

// Sky at the top (blue above red), verge at the bottom (green above red and blue).
void ExpectUprightRoadScene(const Ppm& p, const std::string& what) {
  ASSERT_EQ(p.channels, 3) << what;
  const uint8_t* sky = p.At(p.width / 2, 2);
  const uint8_t* verge = p.At(p.width / 2, p.height - 2);
  EXPECT_GT(sky[2], sky[0] + 40) << what << ": the top should be sky blue";
  EXPECT_GT(verge[1], verge[0] + 30) << what << ": the bottom should be green";
  EXPECT_GT(verge[1], verge[2] + 30) << what << ": the bottom should be green";
}

TEST(CliMake, SyntheticSequencesHoldUpTo65535Frames) {
  TempDir dir;
  const RunResult most = MakeSynthetic(dir, "se1", "most.se1", 65535, {"--size", "8x8"});
  ASSERT_EQ(most.status, 0) << most.err;
  EXPECT_NE(most.out.find("se1, 65535 frames"), std::string::npos) << most.out;
  const RunResult info = RunTool(dir, {"info", dir.File("most.se1"), "--json"});
  ASSERT_EQ(info.status, 0) << info.err;
  const Json j = ParseJson(info.out);
  EXPECT_EQ(j["frames_declared"].Number(), 65535);
  EXPECT_EQ(j["frames_reachable"].Number(), 65535);
  const RunResult over = MakeSynthetic(dir, "se1", "over.se1", 65536, {"--size", "8x8"});
  EXPECT_EQ(over.status, 2);
  EXPECT_NE(over.err.find("--synthetic"), std::string::npos) << over.err;
}

TEST(CliMake, Se1FramesAreChainedJpegsBehindSubHeaders) {
  TempDir dir;
  const RunResult r = MakeSynthetic(dir, "se1", "road.se1", 4, {"--size", "160x90"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("se1, 4 frames"), std::string::npos) << r.out;
  const Bytes file = ReadFile(dir.File("road.se1"));
  ASSERT_GT(file.size(), 128u + 4 * 64);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 3), "se1");
  EXPECT_EQ(Le16(file, 5), 4);
  EXPECT_EQ(Le32(file, 64), 128u);
  size_t at = 128;
  int32_t previous = 0;
  for (int i = 0; i < 4; ++i) {
    ASSERT_LE(at + 64, file.size());
    const SubHead s = ParseSubHead(file, at);
    EXPECT_EQ(s.mark, "QXAAAAAA");
    EXPECT_EQ(s.codec, "JPE");
    EXPECT_EQ(s.number, i);
    EXPECT_EQ(s.previous, previous);
    EXPECT_EQ(s.width, 160);
    EXPECT_EQ(s.height, 90);
    EXPECT_EQ(s.colour, 1);
    EXPECT_EQ(file[at + 64], 0xFF);
    EXPECT_EQ(file[at + 65], 0xD8);
    previous = s.length;
    at += static_cast<size_t>(s.length);
  }
  EXPECT_EQ(at, file.size());
  // The scene is deterministic: the same command makes the same bytes.
  ASSERT_EQ(MakeSynthetic(dir, "se1", "again.se1", 4, {"--size", "160x90"}).status, 0);
  EXPECT_EQ(ReadFile(dir.File("again.se1")), file);
}

TEST(CliMake, SerFramesAndTrailerFollowTheColourMode) {
  TempDir dir;
  ASSERT_EQ(MakeSynthetic(dir, "ser", "grey.ser", 3).status, 0);
  ASSERT_EQ(MakeSynthetic(dir, "ser", "colour.ser", 2, {"--colour"}).status, 0);
  const Bytes grey = ReadFile(dir.File("grey.ser"));
  const Bytes colour = ReadFile(dir.File("colour.ser"));
  ASSERT_EQ(grey.size(), 2 * kGreyFrame + kColourFrame + 54);
  ASSERT_EQ(colour.size(), 2 * kColourFrame + 54);
  for (const Bytes* file : {&grey, &colour}) {
    const size_t trailer = file->size() - 54;
    EXPECT_EQ(std::string(file->begin() + static_cast<ptrdiff_t>(trailer),
                          file->begin() + static_cast<ptrdiff_t>(trailer + 3)),
              "ser");
    EXPECT_EQ((*file)[trailer + 11], (*file)[trailer + 24]);  // byColorMode == byColorMode2
  }
  EXPECT_EQ(Le16(grey, grey.size() - 54 + 5), 3);
  EXPECT_EQ(grey[grey.size() - 54 + 11], 2);
  EXPECT_EQ(Le16(colour, colour.size() - 54 + 5), 2);
  EXPECT_EQ(colour[colour.size() - 54 + 11], 1);
  // Grey frame 0: the sky (top rows) is brighter than the road and verge (bottom rows).
  EXPECT_GT(grey[10 * 768 + 384], grey[(287 - 2) * 768 + 384] + 30);
  // The colour frame's chroma planes are not flat: the picture has colour.
  const size_t last = 2 * kGreyFrame;
  const size_t vPlane = last + 768 * 288;
  EXPECT_NE(grey[vPlane + 10 * 384], grey[vPlane + 280 * 384]);
}

TEST(CliMake, Se1KeepsJpegInputsAsTheyAreAndEncodesTheRest) {
  TempDir dir;
  Bytes rgb(64 * 48 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7);
  WritePpm(dir.File("a.ppm"), 64, 48, rgb);
  uint32_t length = 0;
  unsigned char* jpeg = RGBToJpeg(rgb.data(), 64, 48, 24, 70, &length);
  ASSERT_NE(jpeg, nullptr);
  const Bytes stream(jpeg, jpeg + length);
  Ser_DeleteRGBToJpegBuf(jpeg);
  WriteFile(dir.File("b.jpg"), stream);
  const RunResult r = RunTool(
      dir, {"make", "se1", "-o", dir.File("mixed.se1"), dir.File("a.ppm"), dir.File("b.jpg")});
  ASSERT_EQ(r.status, 0) << r.err;
  const Bytes file = ReadFile(dir.File("mixed.se1"));
  const std::vector<Bytes> frames = Se1Frames(file);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1], stream);
  EXPECT_EQ(frames[0][0], 0xFF);
  EXPECT_EQ(ParseSubHead(file, 128).width, 64);
  EXPECT_EQ(ParseSubHead(file, 128).height, 48);

  // A bad input fails the whole command and leaves no half-written sequence.
  WriteFile(dir.File("bad.png"), Bytes(100, 1));
  const RunResult bad = RunTool(
      dir, {"make", "se1", "-o", dir.File("bad.se1"), dir.File("a.ppm"), dir.File("bad.png")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("bad.png: not a JPEG, PNG, PGM or PPM picture"), std::string::npos)
      << bad.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("bad.se1")));
  const RunResult missing =
      RunTool(dir, {"make", "ser", "-o", dir.File("m.ser"), dir.File("nope.png")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("nope.png: no such file"), std::string::npos) << missing.err;
}

TEST(CliInfo, JsonDescribesTheFileAndEveryFrame) {
  TempDir dir;
  ASSERT_EQ(MakeSynthetic(dir, "se1", "road.se1", 5, {"--size", "160x90"}).status, 0);
  ASSERT_EQ(MakeSynthetic(dir, "ser", "road.ser", 3).status, 0);

  const RunResult se1 = RunTool(dir, {"info", dir.File("road.se1"), "--frames", "--json"});
  ASSERT_EQ(se1.status, 0) << se1.err;
  const Json j = ParseJson(se1.out);
  EXPECT_EQ(j["type"].String(), "se1");
  EXPECT_EQ(j["frame_count"].Number(), 5);
  EXPECT_EQ(j["length"].Number(), static_cast<double>(ReadFile(dir.File("road.se1")).size()));
  EXPECT_EQ(j["info_length"].Number(), 128);
  EXPECT_EQ(j["info"]["chSign"].String(), "se1");
  EXPECT_EQ(j["info"]["dwHeadLen"].Number(), 128);
  const auto& frames = j["frames"].Array();
  ASSERT_EQ(frames.size(), 5u);
  double position = 128;
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i]["number"].Number(), static_cast<double>(i));
    EXPECT_EQ(frames[i]["position"].Number(), position);
    EXPECT_EQ(frames[i]["codec"].String(), "JPE");
    EXPECT_EQ(frames[i]["width"].Number(), 160);
    EXPECT_EQ(frames[i]["colour"].Number(), 1);
    position += frames[i]["length"].Number() + 64;
  }
  EXPECT_EQ(position, j["length"].Number());

  const RunResult ser = RunTool(dir, {"info", dir.File("road.ser"), "--frames", "--json"});
  ASSERT_EQ(ser.status, 0) << ser.err;
  const Json s = ParseJson(ser.out);
  EXPECT_EQ(s["type"].String(), "ser");
  EXPECT_EQ(s["colour_mode"].Number(), 2);
  EXPECT_EQ(s["info_length"].Number(), 54);
  const auto& serFrames = s["frames"].Array();
  ASSERT_EQ(serFrames.size(), 3u);
  const double lengths[3] = {kGreyFrame, kGreyFrame, kColourFrame};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(serFrames[i]["position"].Number(), static_cast<double>(i * kGreyFrame));
    EXPECT_EQ(serFrames[i]["length"].Number(), lengths[i]);
    EXPECT_EQ(serFrames[i]["colour"].Number(), i == 2 ? 1 : 0);
    EXPECT_EQ(serFrames[i]["width"].Number(), 768);
  }

  const RunResult text = RunTool(dir, {"info", dir.File("road.ser")});
  ASSERT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("type          ser"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("colour modes  2 / 2"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("wFrameCount 3"), std::string::npos) << text.out;
}

TEST(CliInfo, RelativeNamesThatLookLikeSchemesStayLocal) {
  TempDir dir;
  ASSERT_EQ(MakeSynthetic(dir, "ser", "ftp-frames.ser", 1).status, 0);
  ASSERT_EQ(MakeSynthetic(dir, "ser", "http.ser", 1).status, 0);
  for (const char* name : {"ftp-frames.ser", "http.ser"}) {
    const RunResult r = RunTool(dir, {"info", name, "--json"}, dir.path().string());
    ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_EQ(ParseJson(r.out)["frame_count"].Number(), 1);
  }
}

class CliExtract : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(MakeSynthetic(dir_, "se1", "road.se1", 3, {"--size", "160x90"}).status, 0);
    ASSERT_EQ(MakeSynthetic(dir_, "ser", "road.ser", 2).status, 0);
  }
  RunResult Extract(const std::string& name, std::vector<std::string> extra) {
    std::vector<std::string> args{"extract", dir_.File(name), "-o", dir_.File("out")};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunTool(dir_, args);
  }
  std::string Out(const std::string& name) const { return dir_.File("out/" + name); }
  TempDir dir_;
};

TEST_F(CliExtract, FramesComeOutUprightInTrueColours) {
  ASSERT_EQ(Extract("road.se1", {"--all", "--as", "ppm"}).status, 0);
  for (int i = 0; i < 3; ++i) {
    const std::string name = "road-00000" + std::to_string(i) + ".ppm";
    const Ppm p = ReadPnm(Out(name));
    ASSERT_EQ(p.width, 160) << name;
    ASSERT_EQ(p.height, 90) << name;
    ExpectUprightRoadScene(p, name);
  }
  ASSERT_EQ(Extract("road.ser", {"--as", "ppm"}).status, 0);
  ExpectUprightRoadScene(ReadPnm(Out("road-000001.ppm")), "ser colour frame");
  const Ppm grey = ReadPnm(Out("road-000000.ppm"));
  ASSERT_EQ(grey.width, 768);
  const uint8_t* top = grey.At(384, 2);
  const uint8_t* bottom = grey.At(384, 285);
  EXPECT_EQ(top[0], top[1]);
  EXPECT_EQ(top[1], top[2]);
  EXPECT_GT(top[0], bottom[0] + 30) << "grey frame: sky above, verge below";
}

TEST_F(CliExtract, EachFormatWritesWhatItSays) {
  const Bytes se1 = ReadFile(dir_.File("road.se1"));
  const std::vector<Bytes> stored = Se1Frames(se1);
  ASSERT_EQ(Extract("road.se1", {"--frame", "1", "--as", "jpeg"}).status, 0);
  EXPECT_EQ(ReadFile(Out("road-000001.jpg")), stored[1]);
  ASSERT_EQ(Extract("road.se1", {"--frame", "2", "--as", "raw"}).status, 0);
  EXPECT_EQ(ReadFile(Out("road-000002.raw")), stored[2]);
  ASSERT_EQ(Extract("road.se1", {"--frame", "0"}).status, 0);
  EXPECT_EQ(PngSize(Out("road-000000.png")), std::make_pair(160u, 90u));
  ASSERT_EQ(Extract("road.se1", {"--frame", "0", "--as", "yuv"}).status, 0);
  EXPECT_EQ(ReadFile(Out("road-000000.yuv")).size(), 160u * 90 * 2);
  ASSERT_EQ(Extract("road.se1", {"--frame", "0", "--as", "pgm"}).status, 0);
  const Ppm pgm = ReadPnm(Out("road-000000.pgm"));
  EXPECT_EQ(pgm.channels, 1);
  EXPECT_GT(pgm.At(80, 2)[0], pgm.At(80, 88)[0]);

  const Bytes ser = ReadFile(dir_.File("road.ser"));
  ASSERT_EQ(Extract("road.ser", {"--as", "raw"}).status, 0);
  EXPECT_EQ(ReadFile(Out("road-000000.raw")), Bytes(ser.begin(), ser.begin() + kGreyFrame));
  EXPECT_EQ(ReadFile(Out("road-000001.raw")),
            Bytes(ser.begin() + kGreyFrame, ser.begin() + kGreyFrame + kColourFrame));
  ASSERT_EQ(Extract("road.ser", {"--as", "pgm", "--frame", "0"}).status, 0);
  EXPECT_EQ(ReadPnm(Out("road-000000.pgm")).pixels, Bytes(ser.begin(), ser.begin() + kGreyFrame));
  ASSERT_EQ(Extract("road.ser", {"--as", "yuv", "--frame", "1"}).status, 0);
  EXPECT_EQ(ReadFile(Out("road-000001.yuv")),
            Bytes(ser.begin() + kGreyFrame, ser.begin() + kGreyFrame + kColourFrame));
  ASSERT_EQ(Extract("road.ser", {"--as", "jpeg", "--frame", "1"}).status, 0);
  EXPECT_EQ(ReadFile(Out("road-000001.jpg"))[0], 0xFF);
}

TEST_F(CliExtract, RangesSelectFramesAndOutOfRangeFails) {
  const RunResult r = Extract("road.se1", {"--range", "1:2", "--as", "raw"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("extracted 2 frames"), std::string::npos) << r.out;
  EXPECT_FALSE(std::filesystem::exists(Out("road-000000.raw")));
  EXPECT_TRUE(std::filesystem::exists(Out("road-000001.raw")));
  EXPECT_TRUE(std::filesystem::exists(Out("road-000002.raw")));
  for (const auto& args :
       {std::vector<std::string>{"--frame", "3"}, std::vector<std::string>{"--range", "1:7"}}) {
    for (const char* name : {"road.se1", "road.ser"}) {
      const RunResult bad = Extract(name, args);
      EXPECT_EQ(bad.status, 1) << name;
      EXPECT_NE(bad.err.find("out of range"), std::string::npos) << bad.err;
    }
  }
}

}  // namespace
}  // namespace vialto::test::cli
#endif  // VIALTO_CLI_FILE
