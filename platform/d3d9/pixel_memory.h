// The memory of pixel storage. Big levels come straight from the system, on huge pages
// where the kernel offers them: a fresh 16 MB level costs a handful of page faults instead
// of four thousand, however the process's heap happens to hand out big blocks. The last two
// big levels released are kept for the next of the same size, so a host that makes texture
// after texture reuses warm memory instead of having the kernel clear new pages each time.
#pragma once

#include <d3d9.h>

#include <cstddef>
#include <memory>

namespace kvd3d {

struct PixelMemoryRelease {
  size_t mappedBytes = 0;  // 0: from the heap
  void operator()(BYTE *bits) const;
};

using PixelMemory = std::unique_ptr<BYTE[], PixelMemoryRelease>;

// `bytes` bytes; null when memory runs out. Zeroed, unless `dirty` is set: kept memory
// still holds what its last level held.
PixelMemory allocatePixelMemory(size_t bytes, bool &dirty);

// Unmaps the kept memory (when a device goes).
void releaseKeptPixelMemory();

}  // namespace kvd3d
