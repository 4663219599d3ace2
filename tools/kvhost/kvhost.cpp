// Host images in the host's object layout, kept below 4 GiB so that 32-bit pointer words
// can name them on 64-bit systems.
#include "kvhost.h"

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

// One mapping holds the three records and the pixels:
//   [0, 32)   image object: word at 16 -> bitmap record
//   [32, 48)  bitmap record: word at 8 -> bitmap-information record
//   [48, 72)  bitmap-information record: word at 16 -> pixels
//   [80, ...) pixels
constexpr size_t kObject = 0, kBitmap = 32, kInfo = 48, kPixels = 80;
constexpr uint64_t kMaxPixelBytes = uint64_t(1) << 30;

// Images of a quarter of a huge page or more start on a huge-page boundary and are offered
// to the kernel as huge pages: kvPolygon checks a frame's whole range before it writes it,
// and the kernel walks that range a page at a time (one step for 2 MiB instead of 512).
// The price is the mapping rounded up to whole huge pages.
constexpr size_t kHugePage = size_t(2) << 20;
constexpr uint64_t kHugeFrom = kHugePage / 4;

struct Mapping {
  size_t length;
  uint32_t *pixels;
};

std::mutex g_lock;
std::unordered_map<uint32_t, Mapping> g_images;

void *mapLow(size_t length) {
#if UINTPTR_MAX > 0xFFFFFFFFu
#ifdef MAP_32BIT
  void *p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (p != MAP_FAILED) return p;
#endif
  // Without MAP_32BIT, ask for low addresses and keep only a mapping that landed there.
  for (uintptr_t hint = 0x10000000u; hint < 0xF0000000u; hint += 0x10000000u) {
    void *q = mmap(reinterpret_cast<void *>(hint), length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (q == MAP_FAILED) continue;
    if (reinterpret_cast<uintptr_t>(q) + length <= 0xFFFFFFFFu) return q;
    munmap(q, length);
  }
  return nullptr;
#else
  void *p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
#endif
}

// A mapping of `rounded` bytes (a multiple of kHugePage) that starts on a huge-page
// boundary, advised as huge pages; nullptr when the address space has no room for one.
void *mapHuge(size_t rounded) {
  auto *raw = static_cast<unsigned char *>(mapLow(rounded + kHugePage));
  if (!raw) return nullptr;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(raw) + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
  auto *base = reinterpret_cast<unsigned char *>(start);
  if (base > raw) munmap(raw, static_cast<size_t>(base - raw));
  const size_t tail = kHugePage - static_cast<size_t>(base - raw);  // what the start left over
  if (tail) munmap(base + rounded, tail);
#ifdef MADV_HUGEPAGE
  madvise(base, rounded, MADV_HUGEPAGE);  // a kernel without them keeps small pages
#endif
  return base;
}

void putWord(unsigned char *base, size_t offset, const void *target) {
  const uint32_t word = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target));
  std::memcpy(base + offset, &word, 4);
}

}  // namespace

extern "C" uint32_t kvhost_image_create(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  const uint64_t pixelBytes = uint64_t(width) * uint64_t(height) * 4u;
  if (pixelBytes > kMaxPixelBytes) return 0;
  size_t length = kPixels + static_cast<size_t>(pixelBytes);
  unsigned char *base = nullptr;
  if (pixelBytes >= kHugeFrom) {
    const size_t rounded = (length + kHugePage - 1) & ~(kHugePage - 1);
    base = static_cast<unsigned char *>(mapHuge(rounded));
    if (base) length = rounded;
  }
  if (!base) base = static_cast<unsigned char *>(mapLow(length));
  if (!base) return 0;
  putWord(base, kObject + 16, base + kBitmap);
  putWord(base, kBitmap + 8, base + kInfo);
  putWord(base, kInfo + 16, base + kPixels);
  const uint32_t handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base) / 2);
  std::lock_guard<std::mutex> guard(g_lock);
  g_images[handle] = {length, reinterpret_cast<uint32_t *>(base + kPixels)};
  return handle;
}

extern "C" void kvhost_image_destroy(uint32_t handle) {
  std::lock_guard<std::mutex> guard(g_lock);
  auto it = g_images.find(handle);
  if (it == g_images.end()) return;
  munmap(reinterpret_cast<void *>(uintptr_t(handle) * 2), it->second.length);
  g_images.erase(it);
}

extern "C" uint32_t *kvhost_image_pixels(uint32_t handle) {
  std::lock_guard<std::mutex> guard(g_lock);
  auto it = g_images.find(handle);
  return it == g_images.end() ? nullptr : it->second.pixels;
}
