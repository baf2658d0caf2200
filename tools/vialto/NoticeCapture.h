// The library's notices (its JPEG codec's warnings and errors) are lines it writes to stderr,
// with nothing to say which call raised them. To give each notice to the frame it belongs to,
// the calls that may raise one run one at a time with stderr pointed at a pipe, which is read
// empty as soon as the call returns; everything else the process writes to stderr meanwhile
// waits for the same lock (Hold), so nothing else lands in the pipe.
#pragma once
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vialto::cli {

class NoticeCapture {
 public:
  // Throws CommandError when the pipe cannot be made.
  NoticeCapture();
  ~NoticeCapture();
  NoticeCapture(const NoticeCapture&) = delete;
  NoticeCapture& operator=(const NoticeCapture&) = delete;

  // Runs `call`; the lines it wrote to stderr are appended to `notices`, also when it throws
  // (the exception goes on to the caller).
  void Run(const std::function<void()>& call, std::vector<std::string>& notices);
  // Held by the tool's own writers of stderr while calls may be running on other threads.
  std::unique_lock<std::mutex> Hold() { return std::unique_lock(mutex_); }

 private:
  void Drain(std::vector<std::string>& notices);

  std::mutex mutex_;
  int readEnd_ = -1;
  int writeEnd_ = -1;
  int savedStderr_ = -1;
};

}  // namespace vialto::cli
