#include "support/GuardedBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace vialto::test {

GuardedBuffer::GuardedBuffer(std::size_t n, uint8_t fill) : size_(n) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t dataPages = (n + page - 1) / page;
  mapBytes_ = (dataPages + 1) * page;
  map_ = mmap(nullptr, mapBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map_ == MAP_FAILED) throw std::runtime_error("mmap failed");
  uint8_t* base = static_cast<uint8_t*>(map_);
  if (mprotect(base + dataPages * page, page, PROT_NONE) != 0) throw std::runtime_error("mprotect");
  data_ = base + dataPages * page - n;
  std::memset(data_, fill, n);
}

GuardedBuffer::~GuardedBuffer() { munmap(map_, mapBytes_); }

}  // namespace vialto::test
