// Notices without a display: "<caption>: <text>" and a line feed on stderr, whatever the kind.
// The text goes out exactly as given: a notice whose text starts with a line feed or ends in a
// blank shows them, as a message box would.
#include <cstdio>
#include <string>

#include "platform/Notice.h"

namespace vialto::platform {

void PresentNotice(NoticeKind, std::string_view caption, std::string_view text) {
  std::string line(caption);
  line += ": ";
  line += text;
  line += '\n';
  // One write, so notices of concurrent callers do not interleave.
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace vialto::platform
