#include "worker_pool.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <system_error>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace kvd3d::raster {

namespace {

constexpr auto kPollTime = std::chrono::microseconds(250);

// Polls `done` for up to kPollTime; whether it came true.
template <typename Done>
bool pollFor(Done &&done) {
  const auto until = std::chrono::steady_clock::now() + kPollTime;
  for (;;) {
    for (int i = 0; i < 64; ++i) {
      if (done()) return true;
#if defined(__x86_64__) || defined(__i386__)
      _mm_pause();
#endif
    }
    if (std::chrono::steady_clock::now() >= until) return false;
  }
}

}  // namespace

WorkerPool::WorkerPool(int helpers) : owner_(getpid()) {
  // Helpers inherit a full signal mask: signals stay with the host's threads, and a helper
  // parked in a wait never runs a handler.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  for (int i = 0; i < helpers; ++i) {
    try {
      threads_.emplace_back([this] { helperLoop(); });
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

void WorkerPool::run(const std::function<void(int)> &job, int helpers) {
  start(job, helpers);
  job(0);
  finish();
}

void WorkerPool::start(const std::function<void(int)> &job, int helpers) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = &job;
    open_ = true;
    allowed_ = helpers;
    joined_ = 0;
    ++generation_;
  }
  start_.notify_all();
}

void WorkerPool::finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;  // from here on no helper joins
  }
  pollFor([this] { return running_ == 0; });
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return running_ == 0; });
  job_ = nullptr;
}

void WorkerPool::helperLoop() {
  unsigned long seen = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (!stop_ && generation_ == seen) {
      lock.unlock();
      pollFor([&] { return stop_ || generation_ != seen; });
      lock.lock();
    }
    start_.wait(lock, [&] { return stop_ || generation_ != seen; });
    if (stop_) return;
    seen = generation_;
    if (!open_ || joined_ >= allowed_) continue;
    const int index = ++joined_;
    ++running_;
    const std::function<void(int)> *job = job_;
    lock.unlock();
    (*job)(index);
    lock.lock();
    if (--running_ == 0) done_.notify_one();
  }
}

}  // namespace kvd3d::raster
