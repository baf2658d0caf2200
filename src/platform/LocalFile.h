// A local file as a byte source. The file is opened for each read and closed right after, so a
// camera may keep writing it and other programs may rename or replace it between reads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ByteSource.h"

namespace vialto::platform {

class LocalSource final : public ByteSource {
 public:
  // Measures the regular file at path. Null when it cannot be opened or is not a regular file
  // (a directory, a pipe, a device).
  static std::unique_ptr<LocalSource> Open(const std::string& path);

  int64_t Length() const override { return length_; }
  // Opens the file, preads up to n bytes at pos and closes it. A read that ends at the end of
  // the file succeeds with the shorter count. False when the file cannot be opened any more, pos
  // is negative, or the read fails (as it does on a directory or pipe put in the file's place).
  bool ReadAt(int64_t pos, void* buf, std::size_t n, std::size_t* got) override;

  const std::string& path() const { return path_; }

 private:
  LocalSource(std::string path, int64_t length) : path_(std::move(path)), length_(length) {}

  std::string path_;
  int64_t length_;
};

}  // namespace vialto::platform
