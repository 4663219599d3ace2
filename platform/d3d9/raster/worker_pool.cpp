#include "worker_pool.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <system_error>

namespace kvd3d::raster {

WorkerPool::WorkerPool(int helpers) : owner_(getpid()) {
  // Helpers inherit a full signal mask: signals stay with the host's threads, and a helper
  // parked in a wait never runs a handler.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  for (int i = 0; i < helpers; ++i) {
    try {
      threads_.emplace_back([this, i] { helperLoop(i + 1); });
    } catch (const std::system_error &) {
      break;  // a sandbox or a limit refused another thread: work with those there are
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  start_.notify_all();
  for (std::thread &t : threads_) t.join();
}

void WorkerPool::run(const std::function<void(int)> &job, int workers) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = &job;
    activeHelpers_ = workers - 1;
    remaining_ = workers - 1;
    ++generation_;
  }
  start_.notify_all();
  job(0);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return remaining_ == 0; });
  job_ = nullptr;
}

void WorkerPool::helperLoop(int index) {
  unsigned long seen = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    start_.wait(lock, [&] { return stop_ || generation_ != seen; });
    if (stop_) return;
    seen = generation_;
    if (index > activeHelpers_) continue;
    const std::function<void(int)> *job = job_;
    lock.unlock();
    (*job)(index);
    lock.lock();
    if (--remaining_ == 0) done_.notify_one();
  }
}

}  // namespace kvd3d::raster
