// Placeholder entry point until the text overlay lands.
#include "vialto/vialto.h"

extern "C" VIALTO_API int VIALTO_CALL ImageWriteStringToImg(unsigned char*, int, int, int, int,
                                                            const char*, const LOGFONTA*, COLORREF,
                                                            COLORREF) {
  return 1;
}
