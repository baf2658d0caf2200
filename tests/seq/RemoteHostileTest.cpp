// The decoder against a misbehaving http server: for each misbehaviour the result the exports
// give. Nothing crashes, nothing hangs beyond the (shortened) timeouts, and every frame handed
// out is the file's own.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "seq/DecoderFixture.h"
#include "support/SampleBuilder.h"
#include "support/Servers.h"

namespace vialto::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStall = std::chrono::milliseconds(800);

class RemoteHostileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    servers_ = new RemoteServers;
    se1_ = new Se1Sample;
    Se1Frame f;
    f.width = 160;
    f.height = 120;
    f.padding = 20'000;
    se1_->AddFrames(20, f);  // frames of about 25 KB, 500 KB in all
    se1_->Write(servers_->root.File("h.se1"));
  }
  static void TearDownTestSuite() {
    delete se1_;
    delete servers_;
  }
  void SetUp() override { ShortenTimeouts(d_); }

  static void ShortenTimeouts(Decoder& d) {
    d.obj().m_pSession->SetTimeouts(std::chrono::milliseconds(2000), kStall);
  }
  int Open(const std::string& behaviour) {
    return d_.Open(servers_->hostile.Url(behaviour, "h.se1"));
  }

  // Steps forward while it works, checking every frame reached; the frames reached.
  int WalkChecked() {
    int frames = 1;
    while (Ser_MoveCurrentFrameNo(d_.handle(), 1) == 1) {
      EXPECT_EQ(d_.Pos(), se1_->Positions()[frames]);
      Bytes data(se1_->FrameData(frames).size());
      std::size_t got = 0;
      try {
        if (d_.obj().ReadSource(d_.Pos() + kSubHeadSize, data.data(), data.size(), &got)) {
          EXPECT_EQ(data, se1_->FrameData(frames));
        }
      } catch (const platform::InternetError&) {
      }
      ++frames;
    }
    return frames;
  }

  static RemoteServers* servers_;
  static Se1Sample* se1_;
  Decoder d_;
  TempDir out_;
};
RemoteServers* RemoteHostileTest::servers_ = nullptr;
Se1Sample* RemoteHostileTest::se1_ = nullptr;

TEST_F(RemoteHostileTest, ServersThatIgnoreRangesOrRedirectStillServeTheFile) {
  for (const char* b : {"ignore-range", "redirect"}) {
    SCOPED_TRACE(b);
    ASSERT_EQ(Open(b), 1);
    EXPECT_EQ(WalkChecked(), se1_->FrameCount());
    ASSERT_EQ(Ser_MoveTo(d_.handle(), 12), 1);
    const std::string dest = out_.File(std::string(b) + ".se1");
    ASSERT_EQ(Ser_SaveToLocal(d_.handle(), dest.c_str(), 0), 1);
    EXPECT_EQ(ReadFile(dest), se1_->Build());
  }
}

TEST_F(RemoteHostileTest, RefusalsAndBrokenRepliesFailTheOpen) {
  for (const char* b : {"status-404", "status-500", "status-403", "no-length", "bad-range",
                        "wrong-range", "long-5000", "redirect-loop", "status-204"}) {
    SCOPED_TRACE(b);
    EXPECT_EQ(Open(b), 0);
    EXPECT_EQ(Ser_GetSerFileType(d_.handle()), -1);
    EXPECT_EQ(Ser_SaveToLocal(d_.handle(), out_.File("x").c_str(), 0), 0);
  }
}

TEST_F(RemoteHostileTest, ABodyCutMidFileStopsTheWalkAndTheSave) {
  const int64_t cut = se1_->Positions()[11] + 1000;  // past what the open reads
  ASSERT_EQ(Open("close-at-" + std::to_string(cut)), 1);
  const int reached = WalkChecked();
  EXPECT_GE(reached, 2);
  EXPECT_LT(reached, se1_->FrameCount());
  EXPECT_EQ(Ser_SaveToLocal(d_.handle(), out_.File("cut").c_str(), 0), 0);
  EXPECT_LE(static_cast<int64_t>(ReadFile(out_.File("cut")).size()), cut);
  // The failure is the server's, not the decoder's: a good server works on the same decoder.
  ASSERT_EQ(d_.Open(servers_->nginx.HttpUrl("h.se1")), 1);
  EXPECT_EQ(WalkChecked(), se1_->FrameCount());
}

TEST_F(RemoteHostileTest, StallsEndWithinTheTimeouts) {
  const auto start = Clock::now();
  EXPECT_EQ(Open("stall-headers"), 0);
  const int64_t stall = se1_->Positions()[11];
  ASSERT_EQ(Open("stall-at-" + std::to_string(stall)), 1);
  EXPECT_LT(WalkChecked(), se1_->FrameCount());
  EXPECT_EQ(Ser_SaveToLocal(d_.handle(), out_.File("stalled").c_str(), 0), 0);
  EXPECT_LT(Clock::now() - start, 8 * kStall + std::chrono::seconds(3));
}

TEST_F(RemoteHostileTest, AnFtpServerThatGoesAwayEndsTheWalkAtWhatArrived) {
  TempDir root;
  Se1Sample big;
  Se1Frame f;
  f.padding = 300'000;
  big.AddFrames(80, f);  // 24 MB: more than the stream and the sockets hold ahead
  big.Write(root.File("big.se1"));
  auto server = std::make_unique<FtpServer>(root.path().string());
  ShortenTimeouts(d_);
  ASSERT_EQ(d_.Open(server->Url("big.se1")), 1);
  ASSERT_EQ(Ser_MoveCurrentFrameNo(d_.handle(), 1), 1);
  server.reset();
  int reached = 1;
  while (Ser_MoveCurrentFrameNo(d_.handle(), 1) == 1) {
    ++reached;
    EXPECT_EQ(d_.Pos(), big.Positions()[reached]);
  }
  EXPECT_LT(reached, big.FrameCount() - 1);
  EXPECT_EQ(d_.FrameNo(), reached);  // the failed step left the decoder where it was
  EXPECT_EQ(Ser_MoveFirst(d_.handle()), 0);
}

}  // namespace
}  // namespace vialto::test
