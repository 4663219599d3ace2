// What decoding one image file may cost. Every reader asks here before it allocates
// anything that grows with the image, so that the memory a file causes stays in
// proportion to the file, and no image beyond the pixel limit is decoded at all.
#pragma once

#include "gfx/platform.h"

#include <cstdint>

namespace kv {

// Any file may cost this much, however short it is ...
constexpr uint64_t kDecodeBytesFloor = uint64_t(64) << 20;
// ... or this many bytes for each of its own.
constexpr uint64_t kDecodeBytesPerFileByte = 16;
// 8192 x 8192: the largest texture most Direct3D 9 devices make.
constexpr uint64_t kDefaultDecodePixelLimit = uint64_t(1) << 26;

struct DecodeCost {
  uint64_t pixels = 0;          // width x height x depth of the image
  uint64_t bytes = 0;           // what the reader allocates for it, all told
  uint64_t fileBytes = 0;       // the size of the file
  uint64_t leastFileBytes = 0;  // the fewest bytes in which files of the format, compressed
                                // as well as real files are, hold such an image
};

// S_OK when the decode may go ahead; E_FAIL, as for any file a reader does not take, when
// the image has more pixels than the limit, when its bytes would not fit a 32-bit process,
// or when it costs more than the floor and the per-byte allowance and the file is too
// short to hold it.
HRESULT checkDecodeBudget(const DecodeCost &cost);

// The most pixels one image may have. A caller may raise it (or lower it) for every later
// decode; 0 puts back the default.
void setDecodePixelLimit(uint64_t pixels);
uint64_t decodePixelLimit();

}  // namespace kv
