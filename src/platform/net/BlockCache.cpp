#include "platform/net/BlockCache.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "platform/net/InternetSession.h"

namespace vialto::platform::net {

BlockCache::BlockCache(int64_t length, std::vector<uint8_t> first, Fetch fetch)
    : length_(length), fetch_(std::move(fetch)) {
  blocks_[0].bytes = std::move(first);
  blocks_[0].lastUse = ++useClock_;
}

bool BlockCache::ReadAt(int64_t pos, void* buf, std::size_t n, std::size_t* got) {
  try {
    return ReadBlocks(pos, buf, n, got);
  } catch (const std::bad_alloc&) {
    throw InternetError("http: out of memory for the transfer");
  }
}

bool BlockCache::ReadBlocks(int64_t pos, void* buf, std::size_t n, std::size_t* got) {
  *got = 0;
  if (pos < 0) return false;
  if (pos >= length_) return true;
  const int64_t wanted = std::min<int64_t>(static_cast<int64_t>(n), length_ - pos);
  auto* out = static_cast<uint8_t*>(buf);
  int64_t done = 0;
  while (done < wanted) {
    const int64_t at = pos + done;
    Block* block = Find(at);
    if (!block) block = Load(at, wanted - done);
    if (!block) break;  // the server's whole-file reply ended before this offset
    const int64_t count = std::min(wanted - done, block->end() - at);
    std::memcpy(out + done, block->bytes.data() + (at - block->start), static_cast<size_t>(count));
    done += count;
  }
  *got = static_cast<std::size_t>(done);
  return true;
}

BlockCache::Block* BlockCache::Find(int64_t pos) {
  for (Block& b : blocks_)
    if (b.Holds(pos)) {
      b.lastUse = ++useClock_;
      return &b;
    }
  return nullptr;
}

BlockCache::Block* BlockCache::Load(int64_t pos, int64_t need) {
  const auto olderUse = [](const Block& a, const Block& b) { return a.lastUse < b.lastUse; };
  const Block& recent = *std::max_element(blocks_.begin(), blocks_.end(), olderUse);
  readAhead_ = (recent.end() == pos) ? std::min(readAhead_ * 2, kMaxReadAhead) : kMinReadAhead;
  const int64_t count = std::min(std::max(need, readAhead_), length_ - pos);

  std::optional<std::vector<uint8_t>> bytes = fetch_(pos, count);
  if (!bytes) throw InternetError("http: the server refused a read of an open file");
  if (bytes->empty()) return nullptr;
  Block& victim = *std::min_element(blocks_.begin(), blocks_.end(), olderUse);
  victim.start = pos;
  victim.bytes = std::move(*bytes);
  victim.lastUse = ++useClock_;
  return &victim;
}

}  // namespace vialto::platform::net
