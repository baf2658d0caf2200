// Local files through the wide-character file calls: the library's names are in the ANSI code
// page (as hosts hand them over) and are converted once per open, so a name the code page can
// write reaches the file whatever characters its path holds. Sources share their file with every
// other reader, writer and renamer, as the camera software that writes them expects.
#include "platform/LocalFile.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "platform/win32/WideText.h"

namespace vialto::platform {
namespace {

constexpr DWORD kShareEverything = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// ReadFile and WriteFile count in DWORDs; larger requests go in pieces of this size.
constexpr std::size_t kLargestPiece = 1u << 30;

class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~Handle() {
    if (valid()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }
  HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE h_;
};

HANDLE OpenWide(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) {
  const std::optional<std::wstring> wide = win32::WideFromAnsi(path);
  if (!wide || wide->empty()) return INVALID_HANDLE_VALUE;
  return CreateFileW(wide->c_str(), access, share, nullptr, disposition, flags, nullptr);
}

// A regular file on a disk, open for reading: directories do not open without backup
// semantics, and pipes, consoles and other devices (CON, NUL, \\.\pipe\...) are turned away.
HANDLE OpenRegularFileForReading(const std::string& path) {
  Handle file(OpenWide(path, GENERIC_READ, kShareEverything, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
  if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK) return INVALID_HANDLE_VALUE;
  return file.release();
}

// Reads until n bytes arrived or the file ended, each piece at its own offset.
bool ReadFully(HANDLE file, int64_t pos, unsigned char* buf, std::size_t n, std::size_t* got) {
  std::size_t done = 0;
  while (done < n) {
    const DWORD piece = static_cast<DWORD>(std::min(n - done, kLargestPiece));
    const uint64_t at = static_cast<uint64_t>(pos) + done;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD read = 0;
    if (!ReadFile(file, buf + done, piece, &read, &where)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      *got = done;
      return false;
    }
    if (read == 0) break;
    done += read;
  }
  *got = done;
  return true;
}

}  // namespace

std::unique_ptr<LocalSource> LocalSource::Open(const std::string& path) {
  const Handle file(OpenRegularFileForReading(path));
  if (!file.valid()) return nullptr;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return nullptr;
  return std::unique_ptr<LocalSource>(new (std::nothrow) LocalSource(path, size.QuadPart));
}

bool LocalSource::ReadAt(int64_t pos, void* buf, std::size_t n, std::size_t* got) {
  std::size_t count = 0;
  if (got) *got = 0;
  if (pos < 0) return false;
  const Handle file(OpenRegularFileForReading(path_));
  if (!file.valid()) return false;
  const bool ok = ReadFully(file.get(), pos, static_cast<unsigned char*>(buf), n, &count);
  if (got) *got = count;
  return ok;
}

namespace {

class HandleWriter final : public FileWriter {
 public:
  explicit HandleWriter(HANDLE file) : file_(file) {}
  ~HandleWriter() override {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  HandleWriter(const HandleWriter&) = delete;
  HandleWriter& operator=(const HandleWriter&) = delete;

  bool Write(const void* data, std::size_t n) override {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (n > 0) {
      const DWORD piece = static_cast<DWORD>(std::min(n, kLargestPiece));
      DWORD written = 0;
      if (!WriteFile(file_, bytes, piece, &written, nullptr) || written == 0) return false;
      bytes += written;
      n -= written;
    }
    return true;
  }

  bool Close() override {
    const HANDLE file = std::exchange(file_, INVALID_HANDLE_VALUE);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file) != 0;
  }

 private:
  HANDLE file_;
};

// The volume and file index that name one file, however it was reached.
struct FileIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  // No access asked for: only the attributes are read; backup semantics let a directory open.
  const Handle file(OpenWide(path, FILE_READ_ATTRIBUTES, kShareEverything, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

}  // namespace

std::unique_ptr<FileWriter> CreateFileForWriting(const std::string& path) {
  Handle file(OpenWide(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
  if (!file.valid()) return nullptr;
  std::unique_ptr<FileWriter> writer(new (std::nothrow) HandleWriter(file.get()));
  if (writer) file.release();
  return writer;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  const std::optional<FileIdentity> first = IdentityOf(a);
  const std::optional<FileIdentity> second = IdentityOf(b);
  return first && second && *first == *second;
}

}  // namespace vialto::platform
