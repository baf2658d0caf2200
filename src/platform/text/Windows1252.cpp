#include "platform/text/Windows1252.h"

namespace vialto::platform::text {

char32_t Windows1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) {
    const char16_t mapped = kWindows1252HighCodes[byte - 0x80];
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
