// Progress on stderr, drawn only when stderr is a terminal so that logs and pipes stay clean.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace vialto::cli {

// "label [#####.....]  12/40" redrawn in place; Finish() ends the line.
class ProgressBar {
 public:
  // Drawn on `out` (stderr unless told), when that is a terminal.
  ProgressBar(std::string label, int total, FILE* out = stderr);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;
  void Update(int done);
  void Finish();

 private:
  std::string label_;
  int total_;
  FILE* out_;
  bool enabled_;
  bool finished_ = false;
};

// For one long blocking call: a spinner with the elapsed time, from a thread of its own.
class Spinner {
 public:
  explicit Spinner(std::string label);
  ~Spinner();
  Spinner(const Spinner&) = delete;
  Spinner& operator=(const Spinner&) = delete;
  void Stop();

 private:
  void Run();
  std::string label_;
  std::atomic<bool> stop_{false};
  std::chrono::steady_clock::time_point start_;
  std::thread thread_;
};

bool StderrIsTerminal();

}  // namespace vialto::cli
