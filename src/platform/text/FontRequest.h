// What a caller asks of a font, in plain fields: the logical-font rules of the drawing service
// (heights in surface pixels, angles in tenths of a degree), with no rasteriser types.
#pragma once
#include <cstdint>
#include <string>

namespace vialto::platform::text {

// The generic look asked for when the face name is missing or not installed.
enum class FontFamily : uint8_t { DontCare, Roman, Swiss, Modern, Script, Decorative };

struct FontRequest {
  std::string faceName;    // "" for any face
  int32_t height = 0;      // < 0: em height -height; > 0: cell height; 0: default
  int32_t width = 0;       // average character width; 0: the face's own
  int32_t escapement = 0;  // rotation of the line, tenths of a degree counter-clockwise
  int32_t weight = 0;      // 100..900, 0 for normal
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  bool antialiased = true;  // false: one-bit glyphs
  bool fixedPitch = false;
  FontFamily family = FontFamily::DontCare;

  bool operator==(const FontRequest&) const = default;
};

}  // namespace vialto::platform::text
