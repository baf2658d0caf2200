#include "image/simd/KernelsScalar.h"

#include <cstring>

#include "image/simd/Kernels.h"

namespace vialto::image::simd::scalar {

void YuvToRgb(const uint8_t* y, const uint8_t* v, const uint8_t* u, uint8_t* rgb,
              std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i) YuvPixelToRgb(y[i], v[i / 2], u[i / 2], rgb + 3 * i);
}

void RgbToYuv(const uint8_t* rgb, uint8_t* y, uint8_t* v, uint8_t* u, std::size_t pairs) {
  for (std::size_t k = 0; k < pairs; ++k, rgb += 6) {
    const int r0 = rgb[0], g0 = rgb[1], b0 = rgb[2];
    y[2 * k] = ClampByte((77 * r0 + 150 * g0 + 29 * b0 + 4224) >> 8);
    y[2 * k + 1] = ClampByte((77 * rgb[3] + 150 * rgb[4] + 29 * rgb[5] + 4224) >> 8);
    v[k] = ClampByte((128 * r0 - 107 * g0 - 21 * b0 + 32896) >> 8);
    u[k] = ClampByte((128 * b0 - 85 * g0 - 43 * r0 + 32896) >> 8);
  }
}

void GrayToRgb(const uint8_t* gray, uint8_t* rgb, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i) {
    const uint8_t v = gray[i] < 16 ? 0 : static_cast<uint8_t>(gray[i] - 16);
    rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = v;
  }
}

void RgbToGray(const uint8_t* rgb, uint8_t* gray, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i, rgb += 3)
    gray[i] = ClampByte((19595 * rgb[0] + 38470 * rgb[1] + 7471 * rgb[2] + 32768) >> 16);
}

void SwapRgb(uint8_t* rgb, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i, rgb += 3) {
    const uint8_t red = rgb[0];
    rgb[0] = rgb[2];
    rgb[2] = red;
  }
}

void SwapBytes(uint8_t* a, uint8_t* b, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) {
    const uint8_t t = a[i];
    a[i] = b[i];
    b[i] = t;
  }
}

void InterpolateRow(const uint8_t* row, const InterpolationBlock* blocks, std::size_t count,
                    int16_t* out) {
  for (std::size_t k = 0; k < count; ++k) {
    const InterpolationBlock& b = blocks[k];
    for (int j = 0; j < 8; ++j)
      *out++ = InterpolatedElement(row[b.base + static_cast<std::size_t>(b.left[2 * j])],
                                   row[b.base + static_cast<std::size_t>(b.right[2 * j])],
                                   b.fraction[j]);
  }
}

void InterpolateUniform(const uint8_t* row, const InterpolationBlock& block, std::size_t step,
                        std::size_t count, int16_t* out) {
  for (std::size_t k = 0; k < count; ++k, row += step, out += 8)
    InterpolateRow(row, &block, 1, out);
}

void BlendRows(const int16_t* top, const int16_t* bottom, uint8_t* dst, std::size_t count,
               unsigned fy) {
  const uint32_t wTop = 256 - fy;
  for (std::size_t i = 0; i < count; ++i) {
    const uint32_t t = static_cast<uint32_t>(top[i] + kInterpolatedBias);
    const uint32_t b = static_cast<uint32_t>(bottom[i] + kInterpolatedBias);
    dst[i] = static_cast<uint8_t>((t * wTop + b * fy) >> 16);
  }
}

void PickBytes(const uint8_t* src, uint8_t* dst, std::size_t count, std::size_t step) {
  for (std::size_t i = 0; i < count; ++i) dst[i] = src[i * step];
}

void PickTriples(const uint8_t* src, uint8_t* dst, std::size_t count, std::size_t step) {
  for (std::size_t i = 0; i < count; ++i) std::memcpy(dst + 3 * i, src + 3 * i * step, 3);
}

}  // namespace vialto::image::simd::scalar

namespace vialto::image::simd {

const PixelKernels& ScalarKernels() {
  static const PixelKernels kernels{
      "scalar",          scalar::YuvToRgb,       scalar::RgbToYuv,
      scalar::GrayToRgb, scalar::RgbToGray,      scalar::SwapRgb,
      scalar::SwapBytes, scalar::InterpolateRow, scalar::InterpolateUniform,
      scalar::BlendRows, scalar::PickBytes,      scalar::PickTriples};
  return kernels;
}

}  // namespace vialto::image::simd
