// The exports run the table the dispatch holds: forced to each instruction set in turn they give
// the scalar table's bytes, and without forcing they run the widest set the CPU has.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "image/Convert.h"
#include "image/KernelTables.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace simd = vialto::image::simd;

// Puts `table` behind the exports for the life of the object.
class ForcedKernels {
 public:
  explicit ForcedKernels(const simd::PixelKernels& table) { simd::ForceKernelsForTesting(&table); }
  ~ForcedKernels() { simd::ForceKernelsForTesting(nullptr); }
  ForcedKernels(const ForcedKernels&) = delete;
  ForcedKernels& operator=(const ForcedKernels&) = delete;
};

void Append(Bytes& all, const Bytes& part) { all.insert(all.end(), part.begin(), part.end()); }

// Every image export that goes through the kernels, on one odd-sized frame, outputs end to end.
Bytes RunExports() {
  constexpr int kWidth = 771, kHeight = 37;
  constexpr std::size_t n = std::size_t{kWidth} * kHeight;
  const Bytes yuv = vialto::test::RandomBytes(2 * n, 11),
              rgb = vialto::test::RandomBytes(3 * n, 12), gray = vialto::test::RandomBytes(n, 13);
  Bytes all;
  Bytes out(3 * n);
  YUV422PlaneToRGB(yuv.data(), out.data(), kWidth, kHeight);
  Append(all, out);
  out.assign(2 * n, 0);
  RGBToYUV422Plane(rgb.data(), out.data(), kWidth, kHeight);
  Append(all, out);
  out.assign(3 * n, 0);
  GrayToRGB(gray.data(), out.data(), kWidth, kHeight);
  Append(all, out);
  out.assign(n, 0);
  RGBToGray(rgb.data(), out.data(), kWidth, kHeight);
  Append(all, out);
  out = rgb;
  EXPECT_EQ(ImageSwapRGB(out.data(), kWidth, kHeight), 1);
  EXPECT_EQ(vialto::image::ImageFlipRows(out.data(), 3 * kWidth, kHeight), 1);
  EXPECT_EQ(ImageFlip(out.data(), out.data(), kWidth, kHeight, 1), 1);
  Append(all, out);
  // Enlarging by 2 (repeating blocks), by 4/3 with three-byte pixels, halving (picking).
  for (const auto& [w, h, mode] :
       {std::tuple{2 * kWidth, 2 * kHeight, 0}, std::tuple{kWidth * 4 / 3, kHeight * 4 / 3, 3},
        std::tuple{kWidth / 2, kHeight / 2, 0}}) {
    out.assign(std::size_t(w) * h * (mode == 3 ? 3 : 1), 0);
    EXPECT_EQ(ImageResize(out.data(), mode == 3 ? rgb.data() : gray.data(), kWidth, kHeight, w, h,
                          mode, 0),
              1);
    Append(all, out);
  }
  return all;
}

class KernelDispatch : public vialto::test::VectorTable {};

TEST_P(KernelDispatch, ForcedTableGivesTheScalarBytes) {
  Bytes expect, got;
  {
    const ForcedKernels scalar(Scalar());
    EXPECT_STREQ(simd::BestKernels().name, "scalar");
    expect = RunExports();
  }
  {
    const ForcedKernels vector(Vector());
    EXPECT_STREQ(simd::BestKernels().name, Vector().name);
    got = RunExports();
  }
  ASSERT_EQ(got.size(), expect.size());
  EXPECT_TRUE(got == expect);
}

INSTANTIATE_TEST_SUITE_P(Isa, KernelDispatch, ::testing::Values("ssse3", "avx2", "avx512"),
                         [](const auto& info) { return info.param; });

// The tier's own CPU and OS check agrees with the compiler's.
TEST(KernelDispatch, WideTierOnlyWhereTheCpuAndOsRunIt) {
  const bool runs = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                    __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi");
  EXPECT_EQ(simd::Avx512Kernels() != nullptr, runs);
}

TEST(KernelDispatch, UnforcedRunsTheWidestSetTheCpuHas) {
  const simd::PixelKernels* widest = simd::Avx512Kernels()  ? simd::Avx512Kernels()
                                     : simd::Avx2Kernels()  ? simd::Avx2Kernels()
                                     : simd::Ssse3Kernels() ? simd::Ssse3Kernels()
                                                            : &simd::ScalarKernels();
  EXPECT_EQ(&simd::BestKernels(), widest);
  { const ForcedKernels scalar(simd::ScalarKernels()); }
  EXPECT_EQ(&simd::BestKernels(), widest);
}

}  // namespace
