// AVX-512 (F, BW, VL, VBMI) kernels, 64 bytes a register. Cross-lane byte permutes (vpermb,
// vpermt2b) do the interleaving that the narrower tiers do with in-lane shuffles, and the last
// partial block of a run goes through the same code with masked loads and stores, so nothing past
// the run is read or written. Only the kernels that beat the AVX2 ones on a measured run are here;
// the table takes every other entry from the AVX2 table.
// GCC 12's 512-bit intrinsics start some results from a self-initialised "undefined" register,
// which its own uninitialised-use check then reports wherever they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <array>

#include "image/simd/Kernels.h"

namespace vialto::image::simd {

const PixelKernels& Avx2Table();

namespace {

using Index = std::array<uint8_t, 64>;

// The first `n` of 64 (or 32) elements, for masked loads and stores.
__mmask64 First64(std::size_t n) { return n >= 64 ? ~__mmask64{0} : (__mmask64{1} << n) - 1; }
__mmask32 First32(std::size_t n) { return n >= 32 ? ~__mmask32{0} : (__mmask32{1} << n) - 1; }
// The bytes of register `part` (64 bytes each) among the first `n` bytes of a run.
__mmask64 PartBytes(std::size_t n, std::size_t part) {
  return n > 64 * part ? First64(n - 64 * part) : 0;
}
constexpr __mmask64 kLowBytes = 0x5555555555555555;  // byte 0 of every 16-bit lane

__m512i LoadIndex(const Index& index) { return _mm512_loadu_si512(index.data()); }
__m512i Load(const void* p, __mmask64 m) { return _mm512_maskz_loadu_epi8(m, p); }
__m256i Load256(const void* p, __mmask32 m) { return _mm256_maskz_loadu_epi8(m, p); }
void Store(void* p, __mmask64 m, __m512i v) { _mm512_mask_storeu_epi8(p, m, v); }
void Store256(void* p, __mmask32 m, __m256i v) { _mm256_mask_storeu_epi8(p, m, v); }
__m512i Const16(int v) { return _mm512_set1_epi16(static_cast<short>(v)); }
// A multiplier the compiler must not turn into shifts and adds.
__m512i Factor(int v) {
  __m512i f = Const16(v);
  asm("" : "+v"(f));
  return f;
}

// --- YUV to RGB -------------------------------------------------------------------------------

// Where pixel p of a 64-pixel block sits once a channel's left and right pixels are packed: each
// 16-byte lane holds 8 left pixels, then the 8 right ones of the same pairs.
constexpr int PackedPosition(int p) { return 16 * (p / 16) + 8 * (p % 2) + (p % 16) / 2; }

// Output register `part` of the 192 interleaved bytes: red from the first table, green from the
// second (index + 64), both through one two-source permute; blue in a second step.
constexpr Index RedGreenIndex(int part) {
  Index m{};
  for (int i = 0; i < 64; ++i) {
    const int byte = 64 * part + i, channel = byte % 3;
    m[i] = static_cast<uint8_t>(PackedPosition(byte / 3) + (channel == 1 ? 64 : 0));
  }
  return m;
}

constexpr Index BlueIndex(int part) {
  Index m{};
  for (int i = 0; i < 64; ++i) m[i] = static_cast<uint8_t>(PackedPosition((64 * part + i) / 3));
  return m;
}

constexpr __mmask64 BlueBytes(int part) {
  __mmask64 m = 0;
  for (int i = 0; i < 64; ++i)
    if ((64 * part + i) % 3 == 2) m |= __mmask64{1} << i;
  return m;
}

inline constexpr std::array<Index, 3> kRedGreen{RedGreenIndex(0), RedGreenIndex(1),
                                                RedGreenIndex(2)};
inline constexpr std::array<Index, 3> kBlue{BlueIndex(0), BlueIndex(1), BlueIndex(2)};
inline constexpr __mmask64 kBlueBytes[3] = {BlueBytes(0), BlueBytes(1), BlueBytes(2)};

// Chroma terms of 32 pairs with the luma offset folded in: the AVX2 kernel's forms, twice as wide.
struct ChromaTerms {
  __m512i red, green, blue;
};

ChromaTerms ComputeChroma(__m256i v, __m256i u) {
  const __m512i cr = _mm512_cvtepu8_epi16(v);
  const __m512i cbHigh = _mm512_slli_epi16(_mm512_cvtepu8_epi16(u), 8);
  const __m512i red =
      _mm512_sub_epi16(_mm512_mulhi_epu16(_mm512_slli_epi16(cr, 8), Factor(359)), Const16(195));
  const __m512i green = _mm512_add_epi16(
      _mm512_srai_epi16(_mm512_maddubs_epi16(_mm512_or_si512(cr, cbHigh), Const16(-88 * 256 + 73)),
                        8),
      _mm512_sub_epi16(Const16(120), cr));
  const __m512i blue = _mm512_sub_epi16(
      _mm512_mulhrs_epi16(_mm512_xor_si512(cbHigh, Const16(0x8000)), Factor(227)), Const16(16));
  return {red, green, blue};
}

__m512i AddToLuma(__m512i left, __m512i right, __m512i term) {
  return _mm512_packus_epi16(_mm512_add_epi16(left, term), _mm512_add_epi16(right, term));
}

// `pixels` (even, 1..64) pixels.
void YuvToRgbBlock(const uint8_t* y, const uint8_t* v, const uint8_t* u, uint8_t* rgb,
                   std::size_t pixels) {
  const __mmask32 pairs = First32(pixels / 2);
  const ChromaTerms c = ComputeChroma(Load256(v, pairs), Load256(u, pairs));
  const __m512i luma = Load(y, First64(pixels));
  const __m512i left = _mm512_and_si512(luma, Const16(0xFF)), right = _mm512_srli_epi16(luma, 8);
  const __m512i r = AddToLuma(left, right, c.red), g = AddToLuma(left, right, c.green),
                b = AddToLuma(left, right, c.blue);
#pragma GCC unroll 3
  for (int part = 0; part < 3; ++part) {
    const __m512i rg = _mm512_permutex2var_epi8(r, LoadIndex(kRedGreen[part]), g);
    const __m512i out =
        _mm512_mask_permutexvar_epi8(rg, kBlueBytes[part], LoadIndex(kBlue[part]), b);
    Store(rgb + 64 * part, PartBytes(3 * pixels, part), out);
  }
}

void YuvToRgb(const uint8_t* y, const uint8_t* v, const uint8_t* u, uint8_t* rgb,
              std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; i += 64) {
    const std::size_t n = pixels - i < 64 ? pixels - i : 64;
    YuvToRgbBlock(y + i, v + i / 2, u + i / 2, rgb + 3 * i, n);
  }
}

// --- RGB to YUV -------------------------------------------------------------------------------

// Channel `channel` of 32 pixels as 16-bit lanes (low bytes), from two registers of 128 bytes
// that start `skip` bytes before the first pixel.
constexpr Index ChannelIndex(int channel, int skip) {
  Index m{};
  for (int i = 0; i < 64; ++i) m[i] = static_cast<uint8_t>(skip + 3 * (i / 2) + channel);
  return m;
}

// Bytes 0, 2, 4, ... of two registers: the low bytes of 64 16-bit lanes.
constexpr Index EvenBytesIndex() {
  Index m{};
  for (int i = 0; i < 64; ++i) m[i] = static_cast<uint8_t>(2 * i);
  return m;
}

// The first pixels of 32 pairs from two registers of 32 pixels each: 16-bit lanes 0, 2, 4, ...
constexpr std::array<uint16_t, 32> LeftPixelWords() {
  std::array<uint16_t, 32> m{};
  for (int k = 0; k < 32; ++k) m[k] = static_cast<uint16_t>(2 * k);
  return m;
}

inline constexpr std::array<std::array<Index, 3>, 2> kChannel{
    {{ChannelIndex(0, 0), ChannelIndex(1, 0), ChannelIndex(2, 0)},
     {ChannelIndex(0, 32), ChannelIndex(1, 32), ChannelIndex(2, 32)}}};
inline constexpr Index kEvenBytes = EvenBytesIndex();
inline constexpr std::array<uint16_t, 32> kLeftPixels = LeftPixelWords();

struct Channels {
  __m512i red, green, blue;
};

// Pixels 0..31 of a block come from registers 0 and 1, pixels 32..63 from registers 1 and 2.
Channels SplitChannels(__m512i low, __m512i high, const std::array<Index, 3>& index) {
  const auto pick = [&](int c) {
    return _mm512_maskz_permutex2var_epi8(kLowBytes, low, LoadIndex(index[c]), high);
  };
  return {pick(0), pick(1), pick(2)};
}

// (77 R + 150 G + 29 B + 4224) >> 8 clamped: the sum without the offset stays below 65281, and
// the saturating add of the offset clamps what would pass 255.
__m512i LumaOf(const Channels& c) {
  const __m512i sum = _mm512_add_epi16(_mm512_add_epi16(_mm512_mullo_epi16(c.red, Factor(77)),
                                                        _mm512_mullo_epi16(c.green, Factor(150))),
                                       _mm512_mullo_epi16(c.blue, Factor(29)));
  return _mm512_srli_epi16(_mm512_adds_epu16(sum, Const16(4224)), 8);
}

// (128 own - w1 a - w2 b + 32640) >> 8, the 16-bit arithmetic wrapping to the exact result in
// 0..65280; the caller adds the last 1 (of 32896) with byte saturation, which is the clamp.
__m512i ChromaLessOne(__m512i own, __m512i a, int w1, __m512i b, int w2) {
  const __m512i difference = _mm512_sub_epi16(
      _mm512_sub_epi16(_mm512_slli_epi16(own, 7), _mm512_mullo_epi16(a, Factor(w1))),
      _mm512_mullo_epi16(b, Factor(w2)));
  return _mm512_srli_epi16(_mm512_add_epi16(difference, Const16(32640)), 8);
}

// `pairs` (1..32) pixel pairs.
void RgbToYuvBlock(const uint8_t* rgb, uint8_t* y, uint8_t* v, uint8_t* u, std::size_t pairs) {
  const std::size_t bytes = 6 * pairs;
  const __m512i in0 = Load(rgb, PartBytes(bytes, 0)), in1 = Load(rgb + 64, PartBytes(bytes, 1)),
                in2 = Load(rgb + 128, PartBytes(bytes, 2));
  const Channels first = SplitChannels(in0, in1, kChannel[0]);
  const Channels second = SplitChannels(in1, in2, kChannel[1]);
  const __m512i evenBytes = LoadIndex(kEvenBytes);
  Store(y, First64(2 * pairs), _mm512_permutex2var_epi8(LumaOf(first), evenBytes, LumaOf(second)));

  const __m512i leftWords = _mm512_loadu_si512(kLeftPixels.data());
  const auto left = [&](__m512i a, __m512i b) {
    return _mm512_permutex2var_epi16(a, leftWords, b);
  };
  const __m512i r = left(first.red, second.red), g = left(first.green, second.green),
                b = left(first.blue, second.blue);
  const __m512i chroma =
      _mm512_adds_epu8(_mm512_permutex2var_epi8(ChromaLessOne(r, g, 107, b, 21), evenBytes,
                                                ChromaLessOne(b, g, 85, r, 43)),
                       _mm512_set1_epi8(1));
  const __mmask32 stored = First32(pairs);
  Store256(v, stored, _mm512_castsi512_si256(chroma));
  Store256(u, stored, _mm512_extracti64x4_epi64(chroma, 1));
}

void RgbToYuv(const uint8_t* rgb, uint8_t* y, uint8_t* v, uint8_t* u, std::size_t pairs) {
  for (std::size_t k = 0; k < pairs; k += 32) {
    const std::size_t n = pairs - k < 32 ? pairs - k : 32;
    RgbToYuvBlock(rgb + 6 * k, y + 2 * k, v + k, u + k, n);
  }
}

// --- bilinear resize --------------------------------------------------------------------------

// Four blocks a register from one window of 3 * step + 16 source bytes (masked, so never past the
// last block's bytes): the block's offsets, moved on by k * step for block k, index the window.
constexpr std::size_t kMaxWindowStep = 16;

__m512i BlockOffsets(const int8_t* offsets, std::size_t step) {
  alignas(64) int8_t moved[64];
  for (std::size_t i = 0; i < 64; ++i)
    moved[i] = static_cast<int8_t>(offsets[i % 16] + static_cast<int>(i / 16 * step));
  return _mm512_load_si512(moved);
}

void InterpolateUniform(const uint8_t* row, const InterpolationBlock& block, std::size_t step,
                        std::size_t count, int16_t* out) {
  std::size_t done = 0;
  if (step <= kMaxWindowStep) {
    const __m512i left = BlockOffsets(block.left, step), right = BlockOffsets(block.right, step);
    const __m512i fx =
        _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block.fraction)));
    const __m512i bias = Const16(kInterpolatedBias);
    const __mmask64 window = First64(3 * step + 16);
    const uint8_t* source = row + block.base;
    for (; done + 4 <= count; done += 4, source += 4 * step, out += 32) {
      const __m512i bytes = Load(source, window);
      const __m512i l = _mm512_maskz_permutexvar_epi8(kLowBytes, left, bytes);
      const __m512i r = _mm512_maskz_permutexvar_epi8(kLowBytes, right, bytes);
      const __m512i sum =
          _mm512_add_epi16(_mm512_slli_epi16(l, 8), _mm512_mullo_epi16(_mm512_sub_epi16(r, l), fx));
      _mm512_storeu_si512(out, _mm512_sub_epi16(sum, bias));
    }
  }
  if (done < count)
    Avx2Table().interpolateUniform(row + done * step, block, step, count - done, out);
}

