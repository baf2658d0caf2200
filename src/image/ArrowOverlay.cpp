#include "image/ArrowOverlay.h"

#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "platform/Alloc.h"
#include "platform/ByteOrder.h"
#include "platform/ExportBoundary.h"
#include "platform/LocalFile.h"
#include "platform/Module.h"
#include "platform/Resources.h"
#include "vialto/vialto.h"

namespace {
using vialto::platform::LoadLe16;
using vialto::platform::LoadLe32Signed;

constexpr int kTileCount = 8;
constexpr int kArrowBitmapResource = 106;
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;
constexpr std::size_t kOffBitsOffset = 10;  // bfOffBits within the file header
constexpr char kOverrideFileName[] = "vialtox.res";

// The built-in picture must be what the tile arithmetic assumes: eight square 24-bit tiles with
// unpadded rows, all of whose pixels are present.
bool IsUsablePicture(const unsigned char* info, int32_t width, int32_t height,
                     std::size_t pixelBytesPresent) {
  if (width <= 0 || static_cast<int64_t>(height) != int64_t{kTileCount} * width) return false;
  if (LoadLe16(info + 14) != 24 || LoadLe32Signed(info + 16) != 0) return false;  // 24-bit BI_RGB
  if (width % 4 != 0) return false;  // rows of width * 3 bytes need no padding
  return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 3 <= pixelBytesPresent;
}
}  // namespace

CArrowOverlay::CArrowOverlay() { LoadPicture(); }

CArrowOverlay::~CArrowOverlay() { vialto::platform::FreeBytes(m_pPixels); }

int CArrowOverlay::LoadPicture() {
  vialto::platform::FreeBytes(m_pPixels);  // a second load replaces the first
  m_pPixels = nullptr;
  m_nWidth = 0;
  m_nHeight = 0;
  if (!CopyBuiltInPicture()) return 1;  // no picture: pastes draw nothing
  ReadOverrideFile();
  m_nHeight = m_nWidth;  // from here on the tile height
  return 1;
}

// The resource is a packed bitmap: info header, then the pixel array.
bool CArrowOverlay::CopyBuiltInPicture() {
  const std::span<const unsigned char> bitmap =
      vialto::platform::BitmapResource(kArrowBitmapResource);
  if (bitmap.size() < kInfoHeaderBytes) return false;
  const unsigned char* info = bitmap.data();
  const unsigned char* pixels = info + kInfoHeaderBytes;
  const int32_t width = LoadLe32Signed(info + 4);
  const int32_t height = LoadLe32Signed(info + 8);
  if (!IsUsablePicture(info, width, height, bitmap.size() - kInfoHeaderBytes)) return false;
  const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
  m_pPixels = static_cast<unsigned char*>(vialto::platform::AllocBytes(bytes));
  if (m_pPixels == nullptr) return false;
  std::memcpy(m_pPixels, pixels, bytes);
  m_nWidth = width;
  m_nHeight = height;
  return true;
}

// Whatever lies at the file's bfOffBits is taken as pixels in the built-in layout; a short file
// overwrites only the leading part. A file too short to hold bfOffBits is ignored.
void CArrowOverlay::ReadOverrideFile() {
  const std::string path = vialto::platform::OwnModuleDirectory() + kOverrideFileName;
  const std::unique_ptr<vialto::platform::LocalSource> file =
      vialto::platform::LocalSource::Open(path);
  if (file == nullptr) return;
  unsigned char header[kFileHeaderBytes];
  std::size_t got = 0;
  if (!file->ReadAt(0, header, sizeof header, &got) || got != sizeof header) return;
  const uint32_t offBits = vialto::platform::LoadLe32(header + kOffBitsOffset);
  const std::size_t bytes =
      static_cast<std::size_t>(m_nWidth) * static_cast<std::size_t>(m_nHeight) * 3;
  file->ReadAt(offBits, m_pPixels, bytes, &got);
}

int CArrowOverlay::PasteTile(unsigned char* image, int width, int height, int x, int y,
                             int tile) const {
  const int w = m_nWidth;
  const int h = m_nHeight;
  if (m_pPixels == nullptr || image == nullptr || width <= 0 || height <= 0) return 1;
  int64_t index = tile;  // 64-bit: a huge base tile plus the shifts must not overflow
  int left = x;
  int top = y;
  if (x > w) {
    left = x - w;
    index += 1;
  }
  if (y > h) {
    top = y - h;
    index += 2;
  }
  if (index < 0 || index >= kTileCount) return 1;
  const std::size_t tileBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3;
  BlendTile(image, m_pPixels + static_cast<std::size_t>(index) * tileBytes, width, height, left,
            top);
  return 1;
}

int CArrowOverlay::BlendTile(unsigned char* image, const unsigned char* tilePixels, int width,
                             int height, int left, int top) const {
  if (left >= width || left < 0 || top >= height || top < 0) return 0;
  // Clipped at the right and bottom edges, so nothing outside width x height is touched.
  const int columns = m_nWidth < width - left ? m_nWidth : width - left;
  const int rows = m_nHeight < height - top ? m_nHeight : height - top;
  for (int r = 0; r < rows; ++r) {
    const unsigned char* s = tilePixels + static_cast<std::size_t>(r) * m_nWidth * 3;
    unsigned char* d =
        image + (static_cast<std::size_t>(top + r) * static_cast<std::size_t>(width) + left) * 3;
    for (int c = 0; c < columns; ++c, s += 3, d += 3) {
      if ((s[0] | s[1] | s[2]) == 0) continue;  // transparent
      for (int i = 0; i < 3; ++i) d[i] = static_cast<unsigned char>((d[i] + s[i]) >> 1);
    }
  }
  return 1;
}

namespace {
// Built while the library loads and freed when it unloads; only read in between.
const CArrowOverlay g_arrowOverlay;
}  // namespace

const CArrowOverlay& TheArrowOverlay() { return g_arrowOverlay; }

extern "C" VIALTO_API int VIALTO_CALL PasteToImgX(unsigned char* image, int width, int height,
                                                  int x, int y, int tile) {
  return vialto::platform::GuardExport(
      1, [&] { return TheArrowOverlay().PasteTile(image, width, height, x, y, tile); });
}
