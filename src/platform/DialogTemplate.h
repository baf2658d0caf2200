// A dialog template in resource-script form (a DIALOG block, as res/TestDialog.txt holds), parsed.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace vialto::platform {

struct DialogButton {
  std::string text;
  int id = 0;
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
  bool isDefault = false;
};

struct DialogTemplate {
  int resourceId = 0;
  int width = 0, height = 0;  // dialog units
  std::string caption;
  std::string fontName;
  int fontPoints = 0;
  std::vector<DialogButton> buttons;
};

DialogTemplate ParseDialogTemplate(std::string_view script);

// The template as a text picture: a box of the dialog's proportions with the caption in its top
// edge and each button at its place, one character per 4 x 8 dialog units.
std::string RenderDialogTemplate(const DialogTemplate& dialog);

}  // namespace vialto::platform
