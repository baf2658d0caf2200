// Notices as the system's modal message boxes, one look per kind:
//   fatal error    stop icon, OK, no owner window;
//   warning        no icon, OK, owned by the calling thread's active window;
//   out of memory  stop icon, OK, owned by the active window.
// The box blocks the calling thread until it is dismissed. Text and caption go out exactly as
// given (a leading line feed or trailing blank included), in the ANSI code page.
#include <windows.h>

#include <string>

#include "platform/Notice.h"

namespace vialto::platform {
namespace {

struct BoxLook {
  HWND owner;
  UINT style;
};

BoxLook LookOf(NoticeKind kind) {
  switch (kind) {
    case NoticeKind::kFatalError:
      return {nullptr, MB_OK | MB_ICONSTOP};
    case NoticeKind::kWarning:
      return {GetActiveWindow(), MB_OK};
    case NoticeKind::kOutOfMemory:
      return {GetActiveWindow(), MB_OK | MB_ICONSTOP};
  }
  return {nullptr, MB_OK};
}

// The box takes terminated strings; an embedded zero would end the text early, as it does for
// any caller of the box.
std::string Terminated(std::string_view text) { return std::string(text); }

}  // namespace

void PresentNotice(NoticeKind kind, std::string_view caption, std::string_view text) {
  const BoxLook look = LookOf(kind);
  const std::string boxText = Terminated(text);
  const std::string boxCaption = Terminated(caption);
  MessageBoxA(look.owner, boxText.c_str(), boxCaption.c_str(), look.style);
}

}  // namespace vialto::platform
