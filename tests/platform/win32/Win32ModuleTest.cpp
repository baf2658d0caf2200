// The module's own path and resources, found by address: the test program links the library's
// objects and its resource script, so the module is this program.
#if defined(_WIN32)
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>

#include "Win32TestSupport.h"
#include "platform/Clock.h"
#include "platform/Module.h"
#include "platform/Resources.h"

namespace vialto::platform {
namespace {

TEST(Win32Module, OwnPathIsTheLoadedFileAndItsDirectoryEndsInASeparator) {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::string path = OwnModulePath();
  ASSERT_FALSE(path.empty());
  EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(path), std::filesystem::path(exe)));
  const std::string dir = OwnModuleDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '\\');
  EXPECT_EQ(path.substr(0, dir.size()), dir);
  EXPECT_EQ(path.find('\\', dir.size()), std::string::npos);
}

TEST(Win32Module, ArrowBitmapIsTheShippedPictureWithoutItsFileHeader) {
  const auto file =
      test::win32::ReadBytes(test::win32::HostPath(VIALTO_SOURCE_DIR "/res/arrows.bmp"));
  ASSERT_GT(file.size(), 14u);
  const std::span<const unsigned char> bitmap = BitmapResource(106);
  ASSERT_EQ(bitmap.size(), file.size() - 14);
  EXPECT_EQ(std::memcmp(bitmap.data(), file.data() + 14, bitmap.size()), 0);
  EXPECT_TRUE(BitmapResource(105).empty());
  EXPECT_TRUE(BitmapResource(0).empty());
  EXPECT_TRUE(BitmapResource(-106).empty());
  EXPECT_TRUE(BitmapResource(0x10000 + 106).empty());  // not an integer resource name
}

TEST(Win32Module, ClockIsTheMultimediaClock) {
  const uint32_t before = timeGetTime();
  const uint32_t ours = MillisecondClock();
  const uint32_t after = timeGetTime();
  EXPECT_LE(ours - before, after - before);  // between the two, modulo 2^32
}

}  // namespace
}  // namespace vialto::platform
#endif
