// Text through GDI: the font made from the request, the line rendered white on black into a
// memory DIB section over the part of the surface it may touch, and that render's grey levels
// blended into the surface as coverage. GDI draws underline and strike-out with the glyphs; the
// opaque cell box is filled here, turned with the line as GDI turns it.
#include "platform/text/TextOutput.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>
#include <vector>

#include "platform/text/ConvexFill.h"
#include "platform/text/SmallLru.h"
#include "platform/win32/text/GdiFont.h"

namespace vialto::platform::text {
namespace {

// A render is cut into bands of rows so that its bitmap stays below this many pixels.
constexpr int64_t kMaxRenderPixels = 4 * 1024 * 1024;
// GDI keeps coordinates well inside this range.
constexpr int64_t kMaxGdiCoordinate = int64_t{1} << 26;

class ThreadFonts {
 public:
  // Null when GDI cannot make the font. Valid until the next call on this thread.
  GdiFont* Font(const FontRequest& request) {
    if (auto* known = fonts_.Find(request)) return known->get();
    std::unique_ptr<GdiFont> font = GdiFont::Create(request);
    if (!font) return nullptr;
    return fonts_.Insert(request, std::move(font)).get();
  }

 private:
  SmallLru<FontRequest, std::unique_ptr<GdiFont>, 8> fonts_;
};

// Each thread's fonts in a fiber-local slot whose callback releases them when the thread ends
// (and for every thread when the library unloads). Not a thread_local object: the toolchain's
// emulated thread storage can be gone before such an object's destructor runs at thread exit.
class ThreadFontsSlot {
 public:
  ThreadFontsSlot() : index_(FlsAlloc(&Release)) {}
  ~ThreadFontsSlot() {
    if (index_ != FLS_OUT_OF_INDEXES) FlsFree(index_);
  }
  ThreadFontsSlot(const ThreadFontsSlot&) = delete;
  ThreadFontsSlot& operator=(const ThreadFontsSlot&) = delete;

  // Null when the thread's fonts cannot be set up (no slot, no memory).
  ThreadFonts* ForThisThread() {
    if (index_ == FLS_OUT_OF_INDEXES) return nullptr;
    if (auto* fonts = static_cast<ThreadFonts*>(FlsGetValue(index_))) return fonts;
    auto* fonts = new (std::nothrow) ThreadFonts;
    if (fonts && !FlsSetValue(index_, fonts)) {
      delete fonts;
      return nullptr;
    }
    return fonts;
  }

