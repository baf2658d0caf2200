// The subcommands. Each takes the words after its name, prints its help for --help, writes
// results to stdout and throws UsageError / CommandError for the caller to report.
#pragma once
#include <string>
#include <vector>

namespace vialto::cli {

using Words = std::vector<std::string>;

int RunInfo(const Words& words);
int RunExtract(const Words& words);
int RunSave(const Words& words);
int RunMake(const Words& words);
int RunAnnotate(const Words& words);
int RunDemo(const Words& words);
int RunView(const Words& words);  // view/ViewCommand.cpp

}  // namespace vialto::cli
