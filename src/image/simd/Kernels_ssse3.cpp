// SSE2 and SSSE3 kernels.
#include <tmmintrin.h>

#include "image/simd/Kernels.h"
#include "image/simd/KernelsScalar.h"

namespace vialto::image::simd {

const PixelKernels& Ssse3Table() {
  static const PixelKernels kernels{"ssse3",           scalar::YuvToRgb,  scalar::RgbToYuv,
                                    scalar::GrayToRgb, scalar::RgbToGray, scalar::SwapRgb,
                                    scalar::SwapBytes, scalar::BlendRows, scalar::PickBytes,
                                    scalar::PickTriples};
  return kernels;
}

}  // namespace vialto::image::simd
