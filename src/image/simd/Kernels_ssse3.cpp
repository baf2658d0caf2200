// SSSE3 kernels (SSE2 where no byte shuffle is needed), 16 pixels a block. Each entry runs its
// blocks through SplitRun and leaves the remainder to the scalar kernel.
#include <tmmintrin.h>

#include "image/simd/Kernels.h"
#include "image/simd/KernelsScalar.h"
#include "image/simd/ShuffleMasks.h"

namespace vialto::image::simd {
namespace {

__m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
__m128i MaskOf(const Mask& m) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.data()));
}
__m128i Shuffle(__m128i v, const Mask& m) { return _mm_shuffle_epi8(v, MaskOf(m)); }
__m128i Const16(int v) { return _mm_set1_epi16(static_cast<short>(v)); }
// A multiplier the compiler must not turn into shifts and adds (more instructions than the one
// multiply).
__m128i Factor(int v) {
  __m128i f = Const16(v);
  asm("" : "+x"(f));
  return f;
}

// Chroma terms of 8 pairs in 16-bit lanes, the luma offset of 16 folded in. With V and U the raw
// samples and V' = V - 128, U' = U - 128, the three rounded terms are, exactly:
// (359 V' + 128) >> 8 = ((V << 8) * 359 >> 16) - 179 (an unsigned high multiply);
// (-183 V' - 88 U' + 128) >> 8 = ((73 V - 88 U) >> 8) - V + 136 (73 V - 88 U fits 16 bits, a
// multiply-add of the byte pair);
// (454 U' + 128) >> 8 = ((U' << 8) * 227 + (1 << 14)) >> 15 (pmulhrsw).
struct ChromaTerms {
  __m128i red, green, blue;
};

ChromaTerms ComputeChroma(const uint8_t* v, const uint8_t* u) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i crBytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v));
  const __m128i cbBytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u));
  const __m128i cr = _mm_unpacklo_epi8(crBytes, zero), crHigh = _mm_unpacklo_epi8(zero, crBytes);
  const __m128i cbHigh = _mm_unpacklo_epi8(zero, cbBytes);
  const __m128i red = _mm_sub_epi16(_mm_mulhi_epu16(crHigh, Factor(359)), Const16(195));
  const __m128i green = _mm_add_epi16(
      _mm_srai_epi16(
          _mm_maddubs_epi16(_mm_unpacklo_epi8(crBytes, cbBytes), Const16(-88 * 256 + 73)), 8),
      _mm_sub_epi16(Const16(120), cr));
  const __m128i blue = _mm_sub_epi16(
      _mm_mulhrs_epi16(_mm_xor_si128(cbHigh, Const16(0x8000)), Factor(227)), Const16(16));
  return {red, green, blue};
}

// One channel of 8 pairs' left and right pixels, clamped to bytes: the 8 left pixels, then the 8
// right ones.
__m128i AddToLuma(__m128i left, __m128i right, __m128i term) {
  return _mm_packus_epi16(_mm_add_epi16(left, term), _mm_add_epi16(right, term));
}

void StoreInterleaved(uint8_t* out, __m128i r, __m128i g, __m128i b) {
#pragma GCC unroll 3
  for (int part = 0; part < 3; ++part) {
    const __m128i v = _mm_or_si128(
        _mm_or_si128(Shuffle(r, kPairInterleave[part][0]), Shuffle(g, kPairInterleave[part][1])),
        Shuffle(b, kPairInterleave[part][2]));
    Store(out + 16 * part, v);
  }
}

void YuvToRgbBlocks(const uint8_t* y, const uint8_t* v, const uint8_t* u, uint8_t* rgb,
                    std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; i += 16) {
    const ChromaTerms c = ComputeChroma(v + i / 2, u + i / 2);
    const __m128i luma = Load(y + i);
    const __m128i left = _mm_and_si128(luma, Const16(0xFF)), right = _mm_srli_epi16(luma, 8);
    StoreInterleaved(rgb + 3 * i, AddToLuma(left, right, c.red), AddToLuma(left, right, c.green),
                     AddToLuma(left, right, c.blue));
  }
}

