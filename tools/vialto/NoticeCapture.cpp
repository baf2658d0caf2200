#include "NoticeCapture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Args.h"

namespace vialto::cli {
namespace {

// Points stderr at `fd` for its lifetime and back at `restore` after, flushing at both ends.
class StderrRedirect {
 public:
  StderrRedirect(int fd, int restore) : restore_(restore) {
    std::fflush(stderr);
    ::dup2(fd, STDERR_FILENO);
  }
  ~StderrRedirect() {
    std::fflush(stderr);
    std::clearerr(stderr);  // a full pipe refuses the rest of a line; the next call starts clean
    ::dup2(restore_, STDERR_FILENO);
  }
  StderrRedirect(const StderrRedirect&) = delete;
  StderrRedirect& operator=(const StderrRedirect&) = delete;

 private:
  int restore_;
};

}  // namespace

NoticeCapture::NoticeCapture() {
  int ends[2];
  // Non-blocking both ways: a call that writes more than the pipe holds loses the rest of its
  // text instead of waiting for a reader that runs only after it returns.
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw CommandError(std::string("cannot make a pipe for the library's notices: ") +
                       std::strerror(errno));
  }
  readEnd_ = ends[0];
  writeEnd_ = ends[1];
  savedStderr_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
  if (savedStderr_ < 0) {
    const int error = errno;
    ::close(readEnd_);
    ::close(writeEnd_);
    throw CommandError(std::string("cannot keep stderr: ") + std::strerror(error));
  }
}

NoticeCapture::~NoticeCapture() {
  ::close(savedStderr_);
  ::close(readEnd_);
  ::close(writeEnd_);
}

void NoticeCapture::Run(const std::function<void()>& call, std::vector<std::string>& notices) {
  const std::lock_guard lock(mutex_);
  struct DrainAfter {
    NoticeCapture& capture;
    std::vector<std::string>& notices;
    ~DrainAfter() { capture.Drain(notices); }
  } drain{*this, notices};  // runs after the redirect below has ended
  const StderrRedirect redirect(writeEnd_, savedStderr_);
  call();
}

void NoticeCapture::Drain(std::vector<std::string>& notices) {
  std::string text;
  char buffer[4096];
  while (true) {
    const ssize_t got = ::read(readEnd_, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    break;  // empty (EAGAIN) or an error: what was read is all there is
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) notices.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace vialto::cli
