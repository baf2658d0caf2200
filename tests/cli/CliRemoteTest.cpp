// The tool on remote sources served by real servers on loopback: info and extract read a URL
// as they read a path, and save makes an exact local copy.
#ifdef VIALTO_CLI_FILE
#include <gtest/gtest.h>

#include "cli/CliHarness.h"
#include "support/Servers.h"

namespace vialto::test::cli {
namespace {

class CliRemote : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunTool(scratch_, {"make", "se1", "-o", servers_.root.File("road.se1"), "--synthetic",
                                 "6", "--size", "160x90"})
                  .status,
              0);
    ASSERT_EQ(
        RunTool(scratch_, {"make", "ser", "-o", servers_.root.File("road.ser"), "--synthetic", "2"})
            .status,
        0);
  }
  TempDir scratch_;
  RemoteServers servers_;
};

TEST_F(CliRemote, InfoOverHttpMatchesTheLocalFile) {
  for (const char* name : {"road.se1", "road.ser"}) {
    const RunResult local =
        RunTool(scratch_, {"info", servers_.root.File(name), "--frames", "--json"});
    const RunResult remote =
        RunTool(scratch_, {"info", servers_.nginx.HttpUrl(name), "--frames", "--json"});
    ASSERT_EQ(local.status, 0) << local.err;
    ASSERT_EQ(remote.status, 0) << remote.err;
    const Json l = ParseJson(local.out), r = ParseJson(remote.out);
    EXPECT_TRUE(r["length"].IsNull());
    EXPECT_EQ(r["type"].String(), l["type"].String());
    EXPECT_EQ(r["frame_count"].Number(), l["frame_count"].Number());
    ASSERT_EQ(r["frames"].Array().size(), l["frames"].Array().size()) << name;
    for (size_t i = 0; i < l["frames"].Array().size(); ++i) {
      EXPECT_EQ(r["frames"].Array()[i]["position"].Number(),
                l["frames"].Array()[i]["position"].Number());
      EXPECT_EQ(r["frames"].Array()[i]["length"].Number(),
                l["frames"].Array()[i]["length"].Number());
    }
  }
}

TEST_F(CliRemote, ExtractOverHttpAndFtpGivesTheStoredFrames) {
  const Bytes file = ReadFile(servers_.root.File("road.se1"));
  for (const std::string& url :
       {servers_.nginx.HttpUrl("road.se1"), servers_.ftp.Url("road.se1")}) {
    TempDir out;
    const RunResult r =
        RunTool(scratch_, {"extract", url, "--as", "raw", "-o", out.path().string()});
    ASSERT_EQ(r.status, 0) << url << ": " << r.err;
    EXPECT_NE(r.out.find("extracted 6 frames"), std::string::npos) << r.out;
    // Frame 3's stored bytes, found by walking the chain of the served file.
    size_t at = 128;
    for (int i = 0; i < 3; ++i) at += Le32(file, at + 16);
    const Bytes expected(file.begin() + static_cast<ptrdiff_t>(at + 64),
                         file.begin() + static_cast<ptrdiff_t>(at + Le32(file, at + 16)));
    EXPECT_EQ(ReadFile(out.File("road-000003.raw")), expected) << url;
  }
  const RunResult one = RunTool(scratch_, {"extract", servers_.nginx.HttpUrl("road.se1"), "--frame",
                                           "4", "--as", "jpeg", "-o", scratch_.File("one")});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(ReadFile(scratch_.File("one/road-000004.jpg"))[0], 0xFF);
}

TEST_F(CliRemote, SaveMakesAnExactCopy) {
  for (const std::string name : {"road.se1", "road.ser"}) {
    for (const std::string& url : {servers_.nginx.HttpUrl(name), servers_.ftp.Url(name)}) {
      const std::string copy = scratch_.File("copy-" + name);
      const RunResult r = RunTool(scratch_, {"save", url, copy});
      ASSERT_EQ(r.status, 0) << url << ": " << r.err;
      EXPECT_EQ(ReadFile(copy), ReadFile(servers_.root.File(name))) << url;
      EXPECT_NE(r.out.find("saved " + url), std::string::npos) << r.out;
    }
  }
  const RunResult missing = RunTool(
      scratch_, {"save", servers_.nginx.HttpUrl("absent.se1"), scratch_.File("absent.se1")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot open the URL"), std::string::npos) << missing.err;
  const std::string refused = "http://127.0.0.1:" + std::to_string(UnusedPort()) + "/road.se1";
  const RunResult unreachable = RunTool(scratch_, {"info", refused});
  EXPECT_EQ(unreachable.status, 1);
  EXPECT_NE(unreachable.err.find("cannot open the URL"), std::string::npos) << unreachable.err;
}

TEST_F(CliRemote, AFailedUrlSaysWhy) {
  const std::string refused = "http://127.0.0.1:" + std::to_string(UnusedPort()) + "/road.se1";
  const std::pair<std::string, std::string> cases[] = {
      {servers_.nginx.HttpUrl("absent.se1"), "(HTTP 404 Not Found)"},
      {servers_.hostile.Url("status-403", "road.se1"), "(HTTP 403 Forbidden)"},
      {servers_.hostile.Url("status-503", "road.se1"), "(HTTP 503 Service Unavailable)"},
      {refused, "(connection refused)"},
      {"http://no-such-host.invalid/road.se1", "(unknown host"},
      // The self-signed certificate is not among the system's trusted ones.
      {servers_.nginx.HttpsUrl("road.se1"), "(TLS failure"},
      {servers_.ftp.Url("absent.se1"), "(no such file on the server"},
  };
  for (const auto& [url, reason] : cases) {
    const RunResult r = RunTool(scratch_, {"info", url});
    EXPECT_EQ(r.status, 1) << url;
    EXPECT_NE(r.err.find(url + ": cannot open the URL " + reason), std::string::npos)
        << url << ": " << r.err;
  }
}

TEST_F(CliRemote, AServerThatNeverAnswersTimesOut) {
  const std::string url = servers_.hostile.Url("stall-headers", "road.se1");
  const RunResult r = RunTool(scratch_, {"info", url});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot open the URL (timed out"), std::string::npos) << r.err;
}

TEST_F(CliRemote, AFailedLocalWriteGivesTheSystemsReason) {
  const RunResult r =
      RunTool(scratch_, {"save", servers_.nginx.HttpUrl("road.se1"), "/proc/nope/x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("to /proc/nope/x: /proc/nope/x: No such file or directory"),
            std::string::npos)
      << r.err;
  const RunResult dir =
      RunTool(scratch_, {"save", servers_.nginx.HttpUrl("road.se1"), scratch_.path().string()});
  EXPECT_EQ(dir.status, 1);
  EXPECT_NE(dir.err.find("Is a directory"), std::string::npos) << dir.err;
}

}  // namespace
}  // namespace vialto::test::cli
#endif
