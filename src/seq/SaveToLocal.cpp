// Placeholder entry point until saving lands.
#include "seq/SerFileDecode.h"

extern "C" VIALTO_API int VIALTO_CALL Ser_SaveToLocal(CSerFileDecode*, const char*, int) { return 0; }