void YuvToRgb(const uint8_t* y, const uint8_t* v, const uint8_t* u, uint8_t* rgb,
              std::size_t pixels) {
  SplitRun(
      pixels, 16, 0, [&](std::size_t, std::size_t n) { YuvToRgbBlocks(y, v, u, rgb, n); },
      [&](std::size_t s, std::size_t n) {
        scalar::YuvToRgb(y + s, v + s / 2, u + s / 2, rgb + 3 * s, n);
      });
}

// Luma and the chroma sums of 4 pixels (2 pairs) in bytes 0..11 of `px`: per pixel the two
// halves of its weighted luma, per pair the two halves of each negated chroma sum.
struct WeightedHalves {
  __m128i luma, chroma;
};

WeightedHalves WeighFourPixels(__m128i px) {
  return {_mm_maddubs_epi16(Shuffle(px, kLumaSlots), _mm_set1_epi32(kLumaWeights)),
          _mm_maddubs_epi16(Shuffle(px, kLeftPixelSlots), _mm_set1_epi64x(kChromaWeights))};
}

// Y from 8 pixels' luma halves: the halves add up to at most 65280, which wraps the signed add but
// is exact as unsigned; the saturating add of 4224 lands at 255 after the shift exactly when the
// true value exceeds it.
__m128i LumaOf(__m128i halvesA, __m128i halvesB) {
  return _mm_srli_epi16(_mm_adds_epu16(_mm_hadd_epi16(halvesA, halvesB), Const16(4224)), 8);
}

// Chroma of 4 pairs, red and blue difference alternating, from the negated sums N (each within
// +-32640): (32896 - N) >> 8 is computed as ((32640 - N) >> 8) + 1, the + 1 being left to the
// caller's saturating byte add, which also clamps 256 to 255.
__m128i ChromaOf(__m128i halvesA, __m128i halvesB) {
  return _mm_srli_epi16(_mm_sub_epi16(Const16(32640), _mm_hadd_epi16(halvesA, halvesB)), 8);
}

void RgbToYuvBlocks(const uint8_t* rgb, uint8_t* y, uint8_t* v, uint8_t* u, std::size_t pairs) {
  const __m128i one = _mm_set1_epi8(1), split = MaskOf(kEvenOddBytes);
  for (std::size_t k = 0; k < pairs; k += 8, rgb += 48) {
    WeightedHalves h[4];
#pragma GCC unroll 4
    for (int q = 0; q < 4; ++q) h[q] = WeighFourPixels(Load(rgb + 12 * q));
    Store(y + 2 * k, _mm_packus_epi16(LumaOf(h[0].luma, h[1].luma), LumaOf(h[2].luma, h[3].luma)));
    const __m128i chroma =
        _mm_shuffle_epi8(_mm_adds_epu8(_mm_packus_epi16(ChromaOf(h[0].chroma, h[1].chroma),
                                                        ChromaOf(h[2].chroma, h[3].chroma)),
                                       one),
                         split);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(v + k), chroma);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(u + k), _mm_srli_si128(chroma, 8));
  }
}

void RgbToYuv(const uint8_t* rgb, uint8_t* y, uint8_t* v, uint8_t* u, std::size_t pairs) {
  // The last load of a block reads 4 bytes past it: one pair kept in reserve.
  SplitRun(
      pairs, 8, 1, [&](std::size_t, std::size_t n) { RgbToYuvBlocks(rgb, y, v, u, n); },
      [&](std::size_t s, std::size_t n) {
        scalar::RgbToYuv(rgb + 6 * s, y + 2 * s, v + s, u + s, n);
      });
}

