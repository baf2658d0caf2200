#include "platform/LocalFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

namespace vialto::platform {
namespace {

// Read-only, and non-blocking so that a pipe put in the file's place cannot stall the open; the
// regular-file check then refuses it.
int OpenRegularFile(const std::string& path, int64_t* length) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  if (length) *length = st.st_size;
  return fd;
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
  int64_t length = 0;
  const int fd = OpenRegularFile(path, &length);
  if (fd < 0) return nullptr;
  ::close(fd);
  return std::unique_ptr<LocalSource>(new (std::nothrow) LocalSource(path, length));
}

bool LocalSource::ReadAt(int64_t pos, void* buf, std::size_t n, std::size_t* got) {
  std::size_t count = 0;
  if (got) *got = 0;
  if (pos < 0) return false;
  const int fd = OpenRegularFile(path_, nullptr);
  if (fd < 0) return false;
  const bool ok = ReadFully(fd, pos, static_cast<unsigned char*>(buf), n, &count);
  ::close(fd);
  if (got) *got = count;
  return ok;
}

}  // namespace vialto::platform
