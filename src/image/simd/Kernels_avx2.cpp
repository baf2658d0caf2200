// AVX2 kernels, 32 pixels a block. Byte shuffles work within 128-bit lanes, so each lane holds
// its own 16 pixels and the lanes are put in order when stored. Remainders go to the scalar
// kernels through SplitRun.
#include <immintrin.h>

#include "image/simd/Kernels.h"
#include "image/simd/KernelsScalar.h"
#include "image/simd/ShuffleMasks.h"

namespace vialto::image::simd {

const PixelKernels& Ssse3Table();

namespace {

__m256i Load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
__m128i Load128(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
void Store(void* p, __m256i v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
void Store128(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
__m256i MaskOf(const Mask& m) { return _mm256_broadcastsi128_si256(Load128(m.data())); }
__m256i Shuffle(__m256i v, const Mask& m) { return _mm256_shuffle_epi8(v, MaskOf(m)); }
__m256i Const16(int v) { return _mm256_set1_epi16(static_cast<short>(v)); }
// A multiplier the compiler must not turn into shifts and adds (more instructions than the one
// multiply).
__m256i Factor(int v) {
  __m256i f = Const16(v);
  asm("" : "+x"(f));
  return f;
}
// Two 128-bit loads as the low and high lane.
__m256i LoadLanes(const uint8_t* low, const uint8_t* high) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(Load128(low)), Load128(high), 1);
}
// 16-bit lanes of [a0 b0 | a1 b1] after packing, put back as a0 a1 b0 b1.
__m256i InOrder(__m256i packed) {
  return _mm256_permute4x64_epi64(packed, _MM_SHUFFLE(3, 1, 2, 0));
}

// Three registers of interleaved bytes, each lane 48 bytes of its own 16 pixels, stored as 96
// consecutive bytes.
void StoreLanes48(uint8_t* out, __m256i o0, __m256i o1, __m256i o2) {
  // Lane by lane: cheaper than cross-lane permutes on cores that split 256-bit operations.
  Store128(out, _mm256_castsi256_si128(o0));
  Store128(out + 16, _mm256_castsi256_si128(o1));
  Store128(out + 32, _mm256_castsi256_si128(o2));
  Store128(out + 48, _mm256_extracti128_si256(o0, 1));
  Store128(out + 64, _mm256_extracti128_si256(o1, 1));
  Store128(out + 80, _mm256_extracti128_si256(o2, 1));
}

void StoreInterleaved(uint8_t* out, __m256i r, __m256i g, __m256i b) {
  __m256i o[3];
#pragma GCC unroll 3
  for (int part = 0; part < 3; ++part)
    o[part] = _mm256_or_si256(
        _mm256_or_si256(Shuffle(r, kPairInterleave[part][0]), Shuffle(g, kPairInterleave[part][1])),
        Shuffle(b, kPairInterleave[part][2]));
  StoreLanes48(out, o[0], o[1], o[2]);
}

// 96 bytes as three registers whose lanes hold bytes 0..47 and 48..95 (the inverse of
// StoreLanes48).
struct Lanes48 {
  __m256i part[3];
};

Lanes48 LoadLanes48(const uint8_t* rgb) {
  return {LoadLanes(rgb, rgb + 48), LoadLanes(rgb + 16, rgb + 64), LoadLanes(rgb + 32, rgb + 80)};
}

// Chroma terms of 16 pairs, pairs 0..7 | 8..15, each with the luma offset of 16 folded in; see the
// SSSE3 kernel for the exact forms.
struct ChromaTerms {
  __m256i red, green, blue;
};

ChromaTerms ComputeChroma(const uint8_t* v, const uint8_t* u) {
  const __m256i cr = _mm256_cvtepu8_epi16(Load128(v));
  const __m256i cbHigh = _mm256_slli_epi16(_mm256_cvtepu8_epi16(Load128(u)), 8);
  const __m256i red =
      _mm256_sub_epi16(_mm256_mulhi_epu16(_mm256_slli_epi16(cr, 8), Factor(359)), Const16(195));
  const __m256i green = _mm256_add_epi16(
      _mm256_srai_epi16(_mm256_maddubs_epi16(_mm256_or_si256(cr, cbHigh), Const16(-88 * 256 + 73)),
                        8),
      _mm256_sub_epi16(Const16(120), cr));
  const __m256i blue = _mm256_sub_epi16(
      _mm256_mulhrs_epi16(_mm256_xor_si256(cbHigh, Const16(0x8000)), Factor(227)), Const16(16));
  return {red, green, blue};
}

// One channel of the pairs' left and right pixels, clamped to bytes: each lane the 8 left pixels
// then the 8 right ones.
__m256i AddToLuma(__m256i left, __m256i right, __m256i term) {
  return _mm256_packus_epi16(_mm256_add_epi16(left, term), _mm256_add_epi16(right, term));
}

void YuvToRgbBlocks(const uint8_t* y, const uint8_t* v, const uint8_t* u, uint8_t* rgb,
                    std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; i += 32) {
    const ChromaTerms c = ComputeChroma(v + i / 2, u + i / 2);
    const __m256i luma = Load(y + i);
    const __m256i left = _mm256_and_si256(luma, Const16(0xFF)), right = _mm256_srli_epi16(luma, 8);
    StoreInterleaved(rgb + 3 * i, AddToLuma(left, right, c.red), AddToLuma(left, right, c.green),
                     AddToLuma(left, right, c.blue));
  }
}

void YuvToRgb(const uint8_t* y, const uint8_t* v, const uint8_t* u, uint8_t* rgb,
              std::size_t pixels) {
  SplitRun(
      pixels, 32, 0, [&](std::size_t, std::size_t n) { YuvToRgbBlocks(y, v, u, rgb, n); },
      [&](std::size_t s, std::size_t n) {
        Ssse3Table().yuvToRgb(y + s, v + s / 2, u + s / 2, rgb + 3 * s, n);
      });
}

// The luma and chroma halves of 4 + 4 pixels (bytes 0..11 of each lane); see the SSSE3 kernel
// for the weights and the ranges.
struct WeightedHalves {
  __m256i luma, chroma;
};

WeightedHalves WeighFourPixels(__m256i px) {
  return {_mm256_maddubs_epi16(Shuffle(px, kLumaSlots), _mm256_set1_epi32(kLumaWeights)),
          _mm256_maddubs_epi16(Shuffle(px, kLeftPixelSlots), _mm256_set1_epi64x(kChromaWeights))};
}

__m256i LumaOf(__m256i halvesA, __m256i halvesB) {
  return _mm256_srli_epi16(_mm256_adds_epu16(_mm256_hadd_epi16(halvesA, halvesB), Const16(4224)),
                           8);
}

__m256i ChromaOf(__m256i halvesA, __m256i halvesB) {
  return _mm256_srli_epi16(_mm256_sub_epi16(Const16(32640), _mm256_hadd_epi16(halvesA, halvesB)),
                           8);
}

// 16 pairs: lane 0 takes pixels 0..15, lane 1 pixels 16..31, 4 at a time, so that the horizontal
// adds and packs leave every lane in pixel order.
void RgbToYuvBlocks(const uint8_t* rgb, uint8_t* y, uint8_t* v, uint8_t* u, std::size_t pairs) {
  const __m256i one = _mm256_set1_epi8(1), split = MaskOf(kEvenOddBytes);
  for (std::size_t k = 0; k < pairs; k += 16, rgb += 96) {
    WeightedHalves h[4];
#pragma GCC unroll 4
    for (int q = 0; q < 4; ++q) h[q] = WeighFourPixels(LoadLanes(rgb + 12 * q, rgb + 48 + 12 * q));
    Store(y + 2 * k,
          _mm256_packus_epi16(LumaOf(h[0].luma, h[1].luma), LumaOf(h[2].luma, h[3].luma)));
    const __m256i interleaved = _mm256_adds_epu8(
        _mm256_packus_epi16(ChromaOf(h[0].chroma, h[1].chroma), ChromaOf(h[2].chroma, h[3].chroma)),
        one);
    // Each lane: 8 red then 8 blue differences; then all red ones, then all blue ones.
    const __m256i chroma =
        _mm256_permute4x64_epi64(_mm256_shuffle_epi8(interleaved, split), _MM_SHUFFLE(3, 1, 2, 0));
    Store128(v + k, _mm256_castsi256_si128(chroma));
    Store128(u + k, _mm256_extracti128_si256(chroma, 1));
  }
}

void RgbToYuv(const uint8_t* rgb, uint8_t* y, uint8_t* v, uint8_t* u, std::size_t pairs) {
  SplitRun(
      pairs, 16, 1, [&](std::size_t, std::size_t n) { RgbToYuvBlocks(rgb, y, v, u, n); },
      [&](std::size_t s, std::size_t n) {
        Ssse3Table().rgbToYuv(rgb + 6 * s, y + 2 * s, v + s, u + s, n);
      });
}

void GrayToRgbBlocks(const uint8_t* gray, uint8_t* rgb, std::size_t pixels) {
  const __m256i offset = _mm256_set1_epi8(16);
  for (std::size_t i = 0; i < pixels; i += 32, rgb += 96) {
    const __m256i g = _mm256_subs_epu8(Load(gray + i), offset);
    StoreLanes48(rgb, Shuffle(g, kTriple[0]), Shuffle(g, kTriple[1]), Shuffle(g, kTriple[2]));
  }
}

void GrayToRgb(const uint8_t* gray, uint8_t* rgb, std::size_t pixels) {
  SplitRun(
      pixels, 32, 0, [&](std::size_t, std::size_t n) { GrayToRgbBlocks(gray, rgb, n); },
      [&](std::size_t s, std::size_t n) { Ssse3Table().grayToRgb(gray + s, rgb + 3 * s, n); });
}

// Grey of 4 + 4 pixels (bytes 0..11 of each lane) in 32-bit lanes; see the SSSE3 kernel.
__m256i Gray32(__m256i px) {
  const __m256i rg =
      _mm256_madd_epi16(Shuffle(px, kRedGreenPairs), _mm256_set1_epi32(19235 << 16 | 19595));
  const __m256i gb =
      _mm256_madd_epi16(Shuffle(px, kGreenBluePairs), _mm256_set1_epi32(7471 << 16 | 19235));
  return _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(rg, gb), _mm256_set1_epi32(32768)),
                           16);
}

