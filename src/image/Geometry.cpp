// Placeholder entry points until geometry lands.
#include "vialto/vialto.h"

extern "C" {
VIALTO_API int VIALTO_CALL ImageFlip(unsigned char*, const unsigned char*, int, int, int) { return 1; }
VIALTO_API int VIALTO_CALL ImageResize(unsigned char*, const unsigned char*, int, int, int, int, int,
                                       int) {
  return 0;
}
VIALTO_API int VIALTO_CALL Ser_CopyMemory(void*, const void*, uint32_t) { return 1; }
}
