// vialto: inspect, extract, copy, build and annotate traffic-camera frame sequences.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "Args.h"
#include "Commands.h"

namespace {

using vialto::cli::Words;

struct Command {
  const char* name;
  const char* summary;
  int (*run)(const Words&);
};

constexpr Command kCommands[] = {
    {"info", "show a sequence's type, file information and frames", vialto::cli::RunInfo},
    {"extract", "write frames as JPEG, PNG, PGM, PPM, YUV or raw files", vialto::cli::RunExtract},
    {"save", "make a local copy of a remote sequence", vialto::cli::RunSave},
    {"make", "build a ser or se1 sequence from pictures or a synthetic scene",
     vialto::cli::RunMake},
    {"annotate", "draw text and arrows on a picture", vialto::cli::RunAnnotate},
    {"demo", "walk the sample sequences, annotate every frame, make a contact sheet",
     vialto::cli::RunDemo},
    {"view", "look at a sequence in the browser, frame by frame", vialto::cli::RunView},
};

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: vialto COMMAND [ARGS...]\n"
               "\n"
               "Commands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-9s %s\n", c.name, c.summary);
  std::fprintf(out,
               "\n"
               "SOURCE is a local path or an http://, https:// or ftp:// URL.\n"
               "'vialto COMMAND --help' describes a command. Exit status: 0 done, 1 failed,\n"
               "2 bad usage.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(stdout);
    return 0;
  }
  const Command* command = nullptr;
  for (const Command& c : kCommands) {
    if (name == c.name) command = &c;
  }
  if (!command) {
    std::fprintf(stderr, "vialto: unknown command '%s'\n\n", name.c_str());
    PrintUsage(stderr);
    return 2;
  }
  const Words words(argv + 2, argv + argc);
  try {
    return command->run(words);
  } catch (const vialto::cli::UsageError& e) {
    std::fprintf(stderr, "vialto %s: %s\n(see 'vialto %s --help')\n", command->name, e.what(),
                 command->name);
    return 2;
  } catch (const vialto::cli::CommandError& e) {
    std::fprintf(stderr, "vialto %s: %s\n", command->name, e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vialto %s: %s\n", command->name, e.what());
    return 1;
  }
}
