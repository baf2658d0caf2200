// Resources embedded by the build (cmake/Embed.cmake) from the files under res/.
#include "platform/Resources.h"

#include "Embedded.h"

namespace vialto::platform {
namespace {
constexpr int kArrowBitmap = 106;
constexpr std::size_t kBitmapFileHeaderBytes = 14;  // res/ holds whole .bmp files
}  // namespace

std::span<const unsigned char> BitmapResource(int id) {
  using embedded::vialto_arrows_bmp;
  using embedded::vialto_arrows_bmp_size;
  if (id != kArrowBitmap || vialto_arrows_bmp_size < kBitmapFileHeaderBytes) return {};
  return {vialto_arrows_bmp + kBitmapFileHeaderBytes,
          vialto_arrows_bmp_size - kBitmapFileHeaderBytes};
}

}  // namespace vialto::platform
