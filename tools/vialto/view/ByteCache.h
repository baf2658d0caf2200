// Encoded replies (frame pictures, thumbnails, frame records) kept by key, the least recently used
// dropped first once their bytes pass a budget. Not locked: its owner serialises access.
#pragma once
#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

namespace vialto::cli::view {

// One reply body and its media type.
struct Blob {
  std::string bytes;
  std::string type;
};
using SharedBlob = std::shared_ptr<const Blob>;

class ByteCache {
 public:
  explicit ByteCache(size_t budgetBytes) : budget_(budgetBytes) {}

  SharedBlob Find(const std::string& key) {
    const auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, it->second);
    return it->second->second;
  }

  void Put(const std::string& key, SharedBlob blob) {
    if (const auto it = index_.find(key); it != index_.end()) {
      used_ -= it->second->second->bytes.size();
      order_.erase(it->second);
      index_.erase(it);
    }
    used_ += blob->bytes.size();
    order_.emplace_front(key, std::move(blob));
    index_[key] = order_.begin();
    // The newest entry stays even when it alone is over the budget.
    while (used_ > budget_ && order_.size() > 1) {
      used_ -= order_.back().second->bytes.size();
      index_.erase(order_.back().first);
      order_.pop_back();
    }
  }

  size_t Entries() const { return order_.size(); }

 private:
  using Entry = std::pair<std::string, SharedBlob>;
  size_t budget_;
  size_t used_ = 0;
  std::list<Entry> order_;
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

}  // namespace vialto::cli::view
