#pragma once
// A small persistent pool of helper threads for the rasterizer: run(job, n) calls job(0) on
// the calling thread and job(1) .. job(n - 1) on helpers, and returns when all are done.
// Helpers start blocked for every signal (they only ever wait or draw) and are joined when
// the pool is destroyed.
#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kvd3d::raster {

class WorkerPool {
 public:
  // Starts up to `helpers` threads; fewer when the system refuses more (see helperCount).
  explicit WorkerPool(int helpers);
  ~WorkerPool();
  WorkerPool(const WorkerPool &) = delete;
  WorkerPool &operator=(const WorkerPool &) = delete;

  int helperCount() const { return static_cast<int>(threads_.size()); }
  // The process the helpers run in: after fork a child has none of them.
  pid_t owner() const { return owner_; }
  // workers - 1 must not exceed helperCount().
  void run(const std::function<void(int)> &job, int workers);

 private:
  void helperLoop(int index);

  std::vector<std::thread> threads_;
  pid_t owner_;
  std::mutex mutex_;
  std::condition_variable start_, done_;
  const std::function<void(int)> *job_ = nullptr;
  unsigned long generation_ = 0;
  int activeHelpers_ = 0;  // helpers taking part in the current generation
  int remaining_ = 0;
  bool stop_ = false;
};

}  // namespace kvd3d::raster
