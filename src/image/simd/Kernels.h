// Run kernels behind the pixel conversions and geometry routines: one table per instruction set,
// every entry giving exactly the bytes of the scalar table. Image-level code (Convert.cpp,
// Geometry.cpp) splits an image into runs and hands them to one table; the vector tables handle
// whole blocks only and leave the remainder to the scalar kernel (SplitRun).
#pragma once
#include <cstddef>
#include <cstdint>

namespace vialto::image::simd {

// Eight consecutive output bytes of the resize's horizontal pass, all taken from the 16 source
// bytes at `base`: byte 2j of `left` / `right` is the offset of output j's left / right neighbour
// (byte 2j + 1 clears the high half of a 16-bit lane), `fraction` its weight of the right one.
struct InterpolationBlock {
  std::size_t base;
  int8_t left[16];
  int8_t right[16];
  uint16_t fraction[8];
};

inline constexpr int kInterpolatedBias = 32768;

struct PixelKernels {
  const char* name;
  // `pixels` (even) pixels from a Y run and the V and U runs serving them (one sample a pair) to
  // R, G, B bytes, 8.8 fixed point.
  void (*yuvToRgb)(const uint8_t* y, const uint8_t* v, const uint8_t* u, uint8_t* rgb,
                   std::size_t pixels);
  // `pairs` pixel pairs of R, G, B bytes to two Y bytes and one V and one U byte each, the chroma
  // from the left pixel.
  void (*rgbToYuv)(const uint8_t* rgb, uint8_t* y, uint8_t* v, uint8_t* u, std::size_t pairs);
  // Grey bytes to R, G, B triples of max(grey - 16, 0).
  void (*grayToRgb)(const uint8_t* gray, uint8_t* rgb, std::size_t pixels);
  // R, G, B triples to (19595 R + 38470 G + 7471 B + 32768) >> 16.
  void (*rgbToGray)(const uint8_t* rgb, uint8_t* gray, std::size_t pixels);
  // Exchanges bytes 0 and 2 of every 3-byte pixel in place.
  void (*swapRgb)(uint8_t* rgb, std::size_t pixels);
  // Exchanges two non-overlapping byte runs.
  void (*swapBytes)(uint8_t* a, uint8_t* b, std::size_t bytes);
  // Horizontal pass of the bilinear resize, 8 outputs a block: left * (256 - fx) + right * fx,
  // stored less kInterpolatedBias (the sums reach 255 * 256, which a signed 16-bit multiply-add
  // could not take otherwise).
  void (*interpolateRow)(const uint8_t* row, const InterpolationBlock* blocks, std::size_t count,
                         int16_t* out);
  // The same for `count` blocks that are `block` moved on by k * `step` source bytes (block k).
  void (*interpolateUniform)(const uint8_t* row, const InterpolationBlock& block, std::size_t step,
                             std::size_t count, int16_t* out);
  // Vertical pass of the bilinear resize: (top * (256 - fy) + bottom * fy) >> 16 per element, on
  // rows from interpolateRow (the bias added back).
  void (*blendRows)(const int16_t* top, const int16_t* bottom, uint8_t* dst, std::size_t count,
                    unsigned fy);
  // dst[i] = src[i * step] for one-byte pixels (whole-factor reduction, step >= 2); src holds at
  // least count * step bytes.
  void (*pickBytes)(const uint8_t* src, uint8_t* dst, std::size_t count, std::size_t step);
  // The same for three-byte pixels (step counted in pixels).
  void (*pickTriples)(const uint8_t* src, uint8_t* dst, std::size_t count, std::size_t step);
};

// The plain per-element reference kernels.
const PixelKernels& ScalarKernels();
// SSE2 (the x86-64 baseline) for what needs no byte shuffles, SSSE3 for the rest; null when the
// CPU lacks SSSE3.
const PixelKernels* Ssse3Kernels();
// AVX2; null when the CPU lacks it.
const PixelKernels* Avx2Kernels();
// AVX-512 (F, BW, VL, VBMI) where it beats AVX2, the AVX2 kernels elsewhere; null when the CPU or
// the OS lacks it.
const PixelKernels* Avx512Kernels();
// The table the exports use: the best one this CPU runs, chosen once.
const PixelKernels& BestKernels();
// Makes BestKernels() return `table` (a table this CPU runs), or again the detected one for null.
// For tests that take the exports through every instruction set; not for concurrent use with the
// exports.
void ForceKernelsForTesting(const PixelKernels* table);

// Runs `vector(start, count)` on the largest multiple of `block` units that leaves at least
// `reserve` units after it (room for a kernel's wide reads), and `scalar(start, count)` on the
// rest.
template <class Vector, class Scalar>
inline void SplitRun(std::size_t count, std::size_t block, std::size_t reserve, Vector vector,
                     Scalar scalar) {
  const std::size_t bulk = count > reserve ? (count - reserve) / block * block : 0;
  if (bulk > 0) vector(std::size_t{0}, bulk);
  if (bulk < count) scalar(bulk, count - bulk);
}

}  // namespace vialto::image::simd
