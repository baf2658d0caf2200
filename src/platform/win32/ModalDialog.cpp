// The test dialog from the module's DIALOG resource (vialto.rc), run by the system's modal dialog
// loop. The parent the host passes is a framework window object, not a window handle, and this
// backend has no such framework to read it with: the dialog is shown without an owner.
#include "platform/ModalDialog.h"

#include <windows.h>

#include "platform/win32/Module.h"

namespace vialto::platform {
namespace {

INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return FALSE;  // the focus is not set here, nor moved to the default button
    case WM_COMMAND:
      // OK, Cancel, and the close box (which the dialog manager turns into IDCANCEL).
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void RunModalDialog(void* /*parent*/, int templateId) {
  if (templateId <= 0 || templateId > 0xFFFF) return;
  const HMODULE module = win32::OwnModule();
  if (!module) return;
  // A missing template, or no desktop to show it on, makes the call fail and return at once.
  DialogBoxParamW(module, MAKEINTRESOURCEW(templateId), nullptr, &TestDialogProc, 0);
}

}  // namespace vialto::platform