void RgbToGrayBlocks(const uint8_t* rgb, uint8_t* gray, std::size_t pixels) {
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  for (std::size_t i = 0; i < pixels; i += 32, rgb += 96) {
    const __m256i a =
        _mm256_packs_epi32(Gray32(LoadLanes(rgb, rgb + 12)), Gray32(LoadLanes(rgb + 24, rgb + 36)));
    const __m256i b = _mm256_packs_epi32(Gray32(LoadLanes(rgb + 48, rgb + 60)),
                                         Gray32(LoadLanes(rgb + 72, rgb + 84)));
    Store(gray + i, _mm256_permutevar8x32_epi32(_mm256_packus_epi16(a, b), order));
  }
}

void RgbToGray(const uint8_t* rgb, uint8_t* gray, std::size_t pixels) {
  SplitRun(
      pixels, 32, 2, [&](std::size_t, std::size_t n) { RgbToGrayBlocks(rgb, gray, n); },
      [&](std::size_t s, std::size_t n) { Ssse3Table().rgbToGray(rgb + 3 * s, gray + s, n); });
}

// 32 pixels, each lane 16 of them in three registers, as in the SSSE3 kernel.
void SwapRgbBlocks(uint8_t* rgb, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; i += 32, rgb += 96) {
    const Lanes48 in = LoadLanes48(rgb);
    __m256i out[3];
#pragma GCC unroll 3
    for (int part = 0; part < 3; ++part) {
      out[part] = _mm256_setzero_si256();
#pragma GCC unroll 3
      for (int source = 0; source < 3; ++source)
        if (part + 1 >= source && source + 1 >= part)
          out[part] =
              _mm256_or_si256(out[part], Shuffle(in.part[source], kSwapRedBlueParts[part][source]));
    }
    StoreLanes48(rgb, out[0], out[1], out[2]);
  }
}

