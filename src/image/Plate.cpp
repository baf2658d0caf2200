#include "image/Plate.h"

#include <cstdio>
#include <cstring>

#include "platform/Clock.h"
#include "platform/ExportBoundary.h"
#include "platform/Rand.h"
#include "vialto/vialto.h"

namespace vialto::image {
namespace {
constexpr int kMinRectWidth = 32;
constexpr int kMinRectHeight = 16;
// Twice the generator's maximum: a draw of 32767 gives half the image size.
constexpr int64_t kHalfScale = 2 * platform::kRandomMax;

// draw * size / 65534, truncated toward zero. The product is 64-bit: for sizes up to 65,538 it
// equals the 32-bit result, and larger sizes cannot overflow; |result| <= |size| / 2 fits.
int ScaleDraw(int draw, int size) {
  return static_cast<int>(static_cast<int64_t>(draw) * size / kHalfScale);
}
}  // namespace

void FillPlateResults(uint32_t seed, int imageWidth, int imageHeight, char* plateText, int* left,
                      int* top, int* rectWidth, int* rectHeight, int* confidence) {
  platform::SeedRandom(seed);
  char text[20];
  std::snprintf(text, sizeof text, "%05d", platform::NextRandom());
  std::memcpy(plateText, text, std::strlen(text) + 1);
  *left = ScaleDraw(platform::NextRandom(), imageWidth);
  *top = ScaleDraw(platform::NextRandom(), imageHeight);
  const int width = ScaleDraw(platform::NextRandom(), imageWidth);
  *rectWidth = width < kMinRectWidth ? kMinRectWidth : width;
  const int height = ScaleDraw(platform::NextRandom(), imageHeight);
  *rectHeight = height < kMinRectHeight ? kMinRectHeight : height;
  *confidence = platform::NextRandom() * 100 / platform::kRandomMax;
}

}  // namespace vialto::image

extern "C" VIALTO_API int VIALTO_CALL RecogniseNumberPlateEx(const void*, int, char* plateText, int,
                                                             int width, int height, int* left,
                                                             int* top, int* rectWidth,
                                                             int* rectHeight, int* confidence,
                                                             int skip) {
  if (skip != 0) return 1;
  vialto::platform::GuardExport([&] {
    vialto::image::FillPlateResults(vialto::platform::MillisecondClock(), width, height, plateText,
                                    left, top, rectWidth, rectHeight, confidence);
  });
  return 1;
}
