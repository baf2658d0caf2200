#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>

#include "platform/LocalFile.h"
#include "seq/DecoderFixture.h"
#include "support/SampleBuilder.h"

namespace {

using namespace vialto::test;
namespace seq = vialto::seq;

// --- "ser" ------------------------------------------------------------------------------------

class SerMoves : public ::testing::Test {
 protected:
  void Open(SerSample& sample) {
    sample.Write(dir_.File("a.ser"));
    ASSERT_EQ(d_.Open(dir_.File("a.ser")), 1);
  }
  int Rel(int delta) { return Ser_MoveCurrentFrameNo(d_.handle(), delta); }
  TempDir dir_;
  Decoder d_;
};

TEST_F(SerMoves, RelativeMovesClampTheNumberAndKeepThePosition) {
  SerSample sample;
  Open(sample.Frames(10).Modes(2, 2));
  const int64_t S = kSerGreyBytes;
  ASSERT_EQ(Ser_MoveTo(d_.handle(), 3), 1);
  EXPECT_EQ(d_.Pos(), 3 * S);
  EXPECT_EQ(Rel(4), 1);
  EXPECT_EQ(d_.FrameNo(), 7);
  EXPECT_EQ(Ser_GetCurrentFramePos(d_.handle()), 7 * S);
  ASSERT_EQ(Ser_MoveTo(d_.handle(), 3), 1);
  EXPECT_EQ(Rel(10), 0);
  EXPECT_EQ(d_.FrameNo(), 9);
  EXPECT_EQ(d_.Pos(), 3 * S);
  ASSERT_EQ(Ser_MoveTo(d_.handle(), 3), 1);
  EXPECT_EQ(Rel(-5), 0);
  EXPECT_EQ(d_.FrameNo(), 0);
  EXPECT_EQ(d_.Pos(), 3 * S);
  EXPECT_EQ(Rel(INT_MAX), 0);  // no overflow on the way
  EXPECT_EQ(d_.FrameNo(), 9);
  EXPECT_EQ(Rel(INT_MIN), 0);
  EXPECT_EQ(d_.FrameNo(), 0);
}

TEST_F(SerMoves, AbsoluteMovesEndsAndFirst) {
  SerSample sample;
  Open(sample.Frames(10).Modes(1, 1));
  const int64_t S = kSerColourBytes;
  EXPECT_EQ(Ser_MoveTo(d_.handle(), 15), 1);
  EXPECT_EQ(d_.FrameNo(), 9);
  EXPECT_EQ(d_.Pos(), 9 * S);
  EXPECT_EQ(Ser_MoveTo(d_.handle(), -1), 0);
  EXPECT_EQ(d_.FrameNo(), 0);
  EXPECT_EQ(d_.Pos(), 0);
  EXPECT_EQ(Ser_MoveEnd(d_.handle()), 1);
  EXPECT_EQ(d_.FrameNo(), 9);
  EXPECT_EQ(d_.Pos(), 9 * S);
  EXPECT_EQ(Ser_MoveFirst(d_.handle()), 1);
  EXPECT_EQ(d_.Pos(), 0);
  // Each computed position holds that frame: its first four bytes are its number.
  for (int n : {0, 4, 9}) {
    ASSERT_EQ(Ser_MoveTo(d_.handle(), n), 1);
    uint32_t stamp = 0;
    ASSERT_TRUE(d_.obj().ReadSource(d_.Pos(), &stamp, 4));
    EXPECT_EQ(stamp, static_cast<uint32_t>(n));
  }
}

TEST_F(SerMoves, ZeroFrameCountRefusesEveryMove) {
  SerSample sample;
  Open(sample.Frames(3).FrameCountField(0));
  EXPECT_EQ(Ser_MoveEnd(d_.handle()), 0);
  EXPECT_EQ(d_.FrameNo(), 0);
  EXPECT_EQ(Ser_MoveTo(d_.handle(), 0), 0);
  EXPECT_EQ(d_.FrameNo(), 0);
  EXPECT_EQ(Rel(1), 0);
  EXPECT_EQ(d_.FrameNo(), 0);
  EXPECT_EQ(d_.Pos(), 0);
}

TEST_F(SerMoves, UnequalModePairsMoveTheNumberOnly) {
  for (const auto& [m1, m2] : {std::pair<int, int>{2, 1}, {1, 2}, {3, 3}}) {
    SerSample sample;
    Open(sample.Frames(6).Modes(static_cast<uint8_t>(m1), static_cast<uint8_t>(m2)));
    EXPECT_EQ(Ser_MoveTo(d_.handle(), 4), 1);
    EXPECT_EQ(Rel(1), 1);
    EXPECT_EQ(Ser_MoveEnd(d_.handle()), 1);
    EXPECT_EQ(d_.FrameNo(), 5);
    EXPECT_EQ(d_.Pos(), 0) << m1 << "/" << m2;
  }
}

TEST(SerLargeFiles, ASparseFileBeyond2GiBIsReachableEverywhere) {
  TempDir dir;
  SerSample sample;
  sample.Frames(5000).Modes(1, 1).Sparse();  // 2.2 GB, of which 20 MB are written
  sample.Write(dir.File("big.ser"));
  ASSERT_GT(sample.FileLength(), int64_t{INT_MAX});
  Decoder d;
  ASSERT_EQ(d.Open(dir.File("big.ser")), 1);
  EXPECT_EQ(d.obj().m_nFileLength, sample.FileLength());
  EXPECT_EQ(d.obj().m_SerInfo.wFrameCount, 5000);
  for (const int n : {4854, 4855, 4999, 100}) {
    ASSERT_EQ(Ser_MoveTo(d.handle(), n), 1);
    EXPECT_EQ(d.Pos(), n * kSerColourBytes);
    const int64_t exported = Ser_GetCurrentFramePos(d.handle());
    EXPECT_EQ(exported, n <= 4854 ? n * kSerColourBytes : -1) << n;
    uint32_t stamp = 0;
    ASSERT_TRUE(d.obj().ReadSource(d.Pos(), &stamp, 4));
    EXPECT_EQ(stamp, static_cast<uint32_t>(n));
  }
  ASSERT_EQ(Ser_MoveEnd(d.handle()), 1);
  EXPECT_EQ(d.Pos(), 4999 * kSerColourBytes);
  ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), -1), 1);
  EXPECT_EQ(d.Pos(), 4998 * kSerColourBytes);
}

