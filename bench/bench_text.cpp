// A 20-character line written into a camera frame and into a full-HD frame, by
// ImageWriteStringToImg and by a plain FreeType loop: an already-open face, FT_Load_Char with
// FT_LOAD_RENDER for every character, and a straightforward blend into the same image.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <string>
#include <vector>

#include "platform/text/TextOutput.h"
#include "vialto/vialto.h"

namespace {

constexpr char kLine[] = "CAM 07 2026-12-09 AB";  // 20 characters
constexpr int kEmPixels = 20;
constexpr int kX = 16;
constexpr int kY = 12;
constexpr COLORREF kWhite = RGB(255, 255, 255);
static_assert(sizeof kLine - 1 == 20);

struct Frame {
  int width, height;
  std::vector<unsigned char> pixels;
  Frame(int w, int h) : width(w), height(h), pixels(std::size_t(w) * h * 3, 64) {}
};

LOGFONTA BenchFont() {
  LOGFONTA font;
  std::memset(&font, 0, sizeof font);
  font.lfHeight = -kEmPixels;
  font.lfWeight = FW_NORMAL;
  std::strcpy(font.lfFaceName, "DejaVu Sans");
  return font;
}

void Vialto(benchmark::State& state, int width, int height) {
  Frame frame(width, height);
  const LOGFONTA font = BenchFont();
  for (auto _ : state) {
    ImageWriteStringToImg(frame.pixels.data(), width, height, kX, kY, kLine, &font, kWhite,
                          0xFFFFFFFF);
    benchmark::ClobberMemory();
  }
}

class PlainFreeType {
 public:
  PlainFreeType() {
    vialto::platform::text::FontRequest request;
    request.faceName = "DejaVu Sans";
    const auto match = vialto::platform::text::MatchFont(request);
    if (FT_Init_FreeType(&library_) != 0 || !match ||
        FT_New_Face(library_, match->file.c_str(), match->index, &face_) != 0)
      return;
    FT_Set_Pixel_Sizes(face_, 0, kEmPixels);
    ascent_ = static_cast<int>((face_->size->metrics.ascender + 63) >> 6);
  }
  ~PlainFreeType() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  bool Ready() const { return face_ != nullptr; }

  void Draw(Frame& frame, int x, int y, const char* text) const {
    int pen = x;
    for (const char* c = text; *c; ++c) {
      if (FT_Load_Char(face_, static_cast<unsigned char>(*c), FT_LOAD_RENDER) != 0) continue;
      const FT_GlyphSlot slot = face_->glyph;
      Blend(frame, slot->bitmap, pen + slot->bitmap_left, y + ascent_ - slot->bitmap_top);
      pen += static_cast<int>(slot->advance.x >> 6);
    }
  }

 private:
  static void Blend(Frame& frame, const FT_Bitmap& bitmap, int left, int top) {
    for (int r = 0; r < int(bitmap.rows); ++r) {
      const int y = top + r;
      if (y < 0 || y >= frame.height) continue;
      unsigned char* row =
          frame.pixels.data() + std::size_t(frame.height - 1 - y) * frame.width * 3;
      for (int c = 0; c < int(bitmap.width); ++c) {
        const int x = left + c;
        if (x < 0 || x >= frame.width) continue;
        const unsigned a = bitmap.buffer[r * bitmap.pitch + c];
        unsigned char* p = row + x * 3;
        for (int k = 0; k < 3; ++k)
          p[k] = static_cast<unsigned char>((255 * a + p[k] * (255 - a)) / 255);
      }
    }
  }

  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  int ascent_ = 0;
};

void FreeTypeLoop(benchmark::State& state, int width, int height) {
  const PlainFreeType plain;
  if (!plain.Ready()) {
    state.SkipWithError("no DejaVu Sans");
    return;
  }
  Frame frame(width, height);
  for (auto _ : state) {
    plain.Draw(frame, kX, kY, kLine);
    benchmark::ClobberMemory();
  }
}

BENCHMARK_CAPTURE(Vialto, 768x288, 768, 288)->Name("WriteString/vialto/768x288");
BENCHMARK_CAPTURE(FreeTypeLoop, 768x288, 768, 288)->Name("WriteString/freetype_loop/768x288");
BENCHMARK_CAPTURE(Vialto, 1920x1080, 1920, 1080)->Name("WriteString/vialto/1920x1080");
BENCHMARK_CAPTURE(FreeTypeLoop, 1920x1080, 1920, 1080)->Name("WriteString/freetype_loop/1920x1080");

}  // namespace
