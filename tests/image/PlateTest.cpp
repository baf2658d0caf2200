// RecogniseNumberPlateEx: results follow the generator rule for a seed, stay in their ranges,
// are seeded from the millisecond clock, and stay per thread.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "image/Plate.h"
#include "platform/Clock.h"
#include "platform/Rand.h"
#include "support/GuardedBuffer.h"
#include "vialto/vialto.h"

namespace {

struct Plate {
  char text[8] = "sentinl";
  int left = -7, top = -7, width = -7, height = -7, confidence = -7;
  bool operator==(const Plate& o) const {
    return std::strcmp(text, o.text) == 0 && left == o.left && top == o.top && width == o.width &&
           height == o.height && confidence == o.confidence;
  }
};

Plate FromSeed(uint32_t seed, int imageWidth, int imageHeight) {
  Plate p;
  vialto::image::FillPlateResults(seed, imageWidth, imageHeight, p.text, &p.left, &p.top, &p.width,
                                  &p.height, &p.confidence);
  return p;
}

Plate FromExport(int imageWidth, int imageHeight, int skip = 0) {
  Plate p;
  EXPECT_EQ(RecogniseNumberPlateEx(nullptr, 0, p.text, 0, imageWidth, imageHeight, &p.left, &p.top,
                                   &p.width, &p.height, &p.confidence, skip),
            1);
  return p;
}

// The generator rule written out once more, independently of the library.
std::vector<int> Draws(uint32_t seed, int n) {
  std::vector<int> out;
  for (int i = 0; i < n; ++i) {
    seed = seed * 214013u + 2531011u;
    out.push_back(static_cast<int>((seed >> 16) & 0x7FFF));
  }
  return out;
}

TEST(Plate, KnownSeedGivesTheGeneratorsNumbers) {
  EXPECT_EQ(Draws(0, 6), (std::vector<int>{38, 7719, 21238, 2437, 8855, 11797}));
  const Plate p = FromSeed(0, 640, 480);
  EXPECT_STREQ(p.text, "00038");
  EXPECT_EQ(p.left, 7719 * 640 / 65534);         // 75
  EXPECT_EQ(p.top, 21238 * 480 / 65534);         // 155
  EXPECT_EQ(p.width, 32);                        // 2437 * 640 / 65534 = 23, raised to 32
  EXPECT_EQ(p.height, 8855 * 480 / 65534);       // 64
  EXPECT_EQ(p.confidence, 11797 * 100 / 32767);  // 36

  for (uint32_t seed : {1u, 12345u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    SCOPED_TRACE(seed);
    const std::vector<int> r = Draws(seed, 6);
    const Plate q = FromSeed(seed, 1920, 1080);
    char text[8];
    std::snprintf(text, sizeof text, "%05d", r[0]);
    EXPECT_STREQ(q.text, text);
    EXPECT_EQ(q.left, r[1] * 1920 / 65534);
    EXPECT_EQ(q.top, r[2] * 1080 / 65534);
    EXPECT_EQ(q.width, std::max(32, r[3] * 1920 / 65534));
    EXPECT_EQ(q.height, std::max(16, r[4] * 1080 / 65534));
    EXPECT_EQ(q.confidence, r[5] * 100 / 32767);
  }
}

TEST(Plate, ResultsStayInTheirRanges) {
  for (const int size : {0, 640, 65534, 65538}) {
    SCOPED_TRACE(size);
    for (uint32_t seed = 0; seed < 3000; ++seed) {
      const Plate p = FromSeed(seed * 2654435761u, size, size);
      ASSERT_EQ(std::strlen(p.text), 5u);
      EXPECT_LE(std::stoi(p.text), 32767);
      EXPECT_GE(p.left, 0);
      EXPECT_LE(p.left, size / 2);
      EXPECT_GE(p.top, 0);
      EXPECT_LE(p.top, size / 2);
      EXPECT_GE(p.width, 32);
      EXPECT_LE(p.width, std::max(32, size / 2));
      EXPECT_GE(p.height, 16);
      EXPECT_LE(p.height, std::max(16, size / 2));
      EXPECT_GE(p.confidence, 0);
      EXPECT_LE(p.confidence, 100);
      if (size == 0) {
        EXPECT_EQ(p.left, 0);
        EXPECT_EQ(p.top, 0);
        EXPECT_EQ(p.width, 32);
        EXPECT_EQ(p.height, 16);
      }
    }
  }
}

// Seeds whose draw number `which` is the largest one, 32767.
uint32_t SeedWithLargestDraw(int which) {
  for (uint32_t seed = 0;; ++seed)
    if (Draws(seed, which + 1)[which] == 0x7FFF) return seed;
}

TEST(Plate, LargestDrawGivesHalfTheSizeAndFullConfidence) {
  EXPECT_STREQ(FromSeed(SeedWithLargestDraw(0), 640, 480).text, "32767");
  EXPECT_EQ(FromSeed(SeedWithLargestDraw(1), 640, 480).left, 320);
  EXPECT_EQ(FromSeed(SeedWithLargestDraw(1), 65538, 480).left, 32769);
  EXPECT_EQ(FromSeed(SeedWithLargestDraw(2), 640, 480).top, 240);
  EXPECT_EQ(FromSeed(SeedWithLargestDraw(3), 640, 480).width, 320);
  EXPECT_EQ(FromSeed(SeedWithLargestDraw(4), 640, 480).height, 240);
  EXPECT_EQ(FromSeed(SeedWithLargestDraw(5), 640, 480).confidence, 100);
  // Confidence 100 needs that draw: 32766 * 100 / 32767 is 99.
  for (uint32_t seed = 0; seed < 100000; ++seed) {
    if (Draws(seed, 6)[5] == 0x7FFE) {
      EXPECT_EQ(FromSeed(seed, 640, 480).confidence, 99);
      break;
    }
  }
}

TEST(Plate, HugeAndNegativeSizesDoNotOverflow) {
  for (uint32_t seed = 0; seed < 200; ++seed) {
    const Plate big = FromSeed(seed, INT_MAX, INT_MAX);
    const std::vector<int> r = Draws(seed, 6);
    EXPECT_EQ(big.left, static_cast<int>(int64_t{r[1]} * INT_MAX / 65534));
    EXPECT_LE(big.left, INT_MAX / 2 + 1);
    EXPECT_GE(big.width, 32);
    const Plate negative = FromSeed(seed, INT_MIN, -640);
    EXPECT_LE(negative.left, 0);
    EXPECT_GE(negative.left, INT_MIN / 2 - 1);
    EXPECT_GE(negative.top, -320);
    EXPECT_EQ(negative.width, 32);
    EXPECT_EQ(negative.height, 16);
  }
}

TEST(Plate, ResultsAreStoredTextFirstConfidenceLast) {
  // With every integer result aimed at one place, the last one stored (confidence) remains.
  for (uint32_t seed : {0u, 99u}) {
    int shared = -1;
    char text[6];
    vialto::image::FillPlateResults(seed, 640, 480, text, &shared, &shared, &shared, &shared,
                                    &shared);
    EXPECT_EQ(shared, FromSeed(seed, 640, 480).confidence);
  }
  // The text takes exactly six bytes.
  vialto::test::GuardedBuffer text(6, 0xAA);
  int a, b, c, d, e;
  vialto::image::FillPlateResults(0, 640, 480, reinterpret_cast<char*>(text.data()), &a, &b, &c, &d,
                                  &e);
  EXPECT_EQ(std::memcmp(text.data(), "00038", 6), 0);
}

TEST(Plate, SkipFlagWritesNothing) {
  for (const int skip : {1, -1, INT_MIN}) {
    const Plate p = FromExport(640, 480, skip);
    EXPECT_TRUE(p == Plate{}) << skip;
  }
}

// The export's results are those of a seed the millisecond clock showed during the call.
bool MatchesAClockSeed(const Plate& p, uint32_t before, uint32_t after, int w, int h) {
  for (uint32_t seed = before;; ++seed) {
    if (FromSeed(seed, w, h) == p) return true;
    if (seed == after) return false;
  }
}

TEST(Plate, ExportSeedsFromTheMillisecondClock) {
  for (int i = 0; i < 20; ++i) {
    const uint32_t before = vialto::platform::MillisecondClock();
    const Plate p = FromExport(640, 480);
    const uint32_t after = vialto::platform::MillisecondClock();
    ASSERT_LT(after - before, 1000u);
    EXPECT_TRUE(MatchesAClockSeed(p, before, after, 640, 480));
  }
}

TEST(Plate, GeneratorStateIsPerThread) {
  // Threads seeding and drawing at the same time each see their own sequence.
  std::vector<std::vector<int>> got(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&got, t] {
      vialto::platform::SeedRandom(static_cast<uint32_t>(t));
      for (int i = 0; i < 20000; ++i) got[t].push_back(vialto::platform::NextRandom());
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(got[t], Draws(static_cast<uint32_t>(t), 20000)) << t;
}

TEST(Plate, ConcurrentCallsGiveTheResultsOfCallsAlone) {
  std::vector<Plate> alone;
  for (uint32_t seed = 0; seed < 500; ++seed) alone.push_back(FromSeed(seed, 640, 480));
  std::vector<std::vector<Plate>> together(4);
  std::vector<int> exportMismatches(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (uint32_t seed = 0; seed < 500; ++seed) {
        together[t].push_back(FromSeed(seed, 640, 480));
        const uint32_t before = vialto::platform::MillisecondClock();
        const Plate p = FromExport(640, 480);
        const uint32_t after = vialto::platform::MillisecondClock();
        if (!MatchesAClockSeed(p, before, after, 640, 480)) ++exportMismatches[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t) {
    EXPECT_TRUE(together[t] == alone) << t;
    EXPECT_EQ(exportMismatches[t], 0) << t;
  }
}

}  // namespace
