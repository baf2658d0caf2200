// Picks the kernel table once, from what the CPU reports.
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

const PixelKernels& BestKernels() {
  static const PixelKernels& best = Avx2Kernels()    ? *Avx2Kernels()
                                    : Ssse3Kernels() ? *Ssse3Kernels()
                                                     : ScalarKernels();
  return best;
}

}  // namespace vialto::image::simd
