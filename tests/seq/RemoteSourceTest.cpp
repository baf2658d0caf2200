// The decoder over real servers: the same files opened locally, over http (nginx) and over ftp
// (pyftpdlib) give the same type, file information and frames; the remote navigation rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "seq/DecoderFixture.h"
#include "support/SampleBuilder.h"
#include "support/Servers.h"

namespace vialto::test {
namespace {

enum class Via { kLocal, kHttp, kFtp };
const Via kAllKinds[] = {Via::kLocal, Via::kHttp, Via::kFtp};

const char* Describe(Via via) {
  return via == Via::kLocal ? "local" : via == Via::kHttp ? "http" : "ftp";
}

// 30 frames of unequal lengths behind a 256-byte head, so that an ftp stream must be placed at
// dwHeadLen, not right behind the 128 bytes of file information.
Se1Sample MakeSe1() {
  Se1Sample s;
  s.HeadLength(256);
  for (int i = 0; i < 30; ++i) {
    Se1Frame f;
    f.width = 64 + 8 * (i % 5);
    f.height = 48;
    f.padding = (i * 977) % 3000;
    s.AddFrame(f);
  }
  return s;
}

SerSample MakeSer() {
  SerSample s;
  s.Frames(5).Modes(2, 2);  // four grey frames and a colour last frame
  return s;
}

// The current frame's stored bytes, read the way frame retrieval reads them.
Bytes CurrentFrameBytes(Decoder& d, int64_t length) {
  Bytes out(static_cast<std::size_t>(length));
  if (Ser_GetCurrentFrameData(d.handle(), out.data(), static_cast<int>(length)) != 1) return {};
  return out;
}

// Every output of the current frame: Buf types 0..3 and BufEx types 0..4, each with its
// description, concatenated.
Bytes EveryOutput(Decoder& d) {
  Bytes all;
  auto add = [&all](unsigned char* buf, std::size_t n, int w, int h, int aux) {
    for (int v : {w, h, aux, static_cast<int>(n)}) all.push_back(static_cast<uint8_t>(v));
    if (buf) all.insert(all.end(), buf, buf + n);
  };
  for (int type = 0; type <= 4; ++type) {
    int w = 0, h = 0, aux = 0, length = 0;
    unsigned char* ex = Ser_GetCurrentFrameDataBufEx(d.handle(), &w, &h, &aux, &length, type);
    add(ex, ex ? static_cast<std::size_t>(length) : 0, w, h, aux);
    Ser_DeleteFrameDataBuf(d.handle(), ex);
    if (type == 4) break;
    unsigned char* buf = Ser_GetCurrentFrameDataBuf(d.handle(), &w, &h, &aux, type);
    const std::size_t n = type == 0
                              ? static_cast<std::size_t>(Ser_GetCurrentFrameDataLength(d.handle()))
                          : type == 1 ? static_cast<std::size_t>(w) * h
                                      : static_cast<std::size_t>(w) * h * (type == 2 ? 2 : 3);
    add(buf, buf ? n : 0, w, h, aux);
    Ser_DeleteFrameDataBuf(d.handle(), buf);
  }
  return all;
}

Bytes SubHeadBytes(Decoder& d) {
  Bytes out(64);
  EXPECT_EQ(Ser_GetCurrentSubHeadInfo(d.handle(), out.data()), 64);
  return out;
}

class RemoteSourceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    servers_ = new RemoteServers;
    se1_ = new Se1Sample(MakeSe1());
    ser_ = new SerSample(MakeSer());
    se1_->Write(servers_->root.File("walk.se1"));
    ser_->Write(servers_->root.File("walk.ser"));
  }
  static void TearDownTestSuite() {
    delete se1_;
    delete ser_;
    delete servers_;
  }

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

  // Frame n of the se1 sample is current, with its sub-header and data.
  static void ExpectSe1Frame(Decoder& d, int n) {
    SCOPED_TRACE("frame " + std::to_string(n));
    EXPECT_EQ(d.FrameNo(), n);
    EXPECT_EQ(d.Pos(), se1_->Positions()[n]);
    EXPECT_EQ(SubHeadBytes(d), se1_->SubHead(n));
    const Bytes data = se1_->FrameData(n);
    EXPECT_EQ(CurrentFrameBytes(d, static_cast<int64_t>(data.size())), data);
  }

  static RemoteServers* servers_;
  static Se1Sample* se1_;
  static SerSample* ser_;
};
RemoteServers* RemoteSourceTest::servers_ = nullptr;
Se1Sample* RemoteSourceTest::se1_ = nullptr;
SerSample* RemoteSourceTest::ser_ = nullptr;

TEST_F(RemoteSourceTest, Se1OpensAndWalksTheSameEverywhere) {
  for (Via via : kAllKinds) {
    SCOPED_TRACE(Describe(via));
    Decoder d;
    ASSERT_EQ(d.Open(Name(via, "walk.se1")), 1);
    EXPECT_EQ(Ser_GetSerFileType(d.handle()), 1);
    Bytes info(128);
    EXPECT_EQ(Ser_GetSerFileInfo(d.handle(), info.data(), 128), 256);
    EXPECT_TRUE(std::equal(info.begin(), info.end(), se1_->HeadBytes().begin()));
    EXPECT_EQ(d.obj().m_nFileLength, se1_->FileLength());

    ExpectSe1Frame(d, 0);
    for (int n = 1; n < se1_->FrameCount(); ++n) {
      ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
      ExpectSe1Frame(d, n);
    }
    EXPECT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 0);  // past the last frame: nothing changes
    ExpectSe1Frame(d, se1_->FrameCount() - 1);
    for (int n = se1_->FrameCount() - 2; n >= 25; --n) {
      ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), -1), 1);
      ExpectSe1Frame(d, n);
    }
    ASSERT_EQ(Ser_MoveFirst(d.handle()), 1);
    ExpectSe1Frame(d, 0);
    ASSERT_EQ(Ser_MoveEnd(d.handle()), 1);
    ExpectSe1Frame(d, se1_->FrameCount() - 1);
  }
}

