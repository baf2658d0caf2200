// Takes typed values off the front of a fuzzer's input; past the end everything reads as zero.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  int32_t I32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return static_cast<int32_t>(v);
  }
  // A value in [lo, hi].
  int Range(int lo, int hi) {
    return lo + static_cast<int>(U16() % static_cast<unsigned>(hi - lo + 1));
  }
  // Fills n bytes from the rest of the input, repeating it (zeros when it is used up).
  void Fill(uint8_t* out, std::size_t n) {
    if (n == 0) return;  // out may be null then
    const std::size_t left = size_ - pos_;
    if (left == 0) {
      std::memset(out, 0, n);
      return;
    }
    for (std::size_t i = 0; i < n; ++i) out[i] = data_[pos_ + i % left];
  }
  const uint8_t* Rest() const { return data_ + pos_; }
  std::size_t RestSize() const { return size_ - pos_; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};
