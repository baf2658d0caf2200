#include "platform/posix/text/FontInstance.h"

#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/posix/text/FontMatcher.h"

namespace vialto::platform::text {

namespace {

constexpr int64_t kDefaultCellHeight = 16;
// Larger than any picture we draw on; it bounds the memory one glyph can take.
constexpr int64_t kMaxEmPixels = 2048;
constexpr int64_t kMaxCellPixels = 4 * kMaxEmPixels;
constexpr std::size_t kMaxCachedGlyphBytes = 256 * 1024;
constexpr std::size_t kCacheBudgetBytes = 4 * 1024 * 1024;
constexpr std::size_t kMaxCachedGlyphs = 1024;
// Shear of an oblique made from an upright face, about 11 degrees.
constexpr double kSyntheticSlant = 0.2;

struct VerticalExtent {
  double ascent;  // font units above the baseline
  double descent;
};

const TT_OS2* Os2TableOf(FT_Face face) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  return os2 && os2->version != 0xFFFF ? os2 : nullptr;
}

// The cell the platform uses for outline fonts: the Windows ascent and descent when the face
// has them, the typographic ones otherwise.
VerticalExtent CellExtentOf(FT_Face face) {
  if (const TT_OS2* os2 = Os2TableOf(face); os2 && os2->usWinAscent + os2->usWinDescent > 0)
    return {double(os2->usWinAscent), double(os2->usWinDescent)};
  if (face->ascender - face->descender > 0)
    return {double(face->ascender), double(-face->descender)};
  if (face->bbox.yMax - face->bbox.yMin > 0)
    return {double(face->bbox.yMax), double(-face->bbox.yMin)};
  return {0.8 * face->units_per_EM, 0.2 * face->units_per_EM};
}

double AverageWidthOf(FT_Face face) {
  if (const TT_OS2* os2 = Os2TableOf(face); os2 && os2->xAvgCharWidth > 0)
    return os2->xAvgCharWidth;
  if (face->max_advance_width > 0) return face->max_advance_width / 2.0;
  return face->units_per_EM / 2.0;
}

int64_t ClampPixels(int64_t value, int64_t limit) { return std::clamp<int64_t>(value, 1, limit); }

int RoundToInt(double value) { return static_cast<int>(std::lround(value)); }

const uint8_t* BitmapRow(const FT_Bitmap& bitmap, unsigned row) {
  // A negative pitch stores the bottom row first.
  const unsigned stride = static_cast<unsigned>(std::abs(bitmap.pitch));
  const unsigned stored = bitmap.pitch >= 0 ? row : bitmap.rows - 1 - row;
  return bitmap.buffer + std::size_t(stored) * stride;
}

void CopyCoverage(const FT_Bitmap& bitmap, GlyphImage& glyph) {
  const unsigned width = bitmap.width;
  glyph.coverage.assign(std::size_t(width) * bitmap.rows, 0);
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    const uint8_t* src = BitmapRow(bitmap, row);
    uint8_t* dst = glyph.coverage.data() + std::size_t(row) * width;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
      std::memcpy(dst, src, width);
    } else {  // FT_PIXEL_MODE_MONO, most significant bit first
      for (unsigned col = 0; col < width; ++col)
        dst[col] = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
    }
  }
}

}  // namespace

FaceHandle::FaceHandle(FT_Library library, const FontMatch& match) {
  if (FT_New_Face(library, match.file.c_str(), match.index, &face_) != 0) face_ = nullptr;
}

FaceHandle::~FaceHandle() {
  if (face_) FT_Done_Face(face_);
}

bool FaceHandle::IsBold() const {
  if (const TT_OS2* os2 = Os2TableOf(face_); os2 && os2->usWeightClass > 0)
    return os2->usWeightClass >= kFirstBoldWeight;
  return face_->style_flags & FT_STYLE_FLAG_BOLD;
}

