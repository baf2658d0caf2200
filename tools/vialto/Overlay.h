// Text and arrows on bitmap-order pictures, through the library's two drawing routines.
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
// A red arrow whose head lands next to (x, y), y from the top of the picture; tile as the
// library's PasteToImgX takes it (0: a diagonal arrow chosen by where the point lies).
void DrawArrow(Bitmap& bitmap, int x, int y, int tile = 0);

std::string Utf8ToWindows1252(const std::string& utf8);

}  // namespace vialto::cli
