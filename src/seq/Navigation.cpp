// Moving the decoder: "ser" moves are arithmetic on the frame size, "se1" moves walk the chain of
// sub-headers or search the file for a frame's sync marker.
#include <climits>
#include <cstring>
#include <string_view>

#include "platform/Alloc.h"
#include "platform/AsciiCase.h"
#include "platform/ByteOrder.h"
#include "platform/ExportBoundary.h"
#include "seq/FrameBracket.h"
#include "seq/SearchWindow.h"
#include "seq/SerFileDecode.h"
#include "seq/SerRecords.h"

using vialto::platform::GuardExport;
using vialto::platform::InternetError;
namespace seq = vialto::seq;

namespace {

// The window search walks one window per pass, so it reaches only frames that lie near target x W;
// on evenly sized files that is where they are. Beyond that the bracketing search
// (ExactFrameSearch.cpp) is far cheaper than walking on window by window.
constexpr int kFirstTryWindows = 4;

// Window length for the search: the average frame length.
int64_t SearchWindowLength(int64_t fileLength, int frameCount) {
  return frameCount != 0 ? fileLength / frameCount : fileLength / 5;
}

}  // namespace

int64_t CSerFileDecode::SerFrameStride() const {
  const int mode = m_SerInfo.byColorMode;
  if (mode != m_SerInfo.byColorMode2) return 0;
  if (mode == 1) return seq::kColourFrameBytes;
  if (mode == 2) return seq::kGreyFrameBytes;
  return 0;
}

CSerFileDecode::SavedPosition CSerFileDecode::SavePosition() const {
  SavedPosition saved;
  saved.frameNo = m_nCurFrameNo;
  saved.framePos = m_nCurFramePos;
  saved.subHeadInfo = m_SubHeadInfo;
  std::memcpy(saved.subHeadBuf, m_SubHeadBuf, sizeof m_SubHeadBuf);
  return saved;
}

void CSerFileDecode::RestorePosition(const SavedPosition& saved) {
  m_nCurFrameNo = saved.frameNo;
  m_nCurFramePos = saved.framePos;
  m_SubHeadInfo = saved.subHeadInfo;
  std::memcpy(m_SubHeadBuf, saved.subHeadBuf, sizeof m_SubHeadBuf);
}

bool CSerFileDecode::SubHeadHasMarker() const {
  constexpr std::size_t kChecked = 7;
  return vialto::platform::EqualsNoCase(
      std::string_view(reinterpret_cast<const char*>(m_SubHeadBuf), kChecked),
      std::string_view(seq::kFrameMarker, kChecked));
}

int CSerFileDecode::StepFrame(int delta) {
  if (delta != 1 && delta != -1) return 0;
  // Nothing lies in front of the first frame; a host walking back stops there.
  if (delta == -1 && m_nCurFrameNo <= 0) return 0;
  const SavedPosition saved = SavePosition();
  const int64_t next = delta == 1 ? m_nCurFramePos + m_SubHeadInfo.nFrameLen
                                  : m_nCurFramePos - m_SubHeadInfo.nPrevFrameLen;
  // A forward step must advance, or a chain with a zero length would never reach its end; and no
  // position in front of the file is ever read.
  if ((delta == 1 && m_SubHeadInfo.nFrameLen <= 0) || next < 0) return 0;
  // Counted, not read from the sub-header; a searched-for number may already stand at INT_MAX.
  const int64_t counted = static_cast<int64_t>(m_nCurFrameNo) + delta;
  m_nCurFrameNo = counted < 0 ? 0 : counted > INT_MAX ? INT_MAX : static_cast<int32_t>(counted);
  m_nCurFramePos = next;
  if (!ReadSubHead(nullptr) || !SubHeadHasMarker()) {
    RestorePosition(saved);
    return 0;
  }
  Ser_BufToSubHeadInfo(m_SubHeadBuf, &m_SubHeadInfo);
  return 1;
}

int CSerFileDecode::MoveFirst() {
  if (IsSer()) {
    m_nCurFrameNo = 0;
    m_nCurFramePos = 0;
    return 1;
  }
  if (!IsSe1()) return 0;
  m_nCurFrameNo = 0;
  if (m_nSourceKind == seq::kFtp) {
    char name[sizeof m_szFileName];
    std::memcpy(name, m_szFileName, sizeof name);
    return OpenByName(name) == 1 ? 1 : 0;
  }
  m_nCurFramePos = HeadLength();
  if (!ReadSubHead(nullptr)) return 0;
  Ser_BufToSubHeadInfo(m_SubHeadBuf, &m_SubHeadInfo);
  return 1;
}

int CSerFileDecode::MoveEnd() {
  if (IsSer()) {
    if (m_SerInfo.wFrameCount == 0) {
      m_nCurFrameNo = 0;
      return 0;
    }
    m_nCurFrameNo = m_SerInfo.wFrameCount - 1;
    if (const int64_t stride = SerFrameStride()) m_nCurFramePos = m_nCurFrameNo * stride;
    return 1;
  }
  if (!IsSe1()) return 0;
  while (StepFrame(+1)) {
  }
  if (!ReadSubHead(nullptr)) return 0;
  Ser_BufToSubHeadInfo(m_SubHeadBuf, &m_SubHeadInfo);
  return 1;
}

int CSerFileDecode::MoveRelative(int delta) {
  if (IsSe1()) return StepFrame(delta);
  if (!IsSer()) return 0;
  const int64_t count = m_SerInfo.wFrameCount;
  const int64_t n = static_cast<int64_t>(m_nCurFrameNo) + delta;
  if (n >= count) {
    m_nCurFrameNo = count == 0 ? 0 : static_cast<int32_t>(count - 1);
    return 0;
  }
  if (n < 0) {
    m_nCurFrameNo = 0;
    return 0;
  }
  m_nCurFrameNo = static_cast<int32_t>(n);
  if (const int64_t stride = SerFrameStride()) m_nCurFramePos = n * stride;
  return 1;
}

