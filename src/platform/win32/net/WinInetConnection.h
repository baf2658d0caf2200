// The WinINet session a decoder's internet session stands on, with the session's options, and
// the handle wrapper the sources share. Internal to platform/win32/net.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

namespace vialto::platform::net {

// An internet handle, closed on destruction.
class InternetHandle {
 public:
  InternetHandle() = default;
  explicit InternetHandle(HINTERNET h) : h_(h) {}
  ~InternetHandle() { Reset(); }
  InternetHandle(InternetHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  InternetHandle& operator=(InternetHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      h_ = std::exchange(other.h_, nullptr);
    }
    return *this;
  }
  HINTERNET get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void Reset() {
    if (h_) InternetCloseHandle(std::exchange(h_, nullptr));
  }

 private:
  HINTERNET h_ = nullptr;
};

// How a failed call ended, as the sources act on it.
enum class Outcome { kDone, kRefused, kMalformed, kTransportFailure };

struct SessionOptions {
  std::chrono::milliseconds connectTimeout{15000};
  std::chrono::milliseconds stallTimeout{15000};
};

class WinInetConnection {
 public:
  // Opens a session with the system's configured access and proxy settings. Throws
  // InternetError when WinINet cannot start one.
  explicit WinInetConnection(const std::string& agent);
  WinInetConnection(const WinInetConnection&) = delete;
  WinInetConnection& operator=(const WinInetConnection&) = delete;

  HINTERNET session() const { return session_.get(); }
  SessionOptions& options() { return options_; }
  int64_t requests() const { return requests_; }
  void CountRequest() { ++requests_; }

  // Gives handle (the session, a connection or a request) the session's timeouts: to connect,
  // and for any send or receive, on the control and on the data connection, to stall.
  void ApplyTimeouts(HINTERNET handle) const;

 private:
  InternetHandle session_;
  SessionOptions options_;
  int64_t requests_ = 0;
};

// Sorts a WinINet error code: refusals by the server (login denied, no such file) open nothing,
// a URL WinINet cannot read names nothing, everything else is a transport failure.
Outcome Classify(DWORD error);

// Throws InternetError naming what was being done and WinINet's text for the error.
[[noreturn]] void ThrowTransportFailure(const char* what, DWORD error);

}  // namespace vialto::platform::net