bool FaceHandle::IsItalic() const { return face_->style_flags & FT_STYLE_FLAG_ITALIC; }

std::unique_ptr<FontInstance> FontInstance::Create(std::shared_ptr<FaceHandle> face,
                                                   const FontRequest& request,
                                                   const FontMatch& match) {
  if (!face || !face->Get() || !FT_IS_SCALABLE(face->Get()) || face->Get()->units_per_EM == 0)
    return nullptr;
  FT_Size size = nullptr;
  if (FT_New_Size(face->Get(), &size) != 0) return nullptr;
  std::unique_ptr<FontInstance> instance(new FontInstance(std::move(face), size, request, match));
  if (!instance->ChooseSize()) return nullptr;
  instance->ChooseTransform();
  instance->ChooseDecorations();
  return instance;
}

FontInstance::FontInstance(std::shared_ptr<FaceHandle> face, FT_Size size,
                           const FontRequest& request, const FontMatch& match)
    : face_(std::move(face)), size_(size), request_(request), match_(match) {}

FontInstance::~FontInstance() { FT_Done_Size(size_); }

// Logical heights at one pixel per unit: -h asks for an em of h pixels, +h for a cell
// (ascent + descent) of h pixels, 0 for the default cell.
bool FontInstance::ChooseSize() {
  const FT_Face face = face_->Get();
  const double unitsPerEm = face->units_per_EM;
  const VerticalExtent extent = CellExtentOf(face);
  const double cellUnits = extent.ascent + extent.descent;

  const int64_t height = request_.height == 0 ? kDefaultCellHeight : request_.height;
  int64_t cell = 0;
  int64_t em = 0;
  if (height > 0) {
    cell = std::min(height, kMaxCellPixels);
    // Rounded down: whole-pixel ems (hinted faces force them) must not outgrow the cell.
    const double exactEm = double(cell) * unitsPerEm / cellUnits;
    em = ClampPixels(static_cast<int64_t>(std::floor(exactEm + 1e-9)), kMaxEmPixels);
    if (em == kMaxEmPixels) cell = 0;  // too tall: sized by the em limit instead
  } else {
    em = ClampPixels(-height, kMaxEmPixels);
  }
  if (cell > 0) {
    ascent_ = RoundToInt(double(cell) * extent.ascent / cellUnits);
    descent_ = static_cast<int>(cell) - ascent_;
  } else {
    ascent_ = RoundToInt(double(em) * extent.ascent / unitsPerEm);
    descent_ = RoundToInt(double(em) * extent.descent / unitsPerEm);
  }
  emHeight_ = static_cast<int>(em);

  // A width asks for that average character width: the face is stretched horizontally.
  const int64_t width = std::abs(int64_t{request_.width});
  const int64_t xEm = width == 0
                          ? em
                          : ClampPixels(std::llround(double(std::min(width, kMaxCellPixels)) *
                                                     unitsPerEm / AverageWidthOf(face)),
                                        kMaxEmPixels);
  xScale_ = double(xEm) / unitsPerEm;
  yScale_ = double(em) / unitsPerEm;
  return FT_Activate_Size(size_) == 0 &&
         FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(xEm), static_cast<FT_UInt>(em)) == 0;
}

