// Writers for frames that are written by the hundred: PNG through libpng with settings chosen
// for speed, and binary PGM/PPM, both straight from pixels the caller keeps (no copy). Failures are CommandErrors naming the file and
// the system's reason.
#pragma once
#include <cstdint>
#include <string>

namespace vialto::cli {

// Pixels top row first: RGB24 (channels 3) or grey (1), rows of width * channels bytes.
struct PixelView {
  const uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int channels = 3;
};

// libpng's row filters (PNG_FILTER_* bits) and zlib's level and strategy.
struct PngSettings {
  int filters;
  int level;
  int strategy;
};
// What frame output uses: fast at files no larger than common encoders' on the same pixels.
PngSettings FramePngSettings();

void WriteFramePng(const std::string& path, const PixelView& picture, const PngSettings& settings);
// "P6" for RGB, "P5" for grey.
void WriteFramePnm(const std::string& path, const PixelView& picture);

}  // namespace vialto::cli
