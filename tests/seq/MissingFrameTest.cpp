// Frames that are not wholly in the file: an "se1" file cut inside a sub-header, inside the
// picture data or at a frame boundary (locally, over http and over ftp), and "ser" files whose
// frame count declares more frames than the data hold. Such a frame fails every frame call; its
// length and the moves stay as the records say, and the frames in front of it are untouched.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "seq/DecoderFixture.h"
#include "support/SampleBuilder.h"
#include "support/Servers.h"

namespace vialto::test {
namespace {

// Large enough for any output of the frames here, so a call that wrongly succeeds cannot overrun.
constexpr std::size_t kRoomForAnyOutput = 0xa2000 + 4096;

// Every frame call on the current frame fails, and the frame still reports `length`.
void ExpectFrameMissing(Decoder& d, int length) {
  CSerFileDecode* h = d.handle();
  EXPECT_EQ(Ser_GetCurrentFrameDataLength(h), length);
  Bytes buf(kRoomForAnyOutput, 0xEE);
  EXPECT_EQ(Ser_GetCurrentFrameData(h, buf.data(), length), 0);
  EXPECT_EQ(Ser_GetCurrentFrameData(h, buf.data(), 16), 0) << "the front of a cut frame";
  int w = 0, hh = 0, aux = 0, n = -1;
  for (int type = 0; type <= 4; ++type) {
    SCOPED_TRACE("type " + std::to_string(type));
    if (type <= 3) {
      EXPECT_EQ(Ser_GetCurrentFrameDataBuf(h, &w, &hh, &aux, type), nullptr);
      EXPECT_EQ(Ser_CopyCurrentFrameData(h, &w, &hh, &aux, type, buf.data()), nullptr);
    }
    EXPECT_EQ(Ser_GetCurrentFrameDataBufEx(h, &w, &hh, &aux, &n, type), nullptr);
    EXPECT_EQ(n, 0);
    n = -1;
    EXPECT_EQ(Ser_CopyCurrentFrameDataEx(h, &w, &hh, &aux, &n, type, buf.data()), nullptr);
  }
}

// The current frame's stored data, through the read and through type 0.
void ExpectFrameBytes(Decoder& d, const Bytes& stored) {
  CSerFileDecode* h = d.handle();
  ASSERT_EQ(Ser_GetCurrentFrameDataLength(h), static_cast<int>(stored.size()));
  Bytes read(stored.size());
  EXPECT_EQ(Ser_GetCurrentFrameData(h, read.data(), static_cast<int>(read.size())), 1);
  EXPECT_EQ(read, stored);
  int w = 0, hh = 0, aux = 0, n = 0;
  unsigned char* asStored = Ser_GetCurrentFrameDataBufEx(h, &w, &hh, &aux, &n, 0);
  ASSERT_NE(asStored, nullptr);
  EXPECT_EQ(Bytes(asStored, asStored + n), stored);
  Ser_DeleteFrameDataBuf(h, asStored);
  unsigned char* rgb = Ser_GetCurrentFrameDataBuf(h, &w, &hh, &aux, 3);
  EXPECT_NE(rgb, nullptr);
  Ser_DeleteFrameDataBuf(h, rgb);
}

// ---- "se1" files cut short ---------------------------------------------------------------------

enum class Via { kLocal, kHttp, kFtp };

struct Cut {
  const char* name;
  int64_t (*length)(const Se1Sample&);  // where the file ends
  int lastReachable;                    // the frame the walk ends on
  int firstMissing;                     // frames from here on fail (none when > lastReachable)
};

constexpr int kFrames = 6;

const Cut kCuts[] = {
    {"inside frame 4's sub-header", [](const Se1Sample& s) { return s.Positions()[4] + 30; }, 4, 4},
    {"inside frame 4's picture",
     [](const Se1Sample& s) { return s.Positions()[4] + 64 + s.Lengths()[4] / 2; }, 4, 4},
    {"one byte short of frame 4", [](const Se1Sample& s) { return s.Positions()[4] - 1; }, 3, 3},
    {"at frame 4's boundary", [](const Se1Sample& s) { return s.Positions()[4]; }, 3, 4},
};

class CutSe1Test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    servers_ = new RemoteServers;
    Se1Frame f;
    f.width = 96;
    f.height = 64;
    whole_ = new Se1Sample;
    whole_->AddFrames(kFrames, f);
    for (std::size_t i = 0; i < std::size(kCuts); ++i) {
      Se1Sample cut = *whole_;
      cut.Truncate(kCuts[i].length(*whole_));
      servers_->Publish(FileName(i), cut.Build());
    }
  }
  static void TearDownTestSuite() {
    delete whole_;
    delete servers_;
  }
  static std::string FileName(std::size_t cut) { return "cut" + std::to_string(cut) + ".se1"; }
  static std::string Name(Via via, const std::string& file) {
    switch (via) {
      case Via::kLocal:
        return servers_->root.File(file);
      case Via::kHttp:
        return servers_->nginx.HttpUrl(file);
      case Via::kFtp:
        return servers_->ftp.Url(file);
    }
    return {};
  }

