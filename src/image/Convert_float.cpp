// The double-precision YUV converters. Built without contraction: each product and sum is
// rounded on its own, in the order written, which fixes the results bit for bit.
#include <cmath>

#include "image/Convert.h"

namespace vialto::image {
namespace {

uint8_t TruncClamp(double v) {
  const double t = std::trunc(v);
  return static_cast<uint8_t>(t < 0.0 ? 0.0 : t > 255.0 ? 255.0 : t);
}

}  // namespace

void YuvPlaneToRgbFloat(const uint8_t* yuv, uint8_t* rgb, int width, int height) {
  if (width < 2 || height <= 0) return;
  const std::size_t n = PixelCount(width, height);
  const std::size_t pairs = static_cast<std::size_t>(height) * static_cast<std::size_t>(width / 2);
  const uint8_t* y = yuv;
  const uint8_t* v = yuv + n;
  const uint8_t* u = yuv + n + n / 2;
  for (std::size_t k = 0; k < pairs; ++k, y += 2, rgb += 6) {
    const double vv = static_cast<double>(v[k]) - 128.0;
    const double uu = static_cast<double>(u[k]) - 128.0;
    const double red = 1.402 * vv, greenU = 0.3441 * uu, greenV = 0.7141 * vv, blue = 1.772 * uu;
    for (int p = 0; p < 2; ++p) {
      const double yy = static_cast<double>(y[p]) - 16.0;
      rgb[3 * p] = TruncClamp((yy + red) + 0.5);
      rgb[3 * p + 1] = TruncClamp(((yy - greenU) - greenV) + 0.5);
      rgb[3 * p + 2] = TruncClamp((yy + blue) + 0.5);
    }
  }
}

void RgbToYuvPlaneFloat(const uint8_t* rgb, uint8_t* yuv, int width, int height) {
  if (width < 2 || height <= 0) return;
  const std::size_t n = PixelCount(width, height);
  const std::size_t pairs = static_cast<std::size_t>(height) * static_cast<std::size_t>(width / 2);
  uint8_t* y = yuv;
  uint8_t* v = yuv + n;
  uint8_t* u = yuv + n + n / 2;
  for (std::size_t k = 0; k < pairs; ++k, rgb += 6) {
    for (int p = 0; p < 2; ++p) {
      const double r = rgb[3 * p], g = rgb[3 * p + 1], b = rgb[3 * p + 2];
      y[2 * k + p] = TruncClamp(((0.587 * g + 0.299 * r) + 0.114 * b) + 16.5);
    }
    const double r = rgb[0], g = rgb[1], b = rgb[2];
    u[k] = TruncClamp((0.5 * b - (0.1687 * r + 0.3313 * g)) + 128.5);
    v[k] = TruncClamp(((0.5 * r - 0.4187 * g) - 0.0813 * b) + 128.5);
  }
}

}  // namespace vialto::image
