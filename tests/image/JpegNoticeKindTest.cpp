// Each of the codec's message boxes reaches the notice sink with its own kind, so that a backend
// can give each its icon and owner.
#include <gtest/gtest.h>

#include <vector>

#include "image/JpegCodec.h"
#include "platform/Alloc.h"
#include "platform/Notice.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace vialto::image {
namespace {

using platform::NoticeKind;
using test::Bytes;

struct Seen {
  NoticeKind kind;
  std::string caption;
};

std::vector<Seen> NoticesOfDecode(const Bytes& stream, bool failAllocation) {
  std::vector<Seen> seen;
  platform::ScopedNoticeSink sink([&](NoticeKind kind, std::string_view caption, std::string_view) {
    seen.push_back({kind, std::string(caption)});
  });
  uint32_t width = 0, height = 0;
  int depth = 0;
  if (failAllocation) platform::FailAllocationsAfter(0, 1);
  unsigned char* pixels =
      JpegToRGB(stream.data(), static_cast<int>(stream.size()), &width, &height, &depth);
  platform::FailAllocationsAfter(-1, 0);
  Ser_DeleteJpegToRGBBuf(pixels);
  return seen;
}

Bytes SmallStream() {
  const Bytes pixels = test::RandomBytes(32 * 32 * 3, 7);
  uint32_t length = 0;
  unsigned char* stream = RGBToJpeg(pixels.data(), 32, 32, 24, 80, &length);
  Bytes bytes(stream, stream + length);
  Ser_DeleteRGBToJpegBuf(stream);
  return bytes;
}

TEST(JpegNotices, EachBoxHasItsKind) {
  const Bytes stream = SmallStream();

  const auto fatal = NoticesOfDecode(test::RandomBytes(2000, 3), false);
  ASSERT_EQ(fatal.size(), 1u);
  EXPECT_EQ(fatal[0].kind, NoticeKind::kFatalError);
  EXPECT_EQ(fatal[0].caption, kJpegFatalCaption);

  const auto cut =
      NoticesOfDecode(Bytes(stream.begin(), stream.begin() + stream.size() / 2), false);
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0].kind, NoticeKind::kWarning);
  EXPECT_EQ(cut[0].caption, kJpegWarningCaption);

  const auto noMemory = NoticesOfDecode(stream, true);
  ASSERT_EQ(noMemory.size(), 1u);
  EXPECT_EQ(noMemory[0].kind, NoticeKind::kOutOfMemory);
  EXPECT_EQ(noMemory[0].caption, kJpegOutOfMemoryCaption);
}

}  // namespace
}  // namespace vialto::image
