// Pictures as the tool holds them, and the library calls that turn, convert and scale them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vialto::cli {

// An upright picture: RGB24 (R,G,B, top row first) or grey (one byte a pixel, top row first).
struct Picture {
  int width = 0;
  int height = 0;
  int channels = 3;  // 3 RGB24, 1 grey
  std::vector<uint8_t> pixels;

  static Picture Rgb(int width, int height);
  size_t RowBytes() const { return static_cast<size_t>(width) * channels; }
};

// The drawing routines' order: B,G,R a pixel, bottom row first, rows of width * 3 bytes.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

// RGB24 top-down <-> bitmap order (the same swap and flip both ways). Grey pictures are widened
// to RGB first.
Bitmap ToBitmap(const Picture& picture);
Picture FromBitmap(const Bitmap& bitmap);
// Swaps R/B and turns the rows of an RGB24 buffer in place (ImageSwapRGB + ImageFlip).
void SwapAndFlip(uint8_t* pixels, int width, int height);

// Grey widened to RGB24 by repeating each byte (no luma offset: these are display values).
Picture WidenToRgb(const Picture& picture);
// YUV 4:2:2 planar (Y, then V, then U; width * height * 2 bytes into `out`): RGB24 through the
// library's RGBToYUV422Plane, grey as its own levels with neutral chroma.
void ToYuv422Planes(const uint8_t* pixels, int width, int height, int channels, uint8_t* out);
// RGB24 to grey with the library's weights (RGBToGray).
Picture ToGrey(const Picture& picture);
// Bilinear scale with ImageResize; throws CommandError when the library refuses.
Picture Resize(const Picture& picture, int width, int height);
// Scales to fit inside width x height keeping the aspect ratio, centred on a dark background.
Picture FitInto(const Picture& picture, int width, int height);

}  // namespace vialto::cli
