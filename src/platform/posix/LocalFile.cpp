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
