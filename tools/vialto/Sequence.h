// A sequence file opened through the library's decoder, with the tool's rules on top: clear
// failure messages, walks that cannot loop, and frames handed out upright in known byte orders.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Picture.h"
#include "vialto/vialto.h"

namespace vialto::cli {

// One line of `vialto info --frames`.
struct FrameEntry {
  int number = 0;
  int64_t position = -1;  // byte offset of the frame (an se1 frame's sub-header); -1 unknown
  int64_t span = 0;       // bytes from the position to the next frame's
  int length = 0;
  std::string codec;  // "JPE"/"JPG" for se1 frames, "raw" for ser frames
  int width = 0;
  int height = 0;
  int colour = 0;  // the library's colour status: 1 colour, 0 grey
};

// True for http://, https:// and ftp:// names (scheme in any case).
bool IsUrl(const std::string& source);

class Sequence {
 public:
  // Opens a local path or a URL. Throws CommandError with a message for the user.
  explicit Sequence(const std::string& source);
  ~Sequence();
  Sequence(const Sequence&) = delete;
  Sequence& operator=(const Sequence&) = delete;

  const std::string& Source() const { return source_; }
  CSerFileDecode* Handle() { return decoder_; }
  bool IsRemote() const { return IsUrl(source_); }
  bool IsSe1() const { return type_ == 1; }
  const char* TypeName() const { return IsSe1() ? "se1" : "ser"; }
  // The frame count the file information declares.
  int DeclaredFrameCount() const { return info_.wFrameCount; }
  const SerInfo& Info() const { return info_; }
  const SerHeadInfo& HeadInfo() const { return head_; }
  // Ser_GetSerFileInfo's result: 54 for "ser", the head length for "se1".
  int InfoLength() const { return infoLength_; }
  // The raw file-information bytes (54 for "ser", 128 for "se1").
  const std::vector<uint8_t>& InfoBytes() const { return infoBytes_; }
  // Bytes on disk for a local file, -1 for a URL.
  int64_t FileLength() const { return fileLength_; }

  // Navigation. First/Next return false at the end; GoTo throws for a frame that is not there.
  // First and Next keep the frame's 64-bit position themselves: the library's own position
  // call stops at INT_MAX.
  bool First();
  bool Next();
  void GoTo(int frameNo);
  int CurrentNumber() const;
  FrameEntry Current();
  SubHeadInfo CurrentSubHead();

  // The current frame's byte offset, -1 when not known (after a jump past INT_MAX).
  int64_t CurrentPosition() const;

  // The current frame's data.
  std::vector<uint8_t> StoredData();
  // Upright pictures. A grey "se1" frame keeps its decoded levels (repeated into R, G and B
  // for RGB); the library's grey-to-RGB conversion is meant for video-range luma.
  Picture UprightRgb();
  Picture Grey();
  std::vector<uint8_t> Yuv422(int* width, int* height);
  // Bitmap order for the drawing routines.
  Bitmap ForDrawing();
  // Throws CommandError for an "se1" frame whose codec tag the library cannot decode.
  void RequireDecodableCodec();

 private:
  bool CodecIs(const char* tag);
  std::string FrameLabel() const;
  // The se1 frame's stored stream decoded as it is: RGB or grey.
  Picture DecodedSe1();
  void SetPositionAfterMove(int64_t tracked);

  std::string source_;
  CSerFileDecode* decoder_ = nullptr;
  int type_ = -1;
  SerInfo info_{};
  SerHeadInfo head_{};
  int infoLength_ = -1;
  std::vector<uint8_t> infoBytes_;
  int64_t fileLength_ = -1;
  int64_t position_ = -1;
  int64_t serStride_ = 0;  // bytes between "ser" frames, learnt on the first step
};

}  // namespace vialto::cli
