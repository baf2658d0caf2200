#include "SequenceWriter.h"

#include <cerrno>
#include <cstring>
#include <limits>

#include "Args.h"
#include "seq/SerFormat.h"
#include "vialto/vialto.h"

namespace vialto::cli {
namespace {

constexpr uint32_t kSe1HeadLength = seq::kHeadBufBytes;  // frames start right behind the head
constexpr size_t kSubHeadLength = seq::kSubHeadBytes;
constexpr size_t kSerTrailerLength = seq::kSerTrailerBytes;
constexpr int kMaxFrames = 65535;  // wFrameCount is 16 bits

FILE* CreateFile(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw CommandError("cannot create " + path + ": " + std::strerror(errno));
  return file;
}

void WriteOrThrow(FILE* file, const std::string& path, const void* data, size_t size) {
  if (size && std::fwrite(data, 1, size, file) != size) {
    throw CommandError("cannot write " + path + ": " + std::strerror(errno));
  }
}

void CloseOrThrow(FILE** file, const std::string& path) {
  FILE* f = *file;
  *file = nullptr;
  if (f && std::fclose(f) != 0) {
    throw CommandError("cannot write " + path + ": " + std::strerror(errno));
  }
}

void CheckFrameLimit(int frames) {
  if (frames >= kMaxFrames) throw CommandError("a sequence holds at most 65535 frames");
}

}  // namespace

// --- se1 -------------------------------------------------------------------------------------

Se1Writer::Se1Writer(const std::string& path) : path_(path), file_(CreateFile(path)) {
  WriteHead();
}

Se1Writer::~Se1Writer() {
  if (file_) std::fclose(file_);
}

void Se1Writer::Write(const void* data, size_t size) { WriteOrThrow(file_, path_, data, size); }

void Se1Writer::WriteHead() {
  SerHeadInfo head{};
  std::memcpy(head.info.chSign, "se1", 3);
  head.info.wFrameCount = static_cast<uint16_t>(frames_);
  head.info.byColorMode = 1;
  head.info.byColorMode2 = 1;
  head.dwHeadLen = kSe1HeadLength;
  uint8_t raw[kSe1HeadLength];
  Ser_SerHeadInfoToBuf(&head, raw, sizeof raw);
  Write(raw, sizeof raw);
}

void Se1Writer::AddFrame(const std::vector<uint8_t>& jpeg, int width, int height, bool colour) {
  CheckFrameLimit(frames_);
  if (width < 1 || height < 1 || width > 65535 || height > 65535) {
    throw CommandError("frame " + std::to_string(frames_) +
                       ": picture size does not fit a sub-header");
  }
  if (jpeg.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()) - kSubHeadLength) {
    throw CommandError("frame " + std::to_string(frames_) + ": JPEG stream too large");
  }
  SubHeadInfo sub{};
  std::memcpy(sub.chMark, seq::kFrameMarker, sizeof sub.chMark);
  std::memcpy(sub.chCodec, "JPE", 3);
  sub.nFrameNo = frames_;
  sub.nFrameLen = static_cast<int32_t>(jpeg.size() + kSubHeadLength);
  sub.nPrevFrameLen = previousLength_;
  sub.wWidth = static_cast<uint16_t>(width);
  sub.wHeight = static_cast<uint16_t>(height);
  sub.byColorStatus = colour ? 1 : 0;
  uint8_t raw[kSubHeadLength];
  Ser_SubHeadInfoToBuf(&sub, raw);
  Write(raw, sizeof raw);
  Write(jpeg.data(), jpeg.size());
  previousLength_ = sub.nFrameLen;
  ++frames_;
}

void Se1Writer::Finish() {
  if (std::fseek(file_, 0, SEEK_SET) != 0) {
    throw CommandError("cannot write " + path_ + ": " + std::strerror(errno));
  }
  WriteHead();
  CloseOrThrow(&file_, path_);
}

// --- ser -------------------------------------------------------------------------------------

SerWriter::SerWriter(const std::string& path, bool allColour)
    : path_(path), allColour_(allColour), file_(CreateFile(path)) {}

SerWriter::~SerWriter() {
  if (file_) std::fclose(file_);
}

void SerWriter::Write(const void* data, size_t size) { WriteOrThrow(file_, path_, data, size); }

void SerWriter::AddFrame(const Picture& rgb) {
  CheckFrameLimit(frames_ + (havePending_ ? 1 : 0));  // the held-back frame counts too
  if (allColour_) {
    WriteFrame(rgb, true);
    return;
  }
  // Only the last frame of a mode-2 file is in colour, and which one is last is known at Finish.
  if (havePending_) WriteFrame(pending_, false);
  pending_ = rgb;
  havePending_ = true;
}

void SerWriter::WriteFrame(const Picture& rgb, bool colour) {
  const int n = kWidth * kHeight;
  if (colour) {
    std::vector<uint8_t> yuv(static_cast<size_t>(n) * 2);
    RGBToYUV422Plane(rgb.pixels.data(), yuv.data(), kWidth, kHeight);
    Write(yuv.data(), yuv.size());
  } else {
    // Grey frames carry the same +16 luma offset as the Y plane of colour frames, so that both
    // kinds come back from the reader at the same brightness.
    std::vector<uint8_t> grey(static_cast<size_t>(n));
    RGBToGray(rgb.pixels.data(), grey.data(), kWidth, kHeight);
    for (uint8_t& v : grey) v = static_cast<uint8_t>(v > 239 ? 255 : v + 16);
    Write(grey.data(), grey.size());
  }
  ++frames_;
}

void SerWriter::Finish() {
  if (havePending_) {
    WriteFrame(pending_, true);
    havePending_ = false;
  }
  SerInfo info{};
  std::memcpy(info.chSign, "ser", 3);
  info.wFrameCount = static_cast<uint16_t>(frames_);
  info.byColorMode = allColour_ ? 1 : 2;
  info.byColorMode2 = info.byColorMode;
  uint8_t trailer[kSerTrailerLength];
  Ser_SerInfoToBuf(&info, trailer, sizeof trailer);
  Write(trailer, sizeof trailer);
  CloseOrThrow(&file_, path_);
}

}  // namespace vialto::cli
