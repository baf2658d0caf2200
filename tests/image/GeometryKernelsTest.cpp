// The resize and flip with every vector table against the scalar reference, on random images of
// many sizes in exact-size guarded buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/Geometry.h"
#include "image/KernelTables.h"
#include "support/GuardedBuffer.h"
#include "support/TestUtil.h"

namespace {

using vialto::test::GuardedBuffer;
using Bytes = std::vector<uint8_t>;
namespace img = vialto::image;

Bytes Contents(const GuardedBuffer& b) { return Bytes(b.data(), b.data() + b.size()); }

class GeometryKernels : public vialto::test::VectorTable {};

// The fast resize (picking for whole factors, separable passes otherwise) gives the bytes of the
// direct four-neighbour formula, reductions and enlargements, both pixel sizes.
TEST_P(GeometryKernels, ResizeMatchesDirectFormula) {
  const int sizes[][4] = {{1, 2, 4, 4},
                          {2, 2, 5, 9},
                          {8, 8, 4, 4},
                          {9, 7, 4, 5},
                          {4, 4, 8, 8},
                          {17, 5, 33, 11},
                          {33, 21, 16, 10},
                          {64, 48, 32, 24},
                          {100, 3, 37, 40},
                          {768, 288, 384, 144},
                          {768, 288, 1536, 576},
                          {768, 288, 192, 72},
                          {50, 50, 75, 75},
                          {5, 40, 160, 4},
                          // Enlargements whose blocks repeat one pattern (by 2, 4 and 4/3), with
                          // odd and even runs of such blocks and rows of exactly one window.
                          {16, 4, 32, 8},
                          {20, 6, 40, 12},
                          {24, 3, 48, 6},
                          {99, 4, 198, 8},
                          {33, 9, 132, 36},
                          {48, 6, 64, 8}};
  uint32_t seed = 7;
  for (const auto& s : sizes)
    for (const int mode : {0, 3}) {
      const std::size_t b = mode == 3 ? 3 : 1;
      GuardedBuffer src(static_cast<std::size_t>(s[0]) * s[1] * b);
      const Bytes random = vialto::test::RandomBytes(src.size(), seed++);
      std::memcpy(src.data(), random.data(), random.size());
      const std::size_t out = static_cast<std::size_t>(s[2]) * s[3] * b;
      GuardedBuffer expect(out, 0x11), got(out, 0x11);
      ASSERT_EQ(img::ResizeImageReference(expect.data(), src.data(), s[0], s[1], s[2], s[3], mode),
                1);
      ASSERT_EQ(img::ResizeImage(Vector(), got.data(), src.data(), s[0], s[1], s[2], s[3], mode),
                1);
      ASSERT_EQ(Contents(got), Contents(expect))
          << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3] << " mode " << mode;
    }
}

TEST_P(GeometryKernels, FlipMatchesScalarInPlaceAndCopying) {
  uint32_t seed = 3;
  for (const int width : {1, 5, 11, 32, 100, 768})
    for (const int rows : {1, 2, 3, 8, 9})
      for (const int three : {0, 1}) {
        const std::size_t bytes = static_cast<std::size_t>(width) * rows * (three ? 3 : 1);
        const Bytes image = vialto::test::RandomBytes(bytes, seed++);
        GuardedBuffer expect(bytes), inPlace(bytes), copy(bytes);
        std::memcpy(expect.data(), image.data(), bytes);
        std::memcpy(inPlace.data(), image.data(), bytes);
        img::FlipImage(Scalar(), expect.data(), expect.data(), width, rows, three);
        img::FlipImage(Vector(), inPlace.data(), inPlace.data(), width, rows, three);
        img::FlipImage(Vector(), copy.data(), image.data(), width, rows, three);
        ASSERT_EQ(Contents(inPlace), Contents(expect));
        ASSERT_EQ(Contents(copy), Contents(expect));
      }
}

// The picking kernels read no further than count * step bytes.
TEST_P(GeometryKernels, PickingStaysInsideItsSource) {
  for (const std::size_t step : {2, 3, 4, 5})
    for (std::size_t count = 1; count < 80; count += 3) {
      GuardedBuffer bytes(count * step), triples(3 * count * step);
      const Bytes random = vialto::test::RandomBytes(triples.size(), static_cast<uint32_t>(count));
      std::memcpy(bytes.data(), random.data(), bytes.size());
      std::memcpy(triples.data(), random.data(), triples.size());
      Bytes expect(3 * count), got(3 * count);
      Scalar().pickBytes(bytes.data(), expect.data(), count, step);
      Vector().pickBytes(bytes.data(), got.data(), count, step);
      ASSERT_EQ(got, expect) << step << " " << count;
      Scalar().pickTriples(triples.data(), expect.data(), count, step);
      Vector().pickTriples(triples.data(), got.data(), count, step);
      ASSERT_EQ(got, expect) << step << " " << count;
    }
}

