// Local files on Windows: 64-bit offsets, names in the ANSI code page, what does not open as a
// file, sharing with a writer, and the identity of two spellings of one file.
#if defined(_WIN32)
#include <windows.h>
#include <gtest/gtest.h>

#include "Win32TestSupport.h"
#include "platform/LocalFile.h"
#include "platform/win32/WideText.h"

namespace vialto::platform {
namespace {

using test::win32::Bytes;
using test::win32::PatternBytes;
using test::win32::ReadBytes;
using test::win32::ScratchDir;
using test::win32::WriteBytes;

Bytes ReadAt(LocalSource& source, int64_t pos, std::size_t n, bool* ok = nullptr) {
  Bytes out(n, 0xEE);
  std::size_t got = 0;
  const bool read = source.ReadAt(pos, out.data(), n, &got);
  if (ok) *ok = read;
  out.resize(got);
  return out;
}

TEST(Win32Files, OffsetsBeyondFourGigabytesReachTheirBytes) {
  ScratchDir dir;
  const std::filesystem::path path = dir.path() / "big.ser";
  const int64_t beyond = (int64_t{5} << 30) + 12345;  // past 2^32: the high offset word is in use
  const Bytes marker = PatternBytes(4096, 9);
  {
    // Sparse where the file system allows it: only the marker is written.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = beyond;
    ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, marker.data(), DWORD(marker.size()), &written, nullptr));
    CloseHandle(h);
  }
  auto source = LocalSource::Open(path.string());
  ASSERT_TRUE(source);
  EXPECT_EQ(source->Length(), beyond + 4096);
  EXPECT_EQ(ReadAt(*source, beyond, 4096), marker);
  EXPECT_EQ(ReadAt(*source, beyond + 4000, 500), Bytes(marker.begin() + 4000, marker.end()));
  EXPECT_EQ(ReadAt(*source, int64_t{1} << 32, 16), Bytes(16, 0));  // the hole reads as zeros
  EXPECT_TRUE(ReadAt(*source, beyond + 4096, 10).empty());
  std::filesystem::remove(path);
}

TEST(Win32Files, ReadsFollowTheFileAndFailCleanly) {
  ScratchDir dir;
  const std::string path = dir.File("a.ser");
  const Bytes bytes = PatternBytes(70000, 3);
  WriteBytes(path, bytes);
  auto source = LocalSource::Open(path);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->Length(), 70000);
  EXPECT_EQ(ReadAt(*source, 69990, 100), Bytes(bytes.end() - 10, bytes.end()));
  bool ok = true;
  EXPECT_TRUE(ReadAt(*source, -1, 10, &ok).empty());
  EXPECT_FALSE(ok);

  // Replaced by a directory between reads: the read fails, nothing is delivered.
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  EXPECT_TRUE(ReadAt(*source, 0, 10, &ok).empty());
  EXPECT_FALSE(ok);
}

TEST(Win32Files, OnlyRegularFilesOpen) {
  ScratchDir dir;
  EXPECT_FALSE(LocalSource::Open(dir.path().string()));
  EXPECT_FALSE(LocalSource::Open(""));
  EXPECT_FALSE(LocalSource::Open(dir.File("missing.ser")));
  EXPECT_FALSE(LocalSource::Open("NUL"));
  EXPECT_FALSE(LocalSource::Open("CON"));
  const std::string pipeName =
      "\\\\.\\pipe\\vialto-win32-test-" + std::to_string(GetCurrentProcessId());
  HANDLE pipe = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 4096,
                                 4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(LocalSource::Open(pipeName));
  CloseHandle(pipe);
}

TEST(Win32Files, AWriterThatSharesOnlyReadingStillLetsSourcesRead) {
  ScratchDir dir;
  const std::filesystem::path path = dir.path() / "live.ser";
  HANDLE writer =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  const Bytes first = PatternBytes(1000, 5);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(writer, first.data(), DWORD(first.size()), &written, nullptr));
  auto source = LocalSource::Open(path.string());
  ASSERT_TRUE(source);
  EXPECT_EQ(source->Length(), 1000);
  ASSERT_TRUE(WriteFile(writer, first.data(), DWORD(first.size()), &written, nullptr));
  EXPECT_EQ(ReadAt(*source, 1000, 1000), first);  // bytes written after the open
  CloseHandle(writer);
  // No handle is kept between reads: the file can be deleted at once.
  EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(Win32Files, AnsiNamesReachFilesWithCharactersBeyondAscii) {
  // "caf\xE9" is "café" in the Western code page; other code pages write it differently.
  const std::optional<std::wstring> wide = win32::WideFromAnsi("caf\xE9.ser");
  if (GetACP() != 1252 || !wide) GTEST_SKIP() << "needs the Western ANSI code page";
  EXPECT_EQ(*wide, L"caf\u00E9.ser");
  ScratchDir dir;
  const Bytes bytes = PatternBytes(300, 1);
  WriteBytes(dir.path() / *wide, bytes);
  const std::string ansiPath = dir.File("caf\xE9.ser");
  auto source = LocalSource::Open(ansiPath);
  ASSERT_TRUE(source);
  EXPECT_EQ(ReadAt(*source, 0, 300), bytes);

  auto writer = CreateFileForWriting(dir.File("copie-\xE9t\xE9.ser"));
  ASSERT_TRUE(writer);
  EXPECT_TRUE(writer->Write(bytes.data(), bytes.size()));
  EXPECT_TRUE(writer->Close());
  EXPECT_EQ(ReadBytes(dir.path() / L"copie-\u00E9t\u00E9.ser"), bytes);
  // A character the code page cannot write does not come back as a '?' that names nothing.
  EXPECT_FALSE(win32::AnsiFromWide(L"\u4E2D.ser"));
}

TEST(Win32Files, WritingEmptiesAnExistingFileAndReportsEveryByte) {
  ScratchDir dir;
  const std::string path = dir.File("out.ser");
  WriteBytes(path, PatternBytes(5000, 2));
  auto writer = CreateFileForWriting(path);
  ASSERT_TRUE(writer);
  const Bytes bytes = PatternBytes(3 << 20, 4);
  EXPECT_TRUE(writer->Write(bytes.data(), bytes.size()));
  EXPECT_TRUE(writer->Close());
  EXPECT_EQ(ReadBytes(path), bytes);
  EXPECT_FALSE(CreateFileForWriting(dir.path().string()));  // a directory
  EXPECT_FALSE(CreateFileForWriting(dir.File("no-such-dir\\x.ser")));
}

TEST(Win32Files, SameFileThroughOtherSpellingsOnly) {
  ScratchDir dir;
  const std::string a = dir.File("one.ser");
  const std::string b = dir.File("two.ser");
  WriteBytes(a, Bytes(10, 1));
  WriteBytes(b, Bytes(10, 1));
  std::string forward = a;
  for (char& c : forward)
    if (c == '\\') c = '/';
  std::string upper = a;
  upper.replace(upper.size() - 7, 7, "ONE.SER");
  const std::string dotted = dir.File(".\\one.ser");
  EXPECT_TRUE(IsSameFile(a, a));
  EXPECT_TRUE(IsSameFile(a, forward));
  EXPECT_TRUE(IsSameFile(a, upper));
  EXPECT_TRUE(IsSameFile(a, dotted));
  EXPECT_FALSE(IsSameFile(a, b));
  EXPECT_FALSE(IsSameFile(a, dir.File("missing.ser")));
  EXPECT_FALSE(IsSameFile(dir.File("missing.ser"), dir.File("missing.ser")));
}

}  // namespace
}  // namespace vialto::platform
#endif
