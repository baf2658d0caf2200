// Picks the kernel table once, from what the CPU reports; tests may put another table in its place.
#include <atomic>

#include "image/simd/Kernels.h"

namespace vialto::image::simd {

const PixelKernels& Ssse3Table();
const PixelKernels& Avx2Table();

const PixelKernels* Ssse3Kernels() {
  static const bool supported = __builtin_cpu_supports("ssse3");
  return supported ? &Ssse3Table() : nullptr;
}

const PixelKernels* Avx2Kernels() {
  static const bool supported = __builtin_cpu_supports("avx2");
  return supported ? &Avx2Table() : nullptr;
}

namespace {

// Widest instruction set first. A wider tier goes at the head of this list, behind its own CPU
// check, once it has kernels that are measured to beat the AVX2 ones and tests that run them.
const PixelKernels& DetectedKernels() {
  static const PixelKernels& detected = Avx2Kernels()    ? *Avx2Kernels()
                                        : Ssse3Kernels() ? *Ssse3Kernels()
                                                         : ScalarKernels();
  return detected;
}

std::atomic<const PixelKernels*>& ActiveKernels() {
  static std::atomic<const PixelKernels*> active{&DetectedKernels()};
  return active;
}

}  // namespace

const PixelKernels& BestKernels() { return *ActiveKernels().load(std::memory_order_relaxed); }

void ForceKernelsForTesting(const PixelKernels* table) {
  ActiveKernels().store(table != nullptr ? table : &DetectedKernels(), std::memory_order_relaxed);
}

}  // namespace vialto::image::simd
