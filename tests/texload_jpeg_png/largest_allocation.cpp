#include "largest_allocation.h"

#include <atomic>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KV_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KV_COUNT_ALLOCATIONS 0
#endif
#endif
#if !defined(KV_COUNT_ALLOCATIONS) && defined(__GLIBC__)
#define KV_COUNT_ALLOCATIONS 1
#endif
#if !defined(KV_COUNT_ALLOCATIONS)
#define KV_COUNT_ALLOCATIONS 0
#endif

namespace {

std::atomic<bool> watching{false};
std::atomic<size_t> largest{0};

[[maybe_unused]] void note(size_t bytes) {
  if (!watching.load(std::memory_order_relaxed)) return;
  size_t seen = largest.load(std::memory_order_relaxed);
  while (bytes > seen && !largest.compare_exchange_weak(seen, bytes)) {
  }
}

}  // namespace

#if KV_COUNT_ALLOCATIONS
// The program's malloc and calloc come first for every library it loads (libjpeg, libpng
// and the C++ runtime's operator new included); glibc's own do the work.
extern "C" void *__libc_malloc(size_t);
extern "C" void *__libc_calloc(size_t, size_t);

extern "C" void *malloc(size_t bytes) {
  note(bytes);
  return __libc_malloc(bytes);
}

extern "C" void *calloc(size_t count, size_t bytes) {
  if (bytes == 0 || count <= SIZE_MAX / bytes) note(count * bytes);
  return __libc_calloc(count, bytes);
}
#endif

namespace kvtest {

bool allocationsCounted() { return KV_COUNT_ALLOCATIONS != 0; }

LargestAllocation::LargestAllocation() {
  largest = 0;
  watching = true;
}

LargestAllocation::~LargestAllocation() { watching = false; }

size_t LargestAllocation::bytes() const { return largest.load(); }

}  // namespace kvtest
