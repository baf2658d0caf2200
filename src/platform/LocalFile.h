// Local files: a file as a byte source, a file created for writing, and telling two names of one
// file apart. A source opens its file for each read and closes it right after, so a camera may
// keep writing it and other programs may rename or replace it between reads.
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

// A local file open for writing; closed by the destructor when Close was not called.
class FileWriter {
 public:
  virtual ~FileWriter() = default;
  // Writes all n bytes; false when the file system takes fewer (a full disk).
  virtual bool Write(const void* bytes, std::size_t n) = 0;
  // Closes the file; false when closing reports a write that failed late.
  virtual bool Close() = 0;
};

// Creates path for writing, or empties it when it exists. Null when it cannot be created.
std::unique_ptr<FileWriter> CreateFileForWriting(const std::string& path);

// Whether both names exist and lead to the same file (through links, other spellings).
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace vialto::platform
