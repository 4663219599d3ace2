// The program's operator new and delete, over malloc and free, with a switch that makes
// every allocation fail (after an allowance, if one is given).
#include "failing_allocator.h"

#include <cstdlib>
#include <new>

namespace {

bool g_failing = false;
int g_allowed = 0;  // allocations still granted while failing
int g_refused = 0;

void *allocate(std::size_t size) noexcept {
  if (g_failing && g_allowed > 0) {
    --g_allowed;
  } else if (g_failing) {
    ++g_refused;
    return nullptr;
  }
  return std::malloc(size ? size : 1);
}

}  // namespace

namespace kvtest {

FailAllocations::FailAllocations(int allowed) {
  g_refused = 0;
  g_allowed = allowed;
  g_failing = true;
}
FailAllocations::~FailAllocations() { g_failing = false; }
int FailAllocations::refused() { return g_refused; }

}  // namespace kvtest

void *operator new(std::size_t size) {
  if (void *p = allocate(size)) return p;
  throw std::bad_alloc();
}
void *operator new[](std::size_t size) { return operator new(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return allocate(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept { return allocate(size); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }
