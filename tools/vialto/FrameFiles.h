// Writers for frames that are written by the hundred, straight from pixels the caller keeps:
// PNG (rows "up"-filtered, compressed with libdeflate) and binary PGM/PPM. Each thread keeps its
// own compressor and buffers from frame to frame. Failures are CommandErrors naming the file
// and the system's reason.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vialto::cli {

// Pixels top row first: RGB24 (channels 3) or grey (1), rows of width * channels bytes.
struct PixelView {
  const uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int channels = 3;
};

void WriteFramePng(const std::string& path, const PixelView& picture);
// The same PNG file in memory.
std::vector<uint8_t> EncodeFramePng(const PixelView& picture);
// "P6" for RGB, "P5" for grey.
void WriteFramePnm(const std::string& path, const PixelView& picture);

}  // namespace vialto::cli
