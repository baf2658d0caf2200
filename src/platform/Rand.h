// The C runtime's classic pseudo-random generator, with its state kept per thread so that
// callers on different threads never disturb each other.
#pragma once
#include <cstdint>

namespace vialto::platform {

inline constexpr int kRandomMax = 0x7FFF;

// Sets this thread's state to `seed`.
void SeedRandom(uint32_t seed);
// state = state * 214013 + 2531011 (mod 2^32); returns bits 16 to 30 of it, 0 to kRandomMax.
int NextRandom();

}  // namespace vialto::platform
