// Placeholder entry points until the converters land.
#include "vialto/vialto.h"

extern "C" {
VIALTO_API int VIALTO_CALL YUV422PlaneToRGB(const unsigned char*, unsigned char*, int, int) { return 1; }
VIALTO_API int VIALTO_CALL YUV422PlaneToRGB_FLOAT(const unsigned char*, unsigned char*, int, int) {
  return 1;
}
VIALTO_API int VIALTO_CALL RGBToYUV422Plane(const unsigned char*, unsigned char*, int, int) { return 1; }
VIALTO_API int VIALTO_CALL RGBToYUV422Plane_FLOAT(const unsigned char*, unsigned char*, int, int) {
  return 1;
}
VIALTO_API void VIALTO_CALL GrayToRGB(const unsigned char*, unsigned char*, int, int) {}
VIALTO_API void VIALTO_CALL RGBToGray(const unsigned char*, unsigned char*, int, int) {}
VIALTO_API int VIALTO_CALL ImageSwapRGB(unsigned char* image, unsigned, unsigned) {
  return image ? 1 : 0;
}
}
