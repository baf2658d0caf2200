// A 32-bit millisecond clock, as the plate entry seeds its generator from.
#pragma once
#include <cstdint>

namespace vialto::platform {

// Milliseconds of a steady clock (since boot on Linux), wrapping modulo 2^32 (about 49.7 days).
uint32_t MillisecondClock();

}  // namespace vialto::platform
