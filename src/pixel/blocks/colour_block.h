// The 8-byte colour block shared by all five block formats: two R5G6B5 endpoints and a
// 2-bit code per pixel.
#pragma once

#include <cstdint>

#include "pixel/blocks/block_kernels.h"

namespace kv {

// Alpha of every pixel is 1, except for code 3 of a three-colour block, which is
// transparent black.
void decodeColourBlock(const uint8_t *block, float pixels[16][4]);

// With `alphaAllowed` (DXT1 only) pixels with alpha below 0.5 become transparent through
// the three-colour mode. `dither` spreads rounding errors inside the block.
void encodeColourBlock(const BlockKernels &kernels, const float pixels[16][4], bool alphaAllowed, bool dither,
                       uint8_t *block);

}  // namespace kv