// --- "se1" steps, first, end --------------------------------------------------------------------

class Se1Moves : public ::testing::Test {
 protected:
  void Open(const Se1Sample& sample) {
    sample.Write(dir_.File("a.se1"));
    ASSERT_EQ(d_.Open(dir_.File("a.se1")), 1);
  }
  int Rel(int delta) { return Ser_MoveCurrentFrameNo(d_.handle(), delta); }
  void ExpectOn(const Se1Sample& sample, int n) {
    EXPECT_EQ(d_.FrameNo(), n);
    EXPECT_EQ(d_.Pos(), sample.Positions()[n]);
    EXPECT_EQ(Bytes(d_.obj().m_SubHeadBuf, d_.obj().m_SubHeadBuf + 64), sample.SubHead(n));
    EXPECT_EQ(d_.SubHead().nFrameLen, sample.Lengths()[n]);
  }
  TempDir dir_;
  Decoder d_;
};

TEST_F(Se1Moves, StepsWalkTheChainBothWays) {
  Se1Sample sample;
  sample.AddFrames(8).HeadLength(150);
  for (int i = 0; i < 8; ++i) sample.Frame(i).padding = i * 977;  // unequal lengths
  Open(sample);
  for (int n = 1; n < 8; ++n) {
    ASSERT_EQ(Rel(+1), 1);
    ExpectOn(sample, n);
  }
  const DecoderState atEnd(d_.obj());
  EXPECT_EQ(Rel(+1), 0);  // the sub-header behind the last frame reads as zeros
  EXPECT_TRUE(DecoderState(d_.obj()) == atEnd);
  for (int delta : {+2, 0, -2, INT_MIN}) {
    EXPECT_EQ(Rel(delta), 0) << delta;
    EXPECT_TRUE(DecoderState(d_.obj()) == atEnd) << delta;
  }
  for (int n = 6; n >= 0; --n) {
    ASSERT_EQ(Rel(-1), 1);
    ExpectOn(sample, n);
  }
  // Back from frame 0 fails and changes nothing, so `while (step back)` ends there.
  const DecoderState atStart(d_.obj());
  EXPECT_EQ(Rel(-1), 0);
  EXPECT_TRUE(DecoderState(d_.obj()) == atStart);
  int steps = 0;
  ASSERT_EQ(Ser_MoveEnd(d_.handle()), 1);
  while (Rel(-1) && steps < 100) ++steps;
  EXPECT_EQ(steps, 7);
  ExpectOn(sample, 0);
}

