// The sample exports. The process-wide arrow picture is built at load by image/ArrowOverlay.cpp.
#include <cstring>

#include "vialto/vialto.h"

extern "C" {
VIALTO_API int nVialto = 0;

VIALTO_API int fnVialto(void) { return 42; }
}

CVialto::CVialto() = default;

CVialto& CVialto::operator=(const CVialto& other) {
  // The class has no members; its one byte of storage is copied as it stands.
  std::memcpy(static_cast<void*>(this), static_cast<const void*>(&other), 1);
  return *this;
}
