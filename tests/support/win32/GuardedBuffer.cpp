// The Windows guarded buffer: the data ends against a page reserved with no access.
#include "support/GuardedBuffer.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>

namespace vialto::test {

GuardedBuffer::GuardedBuffer(std::size_t n, uint8_t fill) : size_(n) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const std::size_t page = info.dwPageSize;
  const std::size_t dataPages = (n + page - 1) / page;
  mapBytes_ = (dataPages + 1) * page;
  map_ = VirtualAlloc(nullptr, mapBytes_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (map_ == nullptr) throw std::runtime_error("VirtualAlloc failed");
  uint8_t* base = static_cast<uint8_t*>(map_);
  DWORD old = 0;
  if (!VirtualProtect(base + dataPages * page, page, PAGE_NOACCESS, &old))
    throw std::runtime_error("VirtualProtect failed");
  data_ = base + dataPages * page - n;
  std::memset(data_, fill, n);
}

GuardedBuffer::~GuardedBuffer() { VirtualFree(map_, 0, MEM_RELEASE); }

}  // namespace vialto::test
