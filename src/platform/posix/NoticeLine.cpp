// Notices without a display: "<caption>: <text>" on one line of stderr, whatever the kind.
#include <cstdio>
#include <string>

#include "platform/Notice.h"

namespace vialto::platform {
namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// One line: control characters become blanks, blanks at either end are dropped.
std::string RenderOneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line)
    if (IsControl(c)) c = ' ';
  const auto first = line.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

}  // namespace

void PresentNotice(NoticeKind, std::string_view caption, std::string_view text) {
  const std::string line = RenderOneLine(caption) + ": " + RenderOneLine(text) + "\n";
  // One write, so lines of concurrent callers do not interleave.
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace vialto::platform
