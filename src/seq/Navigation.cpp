// Placeholder entry points until navigation lands: no move succeeds.
#include <cstring>

#include "seq/SerFileDecode.h"

extern "C" {
VIALTO_API int VIALTO_CALL Ser_MoveFirst(CSerFileDecode*) { return 0; }
VIALTO_API int VIALTO_CALL Ser_MoveEnd(CSerFileDecode*) { return 0; }
VIALTO_API int VIALTO_CALL Ser_MoveCurrentFrameNo(CSerFileDecode*, int) { return 0; }
VIALTO_API int VIALTO_CALL Ser_MoveTo(CSerFileDecode*, int) { return 0; }
VIALTO_API int VIALTO_CALL Ser_GetCurrentFrameNo(CSerFileDecode*) { return -1; }
VIALTO_API int VIALTO_CALL Ser_GetCurrentFramePos(CSerFileDecode*) { return 0; }
VIALTO_API int VIALTO_CALL Ser_GetCurrentSubHeadInfo(CSerFileDecode*, void* out) {
  std::memset(out, 0, 64);
  return 64;
}
}
