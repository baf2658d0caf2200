// The tool's contract with its user: help for every command, exit status 2 for bad usage and 1
// for failures, each with a message on stderr that names the cause.
#ifdef VIALTO_CLI_FILE
#include <gtest/gtest.h>

#include "cli/CliHarness.h"

namespace vialto::test::cli {
namespace {

const char* const kCommands[] = {"info", "extract", "save", "make", "annotate", "demo"};

TEST(CliUsage, EveryCommandHasHelpOnStdout) {
  TempDir dir;
  for (const char* command : kCommands) {
    const RunResult r = RunTool(dir, {command, "--help"});
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(r.out.rfind(std::string("usage: vialto ") + command, 0), 0u) << r.out;
    EXPECT_EQ(r.err, "") << command;
  }
  const RunResult top = RunTool(dir, {"--help"});
  EXPECT_EQ(top.status, 0);
  for (const char* command : kCommands) EXPECT_NE(top.out.find(command), std::string::npos);
}

TEST(CliUsage, BadUsageExitsWithTwoAndSaysWhy) {
  TempDir dir;
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{}, "usage: vialto COMMAND"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"info"}, "expected exactly one SOURCE"},
      {{"info", "a.se1", "--colour"}, "unknown option --colour"},
      {{"extract", "a.se1", "--frame"}, "option --frame needs a value"},
      {{"extract", "a.se1", "--frame", "2", "--all"}, "only one of --frame, --range and --all"},
      {{"extract", "a.se1", "--frame", "two"}, "'two' is not a whole number"},
      {{"extract", "a.se1", "--range", "5:3"}, "not a range A:B"},
      {{"extract", "a.se1", "--as", "bmp"}, "unknown format 'bmp'"},
      {{"save", "local.se1", "copy.se1"}, "not an http(s) or ftp URL"},
      {{"make", "avi", "-o", "x"}, "unknown sequence type 'avi'"},
      {{"make", "se1", "--synthetic", "3"}, "-o FILE is required"},
      {{"make", "se1", "-o", "x.se1"}, "no INPUT pictures given"},
      {{"make", "se1", "-o", "x.se1", "--colour", "--synthetic", "2"}, "--colour applies to ser"},
      {{"make", "ser", "-o", "x.ser", "--synthetic", "0"}, "outside 1..65535"},
      {{"annotate", "in.png"}, "expected IN and OUT"},
      {{"annotate", "in.png", "out.gif"}, "unknown picture type"},
      {{"annotate", "in.png", "out.png", "--color", "red", "--text", "x"}, "expected a colour"},
      {{"annotate", "in.png", "out.png", "--arrow", "10"}, "comma-separated numbers"},
      {{"annotate", "in.png", "out.png", "--size", "20"}, "text options given without --text"},
      {{"demo", "extra"}, "unexpected argument extra"},
  };
  for (const Case& c : cases) {
    const RunResult r = RunTool(dir, c.args);
    const std::string where = c.args.empty() ? "(no args)" : c.args[0] + " ...";
    EXPECT_EQ(r.status, 2) << where << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << where << ": " << r.err;
    EXPECT_EQ(r.out, "") << where;
  }
}

TEST(CliUsage, SourcesThatAreNotSequencesFailWithTheirCause) {
  TempDir dir;
  WriteFile(dir.File("short.se1"), Bytes(54, 's'));
  const std::string missing = dir.File("missing.se1");
  struct Case {
    std::string source;
    const char* message;
  };
  const Case cases[] = {
      {missing, "missing.se1: no such file"},
      {dir.path().string(), "is a directory"},
      {dir.File("short.se1"), "not a sequence file (54 bytes"},
  };
  for (const Case& c : cases) {
    const RunResult info = RunTool(dir, {"info", c.source});
    EXPECT_EQ(info.status, 1) << c.source;
    EXPECT_NE(info.err.find(c.message), std::string::npos) << info.err;
    EXPECT_EQ(info.out, "");
    const RunResult extract = RunTool(dir, {"extract", c.source, "-o", dir.File("out")});
    EXPECT_EQ(extract.status, 1) << c.source;
    EXPECT_NE(extract.err.find(c.message), std::string::npos) << extract.err;
  }
}

TEST(CliUsage, NoiseIsReportedAsNotASequence) {
  TempDir dir;
  WriteFile(dir.File("noise.bin"), RandomBytes(4096, 7));
  const RunResult r = RunTool(dir, {"info", dir.File("noise.bin")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("not a sequence file (neither"), std::string::npos) << r.err;
}

TEST(CliUsage, UnreachableUrlFailsClearly) {
  TempDir dir;
  // Port 9 on loopback (discard) has no listener here; the open is refused at once.
  for (const char* command : {"info", "save"}) {
    std::vector<std::string> args{command, "http://127.0.0.1:9/none.se1"};
    if (command == std::string("save")) args.push_back(dir.File("copy.se1"));
    const RunResult r = RunTool(dir, args);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.err.find("cannot open the URL"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("copy.se1")));
}

}  // namespace
}  // namespace vialto::test::cli
#endif  // VIALTO_CLI_FILE
