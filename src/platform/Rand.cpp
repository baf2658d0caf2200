#include "platform/Rand.h"

namespace vialto::platform {
namespace {
// A thread that never seeds starts where the C runtime does, as if seeded with 1.
thread_local uint32_t t_state = 1;
}  // namespace

void SeedRandom(uint32_t seed) { t_state = seed; }

int NextRandom() {
  t_state = t_state * 214013u + 2531011u;  // unsigned: wraps modulo 2^32
  return static_cast<int>((t_state >> 16) & kRandomMax);
}

}  // namespace vialto::platform