void GrayToRgbBlocks(const uint8_t* gray, uint8_t* rgb, std::size_t pixels) {
  const __m128i offset = _mm_set1_epi8(16);
  for (std::size_t i = 0; i < pixels; i += 16, rgb += 48) {
    const __m128i g = _mm_subs_epu8(Load(gray + i), offset);
    Store(rgb, Shuffle(g, kTriple[0]));
    Store(rgb + 16, Shuffle(g, kTriple[1]));
    Store(rgb + 32, Shuffle(g, kTriple[2]));
  }
}

void GrayToRgb(const uint8_t* gray, uint8_t* rgb, std::size_t pixels) {
  SplitRun(
      pixels, 16, 0, [&](std::size_t, std::size_t n) { GrayToRgbBlocks(gray, rgb, n); },
      [&](std::size_t s, std::size_t n) { scalar::GrayToRgb(gray + s, rgb + 3 * s, n); });
}

// Grey of the four pixels in bytes 0..11 as 32-bit lanes: 38470 G is split over two pairs so that
// every weight fits a signed 16-bit multiply-add.
__m128i Gray32(__m128i px) {
  const __m128i rg =
      _mm_madd_epi16(Shuffle(px, kRedGreenPairs), _mm_set1_epi32(19235 << 16 | 19595));
  const __m128i gb =
      _mm_madd_epi16(Shuffle(px, kGreenBluePairs), _mm_set1_epi32(7471 << 16 | 19235));
  return _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(rg, gb), _mm_set1_epi32(32768)), 16);
}

void RgbToGrayBlocks(const uint8_t* rgb, uint8_t* gray, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; i += 16, rgb += 48) {
    const __m128i a = _mm_packs_epi32(Gray32(Load(rgb)), Gray32(Load(rgb + 12)));
    const __m128i b = _mm_packs_epi32(Gray32(Load(rgb + 24)), Gray32(Load(rgb + 36)));
    Store(gray + i, _mm_packus_epi16(a, b));
  }
}

void RgbToGray(const uint8_t* rgb, uint8_t* gray, std::size_t pixels) {
  // The last 16-byte load of a block reads 4 bytes past it: two pixels kept in reserve.
  SplitRun(
      pixels, 16, 2, [&](std::size_t, std::size_t n) { RgbToGrayBlocks(rgb, gray, n); },
      [&](std::size_t s, std::size_t n) { scalar::RgbToGray(rgb + 3 * s, gray + s, n); });
}

// 16 pixels from three registers; the block is loaded whole before it is stored, and no load
// overlaps an earlier store (which would stall store forwarding).
void SwapRgbBlocks(uint8_t* rgb, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; i += 16, rgb += 48) {
    const __m128i in[3] = {Load(rgb), Load(rgb + 16), Load(rgb + 32)};
    __m128i out[3];
#pragma GCC unroll 3
    for (int part = 0; part < 3; ++part) {
      out[part] = _mm_setzero_si128();
#pragma GCC unroll 3
      for (int source = 0; source < 3; ++source)
        if (part + 1 >= source && source + 1 >= part)  // bytes move by at most two places
          out[part] = _mm_or_si128(out[part], Shuffle(in[source], kSwapRedBlueParts[part][source]));
    }
    Store(rgb, out[0]);
    Store(rgb + 16, out[1]);
    Store(rgb + 32, out[2]);
  }
}

void SwapRgb(uint8_t* rgb, std::size_t pixels) {
  SplitRun(
      pixels, 16, 0, [&](std::size_t, std::size_t n) { SwapRgbBlocks(rgb, n); },
      [&](std::size_t s, std::size_t n) { scalar::SwapRgb(rgb + 3 * s, n); });
}

void SwapBytesBlocks(uint8_t* a, uint8_t* b, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; i += 32) {
    const __m128i a0 = Load(a + i), a1 = Load(a + i + 16), b0 = Load(b + i), b1 = Load(b + i + 16);
    Store(a + i, b0);
    Store(a + i + 16, b1);
    Store(b + i, a0);
    Store(b + i + 16, a1);
  }
}

