// Shared by the decoder tests: an owned decoder handle, a snapshot of its whole state, and byte
// sources that stand in for remote streams.
#pragma once
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/net/InternetSession.h"
#include "seq/SerFileDecode.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace vialto::test {

class Decoder {
 public:
  Decoder() : handle_(Ser_CreateSerFileDecode()) {}
  ~Decoder() { Ser_FinishSerFileDecode(handle_); }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  CSerFileDecode* handle() const { return handle_; }
  CSerFileDecode& obj() const { return *reinterpret_cast<CSerFileDecode*>(handle_); }
  int Open(const std::string& name) const { return Ser_SetSerFileName(handle_, name.c_str()); }
  int FrameNo() const { return Ser_GetCurrentFrameNo(handle_); }
  int64_t Pos() const { return obj().m_nCurFramePos; }
  SubHeadInfo SubHead() const { return obj().m_SubHeadInfo; }

 private:
  CSerFileDecode* handle_;
};

// Every field of the decoder, for "nothing changed" checks.
struct DecoderState {
  explicit DecoderState(const CSerFileDecode& d)
      : fileType(d.m_nFileType),
        sourceKind(d.m_nSourceKind),
        open(d.m_bOpen),
        frameNo(d.m_nCurFrameNo),
        framePos(d.m_nCurFramePos),
        fileLength(d.m_nFileLength),
        stream(d.m_pFile.get()),
        bytes(Collect(d)) {}
  static Bytes Collect(const CSerFileDecode& d) {
    Bytes out;
    auto add = [&out](const void* p, std::size_t n) {
      const auto* b = static_cast<const uint8_t*>(p);
      out.insert(out.end(), b, b + n);
    };
    add(d.m_szFileName, sizeof d.m_szFileName);
    add(d.m_HeadBuf, sizeof d.m_HeadBuf);
    add(d.m_SubHeadBuf, sizeof d.m_SubHeadBuf);
    add(d.m_szFtpText1, sizeof d.m_szFtpText1);
    add(d.m_szFtpText2, sizeof d.m_szFtpText2);
    add(d.m_szFtpText3, sizeof d.m_szFtpText3);
    add(&d.m_nFtpValue, sizeof d.m_nFtpValue);
    add(&d.m_SerInfo, sizeof d.m_SerInfo);
    add(&d.m_SubHeadInfo, sizeof d.m_SubHeadInfo);
    return out;
  }
  bool operator==(const DecoderState&) const = default;

  int32_t fileType, sourceKind, open, frameNo;
  int64_t framePos, fileLength;
  const void* stream;
  Bytes bytes;
};

// An in-memory stream; `fail` (when set) decides per read whether to throw InternetError.
class MemorySource : public platform::ByteSource {
 public:
  explicit MemorySource(Bytes bytes) : bytes_(std::move(bytes)) {}
  int64_t Length() const override { return static_cast<int64_t>(bytes_.size()); }
  bool ReadAt(int64_t pos, void* buf, std::size_t n, std::size_t* got) override {
    ++reads;
    if (fail && fail(pos, n)) throw platform::InternetError("connection reset");
    std::size_t count = 0;
    if (pos < Length())
      count = std::min<std::size_t>(n, bytes_.size() - static_cast<std::size_t>(pos));
    if (count) std::memcpy(buf, bytes_.data() + pos, count);
    *got = count;
    return true;
  }
  std::function<bool(int64_t, std::size_t)> fail;
  int reads = 0;

 private:
  Bytes bytes_;
};

// Passes reads on to another source and records their sizes.
class CountingSource : public platform::ByteSource {
 public:
  explicit CountingSource(std::unique_ptr<platform::ByteSource> inner) : inner_(std::move(inner)) {}
  int64_t Length() const override { return inner_->Length(); }
  bool ReadAt(int64_t pos, void* buf, std::size_t n, std::size_t* got) override {
    sizes.push_back(n);
    return inner_->ReadAt(pos, buf, n, got);
  }
  std::vector<std::size_t> sizes;

 private:
  std::unique_ptr<platform::ByteSource> inner_;
};

// Replaces the decoder's stream by one of a remote kind serving `bytes`.
inline MemorySource* ServeRemotely(CSerFileDecode& d, const Bytes& bytes, int32_t kind) {
  auto source = std::make_unique<MemorySource>(bytes);
  MemorySource* raw = source.get();
  d.m_pFile = std::move(source);
  d.m_nSourceKind = kind;
  return raw;
}

}  // namespace vialto::test
