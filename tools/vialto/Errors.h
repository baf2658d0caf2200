// The two failure kinds every subcommand reports: bad usage (status 2) and a failed job (status 1).
#pragma once
#include <stdexcept>

namespace vialto::cli {

// The user asked for something the command does not understand.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The command understood the request and could not carry it out.
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace vialto::cli
