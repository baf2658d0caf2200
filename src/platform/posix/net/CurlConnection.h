// The one libcurl easy handle a session reuses for all its transfers, with the session's options.
// Internal to platform/net: only the net sources include it.
#pragma once
#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace vialto::platform::net {

// A source that may leave a transfer running on the handle between reads (the ftp stream). It is
// told to let go before anyone else uses the handle.
class TransferHolder {
 public:
  virtual void LetGo() = 0;

 protected:
  ~TransferHolder() = default;
};

// How a finished transfer ended, as the sources act on it.
enum class Outcome { kDone, kRefused, kMalformed, kTransportFailure };

struct SessionOptions {
  std::string agent;
  std::chrono::milliseconds connectTimeout{15000};
  std::chrono::milliseconds stallTimeout{15000};
  std::string caFile;  // empty: the system's trust store
};

class CurlConnection {
 public:
  explicit CurlConnection(SessionOptions options);
  ~CurlConnection();
  CurlConnection(const CurlConnection&) = delete;
  CurlConnection& operator=(const CurlConnection&) = delete;

  // Resets the handle to the session's options for a new transfer of url and counts it. A holder
  // of a running transfer other than `next` is told to let go first; `next` becomes the holder.
  CURL* Prepare(const std::string& url, TransferHolder* next);
  // `holder` no longer keeps a transfer on the handle.
  void Release(const TransferHolder* holder);

  // Starts the stall clock afresh: a paused transfer is idle by choice, not stalled.
  void RestartStallClock();

  SessionOptions& options() { return options_; }
  int64_t requests() const { return requests_; }

 private:
  CURL* handle_;
  SessionOptions options_;
  static int OnProgress(void* self, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t, curl_off_t);

  TransferHolder* holder_ = nullptr;
  curl_off_t lastReceived_ = 0;
  std::chrono::steady_clock::time_point lastProgress_;
  int64_t requests_ = 0;
};

// Sorts a libcurl result into what the sources do with it: refusals by the server (missing file,
// login or access denied) open nothing, everything else that failed is a transport failure.
Outcome Classify(CURLcode code);

// Throws InternetError for a failed transfer, naming what was being done.
[[noreturn]] void ThrowTransportFailure(const char* what, CURLcode code);

}  // namespace vialto::platform::net
