#include "Overlay.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/text/Windows1252.h"
#include "vialto/vialto.h"

namespace vialto::cli {
namespace {

COLORREF ToColorRef(uint32_t rrggbb) {
  return RGB((rrggbb >> 16) & 0xFF, (rrggbb >> 8) & 0xFF, rrggbb & 0xFF);
}

LOGFONTA MakeFont(const TextStyle& style) {
  LOGFONTA font{};
  font.lfHeight = -style.sizePx;
  font.lfWeight = style.bold ? FW_BOLD : FW_NORMAL;
  font.lfQuality = ANTIALIASED_QUALITY;
  std::strncpy(font.lfFaceName, style.font.c_str(), sizeof font.lfFaceName - 1);
  return font;
}

// The library's own table, read backwards; the undefined bytes have no code point to come from.
char CodePointToWindows1252(uint32_t cp) {
  using platform::text::kWindows1252HighCodes;
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kWindows1252HighCodes[i] != 0 && kWindows1252HighCodes[i] == cp)
      return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::string Utf8ToWindows1252(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int extra = lead < 0x80         ? 0
                      : (lead >> 5) == 6  ? 1
                      : (lead >> 4) == 14 ? 2
                      : (lead >> 3) == 30 ? 3
                                          : -1;
    uint32_t cp = extra == 0   ? lead
                  : extra == 1 ? lead & 0x1F
                  : extra == 2 ? lead & 0x0F
                               : lead & 0x07;
    bool valid = extra >= 0 && i + static_cast<size_t>(extra) < utf8.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      cp = (cp << 6) | (next & 0x3F);
    }
    if (!valid) {
      out += '?';
      ++i;
      continue;
    }
    // Zero would end the library's string early.
    out += cp == 0 ? '?' : CodePointToWindows1252(cp);
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

void DrawText(Bitmap& bitmap, int x, int y, const std::string& utf8, const TextStyle& style) {
  const std::string text = Utf8ToWindows1252(utf8);
  const LOGFONTA font = MakeFont(style);
  const COLORREF fore = ToColorRef(style.colour);
  const COLORREF back =
      style.background ? ToColorRef(*style.background) : static_cast<COLORREF>(-1);
  if (bitmap.width % 4 == 0) {
    ImageWriteStringToImg(bitmap.pixels.data(), bitmap.width, bitmap.height, x, y, text.c_str(),
                          &font, fore, back);
    return;
  }
  // The text routine wants rows padded to four bytes, as in a bitmap; draw on a padded copy.
  const int padded = (bitmap.width + 3) / 4 * 4;
  const size_t row = static_cast<size_t>(bitmap.width) * 3;
  const size_t paddedRow = static_cast<size_t>(padded) * 3;
  std::vector<uint8_t> copy(paddedRow * bitmap.height, 0);
  for (int r = 0; r < bitmap.height; ++r) {
    std::copy_n(&bitmap.pixels[r * row], row, &copy[r * paddedRow]);
  }
  ImageWriteStringToImg(copy.data(), padded, bitmap.height, x, y, text.c_str(), &font, fore, back);
  for (int r = 0; r < bitmap.height; ++r) {
    std::copy_n(&copy[r * paddedRow], row, &bitmap.pixels[r * row]);
  }
}

}  // namespace vialto::cli
