// JpegToRGB on arbitrary streams, and compression of what decoded.
#include <cstdint>

#include "vialto/vialto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t w = 0, h = 0;
  int depth = 0;
  unsigned char* image = JpegToRGB(data, static_cast<int>(size), &w, &h, &depth);
  // A failure may keep the size when it came while rows were being read.
  if (!image) return 0;
  if (depth != 8 && depth != 24) __builtin_trap();
  // Touch every byte of the result: nothing handed out may be uninitialised or short.
  unsigned sum = 0;
  for (uint64_t i = 0; i < uint64_t{w} * h * 3; ++i) sum += image[i];
  if (w * h <= 256 * 256) {
    uint32_t length = 0;
    unsigned char* again =
        RGBToJpeg(image, static_cast<int>(w), static_cast<int>(h), depth, 75, &length);
    Ser_DeleteRGBToJpegBuf(again);
  }
  Ser_DeleteJpegToRGBBuf(image);
  return static_cast<int>(sum & 0);
}
