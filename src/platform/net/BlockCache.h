// The read cache behind a remote http file: two blocks, fetched by the backend's range request,
// with read-ahead that grows while the reads stay sequential.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace vialto::platform::net {

// A forward walk reads a 64-byte sub-header, then the frame behind it, then the next sub-header:
// fetching whole blocks ahead, growing while the reads stay sequential, keeps that to about one
// request per frame without fetching much that a jump throws away.
constexpr int64_t kMinReadAhead = 64 * 1024;
constexpr int64_t kMaxReadAhead = 1024 * 1024;

class BlockCache {
 public:
  // Fetches `count` bytes at `pos`. Fewer (down to none) when the reply ends early; nothing when
  // the server refuses. Transport failures are thrown as InternetError.
  using Fetch = std::function<std::optional<std::vector<uint8_t>>(int64_t pos, int64_t count)>;

  // `first` holds the file's bytes from offset 0, fetched while the file was measured.
  BlockCache(int64_t length, std::vector<uint8_t> first, Fetch fetch);

  int64_t length() const { return length_; }

  // ByteSource::ReadAt over the blocks: false for a negative pos; throws InternetError when a
  // fetch is refused or memory runs out.
  bool ReadAt(int64_t pos, void* buf, std::size_t n, std::size_t* got);

 private:
  struct Block {
    int64_t start = 0;
    std::vector<uint8_t> bytes;
    uint64_t lastUse = 0;
    int64_t end() const { return start + static_cast<int64_t>(bytes.size()); }
    bool Holds(int64_t pos) const { return pos >= start && pos < end(); }
  };

  bool ReadBlocks(int64_t pos, void* buf, std::size_t n, std::size_t* got);
  Block* Find(int64_t pos);
  Block* Load(int64_t pos, int64_t need);

  const int64_t length_;
  const Fetch fetch_;
  // Two blocks: opening reads the trailer at the end, then the head at the start.
  std::array<Block, 2> blocks_;
  uint64_t useClock_ = 0;
  int64_t readAhead_ = kMinReadAhead;
};

}  // namespace vialto::platform::net
