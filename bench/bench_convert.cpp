// Pixel conversions and row flips against libyuv's nearest conversions and memcpy.
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
