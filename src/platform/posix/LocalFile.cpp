#include "platform/LocalFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

namespace vialto::platform {
namespace {

// Read-only, and non-blocking so that a pipe put in the file's place cannot stall the open.
int OpenForReading(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

// Reads until n bytes arrived, the file ended, or an error other than an interruption.
bool ReadFully(int fd, int64_t pos, unsigned char* buf, std::size_t n, std::size_t* got) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t r = ::pread(fd, buf + done, n - done, static_cast<off_t>(pos + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      *got = done;
      return false;
    }
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  *got = done;
  return true;
}

}  // namespace

std::unique_ptr<LocalSource> LocalSource::Open(const std::string& path) {
  const int fd = OpenForReading(path);
  if (fd < 0) return nullptr;
  struct stat st;
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  if (!regular) return nullptr;
  return std::unique_ptr<LocalSource>(new (std::nothrow) LocalSource(path, st.st_size));
}

bool LocalSource::ReadAt(int64_t pos, void* buf, std::size_t n, std::size_t* got) {
  std::size_t count = 0;
  if (got) *got = 0;
  if (pos < 0) return false;
  // No fstat here: pread itself fails on a directory or a pipe put in the file's place, and
  // every read saves a system call.
  const int fd = OpenForReading(path_);
  if (fd < 0) return false;
  const bool ok = ReadFully(fd, pos, static_cast<unsigned char*>(buf), n, &count);
  ::close(fd);
  if (got) *got = count;
  return ok;
}

}  // namespace vialto::platform

namespace vialto::platform {
namespace {

class DescriptorWriter final : public FileWriter {
 public:
  explicit DescriptorWriter(int fd) : fd_(fd) {}
  ~DescriptorWriter() override {
    if (fd_ >= 0) ::close(fd_);
  }
  DescriptorWriter(const DescriptorWriter&) = delete;
  DescriptorWriter& operator=(const DescriptorWriter&) = delete;

  bool Write(const void* data, std::size_t n) override {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (n > 0) {
      const ssize_t written = ::write(fd_, bytes, n);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      bytes += written;
      n -= static_cast<std::size_t>(written);
    }
    return true;
  }

  bool Close() override {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<FileWriter> CreateFileForWriting(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  std::unique_ptr<FileWriter> writer(new (std::nothrow) DescriptorWriter(fd));
  if (!writer) ::close(fd);
  return writer;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace vialto::platform
