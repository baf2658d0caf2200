// The two-block read cache with a scripted fetch in place of the network: which ranges it asks
// for, what it hands back, and how refusals and short replies surface.
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "platform/net/BlockCache.h"
#include "platform/net/InternetSession.h"

namespace vialto::platform::net {
namespace {

constexpr int64_t kLength = 4 * 1024 * 1024;

uint8_t ByteAt(int64_t pos) { return static_cast<uint8_t>((pos * 7 + pos / 251) & 0xff); }

std::vector<uint8_t> FileBytes(int64_t pos, int64_t count) {
  std::vector<uint8_t> bytes(static_cast<std::size_t>(count));
  for (int64_t i = 0; i < count; ++i) bytes[static_cast<std::size_t>(i)] = ByteAt(pos + i);
  return bytes;
}

struct Request {
  int64_t pos;
  int64_t count;
  bool operator==(const Request&) const = default;
};

class BlockCacheTest : public ::testing::Test {
 protected:
  BlockCache MakeCache(int64_t length = kLength) {
    return BlockCache(length, FileBytes(0, std::min(kMinReadAhead, length)),
                      [this](int64_t pos, int64_t count) -> std::optional<std::vector<uint8_t>> {
                        requests_.push_back({pos, count});
                        if (refuse_) return std::nullopt;
                        if (throwBadAlloc_) throw std::bad_alloc();
                        if (replyLimit_ >= 0) count = std::min(count, replyLimit_ - pos);
                        return FileBytes(pos, std::max<int64_t>(0, count));
                      });
  }

  // Reads and checks the bytes against the file; returns how many arrived.
  static std::size_t ReadAndCheck(BlockCache& cache, int64_t pos, std::size_t n) {
    std::vector<uint8_t> buf(n, 0xEE);
    std::size_t got = 99;
    EXPECT_TRUE(cache.ReadAt(pos, buf.data(), n, &got));
    for (std::size_t i = 0; i < got; ++i)
      if (buf[i] != ByteAt(pos + static_cast<int64_t>(i))) {
        ADD_FAILURE() << "wrong byte at " << pos + static_cast<int64_t>(i);
        break;
      }
    return got;
  }

  std::vector<Request> requests_;
  bool refuse_ = false;
  bool throwBadAlloc_ = false;
  int64_t replyLimit_ = -1;  // a whole-file reply that ends here
};

TEST_F(BlockCacheTest, ServesTheFirstBlockAndClipsAtTheEnd) {
  BlockCache cache = MakeCache();
  EXPECT_EQ(cache.length(), kLength);
  EXPECT_EQ(ReadAndCheck(cache, 0, 1000), 1000u);
  EXPECT_EQ(ReadAndCheck(cache, kMinReadAhead - 10, 10), 10u);
  EXPECT_TRUE(requests_.empty());

  EXPECT_EQ(ReadAndCheck(cache, kLength - 5, 100), 5u);  // clipped to the file
  EXPECT_EQ(ReadAndCheck(cache, kLength, 100), 0u);      // past the end: nothing, not a failure

  std::size_t got = 7;
  uint8_t byte = 0;
  EXPECT_FALSE(cache.ReadAt(-1, &byte, 1, &got));
  EXPECT_EQ(got, 0u);
}

TEST_F(BlockCacheTest, ReadAheadDoublesWhileSequentialAndResetsOnAJump) {
  BlockCache cache = MakeCache();
  int64_t pos = kMinReadAhead;
  std::vector<Request> expected;
  int64_t ahead = kMinReadAhead;
  for (int i = 0; i < 6; ++i) {  // 128 K, 256 K, 512 K, 1 M, then held at 1 M
    ahead = std::min(ahead * 2, kMaxReadAhead);
    expected.push_back({pos, ahead});
    EXPECT_EQ(ReadAndCheck(cache, pos, 100), 100u);
    pos += ahead;
  }
  EXPECT_EQ(requests_, expected);

  requests_.clear();
  EXPECT_EQ(ReadAndCheck(cache, 100, 10), 10u);  // a jump back starts small again
  EXPECT_EQ(requests_, (std::vector<Request>{{100, kMinReadAhead}}));
}

TEST_F(BlockCacheTest, KeepsTheTwoMostRecentBlocks) {
  BlockCache cache = MakeCache();
  const int64_t tail = kLength - 100;
  EXPECT_EQ(ReadAndCheck(cache, tail, 100), 100u);  // the trailer, as opening reads it
  EXPECT_EQ(ReadAndCheck(cache, 0, 64), 64u);       // the head: still cached
  EXPECT_EQ(ReadAndCheck(cache, tail, 100), 100u);
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_[0], (Request{tail, 100}));  // clipped to the file's end

  // A third block evicts the least recently used (the head), not the trailer.
  EXPECT_EQ(ReadAndCheck(cache, 1'000'000, 10), 10u);
  EXPECT_EQ(ReadAndCheck(cache, tail, 100), 100u);
  EXPECT_EQ(requests_.size(), 2u);
  EXPECT_EQ(ReadAndCheck(cache, 0, 10), 10u);
  EXPECT_EQ(requests_.size(), 3u);
}

TEST_F(BlockCacheTest, AReadSpanningBlocksFetchesWhatIsMissing) {
  BlockCache cache = MakeCache();
  const std::size_t n = static_cast<std::size_t>(3 * kMaxReadAhead);
  EXPECT_EQ(ReadAndCheck(cache, kMinReadAhead - 100, n), n);
  ASSERT_EQ(requests_.size(), 1u);  // one request for everything past the first block
  EXPECT_EQ(requests_[0], (Request{kMinReadAhead, static_cast<int64_t>(n) - 100}));
}

TEST_F(BlockCacheTest, AReplyEndingEarlyGivesAShortRead) {
  replyLimit_ = kMinReadAhead + 50;
  BlockCache cache = MakeCache();
  EXPECT_EQ(ReadAndCheck(cache, kMinReadAhead - 10, 100), 60u);
  EXPECT_EQ(ReadAndCheck(cache, kMinReadAhead + 50, 10), 0u);
}

TEST_F(BlockCacheTest, FailuresOfTheFetchBecomeInternetErrors) {
  BlockCache cache = MakeCache();
  uint8_t buf[16];
  std::size_t got = 0;
  refuse_ = true;
  try {
    cache.ReadAt(kLength / 2, buf, sizeof buf, &got);
    FAIL() << "a refused fetch must throw";
  } catch (const InternetError& e) {
    EXPECT_STREQ(e.what(), "http: the server refused a read of an open file");
  }
  refuse_ = false;
  throwBadAlloc_ = true;
  try {
    cache.ReadAt(kLength / 2, buf, sizeof buf, &got);
    FAIL() << "running out of memory must throw";
  } catch (const InternetError& e) {
    EXPECT_STREQ(e.what(), "http: out of memory for the transfer");
  }
  // The cached block still serves after the failures.
  throwBadAlloc_ = false;
  EXPECT_EQ(ReadAndCheck(cache, 0, 16), 16u);
  EXPECT_EQ(ReadAndCheck(cache, kLength / 2, 16), 16u);
}

}  // namespace
}  // namespace vialto::platform::net
