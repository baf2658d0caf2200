// Placeholder entry point until plate recognition lands.
#include "vialto/vialto.h"

extern "C" VIALTO_API int VIALTO_CALL RecogniseNumberPlateEx(const void*, int, char*, int, int, int,
                                                             int*, int*, int*, int*, int*, int) {
  return 1;
}
