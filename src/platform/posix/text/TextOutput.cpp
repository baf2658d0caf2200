#include "platform/text/TextOutput.h"

#include <algorithm>
#include <cmath>

#include "platform/posix/text/FontCache.h"
#include "platform/posix/text/FontInstance.h"
#include "platform/text/ConvexFill.h"

namespace vialto::platform::text {

namespace {

// Maps line coordinates (u along the baseline from the first cell's left edge, v down from the
// top of the cell) to surface pixels, turning about the cell's top-left corner.
struct LineFrame {
  double x, y, cos, sin;
  SurfacePoint At(double u, double v) const {
    return {x + u * cos + v * sin, y - u * sin + v * cos};
  }
};

int64_t RoundToPixel(double value) {
  constexpr double kFar = 4.0e18;  // beyond any surface, and still an int64_t
  return std::llround(std::clamp(value, -kFar, kFar));
}

int64_t LineAdvance(FontInstance& font, std::u32string_view text) {
  int64_t advance = 0;
  for (const char32_t code : text) advance += font.Advance(code);
  return advance;
}

void FillBand(TextSurface& surface, const LineFrame& frame, int64_t advance, LineBand band,
              Paint paint) {
  if (advance <= 0 || band.height <= 0) return;
  const double right = double(advance);
  const double top = band.top;
  const double bottom = double(band.top) + band.height;
  const SurfacePoint corners[4] = {frame.At(0, top), frame.At(right, top), frame.At(right, bottom),
                                   frame.At(0, bottom)};
  FillConvexPolygon(surface, corners, 4, paint);
}

bool MayTouchSurface(const TextSurface& surface, int64_t x, int64_t y, double radius) {
  const int64_t reach = RoundToPixel(radius) + 1;
  return x + reach >= 0 && x - reach < surface.Width() && y + reach >= 0 &&
         y - reach < surface.Height();
}

void BlendGlyph(TextSurface& surface, const GlyphImage& glyph, int64_t originX, int64_t originY) {
  const int64_t left = originX + glyph.left;
  const int64_t top = originY + glyph.top;
  const int64_t x0 = std::max<int64_t>(left, 0);
  const int64_t x1 = std::min<int64_t>(left + glyph.width, surface.Width());
  const int64_t y0 = std::max<int64_t>(top, 0);
  const int64_t y1 = std::min<int64_t>(top + glyph.rows, surface.Height());
  if (x0 >= x1 || y0 >= y1) return;
  for (int64_t row = y0; row < y1; ++row) {
    const uint8_t* coverage = glyph.coverage.data() + (row - top) * glyph.width + (x0 - left);
    surface.BlendRow(static_cast<int>(row), static_cast<int>(x0), coverage,
                     static_cast<int>(x1 - x0), Paint::Text);
  }
}

void DrawGlyphs(TextSurface& surface, const LineFrame& frame, FontInstance& font,
                std::u32string_view text) {
  int64_t pen = 0;
  for (const char32_t code : text) {
    // Glyph origins sit on whole pixels so that each glyph's cached coverage can be reused.
    const SurfacePoint origin = frame.At(double(pen), font.Ascent());
    const int64_t x = RoundToPixel(origin.x);
    const int64_t y = RoundToPixel(origin.y);
    if (!MayTouchSurface(surface, x, y, font.InkRadius())) {
      pen += font.Advance(code);
      continue;
    }
    const PixelBox visible{-x, -y, surface.Width() - x, surface.Height() - y};
    const GlyphImage& glyph = font.Render(code, visible);
    BlendGlyph(surface, glyph, x, y);
    pen += glyph.advance;
  }
}

}  // namespace

std::optional<FontMatch> MatchFont(const FontRequest& request) {
  return ThreadFontCache::ForThisThread().Match(request);
}

std::optional<LineMetrics> MeasureTextLine(const FontRequest& request, std::u32string_view text) {
  FontInstance* const font = ThreadFontCache::ForThisThread().Instance(request);
  if (!font) return std::nullopt;
  LineMetrics metrics;
  metrics.advance = LineAdvance(*font, text);
  metrics.ascent = font->Ascent();
  metrics.descent = font->Descent();
  metrics.emHeight = font->EmHeight();
  return metrics;
}

bool DrawTextLine(TextSurface& surface, int64_t x, int64_t y, std::u32string_view text,
                  const FontRequest& request, bool opaque) {
  FontInstance* const font = ThreadFontCache::ForThisThread().Instance(request);
  if (!font) return false;
  if (text.empty() || surface.Width() <= 0 || surface.Height() <= 0) return true;
  const LineFrame frame{double(x), double(y), font->Cos(), font->Sin()};
  const int64_t advance = LineAdvance(*font, text);
  if (opaque)
    FillBand(surface, frame, advance, {0, font->Ascent() + font->Descent()}, Paint::Background);
  DrawGlyphs(surface, frame, *font, text);
  if (request.underline) FillBand(surface, frame, advance, font->Underline(), Paint::Text);
  if (request.strikeOut) FillBand(surface, frame, advance, font->StrikeOut(), Paint::Text);
  return true;
}

}  // namespace vialto::platform::text
