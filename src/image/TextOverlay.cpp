// ImageWriteStringToImg: one line of text drawn straight into the caller's bitmap-order image
// (B, G, R pixels, bottom row stored first), clipped to the picture.
#include <cstring>
#include <string>

#include "platform/ExportBoundary.h"
#include "platform/text/TextOutput.h"
#include "platform/text/Windows1252.h"
#include "vialto/vialto.h"

namespace {

using vialto::platform::text::FontFamily;
using vialto::platform::text::FontRequest;
using vialto::platform::text::Paint;
using vialto::platform::text::TextSurface;

constexpr COLORREF kTransparent = 0xFFFFFFFF;

struct Bgr {
  uint8_t b, g, r;
};

Bgr BgrOf(COLORREF colour) {  // 0x00BBGGRR
  return {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour)};
}

// round(value / 255) for value in [0, 255 * 255].
inline uint8_t DivideBy255(unsigned value) {
  value += 128;
  return static_cast<uint8_t>((value + (value >> 8)) >> 8);
}

inline void BlendPixel(uint8_t* pixel, const Bgr& colour, unsigned coverage) {
  if (coverage == 255) {
    pixel[0] = colour.b, pixel[1] = colour.g, pixel[2] = colour.r;
    return;
  }
  const unsigned rest = 255 - coverage;
  pixel[0] = DivideBy255(colour.b * coverage + pixel[0] * rest);
  pixel[1] = DivideBy255(colour.g * coverage + pixel[1] * rest);
  pixel[2] = DivideBy255(colour.r * coverage + pixel[2] * rest);
}

// The caller's width x height image, rows of exactly width * 3 bytes, seen with row 0 at the top.
class BitmapSurface final : public TextSurface {
 public:
  BitmapSurface(unsigned char* pixels, int width, int height, COLORREF text, COLORREF background)
      : pixels_(pixels),
        width_(width),
        height_(height),
        text_(BgrOf(text)),
        background_(BgrOf(background)) {}

  int Width() const override { return width_; }
  int Height() const override { return height_; }

  void BlendRow(int y, int x, const uint8_t* coverage, int n, Paint paint) override {
    const Bgr colour = ColourOf(paint);
    uint8_t* pixel = PixelAt(x, y);
    for (int i = 0; i < n; ++i, pixel += 3)
      if (coverage[i] != 0) BlendPixel(pixel, colour, coverage[i]);
  }

  void BlendRun(int y, int x, int n, uint8_t coverage, Paint paint) override {
    if (coverage == 0) return;
    const Bgr colour = ColourOf(paint);
    uint8_t* pixel = PixelAt(x, y);
    for (int i = 0; i < n; ++i, pixel += 3) BlendPixel(pixel, colour, coverage);
  }

 private:
  Bgr ColourOf(Paint paint) const { return paint == Paint::Text ? text_ : background_; }
  uint8_t* PixelAt(int x, int y) const {
    return pixels_ + (std::size_t(height_ - 1 - y) * std::size_t(width_) + std::size_t(x)) * 3;
  }

  unsigned char* const pixels_;
  const int width_;
  const int height_;
  const Bgr text_;
  const Bgr background_;
};

FontFamily FamilyOf(uint8_t pitchAndFamily) {
  switch (pitchAndFamily & 0xF0) {
    case FF_ROMAN:
      return FontFamily::Roman;
    case FF_SWISS:
      return FontFamily::Swiss;
    case FF_MODERN:
      return FontFamily::Modern;
    case FF_SCRIPT:
      return FontFamily::Script;
    case FF_DECORATIVE:
      return FontFamily::Decorative;
    default:
      return FontFamily::DontCare;
  }
}

FontRequest RequestFrom(const LOGFONTA& font) {
  FontRequest request;
  // The face name need not be terminated inside its 32 bytes.
  request.faceName = vialto::platform::text::Windows1252ToUtf8(
      {font.lfFaceName, strnlen(font.lfFaceName, sizeof font.lfFaceName)});
  request.height = font.lfHeight;
  request.width = font.lfWidth;
  request.escapement = font.lfEscapement;
  request.weight = font.lfWeight;
  request.italic = font.lfItalic != 0;
  request.underline = font.lfUnderline != 0;
  request.strikeOut = font.lfStrikeOut != 0;
  request.antialiased = font.lfQuality != NONANTIALIASED_QUALITY;
  request.fixedPitch = (font.lfPitchAndFamily & 0x03) == FIXED_PITCH;
  request.family = FamilyOf(font.lfPitchAndFamily);
  return request;
}

}  // namespace

extern "C" VIALTO_API int VIALTO_CALL ImageWriteStringToImg(unsigned char* image, int width,
                                                            int height, int x, int y,
                                                            const char* text, const LOGFONTA* font,
                                                            COLORREF textColour,
                                                            COLORREF backColour) {
  if (!image || width <= 0 || height <= 0 || !font || !text || !*text) return 1;
  // Out of memory: the picture keeps what was drawn so far; the result is 1 regardless.
  vialto::platform::GuardExport([&] {
    LOGFONTA copy;
    std::memcpy(&copy, font, sizeof copy);
    std::u32string codes;
    vialto::platform::text::DecodeWindows1252(text, codes);
    BitmapSurface surface(image, width, height, textColour, backColour);
    vialto::platform::text::DrawTextLine(surface, x, y, codes, RequestFrom(copy),
                                         backColour != kTransparent);
  });
  return 1;
}
