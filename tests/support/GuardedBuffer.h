// A buffer of exactly n bytes that ends on a page boundary, followed by an inaccessible page, so
// that a read or write one byte past the end faults at once (with or without a sanitizer).
#pragma once
#include <cstddef>
#include <cstdint>

namespace vialto::test {

class GuardedBuffer {
 public:
  explicit GuardedBuffer(std::size_t n, uint8_t fill = 0);
  ~GuardedBuffer();
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void* map_ = nullptr;
  std::size_t mapBytes_ = 0;
  uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace vialto::test
