// Single-byte text in the Windows-1252 code page, decoded to Unicode code points.
#pragma once
#include <string>
#include <string_view>

namespace vialto::platform::text {

// The code point of one Windows-1252 byte. The five bytes the code page leaves undefined map to
// the C1 controls of the same value, as the platform's own conversion does.
char32_t Windows1252ToUnicode(unsigned char byte);

// Decodes every byte of text (no terminator needed) into out, replacing its contents.
void DecodeWindows1252(std::string_view text, std::u32string& out);

// The same text as UTF-8, for names handed to services that expect it.
std::string Windows1252ToUtf8(std::string_view text);

}  // namespace vialto::platform::text
