// Command-line words of one subcommand: options, flags and positional arguments, plus the two
// failure kinds every subcommand reports (bad usage: status 2, a failed job: status 1).
#pragma once
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

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

// What a subcommand accepts: options taking a value ("-o", "--as") and plain flags ("--json").
struct OptionSpec {
  std::vector<std::string> valued;
  std::vector<std::string> flags;
};

class Args {
 public:
  // Throws UsageError for an unknown option or an option without its value.
  Args(const std::vector<std::string>& words, const OptionSpec& options);

  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  // The last value given for the option, if any.
  std::optional<std::string> Value(const std::string& name) const;
  // Every value given for a repeatable option, in order.
  std::vector<std::string> Values(const std::string& name) const;
  const std::vector<std::string>& Positionals() const { return positionals_; }

 private:
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> positionals_;
};

// True when the words ask for the command's help text.
bool WantsHelp(const std::vector<std::string>& words);
// Prints the help text when the words ask for it; returns true if it did.
bool PrintHelpIfAsked(const std::vector<std::string>& words, const char* text);

// Number parsers that name the option in their UsageError.
int ParseInt(const std::string& text, const std::string& what);
int ParseIntInRange(const std::string& text, const std::string& what, int low, int high);
// "X,Y" or "X,Y,Z": two or three comma-separated integers.
std::vector<int> ParseIntList(const std::string& text, const std::string& what, size_t minCount,
                              size_t maxCount);
// "A:B" with 0 <= A <= B.
std::pair<int, int> ParseRange(const std::string& text, const std::string& what);
// "WxH", both at least 4.
std::pair<int, int> ParseSize(const std::string& text, const std::string& what);
// "RRGGBB" (an optional leading '#'), returned as 0xRRGGBB.
uint32_t ParseHexColour(const std::string& text, const std::string& what);

}  // namespace vialto::cli
