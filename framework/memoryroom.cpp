#include "framework/memoryroom.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <sstream>
#include <string>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// How long the shared threads wait for each other at most.
constexpr auto kPatience = std::chrono::seconds(2);

// The number of kilobytes a line "key: n kB" of such a text gives, in
// bytes; SIZE_MAX when the text has no such line.
size_t KilobytesOf(std::string_view text, std::string_view key) {
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ':') continue;
    size_t value = 0;
    bool digits = false;
    for (const char c : line.substr(key.size() + 1)) {
      if (c >= '0' && c <= '9') {
        value = value * 10 + static_cast<size_t>(c - '0');
        digits = true;
      } else if (digits) {
        break;
      }
    }
    return digits ? value * 1024 : SIZE_MAX;
  }
  return SIZE_MAX;
}

size_t Left(size_t limit, size_t used) {
  if (limit == SIZE_MAX) return SIZE_MAX;
  if (used == SIZE_MAX) return limit;
  return limit > used ? limit - used : 0;
}

std::string ReadText(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// A number of bytes a control group's file holds; SIZE_MAX for "max", or
// when there is no such file.
size_t GroupNumber(const std::string& path) {
  std::ifstream file(path);
  std::string word;
  if (!(file >> word) || word.empty() || word.find_first_not_of("0123456789") != std::string::npos) return SIZE_MAX;
  return std::stoull(word);
}

// The room left in the process's memory control group and every group
// above it: cgroup v2 (memory.max against memory.current), or v1
// (memory.limit_in_bytes against memory.usage_in_bytes).
size_t GroupRoom() {
  size_t room = SIZE_MAX;
  std::ifstream groups("/proc/self/cgroup");
  for (std::string line; std::getline(groups, line);) {
    std::string root;
    std::string limit;
    std::string usage;
    if (line.rfind("0::", 0) == 0) {
      root = "/sys/fs/cgroup";
      limit = "/memory.max";
      usage = "/memory.current";
    } else if (const size_t at = line.find(":memory:"); at != std::string::npos) {
      root = "/sys/fs/cgroup/memory";
      limit = "/memory.limit_in_bytes";
      usage = "/memory.usage_in_bytes";
    } else {
      continue;
    }
    std::string group = line.substr(line.find(':', line.find(':') + 1) + 1);
    for (;;) {
      const std::string folder = root + (group == "/" ? std::string() : group);
      room = std::min(room, Left(GroupNumber(folder + limit), GroupNumber(folder + usage)));
      if (group.empty() || group == "/") break;
      group = group.substr(0, std::max<size_t>(group.rfind('/'), 1));
    }
  }
  return room;
}

}  // namespace

MemoryRoom FreeMemory() {
  MemoryRoom room;
#ifdef Q_OS_LINUX
  auto soft = [](int resource) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
    return static_cast<size_t>(limit.rlim_cur);
  };
  const std::string status = ReadText("/proc/self/status");
  room.addressSpace = std::min(Left(soft(RLIMIT_AS), KilobytesOf(status, "VmSize")),
                               Left(soft(RLIMIT_DATA), KilobytesOf(status, "VmData")));
  room.resident = std::min(GroupRoom(), KilobytesOf(ReadText("/proc/meminfo"), "MemAvailable"));
#endif
  return room;
}

void StartSharedThreads() {
  QThreadPool* pool = QThreadPool::globalInstance();
  // Once the pool's threads run, it is never changed again: a thread that
  // ended, or a larger pool, would need a new thread when Qt next draws,
  // when there may be no memory for one. Only when none could start at all
  // is it tried again.
  static bool running = false;
  if (pool == nullptr || running) return;
  pool->setExpiryTimeout(-1);
  // Under a limit on the address space, where each thread's stack and the
  // C library's arena for its allocations count in full, the pool keeps to
  // as many threads as take a quarter of the room left; one is enough for
  // any drawing to finish.
  const size_t room = FreeMemory().addressSpace;
  const size_t fit = room == SIZE_MAX ? SIZE_MAX : room / 4 / kThreadAddressSpace;
  const int threads =
      static_cast<int>(std::clamp<size_t>(fit, 1, static_cast<size_t>(std::max(QThread::idealThreadCount(), 1))));
  // A thread that could not start counts as busy for ever: room is kept
  // beside those for the threads wanted.
  pool->setMaxThreadCount(pool->activeThreadCount() + threads);
  // Each task waits until all have begun, so each has a thread of its own.
  // A thread that cannot start never runs its task: the others then give
  // up waiting after a while.
  struct Meeting {
    std::mutex mutex;
    std::condition_variable arrived;
    int count = 0;
    int expected = 0;
  };
  std::shared_ptr<Meeting> meeting;
  try {
    meeting = std::make_shared<Meeting>();
    meeting->expected = threads;
    for (int t = 0; t < threads; ++t) {
      try {
        pool->start([meeting] {
          std::unique_lock lock(meeting->mutex);
          ++meeting->count;
          meeting->arrived.notify_all();
          meeting->arrived.wait_for(lock, kPatience, [&] { return meeting->count >= meeting->expected; });
        });
      } catch (const std::bad_alloc&) {
        // No memory to hand over the task: those handed over are all.
        const std::lock_guard lock(meeting->mutex);
        meeting->expected = t;
        meeting->arrived.notify_all();
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    return;
  }
  std::unique_lock lock(meeting->mutex);
  meeting->arrived.wait_for(lock, kPatience, [&] { return meeting->count >= meeting->expected; });
  running = meeting->count > 0;
}

void ReturnFreedMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}
