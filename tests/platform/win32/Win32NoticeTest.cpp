// The three notices as message boxes: caption and text exactly as given, the icon and owner of
// their kind, and the call returning once the box is answered. Each box is shown on a thread of
// its own and dismissed by the test; no box is left waiting for a user.
#if defined(_WIN32)
#include <windows.h>
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>

#include "Win32TestSupport.h"
#include "platform/Notice.h"

namespace vialto::platform {
namespace {

struct SeenBox {
  bool shown = false;
  std::string caption;
  std::string text;
  bool icon = false;
  HWND owner = nullptr;
};

BOOL CALLBACK NoteIcon(HWND child, LPARAM found) {
  char cls[16] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (_stricmp(cls, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
      SendMessageA(child, STM_GETICON, 0, 0) != 0) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
  }
  return TRUE;
}

// Whether the box has an icon: a static child control showing one.
bool HasIcon(HWND box) {
  bool found = false;
  EnumChildWindows(box, &NoteIcon, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Shows the notice through the backend on a new thread, reads the box it puts up and presses OK.
SeenBox ShowAndDismiss(NoticeKind kind, const std::string& caption, const std::string& text) {
  std::promise<DWORD> threadId;
  std::future<DWORD> id = threadId.get_future();
  std::thread notice([&] {
    threadId.set_value(GetCurrentThreadId());
    PresentNotice(kind, caption, text);
  });
  SeenBox seen;
  const HWND box = test::win32::WaitForDialogOf(id.get());
  if (box) {
    seen.shown = true;
    seen.caption = test::win32::WindowText(box);
    char body[512] = {};
    GetDlgItemTextA(box, 0xFFFF, body, sizeof body);  // the text control of a message box
    seen.text = body;
    seen.icon = HasIcon(box);
    seen.owner = GetWindow(box, GW_OWNER);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    notice.join();
  } else {
    notice.detach();  // a box nobody can find would hold the thread; the process ends it
  }
  return seen;
}

TEST(Win32Notice, EachKindShowsItsBoxWithTheExactTextAndReturnsWhenAnswered) {
  const SeenBox fatal =
      ShowAndDismiss(NoticeKind::kFatalError, "Compress or Decompress Fatal Error",
                     "Error in Compress or Decompress");
  if (!fatal.shown) GTEST_SKIP() << "no window station to show message boxes on";
  EXPECT_EQ(fatal.caption, "Compress or Decompress Fatal Error");
  EXPECT_EQ(fatal.text, "Error in Compress or Decompress");
  EXPECT_TRUE(fatal.icon);
  EXPECT_EQ(fatal.owner, nullptr);

  const SeenBox warning =
      ShowAndDismiss(NoticeKind::kWarning, "JPEG Error", "Premature end of JPEG file");
  ASSERT_TRUE(warning.shown);
  EXPECT_EQ(warning.caption, "JPEG Error");
  EXPECT_EQ(warning.text, "Premature end of JPEG file");
  EXPECT_FALSE(warning.icon);

  // The leading line feed and trailing blank are part of the text.
  const SeenBox memory =
      ShowAndDismiss(NoticeKind::kOutOfMemory, "vialto", "\nDecompress is out of memory ");
  ASSERT_TRUE(memory.shown);
  EXPECT_EQ(memory.caption, "vialto");
  EXPECT_EQ(memory.text, "\nDecompress is out of memory ");
  EXPECT_TRUE(memory.icon);
}

TEST(Win32Notice, ASinkOnTheThreadKeepsBoxesAway) {
  // The route the tests of the codec take: nothing reaches the screen.
  int seen = 0;
  ScopedNoticeSink sink([&](NoticeKind, std::string_view, std::string_view) { ++seen; });
  const DWORD self = GetCurrentThreadId();
  ShowNotice(NoticeKind::kFatalError, "caption", "text");
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(test::win32::FindDialogOf(self), nullptr);
}

}  // namespace
}  // namespace vialto::platform
#endif
