#include "platform/win32/WideText.h"

#include <windows.h>

#include <climits>

namespace vialto::platform::win32 {
namespace {

std::optional<std::wstring> WideFrom(UINT codePage, std::string_view text) {
  if (text.empty()) return std::wstring();
  if (text.size() > INT_MAX) return std::nullopt;
  const int in = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), in, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), in, wide.data(), n) != n)
    return std::nullopt;
  return wide;
}

}  // namespace

std::optional<std::wstring> WideFromAnsi(std::string_view text) { return WideFrom(CP_ACP, text); }

std::optional<std::wstring> WideFromUtf8(std::string_view text) { return WideFrom(CP_UTF8, text); }

std::optional<std::string> AnsiFromWide(std::wstring_view text) {
  if (text.empty()) return std::string();
  if (text.size() > INT_MAX) return std::nullopt;
  const int in = static_cast<int>(text.size());
  // A UTF-8 code page holds every character, and takes neither the flag nor the lossy report
  // (with them the call fails); its unpaired surrogates are refused by WC_ERR_INVALID_CHARS.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  BOOL* const lossyReport = utf8 ? nullptr : &lossy;
  const int n =
      WideCharToMultiByte(CP_ACP, flags, text.data(), in, nullptr, 0, nullptr, lossyReport);
  if (n <= 0 || lossy) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(n), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, text.data(), in, ansi.data(), n, nullptr, lossyReport) !=
          n ||
      lossy)
    return std::nullopt;
  return ansi;
}

}  // namespace vialto::platform::win32