void SwapBytes(uint8_t* a, uint8_t* b, std::size_t bytes) {
  SplitRun(
      bytes, 32, 0, [&](std::size_t, std::size_t n) { SwapBytesBlocks(a, b, n); },
      [&](std::size_t s, std::size_t n) { scalar::SwapBytes(a + s, b + s, n); });
}

// Both neighbours of 8 outputs by shuffles of one load; (l << 8) + (r - l) * fx wraps in 16 bits
// but its true value (at most 65280) fits them unsigned, so the wrapped result less the bias is
// exact.
struct BlockVectors {
  __m128i left, right, fraction;
};

BlockVectors VectorsOf(const InterpolationBlock& b) {
  return {Load(reinterpret_cast<const uint8_t*>(b.left)),
          Load(reinterpret_cast<const uint8_t*>(b.right)),
          Load(reinterpret_cast<const uint8_t*>(b.fraction))};
}

void InterpolateBlock(const uint8_t* source, const BlockVectors& b, int16_t* out) {
  const __m128i window = Load(source);
  const __m128i l = _mm_shuffle_epi8(window, b.left), r = _mm_shuffle_epi8(window, b.right);
  const __m128i sum =
      _mm_add_epi16(_mm_slli_epi16(l, 8), _mm_mullo_epi16(_mm_sub_epi16(r, l), b.fraction));
  Store(reinterpret_cast<uint8_t*>(out), _mm_sub_epi16(sum, Const16(kInterpolatedBias)));
}

void InterpolateRow(const uint8_t* row, const InterpolationBlock* blocks, std::size_t count,
                    int16_t* out) {
  for (std::size_t k = 0; k < count; ++k, out += 8)
    InterpolateBlock(row + blocks[k].base, VectorsOf(blocks[k]), out);
}

void InterpolateUniform(const uint8_t* row, const InterpolationBlock& block, std::size_t step,
                        std::size_t count, int16_t* out) {
  const BlockVectors b = VectorsOf(block);
  row += block.base;
  for (std::size_t k = 0; k < count; ++k, row += step, out += 8) InterpolateBlock(row, b, out);
}

// With the biased elements, top * (256 - fy) + bottom * fy is one multiply-add of (top, bottom)
// pairs plus 128 << 16; so the result is the sum's high half plus 128, which packs to a signed
// byte with the 128 added as a flip of the top bit.
__m128i BlendHalf(__m128i pairs, __m128i weights) {
  return _mm_srai_epi32(_mm_madd_epi16(pairs, weights), 16);
}

__m128i Blend8(__m128i top, __m128i bottom, __m128i weights) {
  return _mm_packs_epi32(BlendHalf(_mm_unpacklo_epi16(top, bottom), weights),
                         BlendHalf(_mm_unpackhi_epi16(top, bottom), weights));
}

