// The decoder object: creation, opening a source by name, type recognition, the file
// information, and the one read path every later read goes through.
#include "seq/SerFileDecode.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "platform/ByteOrder.h"
#include "platform/ExportBoundary.h"
#include "platform/LocalFile.h"
#include "platform/UrlScheme.h"
#include "seq/SerRecords.h"

using vialto::platform::GuardExport;
using vialto::platform::InternetError;
using vialto::platform::InternetSession;
using vialto::platform::LoadLe32;
using vialto::platform::LocalSource;
namespace seq = vialto::seq;

namespace {

constexpr const char* kSessionAgent = "Tovrin";
constexpr std::size_t kNameCapacity = sizeof(CSerFileDecode::m_szFileName);

// The scheme decides the kind; everything else, "frames.se1" and "home/cam.ser" included, is a
// local path.
int32_t SourceKindOf(const char* name) {
  switch (vialto::platform::SchemeOf(name)) {
    case vialto::platform::UrlScheme::kHttp:
    case vialto::platform::UrlScheme::kHttps:
      return seq::kHttp;
    case vialto::platform::UrlScheme::kFtp:
      return seq::kFtp;
    case vialto::platform::UrlScheme::kNone:
      break;
  }
  return seq::kLocal;
}

int32_t FileTypeOfSignature(const unsigned char* sign) {
  const std::string_view text(reinterpret_cast<const char*>(sign), 3);
  if (vialto::platform::EqualsNoCase(text, "ser")) return seq::kSerFile;
  if (vialto::platform::EqualsNoCase(text, "se1")) return seq::kSe1File;
  return seq::kNoFile;
}

// Copies text into a field of `size` bytes, cut to fit and always terminated.
void CopyCut(char* field, std::size_t size, const char* text) {
  const std::size_t n = text ? ::strnlen(text, size - 1) : 0;
  std::memcpy(field, text ? text : "", n);
  std::memset(field + n, 0, size - n);
}

}  // namespace

CSerFileDecode::CSerFileDecode() {
  // Without a session the decoder still reads local files; remote opens then fail with 0.
  try {
    m_pSession = std::make_unique<InternetSession>(kSessionAgent);
  } catch (...) {
    m_pSession.reset();
  }
}

// The stream goes before the session it may belong to.
CSerFileDecode::~CSerFileDecode() { CloseSource(); }

void CSerFileDecode::CloseSource() {
  m_pFile.reset();
  m_bOpen = 0;
}

int64_t CSerFileDecode::HeadLength() const { return LoadLe32(m_HeadBuf + seq::kHeadLengthOffset); }

bool CSerFileDecode::ReadSource(int64_t pos, void* buf, std::size_t n, std::size_t* got) {
  if (got) *got = 0;
  if (!m_pFile || !m_bOpen || pos < 0) return false;
  std::size_t count = 0;
  if (!m_pFile->ReadAt(pos, buf, n, &count)) {
    // A local file that vanished or turned into something unreadable stays unusable until the
    // next open; a remote stream that merely refused keeps its state.
    if (m_nSourceKind == seq::kLocal) m_bOpen = 0;
    return false;
  }
  count = std::min(count, n);
  std::memset(static_cast<unsigned char*>(buf) + count, 0, n - count);
  if (got) *got = count;
  return true;
}

int CSerFileDecode::ReadSubHead(void* copyTo) {
  unsigned char bytes[seq::kSubHeadBytes];
  try {
    if (!ReadSource(m_nCurFramePos, bytes, sizeof bytes)) return 0;
  } catch (const InternetError&) {
    return 0;
  }
  std::memcpy(m_SubHeadBuf, bytes, sizeof bytes);
  if (copyTo && copyTo != m_SubHeadBuf) std::memcpy(copyTo, m_SubHeadBuf, sizeof m_SubHeadBuf);
  return static_cast<int>(seq::kSubHeadBytes);
}

namespace {

// Recognises the type: the 54-byte trailer first (only "ser" is decided by it), then the first
// 128 bytes. m_HeadBuf keeps what was read last. Returns the type, or kNoFile; *readFailed tells a
// failed read from an unknown signature.
int32_t RecogniseType(CSerFileDecode& d, bool* readFailed) {
  *readFailed = false;
  if (!d.ReadSource(d.m_nFileLength - static_cast<int64_t>(seq::kSerTrailerBytes), d.m_HeadBuf,
                    seq::kSerTrailerBytes)) {
    *readFailed = true;
    return seq::kNoFile;
  }
  if (FileTypeOfSignature(d.m_HeadBuf) == seq::kSerFile) return seq::kSerFile;
  if (!d.ReadSource(0, d.m_HeadBuf, seq::kHeadBufBytes)) {
    *readFailed = true;
    return seq::kNoFile;
  }
  return FileTypeOfSignature(d.m_HeadBuf);
}

}  // namespace

