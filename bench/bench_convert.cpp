// Pixel conversions and row flips against libyuv's nearest conversions and memcpy; YUV to RGB
// also against a bare stream of its bytes (the ratio to it is stream time / our time).
#include <immintrin.h>

#include <cstring>
#include <memory>

#include "BenchImages.h"
#include "image/Convert.h"

namespace {

using namespace vialto::bench;
namespace img = vialto::image;

// A libyuv call, run with all its code paths and, as "_ssse3", limited to SSSE3.
template <class Call>
void RegisterPeer(const std::string& group, const std::string& name, const std::string& kase,
                  std::size_t bytes, Call call) {
  Register(group, "libyuv_" + name, kase, bytes, call);
  Register(group, "libyuv_ssse3_" + name, kase, bytes, [call] {
    const LibyuvSsse3Only limit;
    call();
  });
}

// Buffers live as long as the program: the registered lambdas share them.
std::shared_ptr<std::vector<uint8_t>> Buffer(std::size_t n) {
  return std::make_shared<std::vector<uint8_t>>(Random(n));
}

// What YUV422PlaneToRGB cannot beat: its 2 bytes a pixel read once and its 3 bytes a pixel written
// once, 32 pixels a step, with one operation between.
__attribute__((target("avx2"))) void Stream2In3Out(const uint8_t* yuv, uint8_t* out,
                                                   std::size_t pixels) {
  const uint8_t* v = yuv + pixels;
  const uint8_t* u = v + pixels / 2;
  const auto load128 = [](const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };
  for (std::size_t i = 0; i + 32 <= pixels; i += 32, out += 96) {
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(yuv + i));
    const __m256i c =
        _mm256_inserti128_si256(_mm256_castsi128_si256(load128(v + i / 2)), load128(u + i / 2), 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), y);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), c);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64), _mm256_xor_si256(y, c));
  }
}

void RegisterYuvToRgb(const FrameSize& s) {
  const std::size_t n = s.Pixels();
  auto yuv = Buffer(2 * n), rgb = Buffer(3 * n);
  for (const auto& [impl, k] : VialtoTables())
    Register("YUV422PlaneToRGB", impl, s.Name(), 3 * n,
             [=, k = k] { img::YuvPlaneToRgb(*k, yuv->data(), rgb->data(), s.width, s.height); });
  RegisterPeer("YUV422PlaneToRGB", "I422ToRAW", s.Name(), 3 * n, [=] {
    const uint8_t* y = yuv->data();
    libyuv::I422ToRAW(y, s.width, y + n + n / 2, s.width / 2, y + n, s.width / 2, rgb->data(),
                      3 * s.width, s.width, s.height);
  });
  if (__builtin_cpu_supports("avx2"))
    Register("YUV422PlaneToRGB", "stream_2in3out", s.Name(), 3 * n,
             [=] { Stream2In3Out(yuv->data(), rgb->data(), n); });
}

void RegisterRgbToYuv(const FrameSize& s) {
  const std::size_t n = s.Pixels();
  auto rgb = Buffer(3 * n), yuv = Buffer(2 * n), argb = Buffer(4 * n);
  for (const auto& [impl, k] : VialtoTables())
    Register("RGBToYUV422Plane", impl, s.Name(), 3 * n,
             [=, k = k] { img::RgbToYuvPlane(*k, rgb->data(), yuv->data(), s.width, s.height); });
  RegisterPeer("RGBToYUV422Plane", "ARGBToI422", s.Name(), 3 * n, [=] {
    uint8_t* y = yuv->data();
    libyuv::ARGBToI422(argb->data(), 4 * s.width, y, s.width, y + n + n / 2, s.width / 2, y + n,
                       s.width / 2, s.width, s.height);
  });
}

void RegisterGray(const FrameSize& s) {
  const std::size_t n = s.Pixels();
  auto rgb = Buffer(3 * n), gray = Buffer(n), argb = Buffer(4 * n);
  for (const auto& [impl, k] : VialtoTables()) {
    Register("RGBToGray", impl, s.Name(), 3 * n,
             [=, k = k] { img::RgbImageToGray(*k, rgb->data(), gray->data(), s.width, s.height); });
    Register("GrayToRGB", impl, s.Name(), 3 * n,
             [=, k = k] { img::GrayImageToRgb(*k, gray->data(), rgb->data(), s.width, s.height); });
  }
  RegisterPeer("RGBToGray", "RAWToJ400", s.Name(), 3 * n, [=] {
    libyuv::RAWToJ400(rgb->data(), 3 * s.width, gray->data(), s.width, s.width, s.height);
  });
  RegisterPeer("GrayToRGB", "J400ToARGB", s.Name(), 3 * n, [=] {
    libyuv::J400ToARGB(gray->data(), s.width, argb->data(), 4 * s.width, s.width, s.height);
  });
}

void RegisterSwapAndFlip(const FrameSize& s) {
  const std::size_t n = s.Pixels();
  auto rgb = Buffer(3 * n), copy = Buffer(3 * n);
  for (const auto& [impl, k] : VialtoTables()) {
    Register("ImageSwapRGB", impl, s.Name(), 3 * n, [=, k = k] {
      img::SwapRgbImage(*k, rgb->data(), static_cast<unsigned>(s.width),
                        static_cast<unsigned>(s.height));
    });
    Register("ImageFlipRows", impl, s.Name(), 3 * n, [=, k = k] {
      img::FlipRows(*k, rgb->data(), 3 * static_cast<unsigned>(s.width),
                    static_cast<unsigned>(s.height));
    });
  }
  RegisterPeer("ImageSwapRGB", "RAWToRGB24_inplace", s.Name(), 3 * n, [=] {
    libyuv::RAWToRGB24(rgb->data(), 3 * s.width, rgb->data(), 3 * s.width, s.width, s.height);
  });
  Register("ImageFlipRows", "memcpy", s.Name(), 3 * n,
           [=] { std::memcpy(copy->data(), rgb->data(), 3 * n); });
}

const bool registered = [] {
  for (const FrameSize& s : kFrameSizes) {
    RegisterYuvToRgb(s);
    RegisterRgbToYuv(s);
    RegisterGray(s);
    RegisterSwapAndFlip(s);
  }
  return true;
}();

}  // namespace
