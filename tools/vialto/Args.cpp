#include "Args.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace vialto::cli {
namespace {

bool Contains(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

bool LooksLikeOption(const std::string& word) {
  // A lone "-" and negative numbers are values, not options.
  if (word.size() < 2 || word[0] != '-') return false;
  return !(word[1] >= '0' && word[1] <= '9');
}

}  // namespace

Args::Args(const std::vector<std::string>& words, const OptionSpec& options) {
  bool onlyPositionals = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (onlyPositionals || !LooksLikeOption(word)) {
      positionals_.push_back(word);
      continue;
    }
    if (word == "--") {
      onlyPositionals = true;
      continue;
    }
    std::string name = word;
    std::optional<std::string> inlineValue;
    if (const size_t eq = word.find('='); eq != std::string::npos && word.rfind("--", 0) == 0) {
      name = word.substr(0, eq);
      inlineValue = word.substr(eq + 1);
    }
    if (Contains(options.flags, name)) {
      if (inlineValue) throw UsageError("option " + name + " takes no value");
      values_[name].push_back("");
    } else if (Contains(options.valued, name)) {
      if (!inlineValue) {
        if (i + 1 >= words.size()) throw UsageError("option " + name + " needs a value");
        inlineValue = words[++i];
      }
      values_[name].push_back(*inlineValue);
    } else {
      throw UsageError("unknown option " + name);
    }
  }
}

std::optional<std::string> Args::Value(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second.back();
}

std::vector<std::string> Args::Values(const std::string& name) const {
  const auto it = values_.find(name);
  return it == values_.end() ? std::vector<std::string>{} : it->second;
}

bool WantsHelp(const std::vector<std::string>& words) {
  for (const std::string& word : words) {
    if (word == "--") return false;
    if (word == "--help" || word == "-h") return true;
  }
  return false;
}

bool PrintHelpIfAsked(const std::vector<std::string>& words, const char* text) {
  if (!WantsHelp(words)) return false;
  std::fputs(text, stdout);
  return true;
}

int ParseInt(const std::string& text, const std::string& what) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < -2147483647L ||
      value > 2147483647L) {
    throw UsageError(what + ": '" + text + "' is not a whole number");
  }
  return static_cast<int>(value);
}

int ParseIntInRange(const std::string& text, const std::string& what, int low, int high) {
  const int value = ParseInt(text, what);
  if (value < low || value > high) {
    throw UsageError(what + ": " + text + " is outside " + std::to_string(low) + ".." +
                     std::to_string(high));
  }
  return value;
}

std::vector<int> ParseIntList(const std::string& text, const std::string& what, size_t minCount,
                              size_t maxCount) {
  std::vector<int> values;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    values.push_back(ParseInt(text.substr(start, comma - start), what));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (values.size() < minCount || values.size() > maxCount) {
    throw UsageError(what + ": expected " + std::to_string(minCount) +
                     (minCount == maxCount ? "" : " or " + std::to_string(maxCount)) +
                     " comma-separated numbers, got '" + text + "'");
  }
  return values;
}

std::pair<int, int> ParseRange(const std::string& text, const std::string& what) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) throw UsageError(what + ": expected A:B, got '" + text + "'");
  const int first = ParseInt(text.substr(0, colon), what);
  const int last = ParseInt(text.substr(colon + 1), what);
  if (first < 0 || last < first) {
    throw UsageError(what + ": '" + text + "' is not a range A:B with 0 <= A <= B");
  }
  return {first, last};
}

std::pair<int, int> ParseSize(const std::string& text, const std::string& what) {
  const size_t x = text.find('x');
  if (x == std::string::npos) throw UsageError(what + ": expected WxH, got '" + text + "'");
  const int width = ParseIntInRange(text.substr(0, x), what + " width", 4, 8192);
  const int height = ParseIntInRange(text.substr(x + 1), what + " height", 4, 8192);
  return {width, height};
}

uint32_t ParseHexColour(const std::string& text, const std::string& what) {
  const std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
  const bool valid = digits.size() == 6 &&
                     digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
  if (!valid) throw UsageError(what + ": expected a colour RRGGBB, got '" + text + "'");
  return static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
}

}  // namespace vialto::cli
