// The http source against a server that misbehaves on purpose: every reply either yields the
// file's own bytes or a failure (null or InternetError), within the shortened timeouts.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/net/InternetSession.h"
#include "support/Servers.h"

namespace vialto::platform {
namespace {

using test::Bytes;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kSize = 300'000;
constexpr auto kStall = std::chrono::milliseconds(1000);

class NetHostileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    servers_ = new test::RemoteServers;
    servers_->Publish("f.bin", File());
  }
  static void TearDownTestSuite() {
    delete servers_;
    servers_ = nullptr;
  }
  void SetUp() override { session_.SetTimeouts(std::chrono::milliseconds(2000), kStall); }

  static Bytes File() { return test::RandomBytes(kSize, 99); }
  std::unique_ptr<ByteSource> Open(const std::string& behaviour) {
    return session_.OpenUrl(servers_->hostile.Url(behaviour, "f.bin"));
  }
  static Bytes Expected(std::size_t pos, std::size_t n) {
    const Bytes f = File();
    return Bytes(f.begin() + pos, f.begin() + std::min(kSize, pos + n));
  }
  // Reads n bytes at pos, or throws as the source does.
  static Bytes Read(ByteSource& s, int64_t pos, std::size_t n) {
    Bytes out(n);
    std::size_t got = 0;
    if (!s.ReadAt(pos, out.data(), n, &got)) return {};
    out.resize(got);
    return out;
  }

  InternetSession session_{"Tovrin"};
  static test::RemoteServers* servers_;
};
test::RemoteServers* NetHostileTest::servers_ = nullptr;

TEST_F(NetHostileTest, IgnoredRangesStillGiveTheRightBytes) {
  auto s = Open("ignore-range");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Length(), static_cast<int64_t>(kSize));
  EXPECT_EQ(Read(*s, kSize - 54, 54), Expected(kSize - 54, 54));
  EXPECT_EQ(Read(*s, 200'000, 70'000), Expected(200'000, 70'000));
  EXPECT_EQ(Read(*s, 5, 100), Expected(5, 100));
  EXPECT_EQ(Read(*s, 0, kSize), File());
}

TEST_F(NetHostileTest, RefusingStatusesOpenNothing) {
  for (const char* b : {"status-404", "status-403", "status-500", "status-503", "status-416"}) {
    SCOPED_TRACE(b);
    EXPECT_EQ(Open(b), nullptr);
  }
  EXPECT_EQ(Open("no-length"), nullptr);  // nothing to measure the file by
}

TEST_F(NetHostileTest, RepliesThatBreakProtocolFailTheOpen) {
  for (const char* b : {"bad-range", "status-204", "status-304", "redirect-loop"}) {
    SCOPED_TRACE(b);
    EXPECT_THROW(Open(b), InternetError);
  }
}

TEST_F(NetHostileTest, ARangeOtherThanAskedFailsTheRead) {
  auto s = Open("wrong-range");  // right for the first block, which starts at 0
  ASSERT_TRUE(s);
  EXPECT_EQ(Read(*s, 0, 1000), Expected(0, 1000));
  EXPECT_THROW(Read(*s, 200'000, 100), InternetError);
}

TEST_F(NetHostileTest, AClaimedLengthBeyondTheDataFailsTheReadsPastIt) {
  auto s = Open("long-1000");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Length(), static_cast<int64_t>(kSize + 1000));
  EXPECT_THROW(Read(*s, kSize + 1000 - 54, 54), InternetError);
  EXPECT_EQ(Read(*s, 100'000, 1000), Expected(100'000, 1000));
}

TEST_F(NetHostileTest, ABodyCutShortFailsTheReadThatNeedsIt) {
  auto s = Open("close-at-150000");
  ASSERT_TRUE(s);
  EXPECT_EQ(Read(*s, 1000, 1000), Expected(1000, 1000));
  EXPECT_THROW(Read(*s, 140'000, 20'000), InternetError);
  EXPECT_EQ(Read(*s, 70'000, 10), Expected(70'000, 10));  // a block that ends before the cut
}

TEST_F(NetHostileTest, StallsEndWithinTheStallTimeout) {
  const auto start = Clock::now();
  EXPECT_THROW(Open("stall-headers"), InternetError);
  auto s = Open("stall-at-150000");
  ASSERT_TRUE(s);
  EXPECT_THROW(Read(*s, 140'000, 20'000), InternetError);
  EXPECT_EQ(Read(*s, 1000, 10), Expected(1000, 10));
  EXPECT_LT(Clock::now() - start, 4 * kStall + std::chrono::seconds(2));
}

}  // namespace
}  // namespace vialto::platform