void FontInstance::ChooseTransform() {
  const int tenths = ((request_.escapement % 3600) + 3600) % 3600;
  // Right angles exactly, so that turned text stays on whole pixels.
  switch (tenths) {
    case 0:
      cos_ = 1, sin_ = 0;
      break;
    case 900:
      cos_ = 0, sin_ = 1;
      break;
    case 1800:
      cos_ = -1, sin_ = 0;
      break;
    case 2700:
      cos_ = 0, sin_ = -1;
      break;
    default: {
      const double radians = tenths * std::numbers::pi / 1800.0;
      cos_ = std::cos(radians);
      sin_ = std::sin(radians);
    }
  }
  const double shear = match_.slanted ? kSyntheticSlant : 0.0;
  transformed_ = tenths != 0 || shear != 0.0;
  // FreeType's y axis points up: rotate counter-clockwise after shearing tops to the right.
  const auto fixed = [](double v) { return static_cast<FT_Fixed>(std::lround(v * 65536.0)); };
  matrix_.xx = fixed(cos_);
  matrix_.xy = fixed(cos_ * shear - sin_);
  matrix_.yx = fixed(sin_);
  matrix_.yy = fixed(sin_ * shear + cos_);

  const FT_BBox& box = face_->Get()->bbox;
  const double reachX = std::max(std::abs(double(box.xMin)), std::abs(double(box.xMax))) * xScale_;
  const double reachY = std::max(std::abs(double(box.yMin)), std::abs(double(box.yMax))) * yScale_;
  const double emPixels = std::max(xScale_, yScale_) * face_->Get()->units_per_EM;
  // Slack for hinting and synthetic bold; a face without a sound box gets a generous guess.
  inkRadius_ = reachX > 0 && reachY > 0
                   ? std::hypot(reachX + shear * reachY, reachY) + emPixels / 8 + 2
                   : 3 * emPixels + 2;
}

void FontInstance::ChooseDecorations() {
  const FT_Face face = face_->Get();
  const double unitsPerEm = face->units_per_EM;
  const double lineUnits =
      face->underline_thickness > 0 ? face->underline_thickness : unitsPerEm / 14;
  const double underlineUnits =
      face->underline_position != 0 ? face->underline_position : -unitsPerEm / 10;
  // The underline's position is the centre of its stroke, below the baseline when negative.
  underline_.height = std::max(1, RoundToInt(lineUnits * yScale_));
  underline_.top = RoundToInt(ascent_ - underlineUnits * yScale_ - underline_.height / 2.0);
  underline_.top = std::min(underline_.top, ascent_ + descent_ - underline_.height);

  const TT_OS2* os2 = Os2TableOf(face);
  const bool hasStrike = os2 && os2->yStrikeoutSize > 0;
  const double strikeUnits = hasStrike ? os2->yStrikeoutSize : lineUnits;
  const double strikeTopUnits = hasStrike ? os2->yStrikeoutPosition : unitsPerEm * 0.3;
  strikeOut_.height = std::max(1, RoundToInt(strikeUnits * yScale_));
  strikeOut_.top = RoundToInt(ascent_ - strikeTopUnits * yScale_);
}

bool FontInstance::LoadGlyph(char32_t code, GlyphImage& glyph) {
  const FT_Face face = face_->Get();
  glyph = GlyphImage{};
  // The face is shared by the sizes and angles made from it: select ours for every load.
  FT_Activate_Size(size_);
  FT_Set_Transform(face, transformed_ ? &matrix_ : nullptr, nullptr);
  const FT_UInt index = FT_Get_Char_Index(face, code);
  const FT_Int32 flags =
      FT_LOAD_NO_BITMAP | (request_.antialiased ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO);
  if (FT_Load_Glyph(face, index, flags) != 0) return false;
  if (match_.emboldened) FT_GlyphSlot_Embolden(face->glyph);
  glyph.advance = static_cast<int>((face->glyph->metrics.horiAdvance + 32) >> 6);
  return true;
}

void FontInstance::RenderLoaded(GlyphImage& glyph) {
  const FT_GlyphSlot slot = face_->Get()->glyph;
  glyph.rendered = true;
  const FT_Render_Mode mode = request_.antialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO;
  if (FT_Render_Glyph(slot, mode) != 0) return;
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return;
  glyph.width = static_cast<int>(bitmap.width);
  glyph.rows = static_cast<int>(bitmap.rows);
  glyph.left = slot->bitmap_left;
  glyph.top = -slot->bitmap_top;
  CopyCoverage(bitmap, glyph);
}

