// Stand-in for the block compression routines until they are in this branch: every
// block is one colour, stored as color0 (R5G6B5) and, for DXT2..DXT5, an 8-bit alpha.
#include <cmath>

#include "pixel/blocks/block_compression.h"

namespace kv {

uint32_t dxtBlockBytes(uint32_t format) {
  switch (format) {
    case D3DFMT_DXT1: return 8;
    case D3DFMT_DXT2: case D3DFMT_DXT3: case D3DFMT_DXT4: case D3DFMT_DXT5: return 16;
    default: return 0;
  }
}

void decodeDxtBlock(uint32_t format, const uint8_t *block, float pixels[16][4]) {
  const uint8_t *colour = format == D3DFMT_DXT1 ? block : block + 8;
  const uint32_t c = colour[0] | colour[1] << 8;
  const float a = format == D3DFMT_DXT1 ? 1.0f : block[0] / 255.0f;
  for (int p = 0; p < 16; ++p) {
    pixels[p][0] = (c >> 11) * (1.0f / 31);
    pixels[p][1] = ((c >> 5) & 63) * (1.0f / 63);
    pixels[p][2] = (c & 31) * (1.0f / 31);
    pixels[p][3] = a;
  }
}

void encodeDxtBlock(uint32_t format, const float pixels[16][4], bool, uint8_t *block) {
  float sum[4] = {};
  for (int p = 0; p < 16; ++p)
    for (int c = 0; c < 4; ++c) sum[c] += pixels[p][c] / 16.0f;
  const uint32_t c = static_cast<uint32_t>(std::trunc(sum[0] * 31 + 0.5f)) << 11 |
                     static_cast<uint32_t>(std::trunc(sum[1] * 63 + 0.5f)) << 5 |
                     static_cast<uint32_t>(std::trunc(sum[2] * 31 + 0.5f));
  uint8_t *colour = format == D3DFMT_DXT1 ? block : block + 8;
  if (format != D3DFMT_DXT1) block[0] = static_cast<uint8_t>(std::trunc(sum[3] * 255 + 0.5f));
  colour[0] = static_cast<uint8_t>(c);
  colour[1] = static_cast<uint8_t>(c >> 8);
}

}  // namespace kv
