// main() for every bench program. Benchmarks are named "<group>/<impl>/<case>"; impls whose name
// starts with "vialto" are ours, every other impl is a peer. After the run, each of our results is
// printed as a ratio to each peer of the same group and case: peer time / our time, so a ratio
// above 1 means we are faster.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct Key {
  std::string group, impl, kase;
};

Key SplitName(const std::string& name) {
  Key key;
  const auto a = name.find('/');
  const auto b = a == std::string::npos ? a : name.find('/', a + 1);
  key.group = name.substr(0, a);
  if (a != std::string::npos) key.impl = name.substr(a + 1, b == std::string::npos ? b : b - a - 1);
  if (b != std::string::npos) key.kase = name.substr(b + 1);
  return key;
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::map<std::string, std::map<std::string, double>> byCase;  // group/case -> impl -> time
    for (const auto& [name, time] : times_) {
      const Key key = SplitName(name);
      byCase[key.group + " " + key.kase][key.impl] = time;
    }
    std::printf("\n%-44s %-22s %-26s %8s\n", "group case", "ours", "peer", "ratio");
    for (const auto& [groupCase, impls] : byCase)
      for (const auto& [ours, ourTime] : impls) {
        if (ours.rfind("vialto", 0) != 0) continue;
        for (const auto& [peer, peerTime] : impls)
          if (peer.rfind("vialto", 0) != 0 && ourTime > 0)
            std::printf("%-44s %-22s %-26s %8.2f\n", groupCase.c_str(), ours.c_str(), peer.c_str(),
                        peerTime / ourTime);
      }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