TEST_F(Se1Moves, StepBackFromFrameZeroWithAPreviousLength) {
  Se1Sample sample;
  sample.AddFrames(3).HeadLength(256);
  sample.Frame(0).prevFrameLen = 64;  // points into the head: no marker there
  Open(sample);
  const DecoderState before(d_.obj());
  EXPECT_EQ(Rel(-1), 0);
  EXPECT_TRUE(DecoderState(d_.obj()) == before);
  sample.Frame(0).prevFrameLen = 128;  // points at a well-formed copy of frame 0's sub-header
  sample.Patch(128, sample.SubHead(0));
  Open(sample);
  const DecoderState before1(d_.obj());
  EXPECT_EQ(Rel(-1), 0);
  EXPECT_TRUE(DecoderState(d_.obj()) == before1);
  sample.Frame(0).prevFrameLen = 1000;  // in front of the file
  Open(sample);
  const DecoderState before2(d_.obj());
  EXPECT_EQ(Rel(-1), 0);
  EXPECT_TRUE(DecoderState(d_.obj()) == before2);
}

TEST_F(Se1Moves, StepsAcceptTheMarkerInAnyCaseButNotOthers) {
  Se1Sample sample;
  sample.AddFrames(5);
  sample.Frame(1).marker = "qxaaaaaa";
  sample.Frame(2).marker = "QxAaAaAZ";  // only seven characters are compared
  sample.Frame(4).marker = "QXAAAABA";
  Open(sample);
  EXPECT_EQ(Rel(+1), 1);
  EXPECT_EQ(Rel(+1), 1);
  EXPECT_EQ(Rel(+1), 1);
  ExpectOn(sample, 3);
  EXPECT_EQ(Rel(+1), 0);
  ExpectOn(sample, 3);
  EXPECT_EQ(Ser_MoveEnd(d_.handle()), 1);
  ExpectOn(sample, 3);
}

TEST_F(Se1Moves, MoveEndAndMoveFirst) {
  Se1Sample sample;
  sample.AddFrames(30).HeadLength(512);
  Open(sample);
  EXPECT_EQ(Ser_MoveEnd(d_.handle()), 1);
  ExpectOn(sample, 29);
  EXPECT_EQ(Ser_MoveFirst(d_.handle()), 1);
  ExpectOn(sample, 0);
  EXPECT_EQ(Ser_MoveTo(d_.handle(), -3), 1);  // as Ser_MoveFirst
  ExpectOn(sample, 0);
}

TEST_F(Se1Moves, HostileChainsEndTheWalkWithoutHanging) {
  struct Case {
    const char* what;
    std::function<void(Se1Sample&)> spoil;
    int lastReached;
  };
  const Case cases[] = {
      {"zero length", [](Se1Sample& s) { s.Frame(3).frameLen = 0; }, 3},
      {"negative length", [](Se1Sample& s) { s.Frame(2).frameLen = -500; }, 2},
      {"length off by 100", [](Se1Sample& s) { s.Frame(5).frameLen = s.Lengths()[5] + 100; }, 5},
      {"wrong marker", [](Se1Sample& s) { s.Frame(6).marker = "XXAAAAAA"; }, 5},
      {"cut inside the last sub-header", [](Se1Sample& s) { s.Truncate(s.Positions()[9] + 10); },
       9},
      {"cut inside the last frame's data", [](Se1Sample& s) { s.Truncate(s.Positions()[9] + 100); },
       9},
  };
  for (const Case& c : cases) {
    Se1Sample sample;
    sample.AddFrames(10);
    c.spoil(sample);
    Open(sample);
    EXPECT_EQ(Ser_MoveEnd(d_.handle()), 1) << c.what;
    EXPECT_EQ(d_.FrameNo(), c.lastReached) << c.what;
    EXPECT_EQ(d_.Pos(), sample.Positions()[c.lastReached]) << c.what;
  }
}