void SwapRgb(uint8_t* rgb, std::size_t pixels) {
  SplitRun(
      pixels, 32, 0, [&](std::size_t, std::size_t n) { SwapRgbBlocks(rgb, n); },
      [&](std::size_t s, std::size_t n) { Ssse3Table().swapRgb(rgb + 3 * s, n); });
}

void SwapBytesBlocks(uint8_t* a, uint8_t* b, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; i += 64) {
    const __m256i a0 = Load(a + i), a1 = Load(a + i + 32), b0 = Load(b + i), b1 = Load(b + i + 32);
    Store(a + i, b0);
    Store(a + i + 32, b1);
    Store(b + i, a0);
    Store(b + i + 32, a1);
  }
}

void SwapBytes(uint8_t* a, uint8_t* b, std::size_t bytes) {
  SplitRun(
      bytes, 64, 0, [&](std::size_t, std::size_t n) { SwapBytesBlocks(a, b, n); },
      [&](std::size_t s, std::size_t n) { Ssse3Table().swapBytes(a + s, b + s, n); });
}

// Two blocks at a time, one a lane; see the SSSE3 kernel.
void InterpolatePairs(const uint8_t* row, const InterpolationBlock* blocks, std::size_t pairs,
                      int16_t* out) {
  const __m256i bias = Const16(kInterpolatedBias);
  for (std::size_t k = 0; k < pairs; ++k, blocks += 2, out += 16) {
    const InterpolationBlock& a = blocks[0];
    const InterpolationBlock& b = blocks[1];
    const __m256i source = LoadLanes(row + a.base, row + b.base);
    const auto lanes = [](const auto& x, const auto& y) {
      return LoadLanes(reinterpret_cast<const uint8_t*>(x), reinterpret_cast<const uint8_t*>(y));
    };
    const __m256i l = _mm256_shuffle_epi8(source, lanes(a.left, b.left));
    const __m256i r = _mm256_shuffle_epi8(source, lanes(a.right, b.right));
    const __m256i fx = lanes(a.fraction, b.fraction);
    const __m256i sum =
        _mm256_add_epi16(_mm256_slli_epi16(l, 8), _mm256_mullo_epi16(_mm256_sub_epi16(r, l), fx));
    Store(out, _mm256_sub_epi16(sum, bias));
  }
}

