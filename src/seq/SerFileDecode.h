// CSerFileDecode: the sequence decoder behind the Ser_* handle. Chief header of seq/.
//
// The decoder stands on one current frame of a "ser" or "se1" file read through one Source.
// Navigation.cpp moves it, FrameData.cpp hands out the current frame, SaveToLocal.cpp copies the
// source. Positions are 64-bit inside, so sequences beyond 2 GiB are reachable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/net/InternetSession.h"
#include "seq/SerFormat.h"
#include "seq/Source.h"
#include "vialto/vialto.h"

namespace vialto::seq {

class FrameBracket;
enum FileType : int32_t { kNoFile = -1, kSerFile = 0, kSe1File = 1 };
enum SourceKind : int32_t { kLocal = 0, kHttp = 1, kFtp = 2 };

}  // namespace vialto::seq

class CSerFileDecode {
 public:
  CSerFileDecode();
  virtual ~CSerFileDecode();
  CSerFileDecode(const CSerFileDecode&) = delete;
  CSerFileDecode& operator=(const CSerFileDecode&) = delete;

  // --- open and close (SerFileDecode.cpp) -----------------------------------------------------
  // Ser_SetSerFileName: 1 opened, 0 failed, -1 no recognised type. Internet failures are caught
  // and give 0. name may point into m_szFileName.
  int OpenByName(const char* name);
  // Ser_SetSerFileFtp. Always 1.
  int SetFtpSettings(const char* text1, const char* text2, const char* text3, int value);
  // Releases the stream; type, frame number, position and buffers keep their values.
  void CloseSource();
  // Reads the 64 bytes at m_nCurFramePos into m_SubHeadBuf (zero-filled behind a short read) and
  // copies them to copyTo when given. 64, or 0 on failure (m_SubHeadBuf then keeps its bytes).
  // Never throws: an internet failure is a 0.
  int ReadSubHead(void* copyTo);
  // Reads n bytes at absolute position pos, for every kind of source. Fails (false, nothing
  // written) while no stream is held, m_bOpen is 0 or pos is negative. A local file that cannot
  // be opened or read any more clears m_bOpen. On success the bytes not delivered (behind the
  // end of the source) are zero and *got (when given) receives the count delivered; a short read
  // is a success. Throws InternetError for remote transport failures; callers catch it.
  bool ReadSource(int64_t pos, void* buf, std::size_t n, std::size_t* got = nullptr);

  bool HasFile() const {
    return m_nFileType == vialto::seq::kSerFile || m_nFileType == vialto::seq::kSe1File;
  }
  bool IsSer() const { return m_nFileType == vialto::seq::kSerFile; }
  bool IsSe1() const { return m_nFileType == vialto::seq::kSe1File; }
  // "se1": dwHeadLen, the first frame's offset (little-endian u32 at m_HeadBuf + 64).
  int64_t HeadLength() const;

  // --- navigation (Navigation.cpp) -------------------------------------------------------------
  int MoveFirst();
  int MoveEnd();
  int MoveRelative(int delta);
  int MoveTo(int frameNo);
  int StepFrame(int delta);
  // The frame whose sync marker carries `target`: 1 with its position (frameNo = target), 0 when
  // no frame carries it or a read failed. The window search first, then NarrowToFrame.
  int LocateFrame(int target, int64_t* pos, int* frameNo);
  // The window search: windows of the average frame length from window `target` on, steered one
  // window at a time, for a few windows; what they show goes into the bracket. False when a read
  // failed.
  bool SearchWindows(int target, int64_t window, vialto::seq::FrameBracket& bracket);
  // Finishes a search the window search left open (ExactFrameSearch.cpp): 1 found, 0 no frame
  // carries the number or a read failed.
  int NarrowToFrame(vialto::seq::FrameBracket& bracket, int64_t window);
  // One search window at start; false when the read failed (internet failures included).
  bool ReadWindow(int64_t start, unsigned char* buf, std::size_t n);
  // "ser": frame size S for the mode pair, 0 when no position is computed for it.
  int64_t SerFrameStride() const;

  // What a failed "se1" move puts back: frame number, position and both sub-header forms.
  struct SavedPosition {
    int32_t frameNo;
    int64_t framePos;
    SubHeadInfo subHeadInfo;
    unsigned char subHeadBuf[64];
  };
  SavedPosition SavePosition() const;
  void RestorePosition(const SavedPosition& saved);
  // The first 7 bytes of m_SubHeadBuf are "qxaaaaa", case ignored (the check a step makes).
  bool SubHeadHasMarker() const;
  bool IsRemote() const { return m_nSourceKind != vialto::seq::kLocal; }

  // --- the data model --------------------------------------------------------------------------
  int32_t m_nFileType = vialto::seq::kNoFile;
  int32_t m_nSourceKind = vialto::seq::kLocal;
  int32_t m_bOpen = 0;
  int32_t m_nCurFrameNo = -1;
  int64_t m_nCurFramePos = 0;
  int64_t m_nFileLength = 0;
  char m_szFileName[250] = {};
  unsigned char m_HeadBuf[128] = {};
  unsigned char m_SubHeadBuf[64] = {};
  std::unique_ptr<vialto::seq::Source> m_pFile;
  std::unique_ptr<vialto::platform::InternetSession> m_pSession;
  char m_szFtpText1[64] = {};
  char m_szFtpText2[32] = {};
  char m_szFtpText3[32] = {};
  int32_t m_nFtpValue = 0;
  SerInfo m_SerInfo = {};
  SubHeadInfo m_SubHeadInfo = {};
};
