// The internet session a decoder owns: opens http(s) and ftp URLs as byte sources. Each backend
// (platform/<backend>/net/) defines the connection the session and its sources share.
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/ByteSource.h"

namespace vialto::platform {

class InternetConnection;

// A transport failure (connection refused, timeout, broken transfer). Raised inside the library
// only; the sequence exports catch it and turn it into their failure results.
class InternetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class InternetSession {
 public:
  explicit InternetSession(const char* agent);
  ~InternetSession();
  InternetSession(const InternetSession&) = delete;
  InternetSession& operator=(const InternetSession&) = delete;

  // Opens url for binary reading. Null when the server answers but refuses (for example 404);
  // throws InternetError when it cannot be reached.
  std::unique_ptr<ByteSource> OpenUrl(const std::string& url);

  // How long a connection may take to open and a transfer may stall before it counts as failed
  // (15 s each by default; a stall is noticed within about a second). Applies to later requests.
  void SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall);
  // A file of trusted certificates to verify https servers by, in place of the system's store.
  void SetTrustedCertificates(const std::string& caFile);
  // Requests (http) and transfers (ftp) started on this session so far.
  int64_t RequestCount() const;

 private:
  std::shared_ptr<InternetConnection> connection_;
};

}  // namespace vialto::platform
