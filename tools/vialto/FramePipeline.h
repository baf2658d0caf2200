// Frames read in order on the calling thread, turned into files on a small pool of workers, and
// retired in order on the calling thread again: a bounded ring of jobs, so memory stays at a few
// frames whatever the sequence's length, and whatever a worker does comes back in frame order.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vialto::cli {

// One worker a core, at most 16.
inline int DefaultJobCount() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores > 16 ? 16 : static_cast<int>(cores);
}

template <typename Job>
class FramePipeline {
 public:
  // Process runs on a worker (or inline with one job); an exception it throws becomes the job's
  // error. Retire runs on the calling thread, once a job, in submission order, and must not throw.
  using Process = std::function<void(Job&)>;
  using Retire = std::function<void(Job&, const std::string& error)>;

  FramePipeline(int jobs, Process process, Retire retire)
      : process_(std::move(process)), retire_(std::move(retire)) {
    const size_t workers = jobs > 1 ? static_cast<size_t>(jobs) : 0;
    slots_.resize(workers ? workers * 4 : 1);  // room for a worker the system holds back
    for (size_t i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
  }
  ~FramePipeline() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    toWorkers_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }
  FramePipeline(const FramePipeline&) = delete;
  FramePipeline& operator=(const FramePipeline&) = delete;

  // The job to fill for the next frame. Its buffers are those of a frame some jobs back, which is
  // retired first: reuse them.
  Job& Next() {
    if (submitted_ - retired_ == slots_.size()) RetireOldest();
    return slots_[submitted_ % slots_.size()].job;
  }
  // Hands the job that Next returned to the workers, with the error the reading found, if any
  // (then the job is not processed, only retired).
  void Submit(std::string readError = {}) {
    const size_t index = submitted_++ % slots_.size();
    Slot& slot = slots_[index];
    slot.error = std::move(readError);
    if (workers_.empty()) {
      if (slot.error.empty()) slot.error = Run(slot.job);
      ++retired_;
      retire_(slot.job, slot.error);
      return;
    }
    {
      std::lock_guard lock(mutex_);
      slot.done = !slot.error.empty();
      if (!slot.done) queue_.push_back(index);
    }
    toWorkers_.notify_one();
  }
  // Waits for every submitted job and retires the ones left, in order.
  void Finish() {
    while (retired_ < submitted_) RetireOldest();
  }

 private:
  struct Slot {
    Job job;
    std::string error;
    bool done = false;
  };

  std::string Run(Job& job) {
    try {
      process_(job);
      return {};
    } catch (const std::bad_alloc&) {
      return "out of memory";
    } catch (const std::exception& e) {
      return e.what();
    }
  }

  void RetireOldest() {
    Slot& slot = slots_[retired_ % slots_.size()];
    if (!workers_.empty()) {
      std::unique_lock lock(mutex_);
      toReader_.wait(lock, [&] { return slot.done; });
      slot.done = false;
    }
    ++retired_;
    retire_(slot.job, slot.error);
  }

  void Work() {
    std::unique_lock lock(mutex_);
    while (true) {
      toWorkers_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      const size_t index = queue_.front();
      queue_.pop_front();
      lock.unlock();
      std::string error = Run(slots_[index].job);
      lock.lock();
      slots_[index].error = std::move(error);
      slots_[index].done = true;
      toReader_.notify_one();
    }
  }

  Process process_;
  Retire retire_;
  std::vector<Slot> slots_;
  size_t submitted_ = 0;
  size_t retired_ = 0;
  std::mutex mutex_;
  std::condition_variable toWorkers_;
  std::condition_variable toReader_;
  std::deque<size_t> queue_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace vialto::cli
