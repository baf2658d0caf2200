// The windows the "se1" frame searches read: the buffer one window is read into, the slack read
// and scanned beyond it, and the scan for the exact sync markers in it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/Alloc.h"
#include "platform/ByteOrder.h"
#include "seq/SerFormat.h"

namespace vialto::seq {

inline constexpr int64_t kWindowSlack = 512;        // bytes read beyond each window
inline constexpr int64_t kScanSlack = 256;          // markers scanned beyond each window
inline constexpr std::size_t kFrameLenOffset = 16;  // nFrameLen in the sub-header

class WindowBuffer {
 public:
  explicit WindowBuffer(std::size_t n)
      : bytes(static_cast<unsigned char*>(platform::AllocBytes(n))), size(n) {}
  ~WindowBuffer() { platform::FreeBytes(bytes); }
  WindowBuffer(const WindowBuffer&) = delete;
  WindowBuffer& operator=(const WindowBuffer&) = delete;
  unsigned char* bytes;
  std::size_t size;
};

// One exact sync marker in a window: its file offset, the frame number behind it and the frame
// length its sub-header gives.
struct MarkerHit {
  int64_t pos;
  int32_t frameNo;
  int32_t frameLen;
};

// Calls visit(hit) for every "QXAAAAAA" that starts in buf[0, scanLength), in file order, until
// visit returns false. The buffer holds scanLength + kWindowSlack - kScanSlack bytes, so the
// numbers behind every scanned marker lie inside it.
template <typename Visit>
void ForEachMarker(const unsigned char* buf, int64_t windowStart, int64_t scanLength, Visit visit) {
  for (int64_t i = 0; i < scanLength; ++i) {
    if (buf[i] != 'Q' || std::memcmp(buf + i, kFrameMarker, sizeof kFrameMarker) != 0) continue;
    const MarkerHit hit{windowStart + i, platform::LoadLe32Signed(buf + i + kFrameNoOffset),
                        platform::LoadLe32Signed(buf + i + kFrameLenOffset)};
    if (!visit(hit)) return;
  }
}

}  // namespace vialto::seq
