// What the Windows-only tests share: a scratch directory, whole files, and a watcher that finds
// a window a thread of this process put up (a message box, a dialog) and answers it.
#pragma once
#if defined(_WIN32)
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace vialto::test::win32 {

using Bytes = std::vector<uint8_t>;

class ScratchDir {
 public:
  ScratchDir() {
    wchar_t base[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, base);
    path_ = std::filesystem::path(base) / ("vialto-win32-" + std::to_string(GetCurrentProcessId()) +
                                           "-" + std::to_string(++count_));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // A name inside the directory in the ANSI code page, as the library's calls take it (the
  // directory itself has an ASCII path).
  std::string File(const std::string& name) const { return path_.string() + "\\" + name; }

 private:
  std::filesystem::path path_;
  static inline int count_ = 0;
};

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes PatternBytes(std::size_t n, uint32_t seed) {
  Bytes out(n);
  for (auto& b : out) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return out;
}

// A Linux path handed over by the build, as wine's drive Z: shows it.
inline std::string HostPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  return path;
}

struct DialogSearch {
  DWORD thread;
  HWND found;
};

inline BOOL CALLBACK CollectDialog(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<DialogSearch*>(p);
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (GetWindowThreadProcessId(w, nullptr) == s->thread && std::string(cls) == "#32770") {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

// The first dialog-class window (message boxes are dialogs) owned by thread `owner`, or null.
inline HWND FindDialogOf(DWORD owner) {
  DialogSearch search{owner, nullptr};
  EnumWindows(&CollectDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Waits up to `limit` for thread `owner` to show a dialog.
inline HWND WaitForDialogOf(DWORD owner,
                            std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (HWND w = FindDialogOf(owner)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return nullptr;
}

inline std::string WindowText(HWND w) {
  char text[512] = {};
  GetWindowTextA(w, text, sizeof text);
  return text;
}

}  // namespace vialto::test::win32
#endif
