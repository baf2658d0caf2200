// Placeholder entry points until the decoder lands: every open fails.
#include "seq/SerFileDecode.h"

#include <new>

CSerFileDecode::CSerFileDecode() = default;
CSerFileDecode::~CSerFileDecode() = default;

extern "C" {
VIALTO_API CSerFileDecode* VIALTO_CALL Ser_CreateSerFileDecode(void) {
  return new (std::nothrow) CSerFileDecode;
}
VIALTO_API void VIALTO_CALL Ser_FinishSerFileDecode(CSerFileDecode* decoder) { delete decoder; }
VIALTO_API int VIALTO_CALL Ser_SetSerFileName(CSerFileDecode*, const char*) { return 0; }
VIALTO_API int VIALTO_CALL Ser_SetSerFileFtp(CSerFileDecode*, const char*, const char*, const char*,
                                             int) {
  return 1;
}
VIALTO_API int VIALTO_CALL Ser_GetSerFileType(CSerFileDecode*) { return -1; }
VIALTO_API int VIALTO_CALL Ser_GetSerFileInfo(CSerFileDecode*, void*, int) { return -1; }
}
