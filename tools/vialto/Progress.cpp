#include "Progress.h"

#include <unistd.h>

#include <cstdio>

namespace vialto::cli {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

ProgressBar::ProgressBar(std::string label, int total, FILE* out)
    : label_(std::move(label)),
      total_(total > 0 ? total : 1),
      out_(out),
      enabled_(::isatty(::fileno(out)) == 1) {
  Update(0);
}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Update(int done) {
  if (!enabled_ || finished_) return;
  constexpr int kCells = 30;
  const int filled = static_cast<int>(static_cast<long long>(done) * kCells / total_);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kCells - filled), '.');
  std::fprintf(out_, "\r%s [%s] %d/%d", label_.c_str(), bar.c_str(), done, total_);
  std::fflush(out_);
}

void ProgressBar::Finish() {
  if (!enabled_ || finished_) return;
  finished_ = true;
  std::fputc('\n', out_);
}

Spinner::Spinner(std::string label)
    : label_(std::move(label)), start_(std::chrono::steady_clock::now()) {
  if (StderrIsTerminal()) thread_ = std::thread(&Spinner::Run, this);
}

Spinner::~Spinner() { Stop(); }

void Spinner::Stop() {
  stop_ = true;
  if (thread_.joinable()) {
    thread_.join();
    std::fputc('\n', stderr);
  }
}

void Spinner::Run() {
  static const char kFrames[] = "|/-\\";
  for (int tick = 0; !stop_; ++tick) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(stderr, "\r%c %s %.1f s", kFrames[tick % 4], label_.c_str(), seconds);
    std::fflush(stderr);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace vialto::cli
