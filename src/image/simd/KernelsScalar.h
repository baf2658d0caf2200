// The scalar kernels, also used by the vector tables for the remainders of their runs.
#pragma once
#include <cstddef>
#include <cstdint>

#include "image/simd/Kernels.h"

namespace vialto::image::simd::scalar {

void YuvToRgb(const uint8_t* y, const uint8_t* v, const uint8_t* u, uint8_t* rgb,
              std::size_t pixels);
void RgbToYuv(const uint8_t* rgb, uint8_t* y, uint8_t* v, uint8_t* u, std::size_t pairs);
void GrayToRgb(const uint8_t* gray, uint8_t* rgb, std::size_t pixels);
void RgbToGray(const uint8_t* rgb, uint8_t* gray, std::size_t pixels);
void SwapRgb(uint8_t* rgb, std::size_t pixels);
void SwapBytes(uint8_t* a, uint8_t* b, std::size_t bytes);
void InterpolateRow(const uint8_t* row, const InterpolationBlock* blocks, std::size_t count,
                    int16_t* out);
void InterpolateUniform(const uint8_t* row, const InterpolationBlock& block, std::size_t step,
                        std::size_t count, int16_t* out);
void BlendRows(const int16_t* top, const int16_t* bottom, uint8_t* dst, std::size_t count,
               unsigned fy);
void PickBytes(const uint8_t* src, uint8_t* dst, std::size_t count, std::size_t step);
void PickTriples(const uint8_t* src, uint8_t* dst, std::size_t count, std::size_t step);

// One element of the resize's horizontal pass, biased as interpolateRow stores it.
inline int16_t InterpolatedElement(int left, int right, int fraction) {
  return static_cast<int16_t>((left << 8) + (right - left) * fraction - kInterpolatedBias);
}

// One pixel of the fixed-point YUV to RGB conversion.
inline uint8_t ClampByte(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }
inline void YuvPixelToRgb(int y, int cr, int cb, uint8_t* rgb) {
  const int yy = y - 16, vv = cr - 128, uu = cb - 128;
  rgb[0] = ClampByte((256 * yy + 359 * vv + 128) >> 8);
  rgb[1] = ClampByte((256 * yy - 183 * vv - 88 * uu + 128) >> 8);
  rgb[2] = ClampByte((256 * yy + 454 * uu + 128) >> 8);
}

}  // namespace vialto::image::simd::scalar
