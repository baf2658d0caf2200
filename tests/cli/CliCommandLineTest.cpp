// How the tool reads its words: option forms, repeated options, values that look like options,
// the end of options, and the JSON it prints for names that are not plain text.
#ifdef VIALTO_CLI_FILE
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CliHarness.h"

namespace vialto::test::cli {
namespace {

std::string Sample(const TempDir& dir, const std::string& name) {
  const std::string path = dir.File(name);
  std::filesystem::copy_file(std::string(VIALTO_SOURCE_DIR) + "/samples/road.se1", path);
  return path;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CliCommandLine, ValuesInlineOrFollowingAndTheLastOneWins) {
  TempDir dir;
  const std::string se1 = Sample(dir, "road.se1");
  // "--as=raw" and "--as raw" are the same option; given twice, the last counts.
  const RunResult inlined =
      RunTool(dir, {"extract", se1, "--as=raw", "--frame=1", "-o", "a"}, dir.path().string());
  ASSERT_EQ(inlined.status, 0) << inlined.err;
  EXPECT_TRUE(std::filesystem::exists(dir.File("a/road-000001.raw")));
  const RunResult twice =
      RunTool(dir, {"extract", se1, "--as", "png", "--frame", "0", "--as", "raw", "-o", "b"},
              dir.path().string());
  ASSERT_EQ(twice.status, 0) << twice.err;
  EXPECT_TRUE(std::filesystem::exists(dir.File("b/road-000000.raw")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("b/road-000000.png")));

  // A repeatable option keeps every value, in order.
  WritePpm(dir.File("black.ppm"), 200, 150, Bytes(200 * 150 * 3, 0));
  const RunResult arrows = RunTool(dir, {"annotate", dir.File("black.ppm"), dir.File("out.ppm"),
                                         "--arrow", "100,75", "--arrow=150,100"});
  ASSERT_EQ(arrows.status, 0) << arrows.err;
  EXPECT_TRUE(Has(arrows.out, "2 arrow(s)")) << arrows.out;
}

TEST(CliCommandLine, ValuesThatLookLikeOptionsAreTakenAsValues) {
  TempDir dir;
  const std::string se1 = Sample(dir, "road.se1");
  struct Case {
    std::vector<std::string> args;
    const char* message;  // the value reached the option's own check
  };
  const Case cases[] = {
      {{"extract", se1, "--frame", "-1"}, "--frame: frame numbers count from 0"},
      {{"extract", se1, "--frame", "--all"}, "--frame: '--all' is not a whole number"},
      {{"extract", se1, "--as", "-"}, "unknown format '-'"},
      {{"extract", se1, "--as", "-o=x"}, "unknown format '-o=x'"},
      {{"annotate", "in.png", "out.png", "--text", "x", "--size", "-3"}, "-3 is outside 4..500"},
      {{"annotate", "in.png", "out.png", "--arrow", "-5,x"}, "'x' is not a whole number"},
  };
  for (const Case& c : cases) {
    const RunResult r = RunTool(dir, c.args);
    EXPECT_EQ(r.status, 2) << c.message << ": " << r.err;
    EXPECT_TRUE(Has(r.err, c.message)) << r.err;
  }
}

TEST(CliCommandLine, OptionMistakesAreNamedInTheToolsWords) {
  TempDir dir;
  const std::string se1 = Sample(dir, "road.se1");
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"info", se1, "--json=yes"}, "option --json takes no value"},
      {{"info", se1, "--bogus=3"}, "unknown option --bogus"},
      {{"info", se1, "-q"}, "unknown option -q"},
      {{"extract", se1, "-o=out"}, "unknown option -o=out"},
      {{"extract", se1, "-o"}, "option -o needs a value"},
      {{"make", "se1", "-o", "x.se1", "--quality"}, "option --quality needs a value"},
  };
  for (const Case& c : cases) {
    const RunResult r = RunTool(dir, c.args);
    EXPECT_EQ(r.status, 2) << c.message << ": " << r.err;
    EXPECT_TRUE(Has(r.err, c.message)) << r.err;
    EXPECT_TRUE(Has(r.err, "(see 'vialto " + c.args[0] + " --help')")) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

TEST(CliCommandLine, DoubleDashEndsOptionsAndHelpBeforeIt) {
  TempDir dir;
  Sample(dir, "--json");  // a sequence whose name looks like an option
  const RunResult named = RunTool(dir, {"info", "--", "--json"}, dir.path().string());
  ASSERT_EQ(named.status, 0) << named.err;
  EXPECT_TRUE(Has(named.out, "source        --json")) << named.out;

  // Help wins wherever it stands before "--", even next to a mistake; after "--" it is a name.
  const RunResult help = RunTool(dir, {"extract", "x.se1", "--bogus", "-h"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: vialto extract", 0), 0u) << help.out;
  const RunResult notHelp = RunTool(dir, {"info", "--", "--help"}, dir.path().string());
  EXPECT_EQ(notHelp.status, 1);
  EXPECT_TRUE(Has(notHelp.err, "--help: no such file")) << notHelp.err;
}

TEST(CliInfoJson, NamesThatAreNotPlainTextStayValidJson) {
  TempDir dir;
  // Quotes, a backslash, a control character and a byte that is not UTF-8.
  const std::string odd = Sample(dir,
                                 "a\"b\\c\x01"
                                 "d\xff.se1");
  const RunResult r = RunTool(dir, {"info", odd, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "a\\\"b\\\\c\\u0001d")) << r.out;
  const Json j = ParseJson(r.out);
  EXPECT_EQ(j["source"].String(), dir.File("a\"b\\c\x01"
                                           "d\xEF\xBF\xBD.se1"));
  EXPECT_EQ(j["type"].String(), "se1");
  // One line, the fields in the order the text output shows them.
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
  size_t last = 0;
  for (const char* key : {"\"source\"", "\"type\"", "\"length\"", "\"frame_count\"",
                          "\"colour_mode\"", "\"colour_mode2\"", "\"info_length\"", "\"info\""}) {
    const size_t at = r.out.find(key);
    ASSERT_NE(at, std::string::npos) << key;
    EXPECT_GT(at, last) << key;
    last = at;
  }
}

}  // namespace
}  // namespace vialto::test::cli
#endif  // VIALTO_CLI_FILE
