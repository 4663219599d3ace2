// Block-compressed (DXT1..DXT5) texels: one 4 x 4 block of RGBA floats to and from its
// 8- or 16-byte block. Pixel p of a block sits at column p & 3, row p >> 2.
#pragma once

#include <cstdint>

#include "gfx/platform.h"

namespace kv {

// Bytes of one block: 8 for D3DFMT_DXT1, 16 for DXT2..DXT5, 0 for any other format.
uint32_t dxtBlockBytes(uint32_t format);

// Decodes one block into RGBA floats in [0, 1]. DXT2 and DXT4 come back un-premultiplied.
// Does nothing for a format that is not a block format.
void decodeDxtBlock(uint32_t format, const uint8_t *block, float pixels[16][4]);

// Encodes one block of RGBA floats. With `dither`, each pixel's rounding error spreads to
// its unvisited neighbours inside the block. Does nothing for a format that is not a
// block format.
void encodeDxtBlock(uint32_t format, const float pixels[16][4], bool dither, uint8_t *block);

}  // namespace kv
