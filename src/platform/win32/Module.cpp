// The module is found by an address inside it, so the answer is right whatever the library's
// file is called and whichever host loaded it (a test program linking the objects finds itself).
#include "platform/Module.h"

#include <windows.h>

#include <string>

#include "platform/win32/Module.h"
#include "platform/win32/WideText.h"

namespace vialto::platform {
namespace {
const char kAddressInThisModule = 0;
// Long paths may run past MAX_PATH; the buffer grows up to the longest path the system allows.
constexpr DWORD kLongestPath = 32768;

std::wstring WidePathOf(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD n = GetModuleFileNameW(module, path.data(), size);
    if (n == 0) return {};
    if (n < size) {
      path.resize(n);
      return path;
    }
    if (size >= kLongestPath) return {};  // cut short: not a name of the file
    path.resize(static_cast<std::size_t>(size) * 2);
  }
}

}  // namespace

namespace win32 {

HMODULE OwnModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&kAddressInThisModule), &module))
    return nullptr;
  return module;
}

}  // namespace win32

// In the ANSI code page, as the other file names of the library; a path that code page cannot
// write is reported as unknown rather than as a name that leads elsewhere.
std::string OwnModulePath() {
  const HMODULE module = win32::OwnModule();
  if (!module) return {};
  const std::wstring wide = WidePathOf(module);
  if (wide.empty()) return {};
  return win32::AnsiFromWide(wide).value_or(std::string());
}

std::string OwnModuleDirectory() {
  std::string path = OwnModulePath();
  // A backslash, or a forward slash where the loader was given one.
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return {};
  path.resize(separator + 1);
  return path;
}

}  // namespace vialto::platform