TEST_F(Se1Moves, FtpSourceMoveFirstReopensByName) {
  Se1Sample sample;
  sample.AddFrames(6).HeadLength(128);
  Open(sample);
  ASSERT_EQ(Ser_MoveTo(d_.handle(), 4), 1);
  // Pretend the name came as an ftp URL: the return to frame 0 opens the stored name again.
  d_.obj().m_nSourceKind = seq::kFtp;
  const DecoderState before(d_.obj());
  EXPECT_EQ(Ser_MoveTo(d_.handle(), 2), 0);  // no absolute moves on ftp
  EXPECT_TRUE(DecoderState(d_.obj()) == before);
  // A new file under the name shows that the head was read again.
  Se1Sample other;
  other.AddFrames(9).HeadLength(300);
  other.Write(dir_.File("a.se1"));
  EXPECT_EQ(Ser_MoveFirst(d_.handle()), 1);
  EXPECT_STREQ(d_.obj().m_szFileName, dir_.File("a.se1").c_str());
  EXPECT_EQ(d_.obj().m_SerInfo.wFrameCount, 9);
  ExpectOn(other, 0);
}

// --- "se1" search ----------------------------------------------------------------------------

// Opens the sample and checks that every frame, in a scattered order, is found exactly.
void ExpectEveryFrameFound(const Se1Sample& sample, const std::string& path) {
  sample.Write(path);
  Decoder d;
  ASSERT_EQ(d.Open(path), 1);
  const int n = sample.FrameCount();
  for (int i = 0; i < n; ++i) {
    const int target = static_cast<int>((i * 7919L) % n);
    ASSERT_EQ(Ser_MoveTo(d.handle(), target), 1) << target;
    ASSERT_EQ(d.FrameNo(), target);
    ASSERT_EQ(d.Pos(), sample.Positions()[target]) << target;
    ASSERT_EQ(d.SubHead().nFrameNo, target);
  }
}

TEST(Se1Search, FindsEveryFrameInFilesOfManyShapes) {
  TempDir dir;
  {
    Se1Sample equal;
    equal.AddFrames(300);
    ExpectEveryFrameFound(equal, dir.File("equal.se1"));
  }
  {
    Se1Sample alternating;  // lengths of about 1 KB and 30 KB in turn
    alternating.AddFrames(120).HeadLength(4096);
    for (int i = 0; i < 120; i += 2) alternating.Frame(i).padding = 30000;
    ExpectEveryFrameFound(alternating, dir.File("alternating.se1"));
  }
  {
    Se1Sample mixed;  // picture sizes and codecs of every kind
    mixed.AddFrames(60);
    for (int i = 0; i < 60; ++i) {
      mixed.Frame(i).width = 16 + (i * 37) % 200;
      mixed.Frame(i).height = 16 + (i * 53) % 120;
      mixed.Frame(i).greyPicture = i % 3 == 0;
      mixed.Frame(i).codec = i % 4 == 0 ? "jpg" : i % 4 == 1 ? "JPE" : i % 4 == 2 ? "JPG" : "PNG";
    }
    ExpectEveryFrameFound(mixed, dir.File("mixed.se1"));
  }
  {
    Se1Sample countless;  // wFrameCount 0: windows of a fifth of the file
    countless.AddFrames(12).FrameCountField(0);
    ExpectEveryFrameFound(countless, dir.File("countless.se1"));
  }
}

TEST(Se1Search, MarkersOnWindowEdges) {
  // 20 frames in a file of exactly 20 x 4000 bytes, so the search window is 4000 bytes and
  // window k is scanned from 4000k up to 4000k + 4255.
  constexpr int64_t W = 4000;
  const int64_t edges[] = {W - 8, W - 4, W - 1, W, W + 4, W + 250, W + 255, W + 256, W + 300};
  TempDir dir;
  Se1Sample sample;
  sample.AddFrames(20);
  for (int j = 1; j < 20; ++j) {
    const int64_t edge = edges[j % 9];
    sample.PlaceFrameAt(j, (j - 1) * W + edge);
  }
  sample.PadTo(20 * W);
  ASSERT_EQ(sample.SearchWindow(), W);
  ExpectEveryFrameFound(sample, dir.File("edges.se1"));
}

TEST(Se1Search, TargetsAboveTheLastFrameGoToTheLastFrame) {
  TempDir dir;
  Se1Sample sample;
  sample.AddFrames(25);
  sample.Write(dir.File("a.se1"));
  Decoder d;
  ASSERT_EQ(d.Open(dir.File("a.se1")), 1);
  for (const int target : {25, 26, 1000, INT_MAX}) {
    ASSERT_EQ(Ser_MoveFirst(d.handle()), 1);
    EXPECT_EQ(Ser_MoveTo(d.handle(), target), 1) << target;
    EXPECT_EQ(d.FrameNo(), 24);
    EXPECT_EQ(d.Pos(), sample.Positions()[24]);
  }
}

