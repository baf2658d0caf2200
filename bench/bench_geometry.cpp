// Flips and resizes against memcpy of the same bytes and libyuv's point and bilinear scalers.
#include <libyuv/scale_rgb.h>

#include <cstring>
#include <memory>

#include "BenchImages.h"
#include "image/Geometry.h"

namespace {

using namespace vialto::bench;
namespace img = vialto::image;

std::shared_ptr<std::vector<uint8_t>> Buffer(std::size_t n) {
  return std::make_shared<std::vector<uint8_t>>(Random(n));
}

void RegisterFlips(const FrameSize& s) {
  const std::size_t bytes = 3 * s.Pixels();
  auto image = Buffer(bytes), other = Buffer(bytes);
  for (const auto& [impl, k] : VialtoTables()) {
    Register("ImageFlip", impl, s.Name() + "_inplace", bytes, [=, k = k] {
      img::FlipImage(*k, image->data(), image->data(), s.width, s.height, 1);
    });
    Register("ImageFlip", impl, s.Name() + "_copy", bytes, [=, k = k] {
      img::FlipImage(*k, other->data(), image->data(), s.width, s.height, 1);
    });
  }
  for (const char* kase : {"_inplace", "_copy"})
    Register("ImageFlip", "memcpy", s.Name() + kase, bytes,
             [=] { std::memcpy(other->data(), image->data(), bytes); });
}

// One resize case: our routine in both pixel modes where a peer exists for the mode.
struct ResizeCase {
  std::string name;
  int dstWidth, dstHeight;
  libyuv::FilterMode filter;  // the peer's filter: point for whole-factor reductions
};

void RegisterResize(const FrameSize& s, const ResizeCase& c) {
  const std::size_t src = s.Pixels(), dst = static_cast<std::size_t>(c.dstWidth) * c.dstHeight;
  auto grey = Buffer(src), rgb = Buffer(3 * src), argb = Buffer(4 * src);
  auto greyOut = Buffer(dst), rgbOut = Buffer(3 * dst), argbOut = Buffer(4 * dst);
  const std::string grayCase = s.Name() + "_" + c.name + "_grey",
                    rgbCase = s.Name() + "_" + c.name + "_rgb";
  for (const auto& [impl, k] : VialtoTables()) {
    Register("ImageResize", impl, grayCase, dst, [=, k = k] {
      img::ResizeImage(*k, greyOut->data(), grey->data(), s.width, s.height, c.dstWidth,
                       c.dstHeight, 0);
    });
    Register("ImageResize", impl, rgbCase, 3 * dst, [=, k = k] {
      img::ResizeImage(*k, rgbOut->data(), rgb->data(), s.width, s.height, c.dstWidth, c.dstHeight,
                       3);
    });
  }
  const std::string filter = c.filter == libyuv::kFilterNone ? "point" : "bilinear";
  Register("ImageResize", "libyuv_ScalePlane_" + filter, grayCase, dst, [=] {
    libyuv::ScalePlane(grey->data(), s.width, s.width, s.height, greyOut->data(), c.dstWidth,
                       c.dstWidth, c.dstHeight, c.filter);
  });
  Register("ImageResize", "libyuv_RGBScale_" + filter, rgbCase, 3 * dst, [=] {
    libyuv::RGBScale(rgb->data(), 3 * s.width, s.width, s.height, rgbOut->data(), 3 * c.dstWidth,
                     c.dstWidth, c.dstHeight, c.filter);
  });
  Register("ImageResize", "libyuv_ARGBScale_" + filter, rgbCase, 3 * dst, [=] {
    libyuv::ARGBScale(argb->data(), 4 * s.width, s.width, s.height, argbOut->data(), 4 * c.dstWidth,
                      c.dstWidth, c.dstHeight, c.filter);
  });
}

const bool registered = [] {
  for (const FrameSize& s : kFrameSizes) {
    RegisterFlips(s);
    RegisterResize(s, {"half", s.width / 2, s.height / 2, libyuv::kFilterNone});
    RegisterResize(s, {"quarter", s.width / 4, s.height / 4, libyuv::kFilterNone});
    RegisterResize(s, {"double", 2 * s.width, 2 * s.height, libyuv::kFilterBilinear});
  }
  return true;
}();

}  // namespace
