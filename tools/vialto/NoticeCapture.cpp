#include "NoticeCapture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vialto::cli {
namespace {

void SplitLines(const std::string& text, std::vector<std::string>& lines) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace

NoticeCapture::NoticeCapture() {
  // A closed stderr gets /dev/null first, so that the pipe does not take its number and the
  // frames' notices still count.
  if (::fcntl(STDERR_FILENO, F_GETFD) == -1) {
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0 && null != STDERR_FILENO) {
      ::dup2(null, STDERR_FILENO);
      ::close(null);
    }
  }
  int ends[2];
  // Non-blocking both ways: a writer never waits for a reader that runs only after it returns
  // (a full pipe costs the rest of a line), and reading stops when the pipe is empty.
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  readEnd_ = ends[0];
  writeEnd_ = ends[1];
  savedStderr_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
  const int userFd = savedStderr_ >= 0 ? ::fcntl(savedStderr_, F_DUPFD_CLOEXEC, 0) : -1;
  user_ = userFd >= 0 ? ::fdopen(userFd, "w") : nullptr;
  if (!user_) {
    if (userFd >= 0) ::close(userFd);
    return;
  }
  std::setvbuf(user_, nullptr, _IOLBF, 0);
  std::fflush(stderr);
  ::dup2(writeEnd_, STDERR_FILENO);
}

NoticeCapture::~NoticeCapture() {
  if (user_) {
    std::fflush(stderr);
    std::clearerr(stderr);
    ::dup2(savedStderr_, STDERR_FILENO);
    std::fclose(user_);
  }
  for (const int fd : {savedStderr_, readEnd_, writeEnd_}) {
    if (fd >= 0) ::close(fd);
  }
}

std::string NoticeCapture::TakePipeText() {
  std::fflush(stderr);
  std::clearerr(stderr);  // a full pipe refused a line; the next one starts clean
  std::string text;
  char buffer[4096];
  while (true) {
    const ssize_t got = ::read(readEnd_, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // empty (EAGAIN): everything written so far has been read
    }
  }
  if (!text.empty()) ++textSeen_;
  return text;
}

// True when the pipe has held text since the call began: then the call must run again alone.
bool NoticeCapture::EndShared(uint64_t seenBefore) {
  const std::lock_guard lock(drainMutex_);
  TakePipeText();  // whoever wrote it sees textSeen_ move and runs again
  return textSeen_ != seenBefore;
}

void NoticeCapture::RunAlone(const std::function<void()>& call, std::vector<std::string>& notices,
                             std::exception_ptr& error) {
  EnterAlone();
  {
    const std::lock_guard lock(drainMutex_);
    TakePipeText();  // others' lines: they run again too
  }
  error = nullptr;
  try {
    call();
  } catch (...) {
    error = std::current_exception();
  }
  std::string mine;
  {
    const std::lock_guard lock(drainMutex_);
    mine = TakePipeText();
  }
  LeaveAlone();
  SplitLines(mine, notices);
}

void NoticeCapture::Run(const std::function<void()>& call, std::vector<std::string>& notices) {
  if (!user_) {
    call();
    return;
  }
  uint64_t seenBefore = 0;
  {
    const std::lock_guard lock(drainMutex_);
    seenBefore = textSeen_;
  }
  std::exception_ptr error;
  EnterShared();
  try {
    call();
  } catch (...) {
    error = std::current_exception();
  }
  LeaveShared();
  if (EndShared(seenBefore)) RunAlone(call, notices, error);
  if (error) std::rethrow_exception(error);
}

void NoticeCapture::EnterShared() {
  std::unique_lock lock(gateMutex_);
  gate_.wait(lock, [&] { return !alone_ && waitingAlone_ == 0; });
  ++running_;
}

void NoticeCapture::LeaveShared() {
  {
    const std::lock_guard lock(gateMutex_);
    --running_;
  }
  gate_.notify_all();
}

void NoticeCapture::EnterAlone() {
  std::unique_lock lock(gateMutex_);
  ++waitingAlone_;
  gate_.wait(lock, [&] { return !alone_ && running_ == 0; });
  --waitingAlone_;
  alone_ = true;
}

void NoticeCapture::LeaveAlone() {
  {
    const std::lock_guard lock(gateMutex_);
    alone_ = false;
  }
  gate_.notify_all();
}

}  // namespace vialto::cli
