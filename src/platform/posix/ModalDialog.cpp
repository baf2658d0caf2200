// Dialogs on the controlling terminal: the template drawn as text, buttons chosen by typing. A
// host without a terminal (a service, a test run) gets an immediate return, as if the dialog were
// closed.
#include "platform/ModalDialog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <string>

#include "Embedded.h"
#include "platform/DialogTemplate.h"

namespace vialto::platform {
namespace {

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// Reads one line; false at end of input or on an error (the user closed the dialog).
bool ReadLine(int fd, std::string* line) {
  line->clear();
  char c;
  for (;;) {
    const ssize_t n = ::read(fd, &c, 1);
    if (n <= 0) return !line->empty();
    if (c == '\n' || c == '\r') return true;
    line->push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
}

// The button the answer names: its id, 0 for the close box, -1 for no button.
int ButtonForAnswer(const DialogTemplate& dialog, const std::string& answer) {
  if (answer == "x" || answer == "close" || answer == "\x1b") return 0;
  for (const DialogButton& b : dialog.buttons) {
    std::string name;
    for (char c : b.text)
      name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if ((answer.empty() && b.isDefault) || answer == name || answer == name.substr(0, 1) ||
        answer == std::to_string(b.id))
      return b.id;
  }
  return -1;
}

void RunModal(int tty, const DialogTemplate& dialog) {
  WriteAll(tty, RenderDialogTemplate(dialog));
  std::string prompt = "Choose";
  for (const DialogButton& b : dialog.buttons)
    prompt += " " + b.text + (b.isDefault ? " (Enter)" : "") + ",";
  prompt += " or x to close: ";
  std::string answer;
  for (;;) {
    WriteAll(tty, prompt);
    if (!ReadLine(tty, &answer)) return;
    if (ButtonForAnswer(dialog, answer) >= 0) return;
  }
}

}  // namespace

void RunModalDialog(void* /*parent*/, int templateId) {
  const std::string script(reinterpret_cast<const char*>(embedded::vialto_test_dialog),
                           embedded::vialto_test_dialog_size);
  const DialogTemplate dialog = ParseDialogTemplate(script);
  if (dialog.resourceId != templateId) return;
  const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty < 0) return;
  RunModal(tty, dialog);
  ::close(tty);
}

}  // namespace vialto::platform
