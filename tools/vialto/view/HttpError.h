// A request the viewer answers with an error status and a one-line reason for the user.
#pragma once
#include <stdexcept>
#include <string>

namespace vialto::cli::view {

class HttpError : public std::runtime_error {
 public:
  HttpError(int status, const std::string& reason) : std::runtime_error(reason), status_(status) {}
  int Status() const { return status_; }

 private:
  int status_;
};

}  // namespace vialto::cli::view
