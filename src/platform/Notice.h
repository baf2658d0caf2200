// The stand-in for the library's message boxes. A notice (its kind, caption and text) goes to the
// calling thread's sink; without one it goes to the backend, which shows each kind its own way
// (the POSIX backend writes one line to stderr and returns at once, so a host without a display
// never blocks). Tests swap the sink to see what the user would have been shown.
#pragma once
#include <concepts>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

namespace vialto::platform {

// What a notice reports; a backend gives each kind its own icon and owner.
enum class NoticeKind : uint8_t { kFatalError, kWarning, kOutOfMemory };

using NoticeSink =
    std::function<void(NoticeKind kind, std::string_view caption, std::string_view text)>;

// Hands the notice to this thread's sink, or to the backend. Never throws: a throwing sink is
// ignored.
void ShowNotice(NoticeKind kind, std::string_view caption, std::string_view text) noexcept;

// Installs a sink for this thread and returns the previous one. An empty sink restores the
// backend (and the backend is returned as an empty sink).
NoticeSink SetNoticeSink(NoticeSink sink);

// The backend's own presentation of a notice (platform/<backend>/). May block until the user
// answers; may throw, ShowNotice contains it.
void PresentNotice(NoticeKind kind, std::string_view caption, std::string_view text);

// Installs a sink for the lifetime of the object on the constructing thread.
class ScopedNoticeSink {
 public:
  explicit ScopedNoticeSink(NoticeSink sink) : previous_(SetNoticeSink(std::move(sink))) {}
  // A sink that has no use for the kind.
  template <typename Sink>
  requires std::invocable<Sink&, std::string_view, std::string_view>
  explicit ScopedNoticeSink(Sink sink)
      : ScopedNoticeSink(NoticeSink(
            [sink = std::move(sink)](NoticeKind, std::string_view caption,
                                     std::string_view text) mutable { sink(caption, text); })) {}
  ~ScopedNoticeSink() { SetNoticeSink(std::move(previous_)); }
  ScopedNoticeSink(const ScopedNoticeSink&) = delete;
  ScopedNoticeSink& operator=(const ScopedNoticeSink&) = delete;

 private:
  NoticeSink previous_;
};

}  // namespace vialto::platform
