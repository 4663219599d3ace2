#pragma once
// A small persistent pool of helper threads for the rasterizer. run(job, n) calls job(0) on
// the calling thread and job(1), job(2) ... on each of up to n helpers that gets to it before
// the caller's own call has returned; it returns when every call that started has. The job
// therefore shares its work out as it goes (a counter of parts): a helper the system is slow
// to wake finds nothing left, and the caller never waits for it. Helpers start with every
// signal blocked (they only ever wait or draw) and are joined when the pool is destroyed.
// Frames come back to back, and waking a sleeping thread can cost more than a small
// frame's whole share: after a run, helpers and the caller poll for a fraction of a
// millisecond before they sleep.
#include <sys/types.h>

#include <atomic>
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
  void run(const std::function<void(int)> &job, int helpers);
  // run() in two halves, for a caller with other work to do while the helpers start:
  // start() hands the job to the helpers and returns at once; finish() returns when every
  // call that started has returned, and no helper joins once it has been called. The
  // caller may make its own job(0) call in between; `job` must live until finish returns.
  void start(const std::function<void(int)> &job, int helpers);
  void finish();

 private:
  void helperLoop();

  std::vector<std::thread> threads_;
  pid_t owner_;
  std::mutex mutex_;
  std::condition_variable start_, done_;
  const std::function<void(int)> *job_ = nullptr;
  // Changed under the mutex; atomic so that polling may read them without it.
  std::atomic<unsigned long> generation_{0};
  std::atomic<int> running_{0};
  std::atomic<bool> stop_{false};
  bool open_ = false;  // helpers may still join the current run
  int allowed_ = 0;    // how many may join it
  int joined_ = 0;
};

}  // namespace kvd3d::raster
