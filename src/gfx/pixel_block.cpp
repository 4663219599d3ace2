#include "gfx/pixel_block.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kv {

namespace {

// Ahead of every block: where its memory came from.
struct BlockHeader {
  void *mapping;  // null: from the heap, freed from the header's own address
  size_t mappedBytes;
};
constexpr size_t kHeaderBytes = 64;  // a whole cache line
static_assert(sizeof(BlockHeader) <= kHeaderBytes, "the header fits ahead of the block");

uint8_t *placeBlock(uint8_t *start, void *mapping, size_t mappedBytes) {
  const BlockHeader header{mapping, mappedBytes};
  std::memcpy(start, &header, sizeof header);
  return start + kHeaderBytes;
}

#if defined(__linux__)
constexpr size_t kHugePage = size_t(2) << 20;

// Freed mappings kept for reuse: the older first, the most recent second.
struct KeptMappings {
  struct Place {
    void *mapping = nullptr;
    size_t bytes = 0;
  };
  std::mutex mutex;
  Place older, recent;

  // A kept mapping of exactly `length` bytes, or null.
  void *take(size_t length) {
    std::lock_guard<std::mutex> lock(mutex);
    for (Place *p : {&recent, &older})
      if (p->mapping && p->bytes == length) return std::exchange(p->mapping, nullptr);
    return nullptr;
  }
  // Keeps `m`; when both places are taken the older mapping is unmapped.
  void keep(void *m, size_t length) {
    std::lock_guard<std::mutex> lock(mutex);
    if (recent.mapping) {
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
    if (p.mapping) munmap(std::exchange(p.mapping, nullptr), p.bytes);
  }
};

KeptMappings &kept() {
  static KeptMappings k;
  return k;
}

// Whole huge pages from a huge-page boundary: one page more is mapped and the part outside
// given back. Null when the mapping fails.
uint8_t *mapBlock(size_t bytes, BlockContents contents) {
  const size_t length = (bytes + kHeaderBytes + kHugePage - 1) / kHugePage * kHugePage;
  if (void *m = kept().take(length)) {
    if (contents == BlockContents::Zeroed) std::memset(m, 0, bytes + kHeaderBytes);
    return placeBlock(static_cast<uint8_t *>(m), m, length);
  }
  void *p = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  auto *base = static_cast<uint8_t *>(p);
  const size_t lead = (kHugePage - reinterpret_cast<uintptr_t>(base) % kHugePage) % kHugePage;
  if (lead) munmap(base, lead);
  munmap(base + lead + length, kHugePage - lead);
#ifdef MADV_HUGEPAGE
  madvise(base + lead, length, MADV_HUGEPAGE);  // a kernel without them keeps small pages
#endif
  return placeBlock(base + lead, base + lead, length);
}
#endif

}  // namespace

uint8_t *allocatePixelBlock(size_t bytes, BlockContents contents) {
  if (bytes == 0) bytes = 1;
  if (bytes > SIZE_MAX / 2) return nullptr;
#if defined(__linux__)
  if (bytes >= kHugePage) return mapBlock(bytes, contents);
#endif
  void *start = contents == BlockContents::Zeroed ? std::calloc(bytes + kHeaderBytes, 1) : std::malloc(bytes + kHeaderBytes);
  return start ? placeBlock(static_cast<uint8_t *>(start), nullptr, 0) : nullptr;
}

void freePixelBlock(uint8_t *block) {
  if (!block) return;
  uint8_t *start = block - kHeaderBytes;
  BlockHeader header;
  std::memcpy(&header, start, sizeof header);
#if defined(__linux__)
  if (header.mapping) {
    kept().keep(header.mapping, header.mappedBytes);
    return;
  }
#endif
  std::free(start);
}

void releaseKeptPixelBlocks() {
#if defined(__linux__)
  kept().release();
#endif
}

}  // namespace kv
