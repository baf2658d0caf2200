// Picks the kernel table once, from what the CPU reports; tests may put another table in its place.
#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "image/simd/Kernels.h"

namespace vialto::image::simd {

const PixelKernels& Ssse3Table();
const PixelKernels& Avx2Table();
const PixelKernels& Avx512Table();

namespace {

// AVX-512 F, BW, VL and VBMI, and an OS that saves the opmask and all of the ZMM registers on a
// context switch (XCR0 bits 1, 2, 5, 6, 7): without the latter the instructions fault or lose
// state even on a CPU that has them.
bool CpuRunsAvx512() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0 || (ecx & bit_OSXSAVE) == 0) return false;
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return false;
  constexpr unsigned kF = 1u << 16, kBw = 1u << 30, kVl = 1u << 31, kVbmi = 1u << 1;
  if ((ebx & (kF | kBw | kVl)) != (kF | kBw | kVl) || (ecx & kVbmi) == 0) return false;
  unsigned low = 0, high = 0;
  asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  constexpr unsigned kSavedState = 0xE6;
  return (low & kSavedState) == kSavedState;
#else
  return false;
#endif
}

}  // namespace

const PixelKernels* Ssse3Kernels() {
  static const bool supported = __builtin_cpu_supports("ssse3");
  return supported ? &Ssse3Table() : nullptr;
}

const PixelKernels* Avx2Kernels() {
  static const bool supported = __builtin_cpu_supports("avx2");
  return supported ? &Avx2Table() : nullptr;
}

const PixelKernels* Avx512Kernels() {
  static const bool supported = Avx2Kernels() != nullptr && CpuRunsAvx512();
  return supported ? &Avx512Table() : nullptr;
}

namespace {

// Widest instruction set first. A wider tier holds only kernels measured to beat the narrower
// ones; its other entries are the narrower tier's.
const PixelKernels& DetectedKernels() {
  static const PixelKernels& detected = Avx512Kernels()  ? *Avx512Kernels()
                                        : Avx2Kernels()  ? *Avx2Kernels()
                                        : Ssse3Kernels() ? *Ssse3Kernels()
                                                         : ScalarKernels();
  return detected;
}

std::atomic<const PixelKernels*>& ActiveKernels() {
  static std::atomic<const PixelKernels*> active{&DetectedKernels()};
  return active;
}

}  // namespace

const PixelKernels& BestKernels() { return *ActiveKernels().load(std::memory_order_relaxed); }

void ForceKernelsForTesting(const PixelKernels* table) {
  ActiveKernels().store(table != nullptr ? table : &DetectedKernels(), std::memory_order_relaxed);
}

}  // namespace vialto::image::simd
