#include "platform/Notice.h"

#include <cstdio>
#include <string>
#include <utility>

namespace vialto::platform {
namespace {
// Per thread, so tests on different threads never see each other's notices.
thread_local NoticeSink t_sink;

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

void WriteNoticeToStderr(std::string_view caption, std::string_view text) {
  const std::string line = RenderOneLine(caption) + ": " + RenderOneLine(text) + "\n";
  // One write, so lines of concurrent callers do not interleave.
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void ShowNotice(std::string_view caption, std::string_view text) noexcept {
  // Called from inside libjpeg's callbacks: nothing may unwind through them.
  try {
    if (t_sink)
      t_sink(caption, text);
    else
      WriteNoticeToStderr(caption, text);
  } catch (...) {
  }
}

NoticeSink SetNoticeSink(NoticeSink sink) { return std::exchange(t_sink, std::move(sink)); }

}  // namespace vialto::platform
