#include "d3d9/pixel_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>
#include <new>
#include <utility>

namespace kvd3d {

namespace {
constexpr size_t kHugePage = size_t(2) << 20;

// Released mappings kept for reuse: the older first, the most recent second.
struct KeptMappings {
  struct Place {
    BYTE *bits = nullptr;
    size_t bytes = 0;
  };
  std::mutex mutex;
  Place older, recent;

  BYTE *take(size_t length) {
    std::lock_guard<std::mutex> lock(mutex);
    for (Place *p : {&recent, &older})
      if (p->bits && p->bytes == length) return std::exchange(p->bits, nullptr);
    return nullptr;
  }
  // When both places are taken the older mapping is unmapped.
  void keep(BYTE *m, size_t length) {
    std::lock_guard<std::mutex> lock(mutex);
    if (recent.bits) {
      unmap(older);
      older = recent;
    }
    recent = Place{m, length};
  }
  void release() {
    std::lock_guard<std::mutex> lock(mutex);
    unmap(older);
    unmap(recent);
  }
  static void unmap(Place &p) {
    if (p.bits) munmap(std::exchange(p.bits, nullptr), p.bytes);
  }
};

KeptMappings &kept() {
  static KeptMappings k;
  return k;
}

// Whole huge pages from a huge-page boundary: one page more is mapped and the part outside
// given back.
BYTE *mapHugePages(size_t length) {
  void *p = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  auto *base = static_cast<BYTE *>(p);
  const size_t lead = (kHugePage - reinterpret_cast<uintptr_t>(base) % kHugePage) % kHugePage;
  if (lead) munmap(base, lead);
  munmap(base + lead + length, kHugePage - lead);
#ifdef MADV_HUGEPAGE
  madvise(base + lead, length, MADV_HUGEPAGE);  // a kernel without them keeps small pages
#endif
  return base + lead;
}
}  // namespace

void PixelMemoryRelease::operator()(BYTE *bits) const {
  if (mappedBytes)
    kept().keep(bits, mappedBytes);
  else
    delete[] bits;
}

PixelMemory allocatePixelMemory(size_t bytes, bool &dirty) {
  dirty = false;
  if (bytes < kHugePage) return PixelMemory(new (std::nothrow) BYTE[bytes]());
  const size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  if (length < bytes) return nullptr;
  if (BYTE *m = kept().take(length)) {
    dirty = true;
    return PixelMemory(m, PixelMemoryRelease{length});
  }
  BYTE *m = mapHugePages(length);
  return m ? PixelMemory(m, PixelMemoryRelease{length}) : nullptr;
}

void releaseKeptPixelMemory() { kept().release(); }

}  // namespace kvd3d
