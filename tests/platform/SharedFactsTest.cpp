// The small shared readers: URL schemes, ASCII case and little-endian fields.
#include <gtest/gtest.h>

#include "platform/AsciiCase.h"
#include "platform/ByteOrder.h"
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

}  // namespace
}  // namespace vialto::platform
