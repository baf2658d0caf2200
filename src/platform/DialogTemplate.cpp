#include "platform/DialogTemplate.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace vialto::platform {
namespace {

std::string QuotedText(std::string_view line) {
  const auto open = line.find('"');
  if (open == std::string_view::npos) return {};
  const auto close = line.find('"', open + 1);
  if (close == std::string_view::npos) return {};
  return std::string(line.substr(open + 1, close - open - 1));
}

// The comma-separated integers after the quoted text: id, x, y, width, height. IDOK and IDCANCEL
// are the two identifiers a template may name.
std::vector<int> NumbersAfterText(std::string_view line) {
  std::vector<int> numbers;
  const auto close = line.rfind('"');
  std::string rest(close == std::string_view::npos ? line : line.substr(close + 1));
  std::replace(rest.begin(), rest.end(), ',', ' ');
  std::istringstream in(rest);
  std::string word;
  while (in >> word) {
    if (word == "IDOK")
      numbers.push_back(1);
    else if (word == "IDCANCEL")
      numbers.push_back(2);
    else
      numbers.push_back(std::atoi(word.c_str()));
  }
  return numbers;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

DialogTemplate ParseDialogTemplate(std::string_view script) {
  DialogTemplate dialog;
  std::istringstream in{std::string(script)};
  std::string raw;
  while (std::getline(in, raw)) {
    std::string_view line(raw);
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    if (line.find(" DIALOG") != std::string_view::npos) {
      std::string nums(line);
      std::replace(nums.begin(), nums.end(), ',', ' ');
      std::istringstream words(nums);
      std::string id, keyword;
      int x = 0, y = 0;
      words >> id >> keyword >> x >> y >> dialog.width >> dialog.height;
      dialog.resourceId = std::atoi(id.c_str());
    } else if (StartsWith(line, "CAPTION")) {
      dialog.caption = QuotedText(line);
    } else if (StartsWith(line, "FONT")) {
      dialog.fontName = QuotedText(line);
      dialog.fontPoints = std::atoi(std::string(line.substr(4)).c_str());
    } else if (StartsWith(line, "DEFPUSHBUTTON") || StartsWith(line, "PUSHBUTTON")) {
      DialogButton button;
      button.isDefault = StartsWith(line, "DEF");
      button.text = QuotedText(line);
      const std::vector<int> n = NumbersAfterText(line);
      if (n.size() >= 5) {
        button.id = n[0];
        button.x = n[1];
        button.y = n[2];
        button.width = n[3];
        button.height = n[4];
      }
      dialog.buttons.push_back(button);
    }
  }
  return dialog;
}

std::string RenderDialogTemplate(const DialogTemplate& dialog) {
  const int cols = std::max(dialog.width / 4, 20);
  const int rows = std::max(dialog.height / 8, 4);
  std::vector<std::string> grid(rows, std::string(cols, ' '));
  for (auto& line : grid) line.front() = line.back() = '|';
  grid.front() = grid.back() = "+" + std::string(cols - 2, '-') + "+";
  const std::string title = " " + dialog.caption + " ";
  if (static_cast<int>(title.size()) < cols - 2) grid.front().replace(2, title.size(), title);
  for (const DialogButton& b : dialog.buttons) {
    const std::string label = (b.isDefault ? "[> " : "[ ") + b.text + (b.isDefault ? " <]" : " ]");
    const int row = std::clamp(b.y / 8 + 1, 1, rows - 2);
    const int col =
        std::clamp(b.x / 4 + 1, 1, std::max(1, cols - 1 - static_cast<int>(label.size())));
    if (col + static_cast<int>(label.size()) < cols) grid[row].replace(col, label.size(), label);
  }
  std::string out;
  for (const auto& line : grid) out += line + "\n";
  return out;
}

}  // namespace vialto::platform