PixelBox FontInstance::LoadedBox() const {
  FT_BBox box;
  FT_Outline_Get_CBox(&face_->Get()->glyph->outline, &box);
  const auto floorPixel = [](FT_Pos v) { return int64_t(v >> 6); };  // arithmetic shift floors
  const auto ceilPixel = [](FT_Pos v) { return int64_t((v + 63) >> 6); };
  return {floorPixel(box.xMin), -ceilPixel(box.yMax), ceilPixel(box.xMax), -floorPixel(box.yMin)};
}

// Renders only part (whole pixels about the glyph origin, y down) of the loaded outline, so
// that a huge glyph costs what shows of it.
void FontInstance::RenderLoadedPart(GlyphImage& glyph, const PixelBox& part) {
  glyph.rendered = true;
  if (part.Empty()) return;
  const FT_GlyphSlot slot = face_->Get()->glyph;
  const auto width = static_cast<unsigned>(part.right - part.left);
  const auto rows = static_cast<unsigned>(part.bottom - part.top);
  FT_Bitmap target{};
  target.width = width;
  target.rows = rows;
  target.pitch = static_cast<int>(request_.antialiased ? width : (width + 7) / 8);
  target.pixel_mode = request_.antialiased ? FT_PIXEL_MODE_GRAY : FT_PIXEL_MODE_MONO;
  target.num_grays = request_.antialiased ? 256 : 2;
  std::vector<uint8_t> buffer(std::size_t(target.pitch) * rows, 0);
  target.buffer = buffer.data();
  // The target's bottom-left corner sits at the outline's origin, y up.
  FT_Outline_Translate(&slot->outline, -part.left * 64, part.bottom * 64);
  if (FT_Outline_Get_Bitmap(slot->library, &slot->outline, &target) != 0) return;
  glyph.width = static_cast<int>(width);
  glyph.rows = static_cast<int>(rows);
  glyph.left = static_cast<int>(part.left);
  glyph.top = static_cast<int>(part.top);
  CopyCoverage(target, glyph);
}

void FontInstance::TrimCache(std::size_t incomingBytes) {
  if (glyphs_.size() < kMaxCachedGlyphs && cachedBytes_ + incomingBytes <= kCacheBudgetBytes)
    return;
  glyphs_.clear();
  cachedBytes_ = 0;
}

int FontInstance::Advance(char32_t code) {
  if (const auto found = glyphs_.find(code); found != glyphs_.end()) return found->second.advance;
  GlyphImage glyph;
  LoadGlyph(code, glyph);
  TrimCache(0);
  return glyphs_.emplace(code, std::move(glyph)).first->second.advance;
}

const GlyphImage& FontInstance::Render(char32_t code, const PixelBox& visible) {
  if (const auto found = glyphs_.find(code); found != glyphs_.end() && found->second.rendered)
    return found->second;
  GlyphImage glyph;
  if (!LoadGlyph(code, glyph)) {
    glyph.rendered = true;  // a glyph that failed stays empty rather than being retried
    return Keep(code, std::move(glyph));
  }
  const PixelBox box = LoadedBox();
  if (box.Area() <= int64_t(kMaxCachedGlyphBytes)) {
    RenderLoaded(glyph);
    return Keep(code, std::move(glyph));
  }
  const PixelBox part{std::max(box.left, visible.left), std::max(box.top, visible.top),
                      std::min(box.right, visible.right), std::min(box.bottom, visible.bottom)};
  RenderLoadedPart(glyph, part);
  oversized_ = std::move(glyph);
  return oversized_;
}

const GlyphImage& FontInstance::Keep(char32_t code, GlyphImage glyph) {
  const std::size_t bytes = glyph.coverage.size();
  TrimCache(bytes);
  GlyphImage& slot = glyphs_[code];
  cachedBytes_ = cachedBytes_ - slot.coverage.size() + bytes;
  slot = std::move(glyph);
  return slot;
}

}  // namespace vialto::platform::text