int CSerFileDecode::OpenByName(const char* name) {
  // The name may be m_szFileName itself (the return to the first frame of an ftp source).
  const std::size_t length = ::strnlen(name, kNameCapacity);
  const std::string wanted(name, length);
  CloseSource();
  m_nCurFrameNo = -1;
  m_nFileType = seq::kNoFile;
  if (length >= kNameCapacity) return 0;
  std::memcpy(m_szFileName, wanted.data(), length);
  std::memset(m_szFileName + length, 0, kNameCapacity - length);
  m_nSourceKind = SourceKindOf(m_szFileName);

  try {
    if (m_nSourceKind == seq::kLocal) {
      m_pFile = LocalSource::Open(wanted);
    } else if (m_pSession) {
      m_pFile = m_pSession->OpenUrl(wanted);
    }
    if (!m_pFile) return 0;
    m_bOpen = 1;
    m_nFileLength = m_pFile->Length();
    if (m_nFileLength < seq::kMinSourceLength) {
      CloseSource();
      return 0;
    }
    bool readFailed = false;
    const int32_t type = RecogniseType(*this, &readFailed);
    if (readFailed) {
      CloseSource();
      return 0;
    }
    if (type == seq::kNoFile) {
      CloseSource();
      return -1;
    }
    m_nFileType = type;
    Ser_BufToSerInfo(m_HeadBuf, &m_SerInfo);
    m_nCurFrameNo = 0;
    m_nCurFramePos = IsSe1() ? HeadLength() : 0;
    if (!ReadSubHead(nullptr)) return 0;
    Ser_BufToSubHeadInfo(m_SubHeadBuf, &m_SubHeadInfo);
    return 1;
  } catch (const InternetError&) {
    return 0;  // everything stays as the failure found it; the next open releases the stream
  }
}

int CSerFileDecode::SetFtpSettings(const char* text1, const char* text2, const char* text3,
                                   int value) {
  CloseSource();
  if (!text1 || text1[0] == '\0') {
    m_nSourceKind = seq::kLocal;
    return 1;
  }
  CopyCut(m_szFtpText1, sizeof m_szFtpText1, text1);
  CopyCut(m_szFtpText2, sizeof m_szFtpText2, text2);
  CopyCut(m_szFtpText3, sizeof m_szFtpText3, text3);
  m_nFtpValue = value;
  m_nSourceKind = seq::kHttp;
  return 1;
}

extern "C" {

VIALTO_API CSerFileDecode* VIALTO_CALL Ser_CreateSerFileDecode(void) {
  return GuardExport<CSerFileDecode*>(nullptr, [] { return new CSerFileDecode; });
}

VIALTO_API void VIALTO_CALL Ser_FinishSerFileDecode(CSerFileDecode* decoder) {
  GuardExport([&] { delete decoder; });
}

VIALTO_API int VIALTO_CALL Ser_SetSerFileName(CSerFileDecode* decoder, const char* name) {
  // Memory running out counts as a file that cannot be opened.
  return GuardExport(0, [&] { return decoder->OpenByName(name); });
}

VIALTO_API int VIALTO_CALL Ser_SetSerFileFtp(CSerFileDecode* decoder, const char* text1,
                                             const char* text2, const char* text3, int value) {
  return GuardExport(1, [&] { return decoder->SetFtpSettings(text1, text2, text3, value); });
}

VIALTO_API int VIALTO_CALL Ser_GetSerFileType(CSerFileDecode* decoder) {
  return GuardExport(int{seq::kNoFile}, [&] { return int{decoder->m_nFileType}; });
}

VIALTO_API int VIALTO_CALL Ser_GetSerFileInfo(CSerFileDecode* decoder, void* dst, int len) {
  return GuardExport(-1, [&] {
    if (len > 0) {
      const std::size_t n =
          std::min<std::size_t>(static_cast<std::size_t>(len), seq::kHeadBufBytes);
      std::memcpy(dst, decoder->m_HeadBuf, n);
    }
    if (decoder->IsSer()) return static_cast<int>(seq::kSerTrailerBytes);
    if (decoder->IsSe1()) return static_cast<int>(decoder->HeadLength());
    return -1;
  });
}

}  // extern "C"
