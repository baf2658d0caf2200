// Text output: the drawing service's font matching, measuring and line drawing, backed by
// fontconfig and FreeType. Fonts and glyphs are cached per thread, so a call costs what its text
// costs; every function may be called from any thread.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text/FontRequest.h"
#include "platform/text/TextSurface.h"

namespace vialto::platform::text {

// The installed face a request resolves to, and what has to be synthesised on top of it.
struct FontMatch {
  std::string file;
  int index = 0;  // face index inside the file
  std::string family;
  std::string style;
  bool emboldened = false;  // bold asked for, the face has none
  bool slanted = false;     // italic asked for, the face has none
};

// A line's cell in surface pixels: advance width by ascent + descent, the top-left of the first
// cell at the origin and the baseline ascent pixels below it.
struct LineMetrics {
  int64_t advance = 0;
  int ascent = 0;
  int descent = 0;
  int emHeight = 0;  // the cell less its internal leading
  int CellHeight() const { return ascent + descent; }
};

std::optional<FontMatch> MatchFont(const FontRequest& request);

// Nothing when no usable font is installed.
std::optional<LineMetrics> MeasureTextLine(const FontRequest& request, std::u32string_view text);

// Draws text with the top-left of its first cell at (x, y), clipped to the surface: in opaque
// mode the cell box is first filled with Paint::Background, then glyphs, underline and strike-out
// are blended in Paint::Text. False when no usable font is installed (nothing is drawn).
bool DrawTextLine(TextSurface& surface, int64_t x, int64_t y, std::u32string_view text,
                  const FontRequest& request, bool opaque);

}  // namespace vialto::platform::text
