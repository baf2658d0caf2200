// AVX2 kernels.
#include <immintrin.h>

#include "image/simd/Kernels.h"
#include "image/simd/KernelsScalar.h"

namespace vialto::image::simd {

const PixelKernels& Avx2Table() {
  static const PixelKernels kernels{"avx2" ,           scalar::YuvToRgb,  scalar::RgbToYuv,
                                    scalar::GrayToRgb, scalar::RgbToGray, scalar::SwapRgb,
                                    scalar::SwapBytes, scalar::BlendRows, scalar::PickBytes,
                                    scalar::PickTriples};
  return kernels;
}

}  // namespace vialto::image::simd
