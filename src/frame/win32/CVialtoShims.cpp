// The CVialto members as the platform's own compiler calls them: thiscall (this in ECX, the callee
// pops the arguments), and a constructor that returns this. g++'s members differ in both ways
// and in their names, so these two stand in for them; vialto.def exports them under the mangled
// names hosts import (ordinals 1 and 2).
#include <new>

#include "vialto/vialto.h"

#if defined(__i386__)
#define VIALTO_THISCALL __attribute__((thiscall))
#else
#define VIALTO_THISCALL  // one calling convention on 64-bit Windows: this comes in the first
                         // register
#endif

extern "C" {
CVialto* VIALTO_THISCALL VialtoConstructThiscall(CVialto* self) { return ::new (self) CVialto(); }

CVialto* VIALTO_THISCALL VialtoAssignThiscall(CVialto* self, const CVialto* other) {
  return &(*self = *other);
}
}
