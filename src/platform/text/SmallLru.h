// A handful of key/value pairs, most recently used first; the least recent falls out when full.
// Linear search: the caches it serves hold a few entries and hit the first one almost always.
#pragma once
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace vialto::platform::text {

template <typename Key, typename Value, std::size_t Capacity>
class SmallLru {
 public:
  Value* Find(const Key& key) {
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const auto& entry) { return entry.first == key; });
    if (found == entries_.end()) return nullptr;
    std::rotate(entries_.begin(), found, found + 1);
    return &entries_.front().second;
  }

  Value& Insert(Key key, Value value) {
    if (entries_.size() == Capacity) entries_.pop_back();
    entries_.emplace(entries_.begin(), std::move(key), std::move(value));
    return entries_.front().second;
  }

 private:
  std::vector<std::pair<Key, Value>> entries_;
};

}  // namespace vialto::platform::text