TEST(Se1Search, FailedSearchesLeaveTheDecoderAsItWas) {
  TempDir dir;
  struct Case {
    const char* what;
    std::function<void(Se1Sample&)> shape;
    int target;
  };
  const Case cases[] = {
      {"number missing from the file", [](Se1Sample& s) { s.Frame(10).frameNo = 100; }, 10},
      {"marker in lower case", [](Se1Sample& s) { s.Frame(7).marker = "qxaaaaaa"; }, 7},
      {"marker with a wrong last byte", [](Se1Sample& s) { s.Frame(7).marker = "QXAAAAAB"; }, 7},
      {"zero frame count, number missing",
       [](Se1Sample& s) {
         s.FrameCountField(0);
         s.Frame(3).frameNo = 33;
       },
       3},
  };
  for (const Case& c : cases) {
    Se1Sample sample;
    sample.AddFrames(50);
    c.shape(sample);
    sample.Write(dir.File("a.se1"));
    Decoder d;
    ASSERT_EQ(d.Open(dir.File("a.se1")), 1);
    ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
    ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
    const DecoderState before(d.obj());
    EXPECT_EQ(Ser_MoveTo(d.handle(), c.target), 0) << c.what;
    EXPECT_TRUE(DecoderState(d.obj()) == before) << c.what;
  }
}

TEST(Se1Search, FailedSearchesReadABoundedNumberOfWindows) {
  TempDir dir;
  for (const int frameCountField : {0, 50, 8000}) {
    Se1Sample sample;
    sample.AddFrames(50).FrameCountField(frameCountField);
    sample.Frame(20).frameNo = 999;  // never found
    sample.Write(dir.File("a.se1"));
    Decoder d;
    ASSERT_EQ(d.Open(dir.File("a.se1")), 1);
    auto counting = std::make_unique<CountingSource>(std::move(d.obj().m_pFile));
    CountingSource* reads = counting.get();
    d.obj().m_pFile = std::move(counting);
    EXPECT_EQ(Ser_MoveTo(d.handle(), 20), 0);
    // The window search's windows of the average frame length (plus 512) come first.
    const int64_t window =
        frameCountField ? sample.FileLength() / frameCountField : sample.FileLength() / 5;
    ASSERT_FALSE(reads->sizes.empty());
    EXPECT_EQ(reads->sizes[0], static_cast<std::size_t>(window + 512)) << frameCountField;
    // Frames 19 and 21 close in on the missing number within a few windows more.
    EXPECT_LE(reads->sizes.size(), 16u) << frameCountField;
  }
}

TEST(Se1Search, DeletedFileFailsTheSearchAndClosesTheDecoder) {
  TempDir dir;
  Se1Sample sample;
  sample.AddFrames(20);
  sample.Write(dir.File("a.se1"));
  Decoder d;
  ASSERT_EQ(d.Open(dir.File("a.se1")), 1);
  std::filesystem::remove(dir.File("a.se1"));
  EXPECT_EQ(Ser_MoveTo(d.handle(), 10), 0);
  EXPECT_EQ(d.obj().m_bOpen, 0);
  EXPECT_EQ(d.FrameNo(), 0);
}

TEST(Se1Search, HttpSourcesLandOnTheTargetItself) {
  TempDir dir;
  Se1Sample sample;
  sample.AddFrames(40);
  for (int i = 0; i < 40; i += 3) sample.Frame(i).padding = 5000;
  sample.Write(dir.File("a.se1"));
  const Bytes bytes = sample.Build();
  Decoder d;
  ASSERT_EQ(d.Open(dir.File("a.se1")), 1);
  MemorySource* remote = ServeRemotely(d.obj(), bytes, seq::kHttp);
  // The first window that holds markers often holds others than the target's: the search goes on
  // from there.
  for (int target = 0; target < 40; ++target) {
    ASSERT_EQ(Ser_MoveTo(d.handle(), target), 1) << target;
    EXPECT_EQ(d.FrameNo(), target);
    EXPECT_EQ(d.Pos(), sample.Positions()[target]) << target;
  }
  // An internet failure during the search is a failed move.
  remote->fail = [](int64_t, std::size_t n) { return n > 64; };
  const DecoderState before(d.obj());
  EXPECT_EQ(Ser_MoveTo(d.handle(), 20), 0);
  EXPECT_TRUE(DecoderState(d.obj()) == before);
  // So is one in the middle of the search, after its first window: every move either lands
  // exactly or changes nothing.
  int windows = 0, failed = 0;
  remote->fail = [&windows](int64_t, std::size_t n) { return n > 64 && ++windows > 1; };
  for (int target = 0; target < 40; ++target) {
    windows = 0;
    ASSERT_EQ(Ser_MoveFirst(d.handle()), 1);
    const DecoderState atFirst(d.obj());
    if (Ser_MoveTo(d.handle(), target) == 1) {
      EXPECT_EQ(d.Pos(), sample.Positions()[target]) << target;
    } else {
      ++failed;
      EXPECT_TRUE(DecoderState(d.obj()) == atFirst) << target;
    }
  }
  EXPECT_GT(failed, 0);
}

TEST(Se1Search, HttpSearchForANumberNoFrameCarriesFails) {
  TempDir dir;
  Se1Sample sample;
  sample.AddFrames(20);
  for (int i = 0; i < 20; ++i) sample.Frame(i).frameNo = INT_MAX - 19 + i;
  sample.Write(dir.File("a.se1"));
  Decoder d;
  ASSERT_EQ(d.Open(dir.File("a.se1")), 1);
  ServeRemotely(d.obj(), sample.Build(), seq::kHttp);
  ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
  const DecoderState before(d.obj());
  for (const int target : {0, 18, 19, INT_MAX}) {  // INT_MAX is clamped to 19 like every target
    EXPECT_EQ(Ser_MoveTo(d.handle(), target), 0) << target;
    EXPECT_TRUE(DecoderState(d.obj()) == before) << target;
  }
  while (Ser_MoveCurrentFrameNo(d.handle(), 1)) {
  }
  EXPECT_EQ(d.Pos(), sample.Positions()[19]);
  EXPECT_EQ(d.FrameNo(), 19);  // counted, not read
}

TEST(Se1Search, StrayMarkersInPictureDataAreTakenAtTheirWord) {
  // The search trusts any exact marker; a step checks only the chain. Both behaviours matter to
  // hosts that scrub through damaged files.
  TempDir dir;
  Se1Sample sample;
  sample.AddFrames(10);
  const int64_t stray = sample.Positions()[8] - 300;  // inside frame 7's picture data
  sample.StrayMarker(stray, 8);
  sample.Frame(8).marker = "QXAAAAAZ";  // the real frame 8 cannot be found by the search
  sample.Write(dir.File("a.se1"));
  Decoder d;
  ASSERT_EQ(d.Open(dir.File("a.se1")), 1);
  ASSERT_EQ(Ser_MoveTo(d.handle(), 8), 1);
  EXPECT_EQ(d.Pos(), stray);
  EXPECT_EQ(d.FrameNo(), 8);
}

TEST(Se1Search, SubHeadInfoExportHandsOutTheRawBytes) {
  TempDir dir;
  Se1Sample sample;
  sample.AddFrames(5);
  sample.Frame(3).byVal1D = 0x5A;
  sample.Frame(3).colorStatus = 0;
  sample.Frame(3).codec = "JPE";
  sample.Write(dir.File("a.se1"));
  Decoder d;
  ASSERT_EQ(d.Open(dir.File("a.se1")), 1);
  ASSERT_EQ(Ser_MoveTo(d.handle(), 3), 1);
  unsigned char raw[64];
  EXPECT_EQ(Ser_GetCurrentSubHeadInfo(d.handle(), raw), 64);
  EXPECT_EQ(Bytes(raw, raw + 64), sample.SubHead(3));
  SubHeadInfo info;
  Ser_BufToSubHeadInfo(raw, &info);
  EXPECT_EQ(info.byVal1D, 0x5A);
  EXPECT_EQ(info.byColorStatus, 0);
  EXPECT_EQ(std::memcmp(info.chCodec, "JPE", 3), 0);
  EXPECT_EQ(info.wWidth, 32);
}

TEST(NoFile, MovesFailAndChangeNothing) {
  Decoder d;
  const DecoderState before(d.obj());
  EXPECT_EQ(Ser_MoveFirst(d.handle()), 0);
  EXPECT_EQ(Ser_MoveEnd(d.handle()), 0);
  EXPECT_EQ(Ser_MoveTo(d.handle(), 1), 0);
  EXPECT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 0);
  EXPECT_EQ(Ser_GetCurrentFrameNo(d.handle()), -1);
  EXPECT_TRUE(DecoderState(d.obj()) == before);
}

}  // namespace
