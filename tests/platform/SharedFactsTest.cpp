// The small shared pieces: URL schemes, ASCII case, little-endian fields, the export boundary.
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <stdexcept>

#include "platform/AsciiCase.h"
#include "platform/ByteOrder.h"
#include "platform/ExportBoundary.h"
#include "platform/UrlScheme.h"

namespace vialto::platform {
namespace {

TEST(UrlScheme, PrefixInAnyCaseDecidesAndNothingElse) {
  EXPECT_EQ(SchemeOf("http://h/a.se1"), UrlScheme::kHttp);
  EXPECT_EQ(SchemeOf("HtTp://h/a.se1"), UrlScheme::kHttp);
  EXPECT_EQ(SchemeOf("HTTPS://h/a.se1"), UrlScheme::kHttps);
  EXPECT_EQ(SchemeOf("fTP://h/a.se1"), UrlScheme::kFtp);
  EXPECT_EQ(SchemeOf("ftp://"), UrlScheme::kFtp);  // the prefix alone still names the scheme
  for (const char* path : {"", "h", "http:/h/a", "http//h", "https:/", "ftps://h/a", " http://h",
                           "file:///a.ser", "httpx://h", "frames.se1", "/home/cam.ser"})
    EXPECT_EQ(SchemeOf(path), UrlScheme::kNone) << path;
  EXPECT_EQ(SchemePrefixLength(UrlScheme::kHttp), 7u);
  EXPECT_EQ(SchemePrefixLength(UrlScheme::kHttps), 8u);
  EXPECT_EQ(SchemePrefixLength(UrlScheme::kFtp), 6u);
  EXPECT_EQ(SchemePrefixLength(UrlScheme::kNone), 0u);
}

TEST(AsciiCase, OnlyAsciiLettersFold) {
  EXPECT_TRUE(EqualsNoCase("SeR", "sEr"));
  EXPECT_FALSE(EqualsNoCase("se1", "SE!"));
  EXPECT_FALSE(EqualsNoCase("ser", "se"));
  // Bytes beyond ASCII and the punctuation next to the letters are never folded.
  EXPECT_FALSE(EqualsNoCase("\xC9", "\xE9"));
  EXPECT_FALSE(EqualsNoCase("@[", "`{"));
  EXPECT_TRUE(EqualsNoCase(std::string_view("s\0r", 3), std::string_view("S\0R", 3)));
  EXPECT_TRUE(StartsWithNoCase("QXAAAAAA", "qxaaaaa"));
  EXPECT_FALSE(StartsWithNoCase("QXA", "qxaa"));
}

TEST(ByteOrder, LittleEndianAtAnyAlignment) {
  const unsigned char bytes[] = {0x00, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(LoadLe32(bytes + 1), 0x12345678u);
  EXPECT_EQ(LoadLe16(bytes + 1), 0x5678u);
  EXPECT_EQ(LoadLe16(bytes + 4), 0xFF12u);
  EXPECT_EQ(LoadLe32(bytes + 5), 0xFFFFFFFFu);
  EXPECT_EQ(LoadLe32Signed(bytes + 5), -1);
}

TEST(ExportBoundary, AnyFailureBecomesTheGivenResult) {
  EXPECT_EQ(GuardExport(-1, [] { return 7; }), 7);
  EXPECT_EQ(GuardExport(-1, []() -> int { throw std::bad_alloc(); }), -1);
  EXPECT_EQ(GuardExport(0, []() -> int { throw 42; }), 0);  // not only std::exception
  // Move-only results pass through, and the failure value is handed back as given.
  auto ok = GuardExport(std::unique_ptr<int>(), [] { return std::make_unique<int>(5); });
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(*ok, 5);
  EXPECT_EQ(GuardExport(std::unique_ptr<int>(),
                        []() -> std::unique_ptr<int> { throw std::runtime_error("x"); }),
            nullptr);
  int done = 0;
  GuardExport([&] {
    done = 1;
    throw std::runtime_error("late");
  });
  EXPECT_EQ(done, 1);  // what ran before the failure stays done
}

}  // namespace
}  // namespace vialto::platform