int CSerFileDecode::MoveTo(int frameNo) {
  const int count = m_SerInfo.wFrameCount;
  if (IsSer()) {
    if (frameNo < 0) {
      m_nCurFrameNo = 0;
      m_nCurFramePos = 0;
      return 0;
    }
    if (count == 0) {
      m_nCurFrameNo = 0;
      return 0;
    }
    m_nCurFrameNo = frameNo >= count ? count - 1 : frameNo;
    if (const int64_t stride = SerFrameStride()) m_nCurFramePos = m_nCurFrameNo * stride;
    return 1;
  }
  if (!IsSe1() || m_nSourceKind == seq::kFtp) return 0;
  if (frameNo < 0) return MoveFirst();
  // Frame numbers count from 0, so the last frame carries wFrameCount - 1.
  const int target = count > 0 && frameNo >= count ? count - 1 : frameNo;
  const SavedPosition saved = SavePosition();
  int64_t pos = 0;
  int no = 0;
  if (!LocateFrame(target, &pos, &no)) return 0;
  m_nCurFrameNo = no;
  m_nCurFramePos = pos;
  if (!ReadSubHead(nullptr)) {
    RestorePosition(saved);
    return 0;
  }
  Ser_BufToSubHeadInfo(m_SubHeadBuf, &m_SubHeadInfo);
  return 1;
}

bool CSerFileDecode::ReadWindow(int64_t start, unsigned char* buf, std::size_t n) {
  try {
    return ReadSource(start, buf, n);
  } catch (const InternetError&) {
    return false;
  }
}

int CSerFileDecode::LocateFrame(int target, int64_t* pos, int* frameNo) {
  const int count = m_SerInfo.wFrameCount;
  const int64_t window = SearchWindowLength(m_nFileLength, count);
  if (window < 0) return 0;
  // A head length beyond the file is damage; the frames may still be found behind the head.
  const int64_t first = HeadLength() < m_nFileLength ? HeadLength() : 0;
  seq::FrameBracket bracket(target, first, m_nFileLength, count);
  if (!SearchWindows(target, window, bracket)) return 0;
  if (!bracket.Found() && !NarrowToFrame(bracket, window)) return 0;
  *pos = bracket.FoundPos();
  *frameNo = target;
  return 1;
}

bool CSerFileDecode::SearchWindows(int target, int64_t window, seq::FrameBracket& bracket) {
  seq::WindowBuffer buffer(static_cast<std::size_t>(window + seq::kWindowSlack));
  if (!buffer.bytes) return false;
  // A remote source pays for every window: the first one that holds markers hands over to the
  // bracketing search when it misses.
  const bool remote = IsRemote();
  int64_t k = target;
  int direction = -1;
  for (int pass = 0; pass < kFirstTryWindows && !bracket.Settled(); ++pass) {
    if (k < 0) k = 0;
    // Windows past the end read as zeros; saturate instead of overflowing the product.
    const int64_t start = window != 0 && k > m_nFileLength / window ? m_nFileLength : k * window;
    if (!ReadWindow(start, buffer.bytes, buffer.size)) return false;
    bool sawMarker = false;
    int32_t lastNo = 0;
    seq::ForEachMarker(buffer.bytes, start, window + seq::kScanSlack,
                       [&](const seq::MarkerHit& hit) {
                         sawMarker = true;
                         lastNo = hit.frameNo;
                         return bracket.Note(hit) != seq::FrameBracket::Verdict::kTarget;
                       });
    if (bracket.Found()) return true;
    bracket.NoteScanned(start, start + window + seq::kScanSlack);
    if (sawMarker) direction = lastNo < target ? +1 : -1;
    k += direction;
    if (remote && sawMarker) break;
  }
  return true;
}

extern "C" {

VIALTO_API int VIALTO_CALL Ser_MoveFirst(CSerFileDecode* decoder) {
  return GuardExport(0, [&] { return decoder->MoveFirst(); });
}

VIALTO_API int VIALTO_CALL Ser_MoveEnd(CSerFileDecode* decoder) {
  return GuardExport(0, [&] { return decoder->MoveEnd(); });
}

VIALTO_API int VIALTO_CALL Ser_MoveCurrentFrameNo(CSerFileDecode* decoder, int delta) {
  return GuardExport(0, [&] { return decoder->MoveRelative(delta); });
}

VIALTO_API int VIALTO_CALL Ser_MoveTo(CSerFileDecode* decoder, int frameNo) {
  return GuardExport(0, [&] { return decoder->MoveTo(frameNo); });
}

VIALTO_API int VIALTO_CALL Ser_GetCurrentFrameNo(CSerFileDecode* decoder) {
  return GuardExport(0, [&] { return decoder->m_nCurFrameNo; });
}

VIALTO_API int VIALTO_CALL Ser_GetCurrentFramePos(CSerFileDecode* decoder) {
  return GuardExport(-1, [&] {
    const int64_t pos = decoder->m_nCurFramePos;
    return pos > INT_MAX ? -1 : static_cast<int>(pos);
  });
}

VIALTO_API int VIALTO_CALL Ser_GetCurrentSubHeadInfo(CSerFileDecode* decoder, void* out) {
  return GuardExport(0, [&] {
    std::memcpy(out, decoder->m_SubHeadBuf, sizeof decoder->m_SubHeadBuf);
    return static_cast<int>(sizeof decoder->m_SubHeadBuf);
  });
}

}  // extern "C"
