// One font of the calling thread: the GDI font made from a request, its metrics, and a memory
// device context it is selected into for measuring. Internal to the win32 text service.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "platform/text/FontRequest.h"
#include "platform/text/TextOutput.h"

namespace vialto::platform::text {

class GdiFont {
 public:
  // Null when GDI cannot make the font.
  static std::unique_ptr<GdiFont> Create(const FontRequest& request);
  ~GdiFont();
  GdiFont(const GdiFont&) = delete;
  GdiFont& operator=(const GdiFont&) = delete;

  HFONT font() const { return font_; }
  // A memory context with the font selected, for measuring and table lookups.
  HDC context() const { return dc_; }
  const TEXTMETRICW& metrics() const { return metrics_; }
  // A negative logical height is the em height itself (GDI sizes the face to it); the metrics'
  // internal leading can be a rounding off from it.
  int EmHeight() const {
    return logicalHeight_ < 0 ? -logicalHeight_ : metrics_.tmHeight - metrics_.tmInternalLeading;
  }
  // The line's advance along the baseline, in whole pixels.
  int64_t Advance(const std::wstring& text) const;
  FontMatch Match() const;

 private:
  GdiFont(HFONT font, HDC dc);

  HFONT font_;
  HDC dc_;
  HGDIOBJ previous_;
  TEXTMETRICW metrics_{};
  int logicalHeight_ = 0;
  int requestedWeight_ = FW_NORMAL;
  bool requestedItalic_ = false;
};

// The logical font GDI is asked for: the request's fields, any character set, outline faces
// preferred, grey anti-aliasing or none as asked (never subpixel colours).
LOGFONTW LogicalFontFor(const FontRequest& request);

// Code points as UTF-16 (pairs beyond the basic plane); invalid ones become U+FFFD.
std::wstring Utf16From(std::u32string_view text);

}  // namespace vialto::platform::text
