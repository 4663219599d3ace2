// The big buffers of a texture load: zeroed when asked for, even when the memory is a block
// kept from an earlier load; kept blocks never handed out twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

#include "gfx/pixel_block.h"

namespace {

bool allZero(const uint8_t *p, size_t n) { return std::all_of(p, p + n, [](uint8_t b) { return b == 0; }); }

TEST(PixelBlock, ZeroedBlocksAreZeroAfterDirtyBlocksOfTheirSizeWereFreed) {
  for (const size_t bytes : {size_t(100), size_t(3) << 20}) {  // from the heap; mapped and kept
    for (int round = 0; round < 3; ++round) {
      uint8_t *block = kv::allocatePixelBlock(bytes, kv::BlockContents::Zeroed);
      ASSERT_NE(block, nullptr);
      EXPECT_TRUE(allZero(block, bytes)) << bytes << " bytes, round " << round;
      std::memset(block, 0xCD, bytes);
      kv::freePixelBlock(block);
    }
  }
  kv::releaseKeptPixelBlocks();
}

// A freed big block's memory goes to the next block of its size, never to one of another
// size, and every byte asked for is there (sizes one byte either side of a whole page).
TEST(PixelBlock, FreedBigBlocksServeTheNextOfTheirSizeOnly) {
  constexpr size_t kMiB = size_t(1) << 20;
  uint8_t *first = kv::allocatePixelBlock(3 * kMiB, kv::BlockContents::Unset);
  ASSERT_NE(first, nullptr);
  kv::freePixelBlock(first);
  for (const size_t bytes : {7 * kMiB, 4 * kMiB - 64 + 1, 4 * kMiB - 64, 6 * kMiB - 63}) {
    uint8_t *other = kv::allocatePixelBlock(bytes, kv::BlockContents::Zeroed);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other[bytes - 1], 0);
    std::memset(other, 0xEE, bytes);  // the whole block is there
    kv::freePixelBlock(other);
  }
  uint8_t *again = kv::allocatePixelBlock(3 * kMiB, kv::BlockContents::Unset);
  kv::freePixelBlock(again);
  EXPECT_EQ(kv::allocatePixelBlock(3 * kMiB, kv::BlockContents::Unset), again) << "reused";
  kv::freePixelBlock(again);
  kv::releaseKeptPixelBlocks();
}

size_t mappingCount() {
  std::ifstream maps("/proc/self/maps");
  size_t lines = 0;
  for (std::string line; std::getline(maps, line);) ++lines;
  return lines;
}

// Blocks pushed out of the two kept places, and those kept when the scene goes, are
// unmapped: a host loading images of many sizes does not gather mappings.
TEST(PixelBlock, BlocksNoLongerKeptAreUnmapped) {
  const size_t before = mappingCount();
  for (int round = 0; round < 20; ++round)
    for (const size_t mib : {3, 5, 7}) kv::freePixelBlock(kv::allocatePixelBlock(mib << 20, kv::BlockContents::Unset));
  // Sixty blocks went through; two are kept. The slack is for the heap's own mappings
  // (AddressSanitizer's allocator maps its regions as it goes).
  const size_t afterLoop = mappingCount();
  EXPECT_LE(afterLoop, before + 10);
  kv::releaseKeptPixelBlocks();
  EXPECT_LT(mappingCount(), afterLoop) << "what was kept is unmapped";
}

TEST(PixelBlock, BlocksLiveAtOnceNeverShareMemory) {
  constexpr size_t kBytes = size_t(5) << 20;
  kv::PixelBlock a(kv::allocatePixelBlock(kBytes, kv::BlockContents::Unset));
  kv::PixelBlock b(kv::allocatePixelBlock(kBytes, kv::BlockContents::Unset));
  ASSERT_TRUE(a && b);
  a.reset();  // kept
  b.reset();  // kept
  kv::PixelBlock c(kv::allocatePixelBlock(kBytes, kv::BlockContents::Unset));
  kv::PixelBlock d(kv::allocatePixelBlock(kBytes, kv::BlockContents::Unset));
  kv::PixelBlock e(kv::allocatePixelBlock(kBytes, kv::BlockContents::Unset));
  ASSERT_TRUE(c && d && e);
  std::memset(c.get(), 1, kBytes);
  std::memset(d.get(), 2, kBytes);
  std::memset(e.get(), 3, kBytes);
  EXPECT_EQ(c[kBytes - 1] + d[kBytes - 1] + e[kBytes - 1], 6);
  EXPECT_TRUE(c.get() != d.get() && d.get() != e.get() && c.get() != e.get());
  kv::freePixelBlock(nullptr);  // ignored
  EXPECT_EQ(kv::allocatePixelBlock(SIZE_MAX - 8, kv::BlockContents::Zeroed), nullptr);
}

}  // namespace
