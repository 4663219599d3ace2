// The pixel formats a DDS file can name and how a level of each lies in the file: shared
// by the DDS reader and by the tools that write DDS files, so both agree on every byte.
#pragma once

#include "gfx/platform.h"

#include <cstdint>
#include <span>

namespace kv {

// One recognisable pixel format. bitsPerPixel is the storage size of the format (not the
// header's bit count, which four-character-code rows leave 0); block formats carry 0 and
// are sized by blocks.
struct DdsFormatEntry {
  uint32_t format;
  uint32_t flags;
  uint32_t fourCc;
  uint32_t bitCount;
  uint32_t mask1, mask2, mask3, mask4;
  uint32_t bitsPerPixel;
};

// The recognition table, searched in order: the first row that matches wins.
std::span<const DdsFormatEntry> ddsFormatTable();

// The row of `format`, or null when a DDS file cannot hold it.
const DdsFormatEntry *findDdsFormat(uint32_t format);

// Bytes of one row (of 4x4 blocks for DXT formats) and of one slice of a level. A pitch
// beyond 32 bits gives a slice size beyond them too, without the product wrapping.
struct DdsLevelLayout {
  uint64_t rowPitch;
  uint64_t sliceBytes;
};

DdsLevelLayout ddsLevelLayout(const DdsFormatEntry &entry, uint32_t width, uint32_t height);

}  // namespace kv