  // Walks the cut file forward (the one move every source offers), checking each frame.
  static void Walk(Via via, std::size_t cutIndex) {
    const Cut& cut = kCuts[cutIndex];
    Decoder d;
    ASSERT_EQ(d.Open(Name(via, FileName(cutIndex))), 1);
    for (int n = 0;; ++n) {
      SCOPED_TRACE("frame " + std::to_string(n));
      ASSERT_EQ(d.FrameNo(), n);
      EXPECT_EQ(d.Pos(), whole_->Positions()[n]);
      const int length = whole_->Lengths()[n] - 64;
      if (n >= cut.firstMissing)
        ExpectFrameMissing(d, length);
      else
        ExpectFrameBytes(d, whole_->FrameData(n));
      if (n == cut.lastReachable) break;
      ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
    }
    EXPECT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 0);
    EXPECT_EQ(d.FrameNo(), cut.lastReachable);
    // Stepping back reaches whole frames again.
    ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), -1), 1);
    ExpectFrameBytes(d, whole_->FrameData(cut.lastReachable - 1));
  }

  static RemoteServers* servers_;
  static Se1Sample* whole_;
};
RemoteServers* CutSe1Test::servers_ = nullptr;
Se1Sample* CutSe1Test::whole_ = nullptr;

TEST_F(CutSe1Test, CutFramesFailLocallyOverHttpAndOverFtp) {
  for (const Via via : {Via::kLocal, Via::kHttp, Via::kFtp}) {
    SCOPED_TRACE(via == Via::kLocal ? "local" : via == Via::kHttp ? "http" : "ftp");
    for (std::size_t i = 0; i < std::size(kCuts); ++i) {
      SCOPED_TRACE(kCuts[i].name);
      Walk(via, i);
    }
  }
}

// ---- "ser" files declaring more frames than they hold ------------------------------------------

class OverDeclaredSerTest : public ::testing::Test {
 protected:
  // Opens the frames of `sample` with the last `shortBy` data bytes removed, behind its trailer.
  void Open(const SerSample& sample, int64_t shortBy = 0) {
    Bytes file = sample.Build();
    const auto dataEnd = static_cast<std::ptrdiff_t>(file.size() - kSerTrailer);
    file.erase(file.begin() + dataEnd - shortBy, file.begin() + dataEnd);
    WriteFile(path_, file);
    ASSERT_EQ(d.Open(path_), 1);
  }

  Decoder d;

  TempDir dir_;
  std::string path_ = dir_.File("over.ser");
};

TEST_F(OverDeclaredSerTest, ColourFramesBeforeAtAndPastTheData) {
  SerSample sample;
  sample.Frames(2).Modes(1, 1).FrameCountField(65535);
  Open(sample);
  for (int n : {0, 1}) {
    SCOPED_TRACE(n);
    ASSERT_EQ(Ser_MoveTo(d.handle(), n), 1);
    ExpectFrameBytes(d, sample.FrameBytes(n));
  }
  // Frame 2 starts where the trailer does; frame 1000 and the last declared lie past the file.
  for (int n : {2, 1000, 65534}) {
    SCOPED_TRACE(n);
    ASSERT_EQ(Ser_MoveTo(d.handle(), n), 1);
    EXPECT_EQ(d.FrameNo(), n);
    EXPECT_EQ(d.Pos(), int64_t{n} * kSerColourBytes);
    EXPECT_EQ(Ser_GetColorStatus(d.handle()), 1);
    ExpectFrameMissing(d, kSerColourBytes);
  }
  // Moves still count by the declared number.
  ASSERT_EQ(Ser_MoveEnd(d.handle()), 1);
  EXPECT_EQ(d.FrameNo(), 65534);
  EXPECT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 0);
  ASSERT_EQ(Ser_MoveFirst(d.handle()), 1);
  ExpectFrameBytes(d, sample.FrameBytes(0));
}

TEST_F(OverDeclaredSerTest, AFrameRunningIntoTheTrailerFails) {
  SerSample sample;
  sample.Frames(2).Modes(1, 1).FrameCountField(3);
  Open(sample, 1000);  // frame 1 lacks its last 1000 bytes
  ExpectFrameBytes(d, sample.FrameBytes(0));
  ASSERT_EQ(Ser_MoveTo(d.handle(), 1), 1);
  ExpectFrameMissing(d, kSerColourBytes);
}

TEST_F(OverDeclaredSerTest, GreyFramesWithTheDeclaredColourLastFrame) {
  // Stored: two grey frames and a colour one (four grey frame sizes). Declared: 65535 frames, so
  // every stored byte counts as a grey frame and only the declared last frame is colour.
  SerSample sample;
  sample.Frames(3).Modes(2, 2).FrameCountField(65535);
  Open(sample);
  const Bytes file = sample.Build();
  for (int n : {0, 1, 2, 3}) {
    SCOPED_TRACE(n);
    ASSERT_EQ(Ser_MoveTo(d.handle(), n), 1);
    EXPECT_EQ(Ser_GetColorStatus(d.handle()), 0);
    const auto at = file.begin() + n * kSerGreyBytes;
    ExpectFrameBytes(d, Bytes(at, at + kSerGreyBytes));
  }
  for (int n : {4, 65533}) {
    SCOPED_TRACE(n);
    ASSERT_EQ(Ser_MoveTo(d.handle(), n), 1);
    ExpectFrameMissing(d, kSerGreyBytes);
  }
  ASSERT_EQ(Ser_MoveEnd(d.handle()), 1);
  EXPECT_EQ(Ser_GetColorStatus(d.handle()), 1);
  ExpectFrameMissing(d, kSerColourBytes);
}

TEST_F(OverDeclaredSerTest, TheTruthfulCountStillReadsEveryFrame) {
  SerSample sample;
  sample.Frames(3).Modes(2, 2);
  Open(sample);
  for (int n : {0, 1, 2}) {
    SCOPED_TRACE(n);
    ASSERT_EQ(Ser_MoveTo(d.handle(), n), 1);
    ExpectFrameBytes(d, sample.FrameBytes(n));
  }
}

}  // namespace
}  // namespace vialto::test