TEST_F(RemoteSourceTest, SerOpensAndWalksTheSameEverywhere) {
  for (Via via : kAllKinds) {
    SCOPED_TRACE(Describe(via));
    Decoder d;
    ASSERT_EQ(d.Open(Name(via, "walk.ser")), 1);
    EXPECT_EQ(Ser_GetSerFileType(d.handle()), 0);
    Bytes info(128);
    EXPECT_EQ(Ser_GetSerFileInfo(d.handle(), info.data(), 128), 54);
    const Bytes trailer = ser_->Trailer();
    EXPECT_TRUE(std::equal(trailer.begin(), trailer.end(), info.begin()));
    for (int n : {0, 1, 4, 2}) {
      SCOPED_TRACE(n);
      ASSERT_EQ(Ser_MoveTo(d.handle(), n), 1);
      EXPECT_EQ(d.Pos(), ser_->FramePosition(n));
      EXPECT_EQ(CurrentFrameBytes(d, ser_->FrameLength(n)), ser_->FrameBytes(n));
    }
  }
}

TEST_F(RemoteSourceTest, EveryOutputTypeIsTheSameEverywhere) {
  for (const char* file : {"walk.se1", "walk.ser"}) {
    std::vector<Bytes> local;
    for (Via via : kAllKinds) {
      SCOPED_TRACE(std::string(file) + " " + Describe(via));
      Decoder d;
      ASSERT_EQ(d.Open(Name(via, file)), 1);
      std::size_t frame = 0;
      do {
        const Bytes outputs = EveryOutput(d);
        if (via == Via::kLocal) local.push_back(outputs);
        ASSERT_LT(frame, local.size());
        EXPECT_EQ(outputs, local[frame]) << "frame " << frame;
        ++frame;
      } while (Ser_MoveCurrentFrameNo(d.handle(), +1) == 1 && frame < 8);
      EXPECT_EQ(frame, std::min<std::size_t>(local.size(), 8));
    }
  }
}

TEST_F(RemoteSourceTest, HttpFrameSearchLandsWhereTheLocalOneDoes) {
  Decoder http;
  Decoder local;
  ASSERT_EQ(http.Open(Name(Via::kHttp, "walk.se1")), 1);
  ASSERT_EQ(local.Open(Name(Via::kLocal, "walk.se1")), 1);
  for (int target : {0, 3, 17, 29, 40}) {
    SCOPED_TRACE(target);
    const int expected = std::min(target, se1_->FrameCount() - 1);
    ASSERT_EQ(Ser_MoveTo(http.handle(), target), 1);
    ExpectSe1Frame(http, expected);
    ASSERT_EQ(Ser_MoveTo(local.handle(), target), 1);
    ExpectSe1Frame(local, expected);
  }
}

TEST_F(RemoteSourceTest, FtpStreamFollowsStepsButRefusesAbsoluteMoves) {
  Decoder d;
  ASSERT_EQ(d.Open(Name(Via::kFtp, "walk.se1")), 1);
  ExpectSe1Frame(d, 0);  // read at dwHeadLen (256), not behind the 128 bytes of the head
  const DecoderState before(d.obj());
  EXPECT_EQ(Ser_MoveTo(d.handle(), 5), 0);
  EXPECT_EQ(DecoderState(d.obj()), before);

  // Steps without fetching the pictures, a step back, the same frame fetched twice.
  for (int n = 1; n <= 6; ++n) ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
  EXPECT_EQ(d.FrameNo(), 6);
  EXPECT_EQ(d.Pos(), se1_->Positions()[6]);
  ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), -1), 1);
  ExpectSe1Frame(d, 5);
  ExpectSe1Frame(d, 5);
  ASSERT_EQ(Ser_MoveEnd(d.handle()), 1);
  ExpectSe1Frame(d, se1_->FrameCount() - 1);
  ASSERT_EQ(Ser_MoveFirst(d.handle()), 1);  // reopens the URL
  ExpectSe1Frame(d, 0);
  ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
  ExpectSe1Frame(d, 1);
}

TEST_F(RemoteSourceTest, UnreachableAndMissingRemoteFilesFailTheOpen) {
  Decoder d;
  EXPECT_EQ(d.Open(servers_->nginx.HttpUrl("missing.se1")), 0);
  EXPECT_EQ(d.Open(servers_->ftp.Url("missing.se1")), 0);
  EXPECT_EQ(d.obj().m_bOpen, 0);
  const std::string closed = "127.0.0.1:" + std::to_string(UnusedPort());
  EXPECT_EQ(d.Open("http://" + closed + "/walk.se1"), 0);
  EXPECT_EQ(d.Open("ftp://" + closed + "/walk.se1"), 0);
  ASSERT_EQ(d.Open(servers_->nginx.HttpUrl("walk.se1")), 1);  // the session is still good
}

TEST_F(RemoteSourceTest, HttpsOpensLikeHttpWithTheServersCertificateTrusted) {
  Decoder d;
  EXPECT_EQ(d.Open(servers_->nginx.HttpsUrl("walk.se1")), 0);  // not trusted by the system
  d.obj().m_pSession->SetTrustedCertificates(servers_->nginx.CertificateFile());
  ASSERT_EQ(d.Open(servers_->nginx.HttpsUrl("walk.se1")), 1);
  ExpectSe1Frame(d, 0);
  ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
  ExpectSe1Frame(d, 1);
}

}  // namespace
}  // namespace vialto::test
