// Pixel-format conversions on whole images, each on an explicit kernel table so that tests can run
// every instruction set; the exports use simd::BestKernels().
#pragma once
#include <cstdint>

#include "image/simd/Kernels.h"

namespace vialto::image {

// Turns `rows` rows of `rowBytes` bytes upside down in place, through two row buffers. Returns 0
// for a null image or when a row buffer cannot be allocated (the image is then unchanged), else 1.
int ImageFlipRows(unsigned char* image, unsigned rowBytes, unsigned rows);
int FlipRows(const simd::PixelKernels& kernels, unsigned char* image, unsigned rowBytes,
             unsigned rows);

// YUV 4:2:2 planar (Y, then V at n, then U at n + n/2; n = width * height) to RGB24, every pixel.
// For an odd n the last pixel has no chroma sample of its own and is converted with neutral chroma.
void YuvPlaneToRgb(const simd::PixelKernels& kernels, const uint8_t* yuv, uint8_t* rgb, int width,
                   int height);
// RGB24 to YUV 4:2:2 planar, width / 2 pairs a row, chroma from the left pixel of each pair.
void RgbToYuvPlane(const simd::PixelKernels& kernels, const uint8_t* rgb, uint8_t* yuv, int width,
                   int height);
void GrayImageToRgb(const simd::PixelKernels& kernels, const uint8_t* gray, uint8_t* rgb, int width,
                    int height);
void RgbImageToGray(const simd::PixelKernels& kernels, const uint8_t* rgb, uint8_t* gray, int width,
                    int height);
// Returns 0 for a null image, else 1.
int SwapRgbImage(const simd::PixelKernels& kernels, uint8_t* image, unsigned width,
                 unsigned height);

// The double-precision twins (Convert_float.cpp), row by row in pixel pairs.
void YuvPlaneToRgbFloat(const uint8_t* yuv, uint8_t* rgb, int width, int height);
void RgbToYuvPlaneFloat(const uint8_t* rgb, uint8_t* yuv, int width, int height);

// Pixel count of a width x height image, 0 when either is not positive.
inline std::size_t PixelCount(int width, int height) {
  return width > 0 && height > 0
             ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height)
             : 0;
}

}  // namespace vialto::image
