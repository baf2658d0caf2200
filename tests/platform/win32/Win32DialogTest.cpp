// The test dialog from template 11217: its caption, buttons and layout as the template gives
// them, and each way of closing it ending the modal call.
#if defined(_WIN32)
#include <windows.h>
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>

#include "Win32TestSupport.h"
#include "platform/ModalDialog.h"

namespace vialto::platform {
namespace {

struct Button {
  std::string text;
  RECT rect{};  // client pixels of the dialog
  bool isDefault = false;
};

Button ButtonOf(HWND dialog, int id) {
  Button b;
  const HWND control = GetDlgItem(dialog, id);
  if (!control) return b;
  b.text = test::win32::WindowText(control);
  GetWindowRect(control, &b.rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&b.rect), 2);
  b.isDefault = (GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  return b;
}

RECT DialogUnits(HWND dialog, int x, int y, int w, int h) {
  RECT r{x, y, x + w, y + h};
  MapDialogRect(dialog, &r);
  return r;
}

// Runs the dialog on its own thread; `inspect` sees it, then `close` ends it.
template <typename Inspect>
bool RunAndClose(Inspect inspect, UINT message, WPARAM wParam) {
  std::promise<DWORD> threadId;
  std::future<DWORD> id = threadId.get_future();
  std::promise<void> returned;
  std::future<void> done = returned.get_future();
  std::thread modal([&] {
    threadId.set_value(GetCurrentThreadId());
    RunModalDialog(nullptr, 11217);
    returned.set_value();
  });
  const HWND dialog = test::win32::WaitForDialogOf(id.get());
  if (!dialog) {
    modal.join();  // the dialog could not be created, so the call returned
    return false;
  }
  inspect(dialog);
  PostMessageA(dialog, message, wParam, 0);
  const bool ended = done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  if (ended)
    modal.join();
  else
    modal.detach();
  EXPECT_TRUE(ended);
  return true;
}

TEST(Win32Dialog, TheTemplateIsShownAndEveryCloseEndsTheModalCall) {
  const bool shown = RunAndClose(
      [](HWND dialog) {
        EXPECT_EQ(test::win32::WindowText(dialog), "Dialog");
        const LONG style = GetWindowLongA(dialog, GWL_STYLE);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
        const Button ok = ButtonOf(dialog, IDOK);
        const Button cancel = ButtonOf(dialog, IDCANCEL);
        EXPECT_EQ(ok.text, "OK");
        EXPECT_TRUE(ok.isDefault);
        EXPECT_EQ(cancel.text, "Cancel");
        EXPECT_FALSE(cancel.isDefault);
        const RECT okAt = DialogUnits(dialog, 31, 13, 50, 14);
        const RECT cancelAt = DialogUnits(dialog, 129, 64, 50, 14);
        EXPECT_EQ(ok.rect.left, okAt.left);
        EXPECT_EQ(ok.rect.top, okAt.top);
        EXPECT_EQ(ok.rect.right, okAt.right);
        EXPECT_EQ(cancel.rect.left, cancelAt.left);
        EXPECT_EQ(cancel.rect.bottom, cancelAt.bottom);
        RECT client{};
        GetClientRect(dialog, &client);
        const RECT whole = DialogUnits(dialog, 0, 0, 186, 93);
        EXPECT_EQ(client.right, whole.right);
        EXPECT_EQ(client.bottom, whole.bottom);
      },
      WM_COMMAND, IDOK);
  if (!shown) GTEST_SKIP() << "no window station to show dialogs on";
  EXPECT_TRUE(RunAndClose([](HWND) {}, WM_COMMAND, IDCANCEL));
  EXPECT_TRUE(RunAndClose([](HWND) {}, WM_CLOSE, 0));  // the close box
}

TEST(Win32Dialog, AnUnknownTemplateReturnsAtOnce) {
  RunModalDialog(nullptr, 11218);
  RunModalDialog(nullptr, 0);
  RunModalDialog(nullptr, 0x10000 + 11217);
  SUCCEED();
}

}  // namespace
}  // namespace vialto::platform
#endif