// See the SSSE3 kernel for the biased multiply-add.
__m512i BlendHalf(__m512i pairs, __m512i weights) {
  return _mm512_srai_epi32(_mm512_madd_epi16(pairs, weights), 16);
}

__m512i Blend32(__m512i top, __m512i bottom, __m512i weights) {
  return _mm512_packs_epi32(BlendHalf(_mm512_unpacklo_epi16(top, bottom), weights),
                            BlendHalf(_mm512_unpackhi_epi16(top, bottom), weights));
}

// Elements 0..31 and 32..63 as unsigned bytes, in order.
__m512i PackInOrder(__m512i low, __m512i high) {
  const __m512i order = _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7);
  return _mm512_xor_si512(_mm512_permutexvar_epi64(order, _mm512_packs_epi16(low, high)),
                          _mm512_set1_epi8(-128));
}

// `count` (1..64) elements.
void BlendRowsBlock(const int16_t* top, const int16_t* bottom, uint8_t* dst, std::size_t count,
                    __m512i weights, bool copy) {
  const __mmask32 low = First32(count), high = count > 32 ? First32(count - 32) : 0;
  const __m512i t0 = _mm512_maskz_loadu_epi16(low, top),
                t1 = _mm512_maskz_loadu_epi16(high, top + 32);
  __m512i packed;
  if (copy) {
    packed = PackInOrder(_mm512_srai_epi16(t0, 8), _mm512_srai_epi16(t1, 8));
  } else {
    const __m512i b0 = _mm512_maskz_loadu_epi16(low, bottom),
                  b1 = _mm512_maskz_loadu_epi16(high, bottom + 32);
    packed = PackInOrder(Blend32(t0, b0, weights), Blend32(t1, b1, weights));
  }
  Store(dst, First64(count), packed);
}

void BlendRows(const int16_t* top, const int16_t* bottom, uint8_t* dst, std::size_t count,
               unsigned fy) {
  const __m512i weights = _mm512_set1_epi32(static_cast<int>(fy << 16 | (256 - fy)));
  for (std::size_t i = 0; i < count; i += 64) {
    const std::size_t n = count - i < 64 ? count - i : 64;
    BlendRowsBlock(top + i, bottom + i, dst + i, n, weights, fy == 0);
  }
}

}  // namespace

const PixelKernels& Avx512Table() {
  const PixelKernels& avx2 = Avx2Table();
  static const PixelKernels kernels{
      "avx512",           YuvToRgb,     RgbToYuv,       avx2.grayToRgb,
      avx2.rgbToGray,     avx2.swapRgb, avx2.swapBytes, avx2.interpolateRow,
      InterpolateUniform, BlendRows,    avx2.pickBytes, avx2.pickTriples};
  return kernels;
}

}  // namespace vialto::image::simd
