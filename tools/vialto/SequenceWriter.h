// Writes "se1" and "ser" files frame by frame, with the record codecs of the library.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Picture.h"

namespace vialto::cli {

// "se1": a 128-byte head, then each JPEG stream behind a 64-byte "QXAAAAAA" sub-header chained
// by its own and its predecessor's length. The head is rewritten with the frame count at the end.
class Se1Writer {
 public:
  explicit Se1Writer(const std::string& path);
  ~Se1Writer();
  Se1Writer(const Se1Writer&) = delete;
  Se1Writer& operator=(const Se1Writer&) = delete;
  void AddFrame(const std::vector<uint8_t>& jpeg, int width, int height, bool colour);
  void Finish();
  int FrameCount() const { return frames_; }

 private:
  void WriteHead();
  void Write(const void* data, size_t size);
  std::string path_;
  FILE* file_ = nullptr;
  int frames_ = 0;
  int32_t previousLength_ = 0;
};

// "ser": fixed 768 x 288 frames (grey, or YUV 4:2:2 planar in colour mode), then the 54-byte
// trailer. Colour mode 2 stores every frame grey except the last, so frames are held back one.
class SerWriter {
 public:
  static constexpr int kWidth = 768;
  static constexpr int kHeight = 288;
  SerWriter(const std::string& path, bool allColour);
  ~SerWriter();
  SerWriter(const SerWriter&) = delete;
  SerWriter& operator=(const SerWriter&) = delete;
  // The picture must be 768 x 288 RGB24.
  void AddFrame(const Picture& rgb);
  void Finish();
  int FrameCount() const { return frames_; }

 private:
  void WriteFrame(const Picture& rgb, bool colour);
  void Write(const void* data, size_t size);
  std::string path_;
  bool allColour_;
  FILE* file_ = nullptr;
  int frames_ = 0;
  bool havePending_ = false;
  Picture pending_;
};

}  // namespace vialto::cli
