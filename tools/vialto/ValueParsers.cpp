#include "ValueParsers.h"

#include <cerrno>
#include <cstdlib>

#include "Errors.h"

namespace vialto::cli {

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
  const bool valid =
      digits.size() == 6 && digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
  if (!valid) throw UsageError(what + ": expected a colour RRGGBB, got '" + text + "'");
  return static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
}

}  // namespace vialto::cli
