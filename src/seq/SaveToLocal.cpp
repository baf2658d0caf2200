// Ser_SaveToLocal: copies the decoder's whole source, from its first byte, to a local file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/Alloc.h"
#include "seq/SerFileDecode.h"

using vialto::platform::InternetError;

namespace {

constexpr std::size_t kBlockBytes = 0x10000;

struct FreeBlock {
  void operator()(void* p) const { vialto::platform::FreeBytes(p); }
};

// The local copy: created, or emptied when it exists; closed on every path.
class Destination {
 public:
  explicit Destination(const char* path)
      : fd_(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {}
  ~Destination() {
    if (fd_ >= 0) ::close(fd_);
  }
  Destination(const Destination&) = delete;
  Destination& operator=(const Destination&) = delete;

  bool IsOpen() const { return fd_ >= 0; }

  bool Write(const unsigned char* bytes, std::size_t n) {
    while (n > 0) {
      const ssize_t written = ::write(fd_, bytes, n);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      bytes += written;
      n -= static_cast<std::size_t>(written);
    }
    return true;
  }

  // Closing can report a write that failed late (a full disk on some file systems).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Saving a local source onto its own file would empty it before it is read.
bool IsSameFile(const char* a, const char* b) {
  struct stat sa {}, sb {};
  return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// Copies m_nFileLength bytes in blocks; false when the source ends early or fails, or a write
// fails. Throws InternetError as the remote reads do.
bool CopySource(CSerFileDecode& d, Destination& out, unsigned char* block) {
  for (int64_t pos = 0; pos < d.m_nFileLength;) {
    const std::size_t n = static_cast<std::size_t>(
        std::min<int64_t>(static_cast<int64_t>(kBlockBytes), d.m_nFileLength - pos));
    std::size_t got = 0;
    if (!d.ReadSource(pos, block, n, &got) || got != n) return false;
    if (!out.Write(block, n)) return false;
    pos += static_cast<int64_t>(n);
  }
  return true;
}

int SaveToLocal(CSerFileDecode& d, const char* path) {
  // Nothing to copy: leave an existing file at path alone.
  if (!path || !d.m_pFile || !d.m_bOpen) return 0;
  if (d.m_nSourceKind == vialto::seq::kLocal && IsSameFile(path, d.m_szFileName)) return 0;
  std::unique_ptr<unsigned char, FreeBlock> block(
      static_cast<unsigned char*>(vialto::platform::AllocBytes(kBlockBytes)));
  if (!block) return 0;
  Destination out(path);
  if (!out.IsOpen()) return 0;
  bool copied = false;
  try {
    copied = CopySource(d, out, block.get());
  } catch (const InternetError&) {
    copied = false;  // what was written stays; the message goes nowhere
  }
  return out.Close() && copied ? 1 : 0;
}

}  // namespace

extern "C" VIALTO_API int VIALTO_CALL Ser_SaveToLocal(CSerFileDecode* decoder, const char* path,
                                                      int /*unused*/) {
  if (!decoder) return 0;
  try {
    return SaveToLocal(*decoder, path);
  } catch (...) {
    return 0;
  }
}
