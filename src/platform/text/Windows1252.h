// Single-byte text in the Windows-1252 code page, decoded to Unicode code points.
#pragma once
#include <array>
#include <string>
#include <string_view>

namespace vialto::platform::text {

// Code points of the bytes 0x80..0x9F, the only ones that differ from Latin-1; zero marks the five
// bytes the code page leaves undefined. Inline, so that hosts built here share the one table.
inline constexpr std::array<char16_t, 32> kWindows1252HighCodes = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The code point of one Windows-1252 byte. The five bytes the code page leaves undefined map to
// the C1 controls of the same value, as the platform's own conversion does.
char32_t Windows1252ToUnicode(unsigned char byte);

// Decodes every byte of text (no terminator needed) into out, replacing its contents.
void DecodeWindows1252(std::string_view text, std::u32string& out);

// The same text as UTF-8, for names handed to services that expect it.
std::string Windows1252ToUtf8(std::string_view text);

}  // namespace vialto::platform::text
