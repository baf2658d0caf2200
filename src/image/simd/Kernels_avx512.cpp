// AVX-512 (F, BW, VL, VBMI) kernels, 64 bytes a register. Cross-lane byte permutes (vpermb,
// vpermt2b) do the interleaving that the narrower tiers do with in-lane shuffles, and the last
// partial block of a run goes through the same code with masked loads and stores, so nothing past
// the run is read or written. Only the kernels that beat the AVX2 ones on a measured run are here
// (the two YUV conversions, where the permutes replace most of the work); the table takes every
// other entry from the AVX2 table. 64-byte versions of the resize passes measured slower than
// the AVX2 ones: the cores measured split most 512-bit operations in two, so width alone gains
// nothing there.

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

// 32 pixels as 16-bit lanes of two bytes `first`, `second` (channel numbers; 3 leaves the high byte
// zero), from two registers of 128 bytes that start `skip` bytes before the first pixel.
constexpr Index ChannelPairIndex(int first, int second, int skip) {
  Index m{};
  for (int i = 0; i < 64; ++i) {
    const int channel = i % 2 == 0 ? first : second;
    m[i] = static_cast<uint8_t>(channel == 3 ? 0 : skip + 3 * (i / 2) + channel);
  }
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

// [half][red and blue, green]: pixels 0..31 of a block come from registers 0 and 1, pixels 32..63
// from registers 1 and 2.
inline constexpr Index kRedBlue[2] = {ChannelPairIndex(0, 2, 0), ChannelPairIndex(0, 2, 32)};
inline constexpr Index kGreen[2] = {ChannelPairIndex(1, 3, 0), ChannelPairIndex(1, 3, 32)};
inline constexpr Index kEvenBytes = EvenBytesIndex();
inline constexpr std::array<uint16_t, 32> kLeftPixels = LeftPixelWords();

// 16-bit lanes of R + 256 B and of G.
struct Pixels32 {
  __m512i redBlue, green;
};

Pixels32 SplitPixels(__m512i low, __m512i high, int half) {
  return {_mm512_permutex2var_epi8(low, LoadIndex(kRedBlue[half]), high),
          _mm512_maskz_permutex2var_epi8(kLowBytes, low, LoadIndex(kGreen[half]), high)};
}

// Signed byte weights of red (low) and blue (high) for pmaddubsw.
__m512i RedBlueWeights(int red, int blue) {
  return Const16(static_cast<int>(static_cast<unsigned>(blue & 0xFF) << 8 | (red & 0xFF)));
}

// (77 R + 150 G + 29 B + 4224) >> 8 clamped: the sum without the offset stays below 65281, and
// the saturating add of the offset clamps what would pass 255.
__m512i LumaOf(const Pixels32& p) {
  const __m512i sum = _mm512_add_epi16(_mm512_maddubs_epi16(p.redBlue, RedBlueWeights(77, 29)),
                                       _mm512_mullo_epi16(p.green, Factor(150)));
  return _mm512_srli_epi16(_mm512_adds_epu16(sum, Const16(4224)), 8);
}

// (32640 - (red R + blue B + green G)) >> 8 for the negated weights of a colour difference: the
// 16-bit arithmetic wraps to the exact result in 0..65280; the caller adds the last 1 (of 32896)
// with byte saturation, which is the clamp.
__m512i ChromaLessOne(const Pixels32& p, int red, int green, int blue) {
  const __m512i negated =
      _mm512_add_epi16(_mm512_maddubs_epi16(p.redBlue, RedBlueWeights(red, blue)),
                       _mm512_mullo_epi16(p.green, Factor(green)));
  return _mm512_srli_epi16(_mm512_sub_epi16(Const16(32640), negated), 8);
}

// `pairs` (1..32) pixel pairs.
void RgbToYuvBlock(const uint8_t* rgb, uint8_t* y, uint8_t* v, uint8_t* u, std::size_t pairs) {
  const std::size_t bytes = 6 * pairs;
  const __m512i in0 = Load(rgb, PartBytes(bytes, 0)), in1 = Load(rgb + 64, PartBytes(bytes, 1)),
                in2 = Load(rgb + 128, PartBytes(bytes, 2));
  const Pixels32 first = SplitPixels(in0, in1, 0), second = SplitPixels(in1, in2, 1);
  const __m512i evenBytes = LoadIndex(kEvenBytes);
  Store(y, First64(2 * pairs), _mm512_permutex2var_epi8(LumaOf(first), evenBytes, LumaOf(second)));

  const __m512i leftWords = _mm512_loadu_si512(kLeftPixels.data());
  const Pixels32 left{_mm512_permutex2var_epi16(first.redBlue, leftWords, second.redBlue),
                      _mm512_permutex2var_epi16(first.green, leftWords, second.green)};
  const __m512i chroma =
      _mm512_adds_epu8(_mm512_permutex2var_epi8(ChromaLessOne(left, -128, 107, 21), evenBytes,
                                                ChromaLessOne(left, 43, 85, -128)),
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

}  // namespace

const PixelKernels& Avx512Table() {
  const PixelKernels& avx2 = Avx2Table();
  // The YUV conversions are this tier's own, everything else is AVX2's.
  static const PixelKernels kernels = [&] {
    PixelKernels k = avx2;
    k.name = "avx512";
    k.yuvToRgb = YuvToRgb;
    k.rgbToYuv = RgbToYuv;
    return k;
  }();
  return kernels;
}

}  // namespace vialto::image::simd