// The vertical pass for every weight, on interpolated rows that hold the extremes (0 and
// 255 * 256) as well as random values, at lengths around the vector blocks.
TEST_P(GeometryKernels, BlendRowsEveryWeight) {
  constexpr int kMax = 255 * 256;
  for (const std::size_t count : {1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 129}) {
    std::vector<int16_t> top(count), bottom(count);
    const Bytes random = vialto::test::RandomBytes(4 * count, static_cast<uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
      const int t = i % 4 == 0   ? kMax
                    : i % 4 == 1 ? 0
                                 : (random[4 * i] << 8 | random[4 * i + 1]) % (kMax + 1);
      const int b = i % 3 == 0   ? 0
                    : i % 3 == 1 ? kMax
                                 : (random[4 * i + 2] << 8 | random[4 * i + 3]) % (kMax + 1);
      top[i] = static_cast<int16_t>(t - img::simd::kInterpolatedBias);
      bottom[i] = static_cast<int16_t>(b - img::simd::kInterpolatedBias);
    }
    for (unsigned fy = 0; fy < 256; ++fy) {
      Bytes expect(count), got(count);
      Scalar().blendRows(top.data(), bottom.data(), expect.data(), count, fy);
      Vector().blendRows(top.data(), bottom.data(), got.data(), count, fy);
      ASSERT_EQ(got, expect) << count << " elements, fy " << fy;
    }
  }
}

// One repeated block of eight outputs at every step a row's blocks can move by, odd and even runs
// of blocks, the row ending right after the last block's 16-byte window.
TEST_P(GeometryKernels, UniformInterpolationAtEveryStep) {
  img::simd::InterpolationBlock block{};
  block.base = 3;
  for (int j = 0; j < 8; ++j) {
    block.left[2 * j] = static_cast<int8_t>(j * 11 / 8);
    block.right[2 * j] = static_cast<int8_t>(j == 7 ? 15 : j * 11 / 8 + 1);
    block.left[2 * j + 1] = block.right[2 * j + 1] = -128;
    block.fraction[j] = static_cast<uint16_t>(j == 0 ? 0 : j == 7 ? 255 : 37 * j);
  }
  for (std::size_t step = 1; step <= 24; ++step)
    for (std::size_t count = 1; count <= 11; ++count) {
      GuardedBuffer row(block.base + (count - 1) * step + 16);
      const Bytes random =
          vialto::test::RandomBytes(row.size(), static_cast<uint32_t>(100 * step + count));
      std::memcpy(row.data(), random.data(), random.size());
      std::vector<int16_t> expect(8 * count), got(8 * count);
      Scalar().interpolateUniform(row.data(), block, step, count, expect.data());
      Vector().interpolateUniform(row.data(), block, step, count, got.data());
      ASSERT_EQ(got, expect) << "step " << step << ", " << count << " blocks";
    }
}

// Stripes of 0 and 255 give the interpolation's widest sums and differences.
TEST_P(GeometryKernels, ResizeStripesOfBothExtremes) {
  const int sizes[][4] = {{64, 8, 128, 16}, {64, 8, 85, 11}, {37, 5, 150, 9}};
  for (const auto& s : sizes)
    for (const int mode : {0, 3}) {
      const std::size_t b = mode == 3 ? 3 : 1;
      GuardedBuffer src(static_cast<std::size_t>(s[0]) * s[1] * b);
      const std::size_t row = static_cast<std::size_t>(s[0]) * b;
      for (std::size_t i = 0; i < src.size(); ++i)  // stripes 3 pixels wide, alternating by row
        src.data()[i] = (i % row / b / 3 + i / row) % 2 == 0 ? 255 : 0;
      const std::size_t out = static_cast<std::size_t>(s[2]) * s[3] * b;
      GuardedBuffer expect(out), got(out);
      ASSERT_EQ(img::ResizeImageReference(expect.data(), src.data(), s[0], s[1], s[2], s[3], mode),
                1);
      ASSERT_EQ(img::ResizeImage(Vector(), got.data(), src.data(), s[0], s[1], s[2], s[3], mode),
                1);
      ASSERT_EQ(Contents(got), Contents(expect)) << s[0] << " -> " << s[2] << " mode " << mode;
    }
}

INSTANTIATE_TEST_SUITE_P(Isa, GeometryKernels,
                         ::testing::Values("scalar", "ssse3", "avx2", "avx512"),
                         [](const auto& info) { return info.param; });

}  // namespace
