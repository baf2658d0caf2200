// The vector kernel tables under test, each skipped when the CPU lacks its instruction set.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "image/simd/Kernels.h"

namespace vialto::test {

inline const image::simd::PixelKernels* TableNamed(const std::string& name) {
  if (name == "ssse3") return image::simd::Ssse3Kernels();
  if (name == "avx2") return image::simd::Avx2Kernels();
  if (name == "avx512") return image::simd::Avx512Kernels();
  return &image::simd::ScalarKernels();
}

class VectorTable : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    vector_ = TableNamed(GetParam());
    if (vector_ == nullptr) GTEST_SKIP() << GetParam() << " not supported by this CPU";
  }
  const image::simd::PixelKernels& Vector() const { return *vector_; }
  static const image::simd::PixelKernels& Scalar() { return image::simd::ScalarKernels(); }

 private:
  const image::simd::PixelKernels* vector_ = nullptr;
};

}  // namespace vialto::test
