// The remote sources against real servers: nginx over http and https, pyftpdlib over ftp.
#include <gtest/gtest.h>

#include <memory>

#include "platform/net/InternetSession.h"
#include "support/Servers.h"

namespace vialto::platform {
namespace {

using test::Bytes;

Bytes Slice(const Bytes& b, std::size_t pos, std::size_t n) {
  if (pos >= b.size()) return {};
  return Bytes(b.begin() + pos, b.begin() + std::min(b.size(), pos + n));
}

// Reads n bytes at pos; the vector holds what was delivered.
Bytes Read(ByteSource& source, int64_t pos, std::size_t n) {
  Bytes out(n, 0xEE);
  std::size_t got = 0;
  EXPECT_TRUE(source.ReadAt(pos, out.data(), n, &got));
  out.resize(got);
  return out;
}

class NetSourceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    servers_ = new test::RemoteServers;
    for (std::size_t size :
         {std::size_t{100}, std::size_t{65536}, std::size_t{65537}, std::size_t{3'000'017}})
      servers_->Publish("r" + std::to_string(size) + ".bin", test::RandomBytes(size, 7 + size));
  }
  static void TearDownTestSuite() {
    delete servers_;
    servers_ = nullptr;
  }
  static Bytes File(std::size_t size) { return test::RandomBytes(size, 7 + size); }
  static std::string Name(std::size_t size) { return "r" + std::to_string(size) + ".bin"; }

  InternetSession session_{"Tovrin"};
  static test::RemoteServers* servers_;
};
test::RemoteServers* NetSourceTest::servers_ = nullptr;

// Every read the decoder makes, at the places where block and stream logic can go wrong.
void ExpectReadsMatch(ByteSource& source, const Bytes& file) {
  const int64_t len = static_cast<int64_t>(file.size());
  ASSERT_EQ(source.Length(), len);
  const std::pair<int64_t, std::size_t> reads[] = {
      {len - 54, 54},   {0, 128},     {128, 64},       {192, 40000},
      {40192, 64},      {100, 10},  // behind
      {len / 2, 70000}, {len - 1, 1}, {len - 10, 100}, {0, static_cast<std::size_t>(len)},
      {len, 10},        {len + 5, 10}};
  for (auto [pos, n] : reads) {
    if (pos < 0) continue;
    SCOPED_TRACE("read of " + std::to_string(n) + " at " + std::to_string(pos));
    EXPECT_EQ(Read(source, pos, n), Slice(file, static_cast<std::size_t>(pos), n));
  }
}

TEST_F(NetSourceTest, HttpReadsAreTheFilesBytesAtEverySize) {
  for (std::size_t size : {100, 65536, 65537, 3'000'017}) {
    SCOPED_TRACE(size);
    auto source = session_.OpenUrl(servers_->nginx.HttpUrl(Name(size)));
    ASSERT_TRUE(source);
    ExpectReadsMatch(*source, File(size));
  }
}

TEST_F(NetSourceTest, FtpReadsAreTheFilesBytesAtEverySize) {
  for (std::size_t size : {100, 65536, 65537, 3'000'017}) {
    SCOPED_TRACE(size);
    auto source = session_.OpenUrl(servers_->ftp.Url(Name(size)));
    ASSERT_TRUE(source);
    ExpectReadsMatch(*source, File(size));
  }
}

TEST_F(NetSourceTest, HttpsIsVerifiedAgainstTheTrustedCertificates) {
  const std::string url = servers_->nginx.HttpsUrl(Name(65537));
  EXPECT_THROW(session_.OpenUrl(url), InternetError);  // self-signed: not in the system's store
  session_.SetTrustedCertificates(servers_->nginx.CertificateFile());
  auto source = session_.OpenUrl(url);
  ASSERT_TRUE(source);
  ExpectReadsMatch(*source, File(65537));
}

// A walk of sub-header then frame, as the decoder steps through a sequence.
int64_t RequestsForWalk(InternetSession& session, ByteSource& source, std::size_t frame) {
  const int64_t before = session.RequestCount();
  Bytes buf(frame);
  std::size_t got = 0;
  int frames = 0;
  for (int64_t pos = 128; pos + static_cast<int64_t>(frame) <= source.Length();
       pos += frame, ++frames) {
    EXPECT_TRUE(source.ReadAt(pos, buf.data(), 64, &got));
    EXPECT_TRUE(source.ReadAt(pos + 64, buf.data(), frame - 64, &got));
  }
  EXPECT_GT(frames, 60);
  return session.RequestCount() - before;
}

TEST_F(NetSourceTest, ForwardWalkCostsFewRequests) {
  auto http = session_.OpenUrl(servers_->nginx.HttpUrl(Name(3'000'017)));
  ASSERT_TRUE(http);
  EXPECT_LE(RequestsForWalk(session_, *http, 40000), 10);  // 74 frames in growing blocks
  auto ftp = session_.OpenUrl(servers_->ftp.Url(Name(3'000'017)));
  ASSERT_TRUE(ftp);
  EXPECT_EQ(RequestsForWalk(session_, *ftp, 40000), 1);  // one streaming transfer
}

TEST_F(NetSourceTest, SourcesSharingTheSessionsHandleInterleave) {
  const Bytes file = File(3'000'017);
  auto ftp = session_.OpenUrl(servers_->ftp.Url(Name(3'000'017)));
  ASSERT_TRUE(ftp);
  EXPECT_EQ(Read(*ftp, 1000, 5000), Slice(file, 1000, 5000));
  auto http = session_.OpenUrl(servers_->nginx.HttpUrl(Name(3'000'017)));  // takes the handle
  ASSERT_TRUE(http);
  EXPECT_EQ(Read(*http, 2'000'000, 5000), Slice(file, 2'000'000, 5000));
  EXPECT_EQ(Read(*ftp, 6000, 300'000), Slice(file, 6000, 300'000));  // the stream restarts
  EXPECT_EQ(Read(*http, 10, 100), Slice(file, 10, 100));
  http.reset();
  EXPECT_EQ(Read(*ftp, 306'000, 100), Slice(file, 306'000, 100));
}

TEST_F(NetSourceTest, RefusalsOpenNothingAndUnreachableServersThrow) {
  EXPECT_EQ(session_.OpenUrl(servers_->nginx.HttpUrl("missing.bin")), nullptr);
  EXPECT_EQ(session_.OpenUrl(servers_->ftp.Url("missing.bin")), nullptr);
  EXPECT_EQ(session_.OpenUrl("hello.bin"), nullptr);
  EXPECT_EQ(session_.OpenUrl("file:///etc/passwd"), nullptr);
  const std::string closed = "127.0.0.1:" + std::to_string(test::UnusedPort());
  EXPECT_THROW(session_.OpenUrl("http://" + closed + "/x"), InternetError);
  EXPECT_THROW(session_.OpenUrl("ftp://" + closed + "/x"), InternetError);
}

TEST_F(NetSourceTest, RequestsCarryTheSessionsAgentAndFollowRedirects) {
  auto& hostile = servers_->hostile;
  EXPECT_TRUE(session_.OpenUrl(hostile.Url("agent-Tovrin", Name(100))));
  InternetSession other("Someone");
  EXPECT_EQ(other.OpenUrl(hostile.Url("agent-Tovrin", Name(100))), nullptr);
  auto redirected = session_.OpenUrl(hostile.Url("redirect", Name(65537)));
  ASSERT_TRUE(redirected);
  ExpectReadsMatch(*redirected, File(65537));
}

}  // namespace
}  // namespace vialto::platform
