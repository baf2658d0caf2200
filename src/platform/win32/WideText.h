// Names between the library's ANSI strings and the system's wide-character calls. Internal to
// the win32 backend.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace vialto::platform::win32 {

// text in the process's ANSI code page as UTF-16; nothing when it does not convert.
std::optional<std::wstring> WideFromAnsi(std::string_view text);
// text in UTF-8 as UTF-16; nothing when it is not valid UTF-8.
std::optional<std::wstring> WideFromUtf8(std::string_view text);
// UTF-16 text in the ANSI code page; nothing when a character has no ANSI form (a '?' in its
// place would name another file).
std::optional<std::string> AnsiFromWide(std::wstring_view text);

}  // namespace vialto::platform::win32
