// Shared pieces of the image benchmarks: the two frame sizes, random buffers, the vialto kernel
// tables present on this CPU, and libyuv limited to SSSE3 for a like-for-like comparison.
#pragma once
#include <benchmark/benchmark.h>
#include <libyuv.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "image/simd/Kernels.h"

namespace vialto::bench {

struct FrameSize {
  int width, height;
  std::string Name() const { return std::to_string(width) + "x" + std::to_string(height); }
  std::size_t Pixels() const { return static_cast<std::size_t>(width) * height; }
};

inline const FrameSize kFrameSizes[] = {{768, 288}, {1920, 1080}};

inline std::vector<uint8_t> Random(std::size_t n) {
  std::mt19937 generator(12345);
  std::vector<uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<uint8_t>(generator());
  return bytes;
}

// Our tables by impl name ("vialto_avx512", "vialto_avx2", "vialto_ssse3"), those the CPU runs.
inline std::vector<std::pair<std::string, const image::simd::PixelKernels*>> VialtoTables() {
  std::vector<std::pair<std::string, const image::simd::PixelKernels*>> tables;
  if (const auto* t = image::simd::Avx512Kernels()) tables.emplace_back("vialto_avx512", t);
  if (const auto* t = image::simd::Avx2Kernels()) tables.emplace_back("vialto_avx2", t);
  if (const auto* t = image::simd::Ssse3Kernels()) tables.emplace_back("vialto_ssse3", t);
  return tables;
}

// libyuv with everything past SSSE3 masked off, for the lifetime of the object.
class LibyuvSsse3Only {
 public:
  LibyuvSsse3Only() {
    libyuv::MaskCpuFlags(~(libyuv::kCpuHasSSE41 | libyuv::kCpuHasSSE42 | libyuv::kCpuHasAVX |
                           libyuv::kCpuHasAVX2 | libyuv::kCpuHasFMA3 | libyuv::kCpuHasF16C |
                           libyuv::kCpuHasGFNI | libyuv::kCpuHasAVX512BW | libyuv::kCpuHasAVX512VL |
                           libyuv::kCpuHasAVX512VNNI | libyuv::kCpuHasAVX512VBMI |
                           libyuv::kCpuHasAVX512VBMI2 | libyuv::kCpuHasAVX512VBITALG |
                           libyuv::kCpuHasAVX512VPOPCNTDQ));
  }
  ~LibyuvSsse3Only() { libyuv::MaskCpuFlags(-1); }
  LibyuvSsse3Only(const LibyuvSsse3Only&) = delete;
  LibyuvSsse3Only& operator=(const LibyuvSsse3Only&) = delete;
};

// Registers "<group>/<impl>/<case>" running `body` once per iteration, counting `bytes` each.
template <class Body>
void Register(const std::string& group, const std::string& impl, const std::string& kase,
              std::size_t bytes, Body body) {
  benchmark::RegisterBenchmark(
      (group + "/" + impl + "/" + kase).c_str(), [body, bytes](benchmark::State& state) {
        for (auto _ : state) {
          body();
          benchmark::ClobberMemory();
        }
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
      });
}

}  // namespace vialto::bench
