// Memory for the big buffers of a texture load: the bitmap image and decoded pixels. On
// Linux a block of 2 MB or more is mapped on huge pages where the kernel offers them, so a
// fresh 16 MB buffer costs a handful of page faults instead of four thousand, however the
// process's heap happens to hand out big blocks; and the last two big blocks freed are kept
// for the next of the same size, so a host that loads image after image reuses warm memory
// instead of having the kernel clear new pages each time. Elsewhere the heap serves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kv {

// Zeroed: every byte 0. Unset: the caller writes every byte before reading any.
enum class BlockContents { Zeroed, Unset };

// `bytes` bytes (at least one), aligned as the heap aligns; null when memory runs out.
uint8_t *allocatePixelBlock(size_t bytes, BlockContents contents);
// Frees a block of allocatePixelBlock; null is ignored.
void freePixelBlock(uint8_t *block);
// Unmaps the kept blocks (when the scene goes).
void releaseKeptPixelBlocks();

struct PixelBlockRelease {
  void operator()(uint8_t *block) const { freePixelBlock(block); }
};
using PixelBlock = std::unique_ptr<uint8_t[], PixelBlockRelease>;

}  // namespace kv
