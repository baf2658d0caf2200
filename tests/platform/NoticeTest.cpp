// The notice sink: per thread, restored by scope, and the default one-line stderr rendering.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/Notice.h"
#include "support/TestUtil.h"

namespace vialto::platform {
namespace {

TEST(Notice, SinkIsPerThreadAndRestoredByScope) {
  std::vector<std::string> outer, inner, other;
  {
    ScopedNoticeSink scope([&](std::string_view c, std::string_view t) {
      outer.push_back(std::string(c) + "|" + std::string(t));
    });
    {
      ScopedNoticeSink nested([&](std::string_view, std::string_view t) { inner.emplace_back(t); });
      ShowNotice(NoticeKind::kWarning, "A", "one");
    }
    ShowNotice(NoticeKind::kWarning, "B", "\ntwo ");
    std::thread([&] {
      ScopedNoticeSink mine([&](std::string_view, std::string_view t) { other.emplace_back(t); });
      ShowNotice(NoticeKind::kWarning, "C", "three");
    }).join();
  }
  EXPECT_EQ(inner, std::vector<std::string>{"one"});
  EXPECT_EQ(outer, std::vector<std::string>{"B|\ntwo "});  // the text exactly as given
  EXPECT_EQ(other, std::vector<std::string>{"three"});
}

TEST(Notice, ThrowingSinkIsContained) {
  ScopedNoticeSink scope([](std::string_view, std::string_view) { throw 42; });
  ShowNotice(NoticeKind::kFatalError, "caption", "text");  // must return normally
}

TEST(Notice, DefaultSinkWritesTheExactTextToStderr) {
  VIALTO_POSIX_BACKEND_ONLY("Windows presents notices as message boxes, not on stderr");
  testing::internal::CaptureStderr();
  ShowNotice(NoticeKind::kOutOfMemory, "vialto", "\nDecompress is out of memory ");
  ShowNotice(NoticeKind::kWarning, "JPEG Error", "Premature end of JPEG file");
  // The line feed in front and the blank behind are part of the text and are kept.
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "vialto: \nDecompress is out of memory \nJPEG Error: Premature end of JPEG file\n");
}

}  // namespace
}  // namespace vialto::platform
