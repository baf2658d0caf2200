// The pixel-format conversion exports and ImageFlipRows.
#include "image/Convert.h"

#include "image/Geometry.h"
#include "image/simd/KernelsScalar.h"
#include "platform/Alloc.h"
#include "platform/ExportBoundary.h"
#include "vialto/vialto.h"

namespace vialto::image {

void YuvPlaneToRgb(const simd::PixelKernels& kernels, const uint8_t* yuv, uint8_t* rgb, int width,
                   int height) {
  const std::size_t n = PixelCount(width, height);
  if (n == 0) return;
  const uint8_t* v = yuv + n;
  const uint8_t* u = v + n / 2;
  const std::size_t paired = n / 2 * 2;
  kernels.yuvToRgb(yuv, v, u, rgb, paired);
  // Each chroma plane holds n / 2 samples, so an odd last pixel has none: the byte where its V
  // sample would be is the first U byte. Neutral chroma keeps it the grey of its own luma.
  if (paired < n) simd::scalar::YuvPixelToRgb(yuv[paired], 128, 128, rgb + 3 * paired);
}

void RgbToYuvPlane(const simd::PixelKernels& kernels, const uint8_t* rgb, uint8_t* yuv, int width,
                   int height) {
  if (width < 2 || height <= 0) return;
  const std::size_t n = PixelCount(width, height);
  // Rows are not realigned: an odd width shifts later rows against the grid, as in the files.
  const std::size_t pairs = static_cast<std::size_t>(height) * static_cast<std::size_t>(width / 2);
  kernels.rgbToYuv(rgb, yuv, yuv + n, yuv + n + n / 2, pairs);
}

void GrayImageToRgb(const simd::PixelKernels& kernels, const uint8_t* gray, uint8_t* rgb, int width,
                    int height) {
  const std::size_t n = PixelCount(width, height);
  if (n > 0) kernels.grayToRgb(gray, rgb, n);
}

void RgbImageToGray(const simd::PixelKernels& kernels, const uint8_t* rgb, uint8_t* gray, int width,
                    int height) {
  const std::size_t n = PixelCount(width, height);
  if (n > 0) kernels.rgbToGray(rgb, gray, n);
}

int SwapRgbImage(const simd::PixelKernels& kernels, uint8_t* image, unsigned width,
                 unsigned height) {
  if (image == nullptr) return 0;
  const std::size_t n = static_cast<std::size_t>(width) * height;
  if (n > 0) kernels.swapRgb(image, n);
  return 1;
}

int FlipRows(const simd::PixelKernels& kernels, unsigned char* image, unsigned rowBytes,
             unsigned rows) {
  if (image == nullptr) return 0;
  // Callers rely on the failure result when memory is short: the two row buffers this flip has
  // always needed are still reserved for its duration, though the rows are exchanged in place.
  void* first = platform::AllocBytes(rowBytes);
  if (first == nullptr) return 0;
  void* second = platform::AllocBytes(rowBytes);
  if (second == nullptr) {
    platform::FreeBytes(first);
    return 0;
  }
  FlipRowsInPlace(kernels, image, rowBytes, rows);
  platform::FreeBytes(second);
  platform::FreeBytes(first);
  return 1;
}

int ImageFlipRows(unsigned char* image, unsigned rowBytes, unsigned rows) {
  return FlipRows(simd::BestKernels(), image, rowBytes, rows);
}

}  // namespace vialto::image

namespace img = vialto::image;
using vialto::platform::GuardExport;

extern "C" {

VIALTO_API int VIALTO_CALL YUV422PlaneToRGB(const unsigned char* yuv, unsigned char* rgb, int width,
                                            int height) {
  GuardExport([&] { img::YuvPlaneToRgb(img::simd::BestKernels(), yuv, rgb, width, height); });
  return 1;
}

VIALTO_API int VIALTO_CALL YUV422PlaneToRGB_FLOAT(const unsigned char* yuv, unsigned char* rgb,
                                                  int width, int height) {
  GuardExport([&] { img::YuvPlaneToRgbFloat(yuv, rgb, width, height); });
  return 1;
}

VIALTO_API int VIALTO_CALL RGBToYUV422Plane(const unsigned char* rgb, unsigned char* yuv, int width,
                                            int height) {
  GuardExport([&] { img::RgbToYuvPlane(img::simd::BestKernels(), rgb, yuv, width, height); });
  return 1;
}

VIALTO_API int VIALTO_CALL RGBToYUV422Plane_FLOAT(const unsigned char* rgb, unsigned char* yuv,
                                                  int width, int height) {
  GuardExport([&] { img::RgbToYuvPlaneFloat(rgb, yuv, width, height); });
  return 1;
}

VIALTO_API void VIALTO_CALL GrayToRGB(const unsigned char* gray, unsigned char* rgb, int width,
                                      int height) {
  GuardExport([&] { img::GrayImageToRgb(img::simd::BestKernels(), gray, rgb, width, height); });
}

VIALTO_API void VIALTO_CALL RGBToGray(const unsigned char* rgb, unsigned char* gray, int width,
                                      int height) {
  GuardExport([&] { img::RgbImageToGray(img::simd::BestKernels(), rgb, gray, width, height); });
}

VIALTO_API int VIALTO_CALL ImageSwapRGB(unsigned char* image, unsigned width, unsigned height) {
  return GuardExport(
      0, [&] { return img::SwapRgbImage(img::simd::BestKernels(), image, width, height); });
}

}  // extern "C"
