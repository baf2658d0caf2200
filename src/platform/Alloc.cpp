#include "platform/Alloc.h"

#include <cstdlib>

namespace vialto::platform {
namespace {
// Per-thread so that a test on one thread never disturbs another.
thread_local int t_successesLeft = -1;
thread_local int t_failuresLeft = 0;

bool NextAllocationFails() {
  if (t_successesLeft < 0) return false;
  if (t_successesLeft > 0) {
    --t_successesLeft;
    return false;
  }
  if (t_failuresLeft > 0) {
    if (--t_failuresLeft == 0) t_successesLeft = -1;
    return true;
  }
  t_successesLeft = -1;
  return false;
}
}  // namespace

void* AllocBytes(std::size_t n) {
  if (NextAllocationFails()) return nullptr;
  return std::malloc(n == 0 ? 1 : n);
}

void* AllocZeroedBytes(std::size_t n) {
  if (NextAllocationFails()) return nullptr;
  return std::calloc(n == 0 ? 1 : n, 1);
}

void FreeBytes(void* p) { std::free(p); }

void FailAllocationsAfter(int successes, int failures) {
  t_successesLeft = successes;
  t_failuresLeft = failures;
}

}  // namespace vialto::platform
