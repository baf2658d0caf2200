// The whole library over the Windows internet client, against nginx on loopback started around
// the test program by tests/platform/win32/serve-fixtures.sh (a Windows program cannot start
// Linux servers itself): the sample sequences are published into the served directory and read
// back through the exports as a host would. Without the servers the tests are skipped, saying so.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "seq/DecoderFixture.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace vialto::test {
namespace {

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string SamplePath(const std::string& name) {
  return std::string(VIALTO_SOURCE_DIR) + "/samples/" + name;
}

class WinInetNginx : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    http_ = FromEnvironment("VIALTO_WIN32_HTTP_URL");
    https_ = FromEnvironment("VIALTO_WIN32_HTTPS_URL");
    const std::string served = FromEnvironment("VIALTO_WIN32_SERVED_DIR");
    if (http_.empty() || served.empty())
      GTEST_SKIP() << "VIALTO_WIN32_HTTP_URL is not set (run under serve-fixtures.sh)";
    for (const char* name : {"road.ser", "road.se1"})
      WriteFile(served + "/" + name, ReadFile(SamplePath(name)));
  }
  std::string http_, https_;
};

// What a host sees of a frame: geometry, auxiliary byte and the stored bytes.
struct FrameView {
  int number = -1, length = 0;
  Bytes stored;
  bool operator==(const FrameView&) const = default;
};

FrameView Current(const Decoder& d) {
  FrameView view;
  view.number = d.FrameNo();
  view.length = Ser_GetCurrentFrameDataLength(d.handle());
  view.stored.resize(static_cast<std::size_t>(view.length));
  if (Ser_GetCurrentFrameData(d.handle(), view.stored.data(), view.length) != 1) view.length = -1;
  return view;
}

// Over http every move lands where it lands locally and reads the same bytes: forward steps,
// the end, absolute moves and a step back.
TEST_P(WinInetNginx, MovesAndFramesMatchTheLocalFile) {
  Decoder local, remote;
  ASSERT_EQ(local.Open(SamplePath(GetParam())), 1);
  ASSERT_EQ(remote.Open(http_ + GetParam()), 1);
  EXPECT_EQ(Ser_GetSerFileType(remote.handle()), Ser_GetSerFileType(local.handle()));
  unsigned char localHead[128] = {}, remoteHead[128] = {};
  EXPECT_EQ(Ser_GetSerFileInfo(remote.handle(), remoteHead, 128),
            Ser_GetSerFileInfo(local.handle(), localHead, 128));
  EXPECT_EQ(0, std::memcmp(localHead, remoteHead, 128));

  EXPECT_EQ(Current(remote), Current(local));
  for (int step = 0; step < 3; ++step) {
    ASSERT_EQ(Ser_MoveCurrentFrameNo(remote.handle(), 1),
              Ser_MoveCurrentFrameNo(local.handle(), 1));
    EXPECT_EQ(Current(remote), Current(local));
  }
  ASSERT_EQ(Ser_MoveEnd(remote.handle()), Ser_MoveEnd(local.handle()));
  EXPECT_EQ(Current(remote), Current(local));
  const int last = local.FrameNo();
  for (int target : {last / 2, 1, last}) {
    SCOPED_TRACE(target);
    ASSERT_EQ(Ser_MoveTo(remote.handle(), target), Ser_MoveTo(local.handle(), target));
    EXPECT_EQ(Current(remote), Current(local));
  }
  ASSERT_EQ(Ser_MoveCurrentFrameNo(remote.handle(), -1),
            Ser_MoveCurrentFrameNo(local.handle(), -1));
  EXPECT_EQ(Current(remote), Current(local));
}

// The whole remote file copied to a local one is the sample byte for byte.
TEST_P(WinInetNginx, SaveToLocalCopiesTheServedFile) {
  Decoder remote;
  ASSERT_EQ(remote.Open(http_ + GetParam()), 1);
  TempDir dir;
  const std::string copy = dir.File("copy");
  ASSERT_EQ(Ser_SaveToLocal(remote.handle(), copy.c_str(), 0), 1);
  EXPECT_TRUE(ReadFile(copy) == ReadFile(SamplePath(GetParam())));
}

INSTANTIATE_TEST_SUITE_P(Samples, WinInetNginx, ::testing::Values("road.ser", "road.se1"));

class WinInetFailures : public WinInetNginx {};

// A missing file, a port nobody listens on and a certificate the system store does not trust all
// fail the open, promptly, and leave the decoder without a file.
TEST_F(WinInetFailures, RefusedOpensFailAndLeaveNoFile) {
  std::vector<std::string> refused = {http_ + "no-such-file.ser", "http://127.0.0.1:1/road.ser"};
  // WinINet trusts only the system store; nginx's certificate is self-signed.
  if (!https_.empty()) refused.push_back(https_ + "road.ser");
  for (const std::string& url : refused) {
    SCOPED_TRACE(url);
    Decoder d;
    EXPECT_EQ(d.Open(url), 0);
    EXPECT_EQ(Ser_GetSerFileType(d.handle()), -1);
    EXPECT_EQ(Ser_GetCurrentFrameDataLength(d.handle()), 0);
  }
}

}  // namespace
}  // namespace vialto::test
