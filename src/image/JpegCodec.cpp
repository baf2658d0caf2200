// Placeholder entry points until the JPEG codec lands.
#include <cstdlib>

#include "vialto/vialto.h"

extern "C" {
VIALTO_API unsigned char* VIALTO_CALL RGBToJpeg(const unsigned char*, int, int, int, int, uint32_t*) {
  return nullptr;
}
VIALTO_API unsigned char* VIALTO_CALL JpegToRGB(const unsigned char*, int, uint32_t* width,
                                                uint32_t* height, int*) {
  *width = 0;
  *height = 0;
  return nullptr;
}
VIALTO_API int VIALTO_CALL ImageRGBToJpeg(unsigned char*, const unsigned char*, int, int, int, int,
                                          uint32_t*) {
  return 0;
}
VIALTO_API int VIALTO_CALL ImageJpegToRGB(unsigned char*, const unsigned char*, int, uint32_t* width,
                                          uint32_t* height, int*) {
  *width = 0;
  *height = 0;
  return 0;
}
VIALTO_API void VIALTO_CALL Ser_DeleteJpegToRGBBuf(void* buffer) { std::free(buffer); }
}
// One function under both names.
extern "C" VIALTO_API void VIALTO_CALL Ser_DeleteRGBToJpegBuf(void* buffer)
    __attribute__((alias("Ser_DeleteJpegToRGBBuf")));
