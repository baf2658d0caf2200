// One font at one size and angle: an open FreeType face, its metrics in surface pixels, and the
// glyphs rendered so far. Internal to the text service.
#pragma once
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/text/FontRequest.h"
#include "platform/text/TextOutput.h"

namespace vialto::platform::text {

// An open face; shared by the sizes made from it, closed with the last of them.
class FaceHandle {
 public:
  FaceHandle(FT_Library library, const FontMatch& match);
  ~FaceHandle();
  FaceHandle(const FaceHandle&) = delete;
  FaceHandle& operator=(const FaceHandle&) = delete;
  FT_Face Get() const { return face_; }
  // Whether the face is bold or italic of its own, so that neither needs synthesising.
  bool IsBold() const;
  bool IsItalic() const;

 private:
  FT_Face face_ = nullptr;
};

// A rendered glyph: coverage rows (0..255, width bytes each) whose top-left lies (left, top)
// pixels from the glyph origin on the baseline, y down.
struct GlyphImage {
  int advance = 0;  // along the baseline, whole pixels
  bool rendered = false;
  int width = 0;
  int rows = 0;
  int left = 0;
  int top = 0;
  std::vector<uint8_t> coverage;
};

// A box of whole pixels relative to a glyph origin, y down; right and bottom are exclusive.
struct PixelBox {
  int64_t left = 0;
  int64_t top = 0;
  int64_t right = 0;
  int64_t bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  int64_t Area() const { return Empty() ? 0 : (right - left) * (bottom - top); }
};

// A rectangle along the line: x from 0 to the line's advance, y measured down from the top of
// the cell.
struct LineBand {
  int top = 0;
  int height = 0;
};

class FontInstance {
 public:
  // Null when the face cannot be sized.
  static std::unique_ptr<FontInstance> Create(std::shared_ptr<FaceHandle> face,
                                              const FontRequest& request, const FontMatch& match);
  ~FontInstance();
  FontInstance(const FontInstance&) = delete;
  FontInstance& operator=(const FontInstance&) = delete;

  const FontRequest& Request() const { return request_; }
  const FontMatch& Match() const { return match_; }
  int Ascent() const { return ascent_; }
  int Descent() const { return descent_; }
  int EmHeight() const { return emHeight_; }
  bool Antialiased() const { return request_.antialiased; }
  LineBand Underline() const { return underline_; }
  LineBand StrikeOut() const { return strikeOut_; }
  // The line's direction: surface offset of one pixel along the baseline is (cos, -sin).
  double Cos() const { return cos_; }
  double Sin() const { return sin_; }
  // No ink of any glyph lies farther than this from the glyph's origin.
  double InkRadius() const { return inkRadius_; }

  int Advance(char32_t code);
  // The glyph with its coverage; valid until the next call on this instance. Of a glyph too
  // large to cache only the part inside visible is rendered.
  const GlyphImage& Render(char32_t code, const PixelBox& visible);

 private:
  FontInstance(std::shared_ptr<FaceHandle> face, FT_Size size, const FontRequest& request,
               const FontMatch& match);
  bool ChooseSize();
  void ChooseTransform();
  void ChooseDecorations();
  bool LoadGlyph(char32_t code, GlyphImage& glyph);
  PixelBox LoadedBox() const;
  void RenderLoaded(GlyphImage& glyph);
  void RenderLoadedPart(GlyphImage& glyph, const PixelBox& part);
  const GlyphImage& Keep(char32_t code, GlyphImage glyph);
  void TrimCache(std::size_t incomingBytes);

  std::shared_ptr<FaceHandle> face_;
  FT_Size size_ = nullptr;
  FontRequest request_;
  FontMatch match_;
  int ascent_ = 0;
  int descent_ = 0;
  int emHeight_ = 0;
  double xScale_ = 0;  // font units to pixels
  double yScale_ = 0;
  LineBand underline_;
  LineBand strikeOut_;
  double cos_ = 1;
  double sin_ = 0;
  double inkRadius_ = 0;
  bool transformed_ = false;
  FT_Matrix matrix_{0x10000, 0, 0, 0x10000};
  std::unordered_map<char32_t, GlyphImage> glyphs_;
  std::size_t cachedBytes_ = 0;
  GlyphImage oversized_;  // a glyph too large to keep, valid until the next call
};

}  // namespace vialto::platform::text