void InterpolateRow(const uint8_t* row, const InterpolationBlock* blocks, std::size_t count,
                    int16_t* out) {
  InterpolatePairs(row, blocks, count / 2, out);
  if (count % 2 != 0)
    Ssse3Table().interpolateRow(row, blocks + count - 1, 1, out + 8 * (count - 1));
}

// Blocks k and k + 1 in the two lanes, the offsets and fractions held in registers.
void InterpolateUniform(const uint8_t* row, const InterpolationBlock& block, std::size_t step,
                        std::size_t count, int16_t* out) {
  const auto broadcast = [](const auto& x) {
    return _mm256_broadcastsi128_si256(Load128(reinterpret_cast<const uint8_t*>(x)));
  };
  const __m256i left = broadcast(block.left), right = broadcast(block.right);
  const __m256i fx = broadcast(block.fraction), bias = Const16(kInterpolatedBias);
  const uint8_t* source = row + block.base;
  for (std::size_t k = 0; k + 2 <= count; k += 2, source += 2 * step, out += 16) {
    const __m256i window = LoadLanes(source, source + step);
    const __m256i l = _mm256_shuffle_epi8(window, left), r = _mm256_shuffle_epi8(window, right);
    const __m256i sum =
        _mm256_add_epi16(_mm256_slli_epi16(l, 8), _mm256_mullo_epi16(_mm256_sub_epi16(r, l), fx));
    Store(out, _mm256_sub_epi16(sum, bias));
  }
  if (count % 2 != 0)
    Ssse3Table().interpolateUniform(row + (count - 1) * step, block, step, 1, out);
}

// See the SSSE3 kernel for the biased multiply-add.
__m256i BlendHalf(__m256i pairs, __m256i weights) {
  return _mm256_srai_epi32(_mm256_madd_epi16(pairs, weights), 16);
}

