#pragma once

#include "framework/bitmap.h"

#include <QImage>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Makes parked pixels on a thread of its own, ahead of their use, into
// images of its own: the owner of the bitmaps takes the finished images and
// has the bitmaps adopt them (Bitmap::Adopt), which they do only while they
// are still parked on the very same pixels. The thread never sees a bitmap,
// only the pixels they are parked on, which never change.
class ReadyAhead {
 public:
  // Pixels to make together, under the owner's tag: the first made from
  // scratch, each later one derived from it made from its image, a copy
  // changed. Null pixels are left out.
  struct Job {
    size_t tag = 0;
    std::vector<Bitmap::ParkedPixels> pixels;
    bool operator==(const Job&) const = default;
  };
  // A job's images, one for each of its pixels: null where they are null or
  // could not be made.
  struct Made {
    Job job;
    std::vector<QImage> images;
  };

  // `finished` is called on the worker thread each time a job's images are
  // there to take.
  explicit ReadyAhead(std::function<void()> finished);
  // Waits for the job in hand, if any, to end; its images are dropped.
  ~ReadyAhead();
  ReadyAhead(const ReadyAhead&) = delete;
  ReadyAhead& operator=(const ReadyAhead&) = delete;

  // The jobs to do next, in this order, in place of those waiting. The job
  // in hand goes on when it is one of them or of `keep` (which are not
  // started otherwise); else its images are dropped. Jobs finished and not
  // yet taken are not done again.
  void Aim(std::vector<Job> jobs, const std::vector<Job>& keep);
  // Drops every job waiting, the job in hand and the images not taken.
  void Cancel();
  // The images made since the last call.
  std::vector<Made> Take();
  // When the worker is making the job: waits, no longer than making it
  // here would take, for its images, and returns whether they are there to
  // take. A job still waiting is taken off the list, for the caller to make.
  bool Await(const Job& job);
  // Makes a job on the calling thread, as the worker does.
  Made MakeHere(Job job);

 private:
  void Work();
  Made Make(Job job, const std::atomic<bool>* abandoned);
  void Recycle(std::vector<Made> made);

  std::function<void()> finished_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::vector<Job> waiting_;
  std::optional<Job> inHand_;
  std::atomic<bool> abandoned_{false};
  std::vector<Made> made_;
  // The longest of the last jobs, on either thread: how long a wait for the
  // job in hand may take at most.
  std::chrono::steady_clock::duration longest_[4]{};
  size_t next_ = 0;
  bool stopping_ = false;
  std::thread worker_;
};
