// The stand-in for the library's message boxes. A notice (caption, text) goes to the calling
// thread's sink; the default sink writes one line to stderr and returns at once, so a host without
// a display never blocks. Tests swap the sink to see what the user would have been shown.
#pragma once
#include <functional>
#include <string_view>
#include <utility>

namespace vialto::platform {

using NoticeSink = std::function<void(std::string_view caption, std::string_view text)>;

// Hands (caption, text) to this thread's sink. Never throws: a throwing sink is ignored.
void ShowNotice(std::string_view caption, std::string_view text) noexcept;

// Installs a sink for this thread and returns the previous one. An empty sink restores the
// default (and the default is returned as an empty sink).
NoticeSink SetNoticeSink(NoticeSink sink);

// The default sink: "<caption>: <text>" on one line of stderr, control characters shown as
// blanks and the text trimmed of surrounding blanks.
void WriteNoticeToStderr(std::string_view caption, std::string_view text);

// Installs a sink for the lifetime of the object on the constructing thread.
class ScopedNoticeSink {
 public:
  explicit ScopedNoticeSink(NoticeSink sink) : previous_(SetNoticeSink(std::move(sink))) {}
  ~ScopedNoticeSink() { SetNoticeSink(std::move(previous_)); }
  ScopedNoticeSink(const ScopedNoticeSink&) = delete;
  ScopedNoticeSink& operator=(const ScopedNoticeSink&) = delete;

 private:
  NoticeSink previous_;
};

}  // namespace vialto::platform
