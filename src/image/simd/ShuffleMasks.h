// pshufb masks for 16 three-byte pixels held as three 16-byte registers, computed at compile time.
// A mask byte with the top bit set clears its output byte.
#pragma once
#include <array>
#include <cstdint>

namespace vialto::image::simd {

using Mask = std::array<int8_t, 16>;
constexpr int8_t kZero = -128;

// Interleaving: register `part` of the packed output takes channel `channel` of its pixels from
// the register of that channel, which holds the 8 left pixels of 8 pairs, then the 8 right ones.
constexpr Mask PairInterleaveMask(int part, int channel) {
  Mask m{};
  for (int i = 0; i < 16; ++i) {
    const int byte = 16 * part + i, pixel = byte / 3;
    m[i] = byte % 3 == channel ? static_cast<int8_t>(pixel / 2 + 8 * (pixel % 2)) : kZero;
  }
  return m;
}

// Replicating a grey byte into the three bytes of its pixel, for output register `part`.
constexpr Mask TripleMask(int part) {
  Mask m{};
  for (int i = 0; i < 16; ++i) m[i] = static_cast<int8_t>((16 * part + i) / 3);
  return m;
}

// Four whole pixels in bytes 0..11: red and blue exchanged, bytes 12..15 kept.
constexpr Mask SwapRedBlueMask() {
  Mask m{};
  for (int i = 0; i < 16; ++i)
    m[i] = static_cast<int8_t>(i >= 12 ? i : i % 3 == 1 ? i : i - i % 3 + 2 - i % 3);
  return m;
}

// Red and blue exchanged across 16 pixels in three registers: output register `part` takes from
// input register `source` the bytes that land in it.
constexpr Mask SwapRedBluePartMask(int part, int source) {
  Mask m{};
  for (int i = 0; i < 16; ++i) {
    const int byte = 16 * part + i, from = byte - byte % 3 + 2 - byte % 3;
    m[i] = from / 16 == source ? static_cast<int8_t>(from % 16) : kZero;
  }
  return m;
}

// Four whole pixels in bytes 0..11 as 16-bit pairs of channels (first, second) per pixel.
constexpr Mask ChannelPairMask(int first, int second) {
  Mask m{};
  for (int p = 0; p < 4; ++p) {
    m[4 * p] = static_cast<int8_t>(3 * p + first);
    m[4 * p + 1] = kZero;
    m[4 * p + 2] = static_cast<int8_t>(3 * p + second);
    m[4 * p + 3] = kZero;
  }
  return m;
}

// Four whole pixels in bytes 0..11 as 4-byte slots R, G, G, B: green twice, so that pmaddubsw
// with 7-bit weights can carry its large luma weight in two halves.
constexpr Mask LumaSlotsMask() {
  constexpr int kChannel[4] = {0, 1, 1, 2};
  Mask m{};
  for (int p = 0; p < 4; ++p)
    for (int k = 0; k < 4; ++k) m[4 * p + k] = static_cast<int8_t>(3 * p + kChannel[k]);
  return m;
}

// The left pixels of the two pairs in bytes 0..11 (pixels 0 and 2), each in two R, G, G, B slots:
// one for its red-difference weights, one for its blue-difference weights.
constexpr Mask LeftPixelSlotsMask() {
  Mask m{};
  const Mask luma = LumaSlotsMask();
  for (int slot = 0; slot < 4; ++slot)
    for (int k = 0; k < 4; ++k) m[4 * slot + k] = static_cast<int8_t>(luma[k] + 6 * (slot / 2));
  return m;
}

// Even bytes to bytes 0..7, odd bytes to bytes 8..15.
constexpr Mask EvenOddBytesMask() {
  Mask m{};
  for (int i = 0; i < 16; ++i) m[i] = static_cast<int8_t>(i < 8 ? 2 * i : 2 * (i - 8) + 1);
  return m;
}

// pmaddubsw weights for the R, G, G, B slots (bytes of a 32-bit or 64-bit lane, low byte first).
// Luma: 77 R + 51 G | 99 G + 29 B (150 G in two halves). Chroma, negated so that 128 fits a signed
// byte: -128 R + 107 G | 21 B for the red difference, 43 R + 85 G | -128 B for the blue one. Every
// pair stays within +-128 * 255, so no multiply-add saturates.
inline constexpr int32_t kLumaWeights = 77 | 51 << 8 | 99 << 16 | 29 << 24;
inline constexpr int64_t kChromaWeights =
    int64_t{0x80 | 107 << 8 | 21 << 24} | int64_t{43 | 85 << 8 | 0x80 << 24} << 32;

}  // namespace vialto::image::simd

namespace vialto::image::simd {

// The masks as constants, so that kernels load them instead of computing them.
template <class Make>
constexpr std::array<std::array<Mask, 3>, 3> MaskGrid(Make make) {
  std::array<std::array<Mask, 3>, 3> grid{};
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) grid[a][b] = make(a, b);
  return grid;
}

inline constexpr auto kPairInterleave = MaskGrid(PairInterleaveMask);  // [part][channel]
inline constexpr std::array<Mask, 3> kTriple{TripleMask(0), TripleMask(1), TripleMask(2)};
inline constexpr Mask kSwapRedBlue = SwapRedBlueMask();
inline constexpr auto kSwapRedBlueParts = MaskGrid(SwapRedBluePartMask);  // [part][source]
inline constexpr Mask kRedGreenPairs = ChannelPairMask(0, 1);
inline constexpr Mask kGreenBluePairs = ChannelPairMask(1, 2);
inline constexpr Mask kLumaSlots = LumaSlotsMask();
inline constexpr Mask kLeftPixelSlots = LeftPixelSlotsMask();
inline constexpr Mask kEvenOddBytes = EvenOddBytesMask();

}  // namespace vialto::image::simd
