// The C heap, as every buffer that crosses the export table uses it, with a test hook to make
// chosen allocations fail on the calling thread.
#pragma once
#include <cstddef>

namespace vialto::platform {

// malloc(n), or null. Honours the failure countdown set by FailAllocationsAfter on this thread.
void* AllocBytes(std::size_t n);
// calloc-like: n zero bytes, or null.
void* AllocZeroedBytes(std::size_t n);
void FreeBytes(void* p);

// Test hook: after `successes` more successful AllocBytes calls on this thread, the following
// `failures` calls fail. FailAllocationsAfter(-1, 0) turns it off (the default).
void FailAllocationsAfter(int successes, int failures = 1);

}  // namespace vialto::platform
