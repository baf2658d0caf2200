// Small helpers shared by the tests: a temporary directory and whole-file I/O.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Skips the rest of a test in the Windows build, whose backend does not make the promise the test
// checks (fontconfig's matching, FreeType's metrics, the notice line on stderr), and says why.
#if defined(_WIN32)
#define VIALTO_POSIX_BACKEND_ONLY(reason) GTEST_SKIP() << "POSIX backend only: " << (reason)
#else
#define VIALTO_POSIX_BACKEND_ONLY(reason) static_cast<void>(0)
#endif

namespace vialto::test {

using Bytes = std::vector<uint8_t>;

// A fresh directory under the system's temp dir, removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);
// Deterministic pseudo-random bytes for test inputs.
Bytes RandomBytes(std::size_t n, uint32_t seed);

}  // namespace vialto::test
