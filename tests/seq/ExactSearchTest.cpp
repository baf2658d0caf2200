// Ser_MoveTo on "se1" files whose frame sizes vary strongly: every frame that exists is reached
// exactly, from local files and over http, and a model (a walk along the sub-header chain) decides
// what random files and targets must give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "seq/DecoderFixture.h"
#include "support/SampleBuilder.h"
#include "support/Servers.h"

namespace vialto::test {
namespace {

Se1Sample FromLengths(const std::vector<std::size_t>& lengths) {
  Se1Sample sample;
  for (std::size_t i = 0; i < lengths.size(); ++i)
    sample.AddFrame(PayloadFrame(static_cast<int>(i), lengths[i]));
  return sample;
}

// A day scene at high quality fading into a dark, flat dusk: sizes shrink a hundredfold.
Se1Sample Fading(int frames) {
  std::vector<std::size_t> lengths;
  for (int i = 0; i < frames; ++i)
    lengths.push_back(150 + static_cast<std::size_t>(15000 * std::exp(-6.0 * i / frames)));
  return FromLengths(lengths);
}

// Sizes climbing from 100 bytes to 8 KB and falling back, every 200 frames.
Se1Sample Sawtooth(int frames) {
  std::vector<std::size_t> lengths;
  for (int i = 0; i < frames; ++i) lengths.push_back(100 + static_cast<std::size_t>(i % 200) * 40);
  return FromLengths(lengths);
}

// The first twentieth of the frames 20 times larger than the rest.
Se1Sample BigHead(int frames) {
  std::vector<std::size_t> lengths;
  for (int i = 0; i < frames; ++i) lengths.push_back(i < frames / 20 ? 16000 : 800);
  return FromLengths(lengths);
}

struct Shape {
  const char* name;
  Se1Sample sample;
};

std::vector<Shape> Shapes() {
  std::vector<Shape> shapes;
  shapes.push_back({"fading", Fading(1500)});
  shapes.push_back({"sawtooth", Sawtooth(1200)});
  shapes.push_back({"big head", BigHead(3000)});
  return shapes;
}

// Moves to target and checks the frame: number, position, sub-header and stored bytes.
void ExpectLandsOn(Decoder& d, const Se1Sample& sample, int target) {
  SCOPED_TRACE("target " + std::to_string(target));
  ASSERT_EQ(Ser_MoveTo(d.handle(), target), 1);
  ASSERT_EQ(d.FrameNo(), target);
  ASSERT_EQ(d.Pos(), sample.Positions()[static_cast<std::size_t>(target)]);
  Bytes sub(64);
  ASSERT_EQ(Ser_GetCurrentSubHeadInfo(d.handle(), sub.data()), 64);
  ASSERT_EQ(sub, sample.SubHead(target));
  const Bytes data = sample.FrameData(target);
  Bytes got(data.size());
  ASSERT_EQ(Ser_GetCurrentFrameData(d.handle(), got.data(), static_cast<int>(got.size())), 1);
  ASSERT_EQ(got, data);
}

// Replaces the decoder's stream by one that counts its reads.
CountingSource* CountReads(Decoder& d) {
  auto counting = std::make_unique<CountingSource>(std::move(d.obj().m_pFile));
  CountingSource* raw = counting.get();
  d.obj().m_pFile = std::move(counting);
  return raw;
}

int64_t Windows(const CountingSource& reads) {
  return std::count_if(reads.sizes.begin(), reads.sizes.end(),
                       [](std::size_t n) { return n > 64; });
}

TEST(ExactSearch, EveryFrameOfSkewedLocalFilesIsReached) {
  TempDir dir;
  for (const Shape& shape : Shapes()) {
    SCOPED_TRACE(shape.name);
    const std::string path = dir.File("skewed.se1");
    shape.sample.Write(path);
    Decoder d;
    ASSERT_EQ(d.Open(path), 1);
    CountingSource* reads = CountReads(d);
    const int n = shape.sample.FrameCount();
    int64_t windows = 0, worst = 0;
    for (int i = 0; i < n && !HasFatalFailure(); ++i) {
      const int target = static_cast<int>((i * 7919L) % n);
      const int64_t before = Windows(*reads);
      ExpectLandsOn(d, shape.sample, target);
      windows += Windows(*reads) - before;
      worst = std::max(worst, Windows(*reads) - before);
    }
    const double log2n = std::log2(n);
    RecordProperty(std::string(shape.name) + " windows/search",
                   std::to_string(static_cast<double>(windows) / n));
    EXPECT_LE(static_cast<double>(windows) / n, 2 * log2n) << "worst " << worst;
    EXPECT_LE(worst, 4 * log2n + 16);
  }
}

TEST(ExactSearch, FrameOutsideTheWindowSearchsReachIsReached) {
  // 50 frames: the last ten hold nearly all bytes, so frame 30 lies in window 0 while the window
  // search starts at window 30.
  TempDir dir;
  Se1Sample sample;
  sample.AddFrames(50);
  for (int i = 40; i < 50; ++i) sample.Frame(i).padding = 200000;
  sample.Write(dir.File("a.se1"));
  Decoder d;
  ASSERT_EQ(d.Open(dir.File("a.se1")), 1);
  for (const int target : {30, 39, 40, 45, 49, 0}) ExpectLandsOn(d, sample, target);
}

TEST(ExactSearch, EveryTargetOverHttpLandsWithNoMoreRequestsThanWindows) {
  RemoteServers servers;
  for (const Shape& shape : Shapes()) {
    SCOPED_TRACE(shape.name);
    shape.sample.Write(servers.root.File("skewed.se1"));
    Decoder d;
    ASSERT_EQ(d.Open(servers.nginx.HttpUrl("skewed.se1")), 1);
    CountingSource* reads = CountReads(d);
    const int64_t requestsBefore = d.obj().m_pSession->RequestCount();
    int64_t windows = 0, requests = 0;
    const int n = shape.sample.FrameCount();
    for (int i = 0; i < n && !HasFatalFailure(); i += 13) {
      const int target = static_cast<int>((i * 7919L) % n);
      const int64_t windowsBefore = Windows(*reads);
      const int64_t requestsAtStart = d.obj().m_pSession->RequestCount();
      ASSERT_EQ(Ser_MoveTo(d.handle(), target), 1) << target;
      windows += Windows(*reads) - windowsBefore;
      requests += d.obj().m_pSession->RequestCount() - requestsAtStart;
      ExpectLandsOn(d, shape.sample, target);  // the move again, now with the frame's bytes
    }
    EXPECT_LE(requests, windows);
    EXPECT_GT(d.obj().m_pSession->RequestCount(), requestsBefore);
  }
}

// --- the model: a walk along the sub-header chain -----------------------------------------------

// Where the walk from the first frame meets the first frame whose exact marker carries target;
// -1 when none does.
int64_t WalkTo(const Bytes& file, int64_t first, int target) {
  for (int64_t pos = first; pos + 64 <= static_cast<int64_t>(file.size());) {
    const uint8_t* sub = file.data() + pos;
    if (std::memcmp(sub, "QXAAAAAA", 8) != 0) return -1;
    int32_t no, len;
    std::memcpy(&no, sub + 12, 4);
    std::memcpy(&len, sub + 16, 4);
    if (no == target) return pos;
    if (len < 64) return -1;
    pos += len;
  }
  return -1;
}

// Random lengths of one of a few kinds; sometimes a number skipped (a frame lost by the writer),
// sometimes a stored frame count that is wrong.
Se1Sample RandomFile(std::mt19937& rng) {
  const int frames = 1 + static_cast<int>(rng() % 400);
  const int kind = static_cast<int>(rng() % 4);
  std::exponential_distribution<double> burst(1.0 / 3000);
  Se1Sample sample;
  sample.HeadLength(128 + 32 * static_cast<uint32_t>(rng() % 8));
  const int skipAt = rng() % 3 == 0 ? static_cast<int>(rng() % frames) : frames;
  for (int i = 0; i < frames; ++i) {
    std::size_t length = 0;
    switch (kind) {
      case 0:
        length = 50 + rng() % 400;
        break;  // nearly even
      case 1:
        length = 50 + static_cast<std::size_t>(burst(rng));
        break;  // bursty
      case 2:
        length = i < frames / 10 ? 20000 + rng() % 1000 : 300 + rng() % 100;
        break;
      default:
        length = 60 + static_cast<std::size_t>(9000.0 * i / frames);
        break;  // growing
    }
    Se1Frame f = PayloadFrame(i, length);
    f.frameNo = i < skipAt ? i : i + 1;
    sample.AddFrame(f);
  }
  if (rng() % 5 == 0) sample.FrameCountField(static_cast<int>(rng() % (2 * frames + 1)));
  return sample;
}

void CheckAgainstTheWalk(Decoder& d, const Se1Sample& sample, const Bytes& file, std::mt19937& rng,
                         int targets) {
  const int frames = sample.FrameCount();
  const int count = d.obj().m_SerInfo.wFrameCount;
  for (int t = 0; t < targets && !::testing::Test::HasFatalFailure(); ++t) {
    const int target = static_cast<int>(rng() % static_cast<unsigned>(frames + 3));
    const int searched = count > 0 && target >= count ? count - 1 : target;
    const int64_t expected = WalkTo(file, sample.Positions()[0], searched);
    const DecoderState before(d.obj());
    const int result = Ser_MoveTo(d.handle(), target);
    SCOPED_TRACE("target " + std::to_string(target) + " of " + std::to_string(frames));
    if (expected < 0) {
      ASSERT_EQ(result, 0);
      ASSERT_TRUE(DecoderState(d.obj()) == before);
    } else {
      ASSERT_EQ(result, 1);
      ASSERT_EQ(d.Pos(), expected);
      ASSERT_EQ(d.FrameNo(), searched);
    }
  }
}

TEST(ExactSearchModel, RandomFilesAndTargetsMatchTheChainWalk) {
  TempDir dir;
  std::mt19937 rng(15);
  for (int round = 0; round < 50 && !HasFatalFailure(); ++round) {
    const Se1Sample sample = RandomFile(rng);
    const std::string path = dir.File("model.se1");
    sample.Write(path);
    const Bytes file = ReadFile(path);
    Decoder local;
    ASSERT_EQ(local.Open(path), 1);
    CheckAgainstTheWalk(local, sample, file, rng, 30);
    // The same over a remote stream, which hands over to the bracketing search sooner.
    Decoder remote;
    ASSERT_EQ(remote.Open(path), 1);
    ServeRemotely(remote.obj(), file, vialto::seq::kHttp);
    CheckAgainstTheWalk(remote, sample, file, rng, 30);
  }
}

}  // namespace
}  // namespace vialto::test
