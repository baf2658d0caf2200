// Test(parent): the test dialog, template 11217, shown modally by the platform.
#include "platform/ExportBoundary.h"
#include "platform/ModalDialog.h"
#include "vialto/vialto.h"

namespace {
constexpr int kTestDialogTemplate = 11217;
}  // namespace

extern "C" VIALTO_API void VIALTO_CALL Test(void* parent) {
  vialto::platform::GuardExport(
      [&] { vialto::platform::RunModalDialog(parent, kTestDialogTemplate); });
}
