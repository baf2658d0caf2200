#include "platform/text/Windows1252.h"

#include <array>

namespace vialto::platform::text {

namespace {

// 0x80..0x9F; zero marks the bytes the code page leaves undefined.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

char32_t Windows1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) {
    const char16_t mapped = kHighControls[byte - 0x80];
    return mapped != 0 ? mapped : byte;
  }
  return byte;  // the rest is Latin-1
}

void DecodeWindows1252(std::string_view text, std::u32string& out) {
  out.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
    out[i] = Windows1252ToUnicode(static_cast<unsigned char>(text[i]));
}

std::string Windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char byte : text) {
    const char32_t code = Windows1252ToUnicode(static_cast<unsigned char>(byte));
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {  // the code page reaches no further than the basic plane
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

}  // namespace vialto::platform::text
