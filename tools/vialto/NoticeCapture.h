// The library's notices (its JPEG codec's warnings and errors) are lines it writes to stderr,
// with nothing to say which call raised them. While a NoticeCapture lives, stderr is a pipe, and
// each codec call that may raise a notice runs through Run, which hands the call its own lines:
//
// - Calls run side by side. When one ends, the pipe is read; if nothing was found there since
//   the call began, by it or by any other call, the call raised nothing (a notice is in the pipe
//   before the call that wrote it returns).
// - Otherwise the lines may be anyone's: the call runs again alone, and what the pipe holds
//   then is its own. The codec's notices depend only on the stream, so a second run raises what
//   the first one did.
//
// The tool's own messages meanwhile go to UserStream(), the stderr the process had.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vialto::cli {

class NoticeCapture {
 public:
  // Without a pipe or a stderr to keep (a closed stderr, no descriptors left) nothing is
  // captured: the calls run as they are and their notices go where stderr goes.
  NoticeCapture();
  ~NoticeCapture();
  NoticeCapture(const NoticeCapture&) = delete;
  NoticeCapture& operator=(const NoticeCapture&) = delete;

  // Runs `call` (perhaps twice: it must give the same result when repeated) and appends the
  // lines it wrote to stderr to `notices`, also when it throws; the exception goes on.
  void Run(const std::function<void()>& call, std::vector<std::string>& notices);
  FILE* UserStream() const { return user_ ? user_ : stderr; }
  bool Capturing() const { return user_ != nullptr; }

 private:
  std::string TakePipeText();  // with drainMutex_ held
  bool EndShared(uint64_t seenBefore);
  void RunAlone(const std::function<void()>& call, std::vector<std::string>& notices,
                std::exception_ptr& error);
  void EnterShared();
  void LeaveShared();
  void EnterAlone();
  void LeaveAlone();

  std::mutex gateMutex_;
  std::condition_variable gate_;
  int running_ = 0;       // calls running side by side
  int waitingAlone_ = 0;  // calls waiting to run alone; they go first
  bool alone_ = false;
  std::mutex drainMutex_;
  uint64_t textSeen_ = 0;  // times the pipe was found holding text
  int readEnd_ = -1;
  int writeEnd_ = -1;
  int savedStderr_ = -1;
  FILE* user_ = nullptr;
};

}  // namespace vialto::cli
