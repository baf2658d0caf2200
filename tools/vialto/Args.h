// The words of one subcommand, parsed by CLI11: options taking a value ("-o", "--as"), plain
// flags ("--json") and positional arguments. Each command declares what it accepts and reads the
// results by option name; failures are UsageErrors worded for the user.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Errors.h"
#include "ValueParsers.h"

namespace vialto::cli {

// What a subcommand accepts: options taking a value ("-o", "--as") and plain flags ("--json").
struct OptionSpec {
  std::vector<std::string> valued;
  std::vector<std::string> flags;
};

class Args {
 public:
  // Throws UsageError for an unknown option, an option without its value or a flag given one.
  // A lone "-" and negative numbers are values; words after "--" are positional.
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

// True when the words ask for the command's help text (-h or --help before any "--").
bool WantsHelp(const std::vector<std::string>& words);
// Prints the help text when the words ask for it; returns true if it did.
bool PrintHelpIfAsked(const std::vector<std::string>& words, const char* text);

}  // namespace vialto::cli
