// main() for every bench program. Benchmarks are named "<group>/<impl>/<case>"; impls whose name
// starts with "vialto" are ours, every other impl is a peer. After the run, each of our results is
// printed as a ratio to each peer of the same group and case: peer time / our time, so a ratio
// above 1 means we are faster. With --benchmark_repetitions each time is the median of the
// repetitions; --ratio_time=cpu takes the ratios from CPU time instead of wall time (steadier on a
// loaded machine for single-threaded work).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(bool cpuTime) : cpuTime_(cpuTime) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        times_[run.benchmark_name()].push_back(cpuTime_ ? run.GetAdjustedCPUTime()
                                                        : run.GetAdjustedRealTime());
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::map<std::string, std::map<std::string, double>> byCase;  // group/case -> impl -> time
    for (const auto& [name, times] : times_) {
      const Key key = SplitName(name);
      byCase[key.group + " " + key.kase][key.impl] = Median(times);
    }
    std::printf("\nratios of %s times%s\n", cpuTime_ ? "CPU" : "wall",
                times_.empty() || times_.begin()->second.size() < 2 ? "" : ", medians");
    std::printf("%-44s %-22s %-26s %8s\n", "group case", "ours", "peer", "ratio");
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
  bool cpuTime_;
  std::map<std::string, std::vector<double>> times_;  // per benchmark, one time a repetition
};

// Takes --ratio_time=cpu|wall out of the arguments; true for cpu.
bool TakeRatioTimeFlag(int& argc, char** argv) {
  bool cpu = false;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--ratio_time=cpu") == 0)
      cpu = true;
    else if (std::strcmp(argv[i], "--ratio_time=wall") != 0)
      argv[kept++] = argv[i];
  }
  argc = kept;
  return cpu;
}

}  // namespace

int main(int argc, char** argv) {
  const bool cpuTime = TakeRatioTimeFlag(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(cpuTime);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
