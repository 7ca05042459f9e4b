#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

// Runs count jobs on worker threads and hands their results to one
// consumer in job order. Workers stay at most `window` jobs ahead of the
// consumer, which bounds the memory that finished results hold. The job
// receives its index and the number of the worker that runs it (0 to
// threads - 1), so a worker can keep data of its own. A job that throws
// (memory ran out) gives a default-made Result, the caller's "nothing made",
// and the work goes on: no exception ever leaves a worker thread.
template <class Result>
class OrderedWork {
 public:
  using Job = std::function<Result(size_t index, int worker)>;

  OrderedWork(size_t count, int threads, size_t window, Job job)
      : job_(std::move(job)), results_(count), window_(std::max<size_t>(window, 1)) {
    threads = std::max(1, threads);
    // A thread the system cannot start (no memory for its stack or its
    // state) is done without; with none at all, Take runs each job itself.
    try {
      for (int w = 0; w < threads; ++w) workers_.emplace_back([this, w] { Work(w); });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
  }

  ~OrderedWork() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }

  OrderedWork(const OrderedWork&) = delete;
  OrderedWork& operator=(const OrderedWork&) = delete;

  // Waits for the result of job i (jobs must be taken in order), calling
  // `waiting` every few milliseconds meanwhile.
  Result Take(size_t i, const std::function<void()>& waiting) {
    if (workers_.empty()) return Run(i, 0);
    std::unique_lock lock(mutex_);
    while (!results_[i]) {
      if (waiting) {
        done_.wait_for(lock, std::chrono::milliseconds(15));
        if (results_[i]) break;
        lock.unlock();
        waiting();
        lock.lock();
      } else {
        done_.wait(lock);
      }
    }
    Result result = std::move(*results_[i]);
    results_[i].reset();
    taken_ = i + 1;
    lock.unlock();
    wake_.notify_all();
    return result;
  }

  // The number of worker threads to use: one per core, up to `most`.
  static int DefaultThreads(int most) {
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, std::max(1, most));
  }

 private:
  Result Run(size_t index, int worker) {
    try {
      return job_(index, worker);
    } catch (...) {
      return Result{};
    }
  }

  void Work(int worker) {
    for (;;) {
      size_t index = 0;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || (next_ < results_.size() && next_ < taken_ + window_); });
        if (stopping_ || next_ >= results_.size()) return;
        index = next_++;
      }
      Result result = Run(index, worker);
      {
        std::lock_guard lock(mutex_);
        results_[index] = std::move(result);
      }
      done_.notify_all();
    }
  }

  Job job_;
  std::vector<std::optional<Result>> results_;
  size_t window_;
  size_t next_ = 0;
  size_t taken_ = 0;
  bool stopping_ = false;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::vector<std::thread> workers_;
};
