#include "platform/win32/text/GdiFont.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <vector>

#include "platform/win32/WideText.h"

namespace vialto::platform::text {
namespace {

// Larger than any picture we draw on; it bounds what one glyph and one render can cost.
constexpr int32_t kMaxEmPixels = 2048;
constexpr int32_t kMaxCellPixels = 4 * kMaxEmPixels;
constexpr int kFirstBoldWeight = 600;
constexpr DWORD kOs2Table = 0x322F534F;  // 'OS/2' as GetFontData spells a table tag
// GDI measures a string of up to this many characters in one call.
constexpr std::size_t kMeasurePiece = 8192;

BYTE FamilyBits(FontFamily family) {
  switch (family) {
    case FontFamily::Roman:
      return FF_ROMAN;
    case FontFamily::Swiss:
      return FF_SWISS;
    case FontFamily::Modern:
      return FF_MODERN;
    case FontFamily::Script:
      return FF_SCRIPT;
    case FontFamily::Decorative:
      return FF_DECORATIVE;
    case FontFamily::DontCare:
      break;
  }
  return FF_DONTCARE;
}

unsigned BigEndian16(const unsigned char* p) { return unsigned(p[0]) << 8 | p[1]; }

std::string StyleName(bool bold, bool italic) {
  if (bold && italic) return "Bold Italic";
  if (bold) return "Bold";
  if (italic) return "Italic";
  return "Regular";
}

std::string Utf8From(const std::wstring& text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

}  // namespace

LOGFONTW LogicalFontFor(const FontRequest& request) {
  LOGFONTW font{};
  font.lfHeight = std::clamp(request.height, -kMaxEmPixels, kMaxCellPixels);
  // GDI takes the width's magnitude.
  font.lfWidth =
      static_cast<LONG>(std::min<int64_t>(std::abs(int64_t{request.width}), kMaxCellPixels));
  font.lfEscapement = request.escapement % 3600;
  font.lfOrientation = font.lfEscapement;  // glyphs turn with the line
  font.lfWeight = std::clamp(request.weight, 0, 1000);
  font.lfItalic = request.italic;
  font.lfUnderline = request.underline;
  font.lfStrikeOut = request.strikeOut;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_TT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = request.antialiased ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY;
  font.lfPitchAndFamily = static_cast<BYTE>((request.fixedPitch ? FIXED_PITCH : DEFAULT_PITCH) |
                                            FamilyBits(request.family));
  const std::wstring face = vialto::platform::win32::WideFromUtf8(request.faceName).value_or(L"");
  const std::size_t n = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
  std::wmemcpy(font.lfFaceName, face.data(), n);
  font.lfFaceName[n] = L'\0';
  return font;
}

std::wstring Utf16From(std::u32string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    if (c > 0x10FFFF) c = 0xFFFD;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
  }
  return out;
}

std::unique_ptr<GdiFont> GdiFont::Create(const FontRequest& request) {
  const LOGFONTW logical = LogicalFontFor(request);
  const HFONT font = CreateFontIndirectW(&logical);
  if (!font) return nullptr;
  const HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) {
    DeleteObject(font);
    return nullptr;
  }
  std::unique_ptr<GdiFont> made(new GdiFont(font, dc));
  if (!GetTextMetricsW(dc, &made->metrics_)) return nullptr;
  made->logicalHeight_ = logical.lfHeight;
  made->requestedWeight_ = request.weight <= 0 ? FW_NORMAL : request.weight;
  made->requestedItalic_ = request.italic;
  return made;
}

GdiFont::GdiFont(HFONT font, HDC dc) : font_(font), dc_(dc), previous_(SelectObject(dc, font)) {}

GdiFont::~GdiFont() {
  SelectObject(dc_, previous_);
  DeleteDC(dc_);
  DeleteObject(font_);
}

int64_t GdiFont::Advance(const std::wstring& text) const {
  int64_t advance = 0;
  for (std::size_t at = 0; at < text.size(); at += kMeasurePiece) {
    const std::size_t n = std::min(kMeasurePiece, text.size() - at);
    SIZE extent{};
    if (GetTextExtentPoint32W(dc_, text.data() + at, static_cast<int>(n), &extent))
      advance += extent.cx;
  }
  return advance;
}

// The face GDI chose, and what it makes up on top of it: bold or italic asked for where the
// face's own tables say it is neither.
FontMatch GdiFont::Match() const {
  FontMatch match;
  std::vector<wchar_t> face(LF_FACESIZE * 2, L'\0');
  const int n = GetTextFaceW(dc_, static_cast<int>(face.size()), face.data());
  if (n > 0) match.family = Utf8From(std::wstring(face.data()));
  bool faceBold = metrics_.tmWeight >= kFirstBoldWeight;
  bool faceItalic = metrics_.tmItalic != 0;
  unsigned char os2[64];
  if (GetFontData(dc_, kOs2Table, 0, os2, sizeof os2) == sizeof os2) {
    faceBold = BigEndian16(os2 + 4) >= kFirstBoldWeight;
    const unsigned selection = BigEndian16(os2 + 62);
    faceItalic = (selection & 0x0201) != 0;  // italic or oblique
  }
  match.style = StyleName(faceBold, faceItalic);
  match.emboldened = requestedWeight_ >= kFirstBoldWeight && !faceBold;
  match.slanted = requestedItalic_ && !faceItalic;
  return match;
}

}  // namespace vialto::platform::text
