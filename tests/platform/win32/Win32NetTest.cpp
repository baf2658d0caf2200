// The internet client over WinINet against real servers on loopback: nginx (http, https), the
// anonymous ftp server and the hostile http server, started around the test program by
// serve-fixtures.sh. Without them the suite is skipped.
#if defined(_WIN32)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "Win32TestSupport.h"
#include "platform/net/InternetSession.h"

namespace vialto::platform {
namespace {

using test::win32::Bytes;
using test::win32::PatternBytes;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

Bytes Slice(const Bytes& b, std::size_t pos, std::size_t n) {
  if (pos >= b.size()) return {};
  return Bytes(b.begin() + pos, b.begin() + std::min(b.size(), pos + n));
}

Bytes Read(ByteSource& source, int64_t pos, std::size_t n) {
  Bytes out(n, 0xEE);
  std::size_t got = 0;
  EXPECT_TRUE(source.ReadAt(pos, out.data(), n, &got));
  out.resize(got);
  return out;
}

// Every read the decoder makes, at the places where block and stream logic can go wrong.
void ExpectReadsMatch(ByteSource& source, const Bytes& file) {
  const int64_t len = static_cast<int64_t>(file.size());
  ASSERT_EQ(source.Length(), len);
  const std::pair<int64_t, std::size_t> reads[] = {
      {len - 54, 54},   {0, 128},
      {128, 64},        {192, 40000},
      {40192, 64},      {100, 10},
      {len / 2, 70000}, {len - 1, 1},
      {len - 10, 100},  {0, static_cast<std::size_t>(len)},
      {len, 10},        {len + 5, 10}};
  for (auto [pos, n] : reads) {
    if (pos < 0) continue;
    SCOPED_TRACE("read of " + std::to_string(n) + " at " + std::to_string(pos));
    EXPECT_EQ(Read(source, pos, n), Slice(file, static_cast<std::size_t>(pos), n));
  }
}

constexpr std::size_t kSizes[] = {100, 65536, 65537, 3'000'017};

class Win32Net : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (Env("VIALTO_WIN32_SERVED_DIR").empty()) return;
    for (std::size_t size : kSizes)
      test::win32::WriteBytes(
          test::win32::HostPath(Env("VIALTO_WIN32_SERVED_DIR")) + "/" + Name(size), File(size));
  }
  void SetUp() override {
    if (Env("VIALTO_WIN32_SERVED_DIR").empty())
      GTEST_SKIP() << "no fixture servers: run under tests/platform/win32/serve-fixtures.sh";
  }
  static Bytes File(std::size_t size) {
    return PatternBytes(size, 7 + static_cast<uint32_t>(size));
  }
  static std::string Name(std::size_t size) { return "w" + std::to_string(size) + ".bin"; }
  static std::string Http(const std::string& name) { return Env("VIALTO_WIN32_HTTP_URL") + name; }
  static std::string Ftp(const std::string& name) { return Env("VIALTO_WIN32_FTP_URL") + name; }
  static std::string Hostile(const std::string& how, const std::string& name) {
    return Env("VIALTO_WIN32_HOSTILE_URL") + how + "/" + name;
  }

  InternetSession session_{"Tovrin"};
};

TEST_F(Win32Net, HttpReadsAreTheFilesBytesAtEverySize) {
  for (std::size_t size : kSizes) {
    SCOPED_TRACE(size);
    auto source = session_.OpenUrl(Http(Name(size)));
    ASSERT_TRUE(source);
    ExpectReadsMatch(*source, File(size));
  }
}

TEST_F(Win32Net, FtpReadsAreTheFilesBytesAtEverySize) {
  for (std::size_t size : kSizes) {
    SCOPED_TRACE(size);
    auto source = session_.OpenUrl(Ftp(Name(size)));
    ASSERT_TRUE(source);
    ExpectReadsMatch(*source, File(size));
  }
}

TEST_F(Win32Net, AForwardWalkCostsFewRequests) {
  const Bytes file = File(3'000'017);
  for (const std::string& url : {Http(Name(3'000'017)), Ftp(Name(3'000'017))}) {
    SCOPED_TRACE(url);
    InternetSession session("Tovrin");
    auto source = session.OpenUrl(url);
    ASSERT_TRUE(source);
    const int64_t opened = session.RequestCount();
    for (std::size_t pos = 0; pos < file.size(); pos += 64 + 30000) {
      ASSERT_EQ(Read(*source, int64_t(pos), 64), Slice(file, pos, 64));
      ASSERT_EQ(Read(*source, int64_t(pos) + 64, 30000), Slice(file, pos + 64, 30000));
    }
    EXPECT_LE(session.RequestCount() - opened, 8);  // blocks grow to 1 MiB; ftp streams on
  }
}

