// Text on bitmap-order pictures, through the library's text routine (arrows: Arrow.h).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "Picture.h"

namespace vialto::cli {

struct TextStyle {
  std::string font = "DejaVu Sans";
  int sizePx = 16;                     // em height in pixels
  uint32_t colour = 0xFFFFFF;          // 0xRRGGBB
  std::optional<uint32_t> background;  // none: transparent
  bool bold = false;
};

// One line of UTF-8 text with its cell's top-left at (x, y), y from the top of the picture.
// Characters outside Windows-1252 become '?'.
void DrawText(Bitmap& bitmap, int x, int y, const std::string& utf8, const TextStyle& style);
std::string Utf8ToWindows1252(const std::string& utf8);

}  // namespace vialto::cli
