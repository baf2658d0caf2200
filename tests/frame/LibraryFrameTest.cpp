#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "Embedded.h"
#include "platform/DialogTemplate.h"
#include "vialto/vialto.h"

namespace {

TEST(LibraryFrame, SamplesBehaveAsDocumented) {
  EXPECT_EQ(fnVialto(), 42);
  EXPECT_EQ(fnVialto(), 42);
  EXPECT_EQ(nVialto, 0);
  static_assert(sizeof(CVialto) == 1);
  unsigned char a[1] = {0x5A}, b[1] = {0xA5};
  CVialto* left = new (a) CVialto;  // construction touches no storage
  EXPECT_EQ(a[0], 0x5A);
  CVialto* right = new (b) CVialto;
  *left = *right;
  EXPECT_EQ(a[0], 0xA5);
}

TEST(LibraryFrame, SharedLibraryLoadsAndUnloadsRepeatedly) {
  for (int i = 0; i < 3; ++i) {
    void* lib = dlopen(VIALTO_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto fn = reinterpret_cast<int (*)()>(dlsym(lib, "fnVialto"));
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn(), 42);
    EXPECT_EQ(*static_cast<int*>(dlsym(lib, "nVialto")), 0);
    EXPECT_EQ(dlclose(lib), 0);
  }
}

TEST(TestDialog, TemplateMatchesTheResource) {
  const std::string script(reinterpret_cast<const char*>(vialto::embedded::vialto_test_dialog),
                           vialto::embedded::vialto_test_dialog_size);
  const auto dialog = vialto::platform::ParseDialogTemplate(script);
  EXPECT_EQ(dialog.resourceId, 11217);
  EXPECT_EQ(dialog.caption, "Dialog");
  EXPECT_EQ(dialog.width, 186);
  EXPECT_EQ(dialog.height, 93);
  EXPECT_EQ(dialog.fontName, "System");
  EXPECT_EQ(dialog.fontPoints, 10);
  ASSERT_EQ(dialog.buttons.size(), 2u);
  EXPECT_EQ(dialog.buttons[0].text, "OK");
  EXPECT_EQ(dialog.buttons[0].id, 1);
  EXPECT_TRUE(dialog.buttons[0].isDefault);
  EXPECT_EQ(dialog.buttons[0].x, 31);
  EXPECT_EQ(dialog.buttons[0].y, 13);
  EXPECT_EQ(dialog.buttons[1].text, "Cancel");
  EXPECT_EQ(dialog.buttons[1].id, 2);
  EXPECT_EQ(dialog.buttons[1].x, 129);
  EXPECT_EQ(dialog.buttons[1].y, 64);
  EXPECT_EQ(dialog.buttons[1].width, 50);
  EXPECT_EQ(dialog.buttons[1].height, 14);
  const std::string picture = vialto::platform::RenderDialogTemplate(dialog);
  EXPECT_NE(picture.find(" Dialog "), std::string::npos);
  EXPECT_NE(picture.find("OK"), std::string::npos);
  EXPECT_NE(picture.find("Cancel"), std::string::npos);
}

// Runs Test(nullptr) in a child on a pseudo-terminal, types `answer`, and returns what the child
// showed; *exited tells whether Test returned within the time limit.
std::string RunDialogOnTerminal(const std::string& answer, bool* exited) {
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    ::Test(nullptr);
    _exit(7);
  }
  std::string shown;
  char buf[512];
  const auto readSome = [&](int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
      fd_set fds;
      FD_ZERO(&fds);
      FD_SET(master, &fds);
      timeval tv{0, 20000};
      if (select(master + 1, &fds, nullptr, nullptr, &tv) > 0) {
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) return;
        shown.append(buf, static_cast<std::size_t>(n));
        if (shown.find("close:") != std::string::npos) return;
      }
    }
  };
  readSome(5000);
  const std::string line = answer + "\n";
  EXPECT_EQ(write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  int status = 0;
  *exited = false;
  for (int i = 0; i < 250 && !*exited; ++i) {
    readSome(20);
    *exited = waitpid(pid, &status, WNOHANG) == pid;
    // The terminal reports end of file a moment before the child can be reaped.
    if (!*exited) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!*exited) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  close(master);
  return shown;
}

TEST(TestDialog, ShowsTemplateOnTerminalAndReturnsOnAButton) {
  for (const std::string answer : {"ok", "c", ""}) {
    bool exited = false;
    const std::string shown = RunDialogOnTerminal(answer, &exited);
    EXPECT_TRUE(exited) << "answer '" << answer << "'";
    EXPECT_NE(shown.find("Dialog"), std::string::npos);
    EXPECT_NE(shown.find("OK"), std::string::npos);
    EXPECT_NE(shown.find("Cancel"), std::string::npos);
  }
}

TEST(TestDialog, ReturnsAtOnceWithoutATerminal) {
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();  // a new session has no controlling terminal
    ::Test(nullptr);
    _exit(7);
  }
  int status = 0;
  bool exited = false;
  for (int i = 0; i < 500 && !exited; ++i) {
    exited = waitpid(pid, &status, WNOHANG) == pid;
    if (!exited) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!exited) kill(pid, SIGKILL), waitpid(pid, &status, 0);
  ASSERT_TRUE(exited);
  EXPECT_EQ(WEXITSTATUS(status), 7);
}

}  // namespace
