// Builders for real sequence files: "ser" files with patterned frames and "se1" files whose
// frames are real JPEG pictures behind correct sub-header chains, plus the knobs to make them
// hostile (broken chains, wrong markers, stray markers, truncation, odd lengths).
//
//   SerSample ser;                       // 3 grey frames, mode 2/2
//   ser.Frames(10).Modes(1, 1).Write(path);
//   Se1Sample se1;
//   se1.AddFrames(20).HeadLength(256);
//   se1.Frame(7).codec = "JPE";
//   se1.Write(path);                     // se1.Positions()[7] is where frame 7's sub-header is
//
// Everything is deterministic: the same calls give the same bytes.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace vialto::test {

inline constexpr int64_t kSerGreyBytes = 0x36000;    // 768 x 288
inline constexpr int64_t kSerColourBytes = 0x6c000;  // 768 x 288 x 2
inline constexpr int64_t kSerTrailer = 54;
inline constexpr int64_t kSubHeadSize = 64;

// A "ser" file: fixed-size frames from offset 0, then the 54-byte trailer.
// Frame sizes follow byColorMode: 1 every frame colour; 2 grey frames with a colour last frame;
// any other value grey frames. byColorMode2 is stored as given and changes nothing here.
class SerSample {
 public:
  SerSample();

  SerSample& Frames(int count);                             // frames written (default 3)
  SerSample& Modes(uint8_t colorMode, uint8_t colorMode2);  // default 2, 2
  SerSample& FrameCountField(int count);                    // stored wFrameCount (default: Frames)
  SerSample& Signature(const std::string& sign3);           // default "ser"
  // Only the first kSparseStamp bytes of each frame are written; the rest stay holes (zeros).
  // For files of gigabytes.
  SerSample& Sparse(bool on = true);
  static constexpr int64_t kSparseStamp = 4096;
  SerInfo& Info() { return info_; }  // the trailer record, any field

  int FrameCount() const { return frames_; }
  int64_t FrameLength(int frameNo) const;    // bytes stored for that frame
  int64_t FramePosition(int frameNo) const;  // frame n at n x grey or colour size
  int64_t FileLength() const;
  Bytes FrameBytes(int frameNo) const;  // exactly what the file holds there
  Bytes Trailer() const;                // the 54 bytes at the end

  Bytes Build() const;                        // the whole file (not for sparse giants)
  void Write(const std::string& path) const;  // throws std::runtime_error on I/O errors

  // Byte `offset` of frame n's pixels: the first 4 bytes are n little-endian, then a pattern
  // that differs from frame to frame.
  static uint8_t PatternByte(int frameNo, int64_t offset);

 private:
  int frames_ = 3;
  std::optional<int> frameCountField_;
  bool sparse_ = false;
  SerInfo info_{};
};

// One "se1" frame. Defaults give a valid 32 x 24 colour "JPG" frame carrying its own number.
struct Se1Frame {
  int width = 32;
  int height = 24;
  bool greyPicture = false;   // a one-component JPEG (decodes to 8 bits per pixel)
  std::string codec = "JPG";  // up to 4 bytes, stored as given ("jpg", "JPE", "PNG"...)
  uint8_t colorStatus = 1;    // byColorStatus
  uint8_t byVal1D = 0;
  int quality = 90;
  int64_t padding = 0;        // zero bytes after the picture, inside the frame (unequal lengths)
  std::optional<Bytes> data;  // stored instead of the JPEG picture (corrupt or foreign data)
  // Chain overrides for hostile files; unset means the true value.
  std::optional<std::string> marker;    // 8 bytes; default "QXAAAAAA"
  std::optional<int32_t> frameNo;       // default: the frame's index
  std::optional<int32_t> frameLen;      // default: 64 + data length
  std::optional<int32_t> prevFrameLen;  // default: the previous frame's true length, 0 first
  std::optional<uint16_t> storedWidth, storedHeight;  // default: width, height
};

// A frame whose data is `bytes` patterned bytes (different for every frame number, never a
// sync marker) instead of a picture: for files whose pictures are never decoded.
Se1Frame PayloadFrame(int frameNo, std::size_t bytes);

// An "se1" file: a head of HeadLength bytes (the file information, dwHeadLen at 64), then the
// frames back to back, each a 64-byte sub-header and its data.
class Se1Sample {
 public:
  Se1Sample();

  Se1Sample& HeadLength(uint32_t bytes);           // default 128; at least 71
  Se1Sample& FrameCountField(int count);           // stored wFrameCount (default: frames)
  Se1Sample& Signature(const std::string& sign3);  // default "se1"
  SerHeadInfo& Head() { return head_; }            // any other head field

  Se1Sample& AddFrame(const Se1Frame& frame = {});
  Se1Sample& AddFrames(int count, const Se1Frame& prototype = {});
  Se1Frame& Frame(int index);  // to change one frame before building
  int FrameCount() const { return static_cast<int>(frames_.size()); }

  // Pads the frame before `index` (or the head, for frame 0) so that frame `index` starts at
  // `offset`; the chain stays correct. Throws std::invalid_argument when offset is too early.
  Se1Sample& PlaceFrameAt(int index, int64_t offset);
  // Pads the last frame so that the file is `length` bytes long (before any truncation).
  Se1Sample& PadTo(int64_t length);
  // Overwrites bytes of the built file at offset (growing it when needed).
  Se1Sample& Patch(int64_t offset, const Bytes& bytes);
  // A stray "QXAAAAAA" with the number frameNo 12 bytes behind it, written over the file.
  Se1Sample& StrayMarker(int64_t offset, int32_t frameNo);
  // Cuts the built file to `length` bytes.
  Se1Sample& Truncate(int64_t length);

  // Layout before patches and truncation.
  std::vector<int64_t> Positions() const;  // sub-header offset of every frame
  std::vector<int32_t> Lengths() const;    // true nFrameLen of every frame
  int64_t FileLength() const;              // after truncation and patches
  // The decoder's search window for this file: length / wFrameCount, or length / 5.
  int64_t SearchWindow() const;

  Bytes FrameData(int index) const;  // the data behind the sub-header
  Bytes SubHead(int index) const;    // the 64 sub-header bytes
  Bytes HeadBytes() const;           // the HeadLength head bytes

  Bytes Build() const;
  void Write(const std::string& path) const;  // throws std::runtime_error on I/O errors

  // The picture a default frame carries: RGB24 (or grey) whose colours depend on frameNo, smooth
  // enough that a decoded frame stays within a few levels of it.
  static Bytes Picture(int frameNo, int width, int height, bool grey);
  // Base colour of frame n's picture: R, G, B at the top-left corner.
  static void PictureColour(int frameNo, uint8_t rgb[3]);
  // Baseline (or progressive) JPEG of an RGB24 or grey picture, through libjpeg.
  static Bytes EncodeJpeg(const Bytes& pixels, int width, int height, bool grey, int quality,
                          bool progressive = false);

 private:
  const Bytes& PictureData(int index) const;
  int32_t FrameLength(int index) const;  // the true nFrameLen

  uint32_t headLength_ = 128;
  std::optional<int> frameCountField_;
  SerHeadInfo head_{};
  std::vector<Se1Frame> frames_;
  mutable std::vector<std::optional<Bytes>> encoded_;  // cache of each frame's JPEG
  std::vector<std::pair<int64_t, Bytes>> patches_;
  std::optional<int64_t> truncate_;
};

}  // namespace vialto::test
