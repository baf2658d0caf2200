// A random-access byte stream: a local file, or a remote file behind the internet session.
// The sequence decoder reads everything through this one interface (seq/Source.h).
#pragma once
#include <cstddef>
#include <cstdint>

namespace vialto::platform {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Length of the source in bytes, as measured when it was opened.
  virtual int64_t Length() const = 0;
  // Reads up to n bytes at pos; *got receives the count. False on an I/O failure (a local file
  // that cannot be opened); remote sources throw InternetError for transport failures.
  virtual bool ReadAt(int64_t pos, void* buf, std::size_t n, std::size_t* got) = 0;
};

}  // namespace vialto::platform
