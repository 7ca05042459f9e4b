#include "framework/readyahead.h"

#include <algorithm>
#include <new>
#include <system_error>

ReadyAhead::ReadyAhead(std::function<void()> finished) : finished_(std::move(finished)) {
  // Without a thread (no memory for its stack or its state) nothing is
  // made ahead: the owner makes what it shows when it shows it.
  try {
    worker_ = std::thread([this] { Work(); });
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
}

ReadyAhead::~ReadyAhead() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    abandoned_ = true;
    waiting_.clear();
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void ReadyAhead::Aim(std::vector<Job> jobs, const std::vector<Job>& keep) {
  std::lock_guard lock(mutex_);
  if (!worker_.joinable()) return;
  if (inHand_) {
    // A job dropped already is made again when it is wanted again.
    const bool wanted =
        std::ranges::find(keep, *inHand_) != keep.end() || std::ranges::find(jobs, *inHand_) != jobs.end();
    if (wanted && !abandoned_) {
      std::erase(jobs, *inHand_);
    } else {
      abandoned_ = true;
    }
  }
  std::erase_if(jobs, [this](const Job& job) {
    return std::ranges::any_of(made_, [&job](const Made& made) { return made.job == job; });
  });
  waiting_ = std::move(jobs);
  if (!waiting_.empty()) wake_.notify_one();
}

void ReadyAhead::Cancel() {
  std::vector<Made> dropped;
  {
    std::lock_guard lock(mutex_);
    waiting_.clear();
    if (inHand_) abandoned_ = true;
    dropped.swap(made_);
  }
  Recycle(std::move(dropped));
}

std::vector<ReadyAhead::Made> ReadyAhead::Take() {
  std::vector<Made> made;
  std::lock_guard lock(mutex_);
  made.swap(made_);
  return made;
}

bool ReadyAhead::Await(const Job& job) {
  std::unique_lock lock(mutex_);
  std::erase(waiting_, job);
  if (inHand_ && *inHand_ == job && !abandoned_) {
    // A wait as long as the longest job of late; a worker that takes longer
    // than that is left to it, and the caller makes the pixels itself.
    const auto longest = *std::max_element(std::begin(longest_), std::end(longest_));
    const auto most = longest.count() > 0 ? longest : std::chrono::steady_clock::duration(std::chrono::seconds(1));
    if (!done_.wait_for(lock, most, [&] { return !inHand_ || *inHand_ != job; })) abandoned_ = true;
  }
  return std::ranges::any_of(made_, [&job](const Made& made) { return made.job == job; });
}

ReadyAhead::Made ReadyAhead::MakeHere(Job job) {
  const auto start = std::chrono::steady_clock::now();
  Made made = Make(std::move(job), nullptr);
  std::lock_guard lock(mutex_);
  longest_[next_++ % std::size(longest_)] = std::chrono::steady_clock::now() - start;
  return made;
}

ReadyAhead::Made ReadyAhead::Make(Job job, const std::atomic<bool>* abandoned) {
  Made made{std::move(job), {}};
  try {
    const std::vector<Bitmap::ParkedPixels>& pixels = made.job.pixels;
    made.images.resize(pixels.size());
    for (size_t k = 0; k < pixels.size(); ++k) {
      // Pixels no longer wanted are not made.
      if (abandoned != nullptr && *abandoned) break;
      made.images[k] = k == 0 ? Bitmap::Make(pixels[0]) : Bitmap::Make(pixels[k], pixels[0], made.images[0]);
    }
  } catch (const std::bad_alloc&) {
  }
  return made;
}

void ReadyAhead::Recycle(std::vector<Made> made) {
  for (Made& m : made) {
    for (QImage& image : m.images) Bitmap::Recycle(std::move(image));
  }
}

void ReadyAhead::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_) return;
    Job job = std::move(waiting_.front());
    waiting_.erase(waiting_.begin());
    // Short of memory even for noting the job, it is dropped; the owner
    // makes it when it shows it.
    try {
      inHand_ = job;
    } catch (const std::bad_alloc&) {
      continue;
    }
    abandoned_ = false;
    lock.unlock();
    const auto start = std::chrono::steady_clock::now();
    Made made = Make(std::move(job), &abandoned_);
    const auto took = std::chrono::steady_clock::now() - start;
    lock.lock();
    inHand_.reset();
    bool wanted = !abandoned_ && !stopping_;
    if (wanted) {
      longest_[next_++ % std::size(longest_)] = took;
      try {
        made_.push_back(std::move(made));
      } catch (const std::bad_alloc&) {
        wanted = false;
      }
    }
    done_.notify_all();
    lock.unlock();
    if (wanted) {
      // Without memory to say so, the images wait for the owner's next look.
      try {
        finished_();
      } catch (const std::bad_alloc&) {
      }
    } else {
      Recycle({std::move(made)});
    }
    lock.lock();
  }
}
