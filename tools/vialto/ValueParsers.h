// Parsers for option values (numbers, ranges, sizes, colours) whose UsageError names the option.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vialto::cli {

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
