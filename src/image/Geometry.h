// Image geometry on an explicit kernel table (tests run every instruction set; the exports use
// simd::BestKernels()), plus the literal bilinear formula the fast resize is checked against.
#pragma once
#include <cstddef>
#include <cstdint>

#include "image/simd/Kernels.h"

namespace vialto::image {

// Turns `rows` rows of rowBytes bytes upside down in place, exchanging row pairs through the
// table's swapBytes: the one row flip behind ImageFlip and ImageFlipRows.
void FlipRowsInPlace(const simd::PixelKernels& kernels, uint8_t* image, std::size_t rowBytes,
                     std::size_t rows);

// Rows upside down into dst, or in place when dst == src. threeBytes != 0: 3-byte pixels.
void FlipImage(const simd::PixelKernels& kernels, uint8_t* dst, const uint8_t* src, int width,
               int rows, int threeBytes);

// Bilinear resize in 8.8 fixed point; mode 0 one byte a pixel, 3 three bytes, anything else does
// nothing. Returns 0 (nothing written) for a destination below 4 x 4 or a source below 1 x 2.
int ResizeImage(const simd::PixelKernels& kernels, uint8_t* dst, const uint8_t* src, int srcWidth,
                int srcHeight, int dstWidth, int dstHeight, int mode);
// The same, one output byte at a time from its four weighted neighbours.
int ResizeImageReference(uint8_t* dst, const uint8_t* src, int srcWidth, int srcHeight,
                         int dstWidth, int dstHeight, int mode);

}  // namespace vialto::image
