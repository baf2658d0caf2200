#include "platform/Notice.h"

#include <utility>

namespace vialto::platform {
namespace {
// Per thread, so tests on different threads never see each other's notices.
thread_local NoticeSink t_sink;
}  // namespace

void ShowNotice(NoticeKind kind, std::string_view caption, std::string_view text) noexcept {
  // Called from inside libjpeg's callbacks: nothing may unwind through them.
  try {
    if (t_sink)
      t_sink(kind, caption, text);
    else
      PresentNotice(kind, caption, text);
  } catch (...) {
  }
}

NoticeSink SetNoticeSink(NoticeSink sink) { return std::exchange(t_sink, std::move(sink)); }

}  // namespace vialto::platform