TEST_F(Win32Net, RefusalsOpenNothingAndUnreachableServersThrow) {
  EXPECT_FALSE(session_.OpenUrl(Http("missing.bin")));
  EXPECT_FALSE(session_.OpenUrl(Ftp("missing.bin")));
  EXPECT_FALSE(session_.OpenUrl(Hostile("status-500", Name(100))));
  EXPECT_FALSE(session_.OpenUrl(Hostile("status-403", Name(100))));
  EXPECT_FALSE(session_.OpenUrl(Hostile("agent-Other", Name(100))));  // the agent is sent
  EXPECT_TRUE(session_.OpenUrl(Hostile("agent-Tovrin", Name(100))));
  EXPECT_FALSE(session_.OpenUrl("gopher://127.0.0.1/x"));
  session_.SetTimeouts(std::chrono::seconds(3), std::chrono::seconds(3));
  // Port 9 (discard) has nothing listening on loopback here.
  EXPECT_THROW(session_.OpenUrl("http://127.0.0.1:9/x.bin"), InternetError);
  EXPECT_THROW(session_.OpenUrl("ftp://127.0.0.1:9/x.bin"), InternetError);
}

TEST_F(Win32Net, ServersThatBendTheProtocolGetTheRightBytesOrAFailure) {
  const Bytes file = File(65537);
  auto whole = session_.OpenUrl(Hostile("ignore-range", Name(65537)));
  ASSERT_TRUE(whole);
  ExpectReadsMatch(*whole, file);
  auto redirected = session_.OpenUrl(Hostile("redirect", Name(65537)));
  ASSERT_TRUE(redirected);
  EXPECT_EQ(Read(*redirected, 70, 10), Slice(file, 70, 10));

  EXPECT_THROW(session_.OpenUrl(Hostile("bad-range", Name(65537))), InternetError);
  EXPECT_FALSE(session_.OpenUrl(Hostile("no-length", Name(65537))));

  auto wrong = session_.OpenUrl(Hostile("wrong-range", Name(3'000'017)));
  ASSERT_TRUE(wrong);  // the first range starts at 0, so it fits
  std::size_t got = 0;
  Bytes buf(100);
  EXPECT_THROW(wrong->ReadAt(2'000'000, buf.data(), 100, &got), InternetError);

  auto longer = session_.OpenUrl(Hostile("long-1000", Name(65537)));
  ASSERT_TRUE(longer);
  EXPECT_EQ(longer->Length(), 65537 + 1000);
  EXPECT_THROW(longer->ReadAt(65537, buf.data(), 100, &got), InternetError);

  auto cut = session_.OpenUrl(Hostile("close-at-100000", Name(3'000'017)));
  ASSERT_TRUE(cut);
  EXPECT_THROW(cut->ReadAt(90000, buf.data(), 100, &got), InternetError);
}

TEST_F(Win32Net, StallsEndInAFailureOnceTheStallTimeoutPasses) {
  session_.SetTimeouts(std::chrono::seconds(2), std::chrono::seconds(1));
  auto stalling = session_.OpenUrl(Hostile("stall-at-100000", Name(3'000'017)));
  ASSERT_TRUE(stalling);
  Bytes buf(100);
  std::size_t got = 0;
  EXPECT_THROW(stalling->ReadAt(90000, buf.data(), 100, &got), InternetError);
  EXPECT_THROW(session_.OpenUrl(Hostile("stall-headers", Name(100))), InternetError);
}

TEST_F(Win32Net, HttpsTrustsTheSystemStoreOnly) {
  // The fixture's certificate is self-signed: the system store does not know it, and a trust
  // file cannot be given to WinINet, so the open fails as a transport failure.
  const std::string url = Env("VIALTO_WIN32_HTTPS_URL") + Name(100);
  EXPECT_THROW(session_.OpenUrl(url), InternetError);
  session_.SetTrustedCertificates("cert.pem");
  EXPECT_THROW(session_.OpenUrl(url), InternetError);
}

}  // namespace
}  // namespace vialto::platform
#endif
