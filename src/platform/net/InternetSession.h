// The internet session a decoder owns: opens http(s) and ftp URLs as byte sources.
#pragma once
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/ByteSource.h"

namespace vialto::platform {

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

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vialto::platform