__m256i Blend16(__m256i top, __m256i bottom, __m256i weights) {
  return _mm256_packs_epi32(BlendHalf(_mm256_unpacklo_epi16(top, bottom), weights),
                            BlendHalf(_mm256_unpackhi_epi16(top, bottom), weights));
}

// Elements 0..15 and 16..31 as signed bytes, in order.
__m256i PackInOrder(__m256i low, __m256i high) {
  return _mm256_xor_si256(InOrder(_mm256_packs_epi16(low, high)), _mm256_set1_epi8(-128));
}

void BlendRowsBlocks(const int16_t* top, const int16_t* bottom, uint8_t* dst, std::size_t count,
                     unsigned fy) {
  const __m256i weights = _mm256_set1_epi32(static_cast<int>(fy << 16 | (256 - fy)));
  for (std::size_t i = 0; i < count; i += 32)
    Store(dst + i, PackInOrder(Blend16(Load(top + i), Load(bottom + i), weights),
                               Blend16(Load(top + i + 16), Load(bottom + i + 16), weights)));
}

void CopyRowBlocks(const int16_t* top, uint8_t* dst, std::size_t count) {
  for (std::size_t i = 0; i < count; i += 32)
    Store(dst + i, PackInOrder(_mm256_srai_epi16(Load(top + i), 8),
                               _mm256_srai_epi16(Load(top + i + 16), 8)));
}

void BlendRows(const int16_t* top, const int16_t* bottom, uint8_t* dst, std::size_t count,
               unsigned fy) {
  SplitRun(
      count, 32, 0,
      [&](std::size_t, std::size_t n) {
        if (fy == 0)
          CopyRowBlocks(top, dst, n);
        else
          BlendRowsBlocks(top, bottom, dst, n, fy);
      },
      [&](std::size_t s, std::size_t n) {
        Ssse3Table().blendRows(top + s, bottom + s, dst + s, n, fy);
      });
}

void PickEverySecondBlocks(const uint8_t* src, uint8_t* dst, std::size_t count) {
  const __m256i low = Const16(0xFF);
  for (std::size_t i = 0; i < count; i += 32)
    Store(dst + i, InOrder(_mm256_packus_epi16(_mm256_and_si256(Load(src + 2 * i), low),
                                               _mm256_and_si256(Load(src + 2 * i + 32), low))));
}

void PickEveryFourthBlocks(const uint8_t* src, uint8_t* dst, std::size_t count) {
  const __m256i low = _mm256_set1_epi32(0xFF), order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const auto pick = [&](const uint8_t* p) { return _mm256_and_si256(Load(p), low); };
  for (std::size_t i = 0; i < count; i += 32, src += 128) {
    const __m256i packed = _mm256_packus_epi16(_mm256_packs_epi32(pick(src), pick(src + 32)),
                                               _mm256_packs_epi32(pick(src + 64), pick(src + 96)));
    Store(dst + i, _mm256_permutevar8x32_epi32(packed, order));
  }
}

void PickBytes(const uint8_t* src, uint8_t* dst, std::size_t count, std::size_t step) {
  const auto rest = [&](std::size_t s, std::size_t n) {
    Ssse3Table().pickBytes(src + step * s, dst + s, n, step);
  };
  if (step == 2)
    SplitRun(
        count, 32, 0, [&](std::size_t, std::size_t n) { PickEverySecondBlocks(src, dst, n); },
        rest);
  else if (step == 4)
    SplitRun(
        count, 32, 0, [&](std::size_t, std::size_t n) { PickEveryFourthBlocks(src, dst, n); },
        rest);
  else
    rest(0, count);
}

}  // namespace

const PixelKernels& Avx2Table() {
  static const PixelKernels kernels{"avx2",    YuvToRgb,       RgbToYuv,
                                    GrayToRgb, RgbToGray,      SwapRgb,
                                    SwapBytes, InterpolateRow, InterpolateUniform,
                                    BlendRows, PickBytes,      Ssse3Table().pickTriples};
  return kernels;
}

}  // namespace vialto::image::simd
