// Placeholder entry points until frame retrieval lands: no frame is handed out.
#include <cstdlib>

#include "seq/SerFileDecode.h"

extern "C" {
VIALTO_API int VIALTO_CALL Ser_GetCurrentFrameData(CSerFileDecode*, unsigned char*, int) { return 0; }
VIALTO_API int VIALTO_CALL Ser_GetCurrentFrameDataLength(CSerFileDecode*) { return 0; }
VIALTO_API int VIALTO_CALL Ser_GetColorStatus(CSerFileDecode*) { return -1; }
VIALTO_API unsigned char* VIALTO_CALL Ser_GetCurrentFrameDataBuf(CSerFileDecode*, int*, int*, int*,
                                                                 int) {
  return nullptr;
}
VIALTO_API unsigned char* VIALTO_CALL Ser_GetCurrentFrameDataBufEx(CSerFileDecode*, int*, int*, int*,
                                                                   int* length, int) {
  if (length) *length = 0;
  return nullptr;
}
VIALTO_API unsigned char* VIALTO_CALL Ser_CopyCurrentFrameData(CSerFileDecode*, int*, int*, int*, int,
                                                               unsigned char*) {
  return nullptr;
}
VIALTO_API unsigned char* VIALTO_CALL Ser_CopyCurrentFrameDataEx(CSerFileDecode*, int*, int*, int*,
                                                                 int*, int, unsigned char*) {
  return nullptr;
}
VIALTO_API int VIALTO_CALL Ser_DeleteFrameDataBuf(CSerFileDecode*, void* buffer) {
  std::free(buffer);
  return 1;
}
}