 private:
  static void WINAPI Release(void* fonts) { delete static_cast<ThreadFonts*>(fonts); }
  DWORD index_;
};

GdiFont* FontFor(const FontRequest& request) {
  static ThreadFontsSlot slot;
  ThreadFonts* const fonts = slot.ForThisThread();
  return fonts ? fonts->Font(request) : nullptr;
}

struct PixelRect {
  int64_t left, top, right, bottom;  // right and bottom exclusive
  bool Empty() const { return right <= left || bottom <= top; }
};

// Maps line coordinates (u along the baseline from the first cell's left edge, v down from the
// top of the cell) to surface pixels, turning about the cell's top-left corner.
struct LineFrame {
  double x, y, cos, sin;
  SurfacePoint At(double u, double v) const {
    return {x + u * cos + v * sin, y - u * sin + v * cos};
  }
};

LineFrame FrameOf(int64_t x, int64_t y, const FontRequest& request) {
  const double angle = (request.escapement % 3600) / 10.0 * std::numbers::pi / 180.0;
  return {double(x), double(y), std::cos(angle), std::sin(angle)};
}

// The surface pixels the line's ink may reach: its cell box turned with the line, widened by a
// cell height on every side for overhangs, accents and italic slant, cut to the surface.
PixelRect ReachOf(const LineFrame& frame, int64_t advance, int cell, const TextSurface& surface) {
  const SurfacePoint corners[4] = {frame.At(0, 0), frame.At(double(advance), 0),
                                   frame.At(double(advance), cell), frame.At(0, cell)};
  double left = corners[0].x, right = corners[0].x, top = corners[0].y, bottom = corners[0].y;
  for (const SurfacePoint& p : corners) {
    left = std::min(left, p.x), right = std::max(right, p.x);
    top = std::min(top, p.y), bottom = std::max(bottom, p.y);
  }
  const double margin = cell + 2.0;
  auto clampTo = [](double v, int limit) { return int64_t(std::clamp(v, 0.0, double(limit))); };
  return {clampTo(std::floor(left - margin), surface.Width()),
          clampTo(std::floor(top - margin), surface.Height()),
          clampTo(std::ceil(right + margin), surface.Width()),
          clampTo(std::ceil(bottom + margin), surface.Height())};
}

void FillCellBox(TextSurface& surface, const LineFrame& frame, int64_t advance, int cell) {
  if (advance <= 0 || cell <= 0) return;
  const SurfacePoint corners[4] = {frame.At(0, 0), frame.At(double(advance), 0),
                                   frame.At(double(advance), cell), frame.At(0, cell)};
  FillConvexPolygon(surface, corners, 4, Paint::Background);
}

// A top-down 32-bit DIB section selected into a memory context, all black to start with.
class RenderTarget {
 public:
  RenderTarget(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    if (dc_) bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (bitmap_) previousBitmap_ = SelectObject(dc_, bitmap_);
  }
  ~RenderTarget() {
    if (previousBitmap_) SelectObject(dc_, previousBitmap_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
  }
  RenderTarget(const RenderTarget&) = delete;
  RenderTarget& operator=(const RenderTarget&) = delete;

  bool Ready() const { return bits_ != nullptr && previousBitmap_ != nullptr; }
  HDC dc() const { return dc_; }
  // Grey level of a pixel: the brightest channel, so that any smoothing reads as coverage.
  uint8_t Coverage(int x, int y) const {
    const auto* pixel = static_cast<const uint8_t*>(bits_) + (std::size_t(y) * width_ + x) * 4;
    return std::max({pixel[0], pixel[1], pixel[2]});
  }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previousBitmap_ = nullptr;
  void* bits_ = nullptr;
};

// Renders the line into the surface rows [top, bottom) of reach and blends the coverage in.
void RenderBand(TextSurface& surface, const GdiFont& font, const std::wstring& text, int64_t x,
                int64_t y, const PixelRect& reach, int64_t top, int64_t bottom) {
  const int width = static_cast<int>(reach.right - reach.left);
  const int height = static_cast<int>(bottom - top);
  const int64_t originX = x - reach.left;
  const int64_t originY = y - top;
  if (std::llabs(originX) > kMaxGdiCoordinate || std::llabs(originY) > kMaxGdiCoordinate) return;
  RenderTarget target(width, height);
  if (!target.Ready()) return;
  const HDC dc = target.dc();
  const HGDIOBJ previousFont = SelectObject(dc, font.font());
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  TextOutW(dc, static_cast<int>(originX), static_cast<int>(originY), text.data(),
           static_cast<int>(text.size()));
  GdiFlush();
  SelectObject(dc, previousFont);

  std::vector<uint8_t> row(static_cast<std::size_t>(width));
  for (int r = 0; r < height; ++r) {
    bool inked = false;
    for (int c = 0; c < width; ++c) inked |= (row[c] = target.Coverage(c, r)) != 0;
    if (inked)
      surface.BlendRow(static_cast<int>(top + r), static_cast<int>(reach.left), row.data(), width,
                       Paint::Text);
  }
}

void RenderLine(TextSurface& surface, const GdiFont& font, const std::wstring& text, int64_t x,
                int64_t y, const PixelRect& reach) {
  if (reach.Empty()) return;
  const int64_t width = reach.right - reach.left;
  const int64_t bandRows = std::max<int64_t>(1, kMaxRenderPixels / width);
  for (int64_t top = reach.top; top < reach.bottom; top += bandRows)
    RenderBand(surface, font, text, x, y, reach, top, std::min(reach.bottom, top + bandRows));
}

}  // namespace

std::optional<FontMatch> MatchFont(const FontRequest& request) {
  GdiFont* const font = FontFor(request);
  if (!font) return std::nullopt;
  return font->Match();
}

std::optional<LineMetrics> MeasureTextLine(const FontRequest& request, std::u32string_view text) {
  GdiFont* const font = FontFor(request);
  if (!font) return std::nullopt;
  LineMetrics metrics;
  metrics.advance = font->Advance(Utf16From(text));
  metrics.ascent = font->metrics().tmAscent;
  metrics.descent = font->metrics().tmDescent;
  metrics.emHeight = font->EmHeight();
  return metrics;
}

bool DrawTextLine(TextSurface& surface, int64_t x, int64_t y, std::u32string_view text,
                  const FontRequest& request, bool opaque) {
  GdiFont* const font = FontFor(request);
  if (!font) return false;
  if (text.empty() || surface.Width() <= 0 || surface.Height() <= 0) return true;
  const std::wstring wide = Utf16From(text);
  const int64_t advance = font->Advance(wide);
  const int cell = font->metrics().tmHeight;
  const LineFrame frame = FrameOf(x, y, request);
  if (opaque) FillCellBox(surface, frame, advance, cell);
  RenderLine(surface, *font, wide, x, y, ReachOf(frame, advance, cell, surface));
  return true;
}

}  // namespace vialto::platform::text
