// Little-endian fields of files and records, read from bytes at any alignment.
#pragma once
#include <cstdint>

namespace vialto::platform {

inline uint16_t LoadLe16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t LoadLe32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline int32_t LoadLe32Signed(const unsigned char* p) { return static_cast<int32_t>(LoadLe32(p)); }

}  // namespace vialto::platform