__m128i LoadElements(const int16_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

void BlendRowsBlocks(const int16_t* top, const int16_t* bottom, uint8_t* dst, std::size_t count,
                     unsigned fy) {
  const __m128i weights = _mm_set1_epi32(static_cast<int>(fy << 16 | (256 - fy)));
  const __m128i flip = _mm_set1_epi8(-128);
  for (std::size_t i = 0; i < count; i += 16) {
    const __m128i a = Blend8(LoadElements(top + i), LoadElements(bottom + i), weights);
    const __m128i b = Blend8(LoadElements(top + i + 8), LoadElements(bottom + i + 8), weights);
    Store(dst + i, _mm_xor_si128(_mm_packs_epi16(a, b), flip));
  }
}

// fy = 0: the upper row alone, (top + bias) >> 8.
void CopyRowBlocks(const int16_t* top, uint8_t* dst, std::size_t count) {
  const __m128i flip = _mm_set1_epi8(-128);
  for (std::size_t i = 0; i < count; i += 16) {
    const __m128i a = _mm_srai_epi16(LoadElements(top + i), 8);
    const __m128i b = _mm_srai_epi16(LoadElements(top + i + 8), 8);
    Store(dst + i, _mm_xor_si128(_mm_packs_epi16(a, b), flip));
  }
}

void BlendRows(const int16_t* top, const int16_t* bottom, uint8_t* dst, std::size_t count,
               unsigned fy) {
  SplitRun(
      count, 16, 0,
      [&](std::size_t, std::size_t n) {
        if (fy == 0)
          CopyRowBlocks(top, dst, n);
        else
          BlendRowsBlocks(top, bottom, dst, n, fy);
      },
      [&](std::size_t s, std::size_t n) {
        scalar::BlendRows(top + s, bottom + s, dst + s, n, fy);
      });
}

// Every second byte: the low bytes of 16-bit lanes.
void PickEverySecondBlocks(const uint8_t* src, uint8_t* dst, std::size_t count) {
  const __m128i low = Const16(0xFF);
  for (std::size_t i = 0; i < count; i += 16)
    Store(dst + i, _mm_packus_epi16(_mm_and_si128(Load(src + 2 * i), low),
                                    _mm_and_si128(Load(src + 2 * i + 16), low)));
}

// Every fourth byte: the low bytes of 32-bit lanes.
void PickEveryFourthBlocks(const uint8_t* src, uint8_t* dst, std::size_t count) {
  const __m128i low = _mm_set1_epi32(0xFF);
  const auto pick = [&](const uint8_t* p) { return _mm_and_si128(Load(p), low); };
  for (std::size_t i = 0; i < count; i += 16, src += 64)
    Store(dst + i, _mm_packus_epi16(_mm_packs_epi32(pick(src), pick(src + 16)),
                                    _mm_packs_epi32(pick(src + 32), pick(src + 48))));
}

void PickBytes(const uint8_t* src, uint8_t* dst, std::size_t count, std::size_t step) {
  if (step == 2)
    SplitRun(
        count, 16, 0, [&](std::size_t, std::size_t n) { PickEverySecondBlocks(src, dst, n); },
        [&](std::size_t s, std::size_t n) { scalar::PickBytes(src + 2 * s, dst + s, n, 2); });
  else if (step == 4)
    SplitRun(
        count, 16, 0, [&](std::size_t, std::size_t n) { PickEveryFourthBlocks(src, dst, n); },
        [&](std::size_t s, std::size_t n) { scalar::PickBytes(src + 4 * s, dst + s, n, 4); });
  else
    scalar::PickBytes(src, dst, count, step);
}

// Three-byte pixels moved as 4-byte words; the spare byte is overwritten by the next pixel, so the
// last pixel is left to the scalar copy.
void PickTriplesWords(const uint8_t* src, uint8_t* dst, std::size_t count, std::size_t step) {
  for (std::size_t i = 0; i < count; ++i) {
    uint32_t word;
    __builtin_memcpy(&word, src + 3 * i * step, 4);
    __builtin_memcpy(dst + 3 * i, &word, 4);
  }
}

void PickTriples(const uint8_t* src, uint8_t* dst, std::size_t count, std::size_t step) {
  SplitRun(
      count, 1, 1, [&](std::size_t, std::size_t n) { PickTriplesWords(src, dst, n, step); },
      [&](std::size_t s, std::size_t n) {
        scalar::PickTriples(src + 3 * s * step, dst + 3 * s, n, step);
      });
}

}  // namespace

const PixelKernels& Ssse3Table() {
  static const PixelKernels kernels{
      "ssse3",   YuvToRgb,       RgbToYuv,           GrayToRgb, RgbToGray, SwapRgb,
      SwapBytes, InterpolateRow, InterpolateUniform, BlendRows, PickBytes, PickTriples};
  return kernels;
}

}  // namespace vialto::image::simd
