// Texel readers for the 4x4 block formats: one block is decoded only as far as the texel
// asked for.
#include <cstring>

#include "texel_formats.h"

namespace kvd3d::raster {
namespace {

const BYTE *blockAt(const TextureView &v, int x, int y, int blockBytes) {
  return v.bits + static_cast<ptrdiff_t>(y / 4) * v.pitch + static_cast<ptrdiff_t>(x / 4) * blockBytes;
}

// 5:6:5 colour widened to 8 bits per channel by replicating the high bits.
void expand565(uint16_t c, int rgb[3]) {
  const int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  rgb[0] = (r << 3) | (r >> 2);
  rgb[1] = (g << 2) | (g >> 4);
  rgb[2] = (b << 3) | (b >> 2);
}

// Colour of texel (x, y) of the colour half of a block; returns false for the transparent
// entry of a three-colour block.
bool blockColor(const BYTE *block, int x, int y, bool allowThreeColor, float out[4]) {
  uint16_t c0, c1;
  uint32_t indices;
  std::memcpy(&c0, block, 2);
  std::memcpy(&c1, block + 2, 2);
  std::memcpy(&indices, block + 4, 4);
  const int index = (indices >> (2 * ((y & 3) * 4 + (x & 3)))) & 3;
  int a[3], b[3];
  expand565(c0, a);
  expand565(c1, b);
  const bool fourColor = !allowThreeColor || c0 > c1;
  for (int i = 0; i < 3; ++i) {
    float value;
    switch (index) {
      case 0: value = static_cast<float>(a[i]); break;
      case 1: value = static_cast<float>(b[i]); break;
      case 2: value = fourColor ? (2.0f * a[i] + b[i]) / 3.0f : (a[i] + b[i]) / 2.0f; break;
      default: value = fourColor ? (a[i] + 2.0f * b[i]) / 3.0f : 0.0f; break;
    }
    out[i] = value / 255.0f;
  }
  out[3] = 1.0f;
  return fourColor || index != 3;
}

}  // namespace

void fetchDxt1(const TextureView &v, int x, int y, float out[4]) {
  if (!blockColor(blockAt(v, x, y, 8), x, y, true, out)) out[3] = 0.0f;  // transparent black
}

void fetchDxt3(const TextureView &v, int x, int y, float out[4]) {
  const BYTE *block = blockAt(v, x, y, 16);
  blockColor(block + 8, x, y, false, out);
  uint64_t alpha;
  std::memcpy(&alpha, block, 8);
  out[3] = static_cast<float>((alpha >> (4 * ((y & 3) * 4 + (x & 3)))) & 15) / 15.0f;
}

void fetchDxt5(const TextureView &v, int x, int y, float out[4]) {
  const BYTE *block = blockAt(v, x, y, 16);
  blockColor(block + 8, x, y, false, out);
  const int a0 = block[0], a1 = block[1];
  uint64_t bits = 0;
  std::memcpy(&bits, block + 2, 6);
  const int index = static_cast<int>((bits >> (3 * ((y & 3) * 4 + (x & 3)))) & 7);
  float alpha;
  if (index == 0) {
    alpha = static_cast<float>(a0);
  } else if (index == 1) {
    alpha = static_cast<float>(a1);
  } else if (a0 > a1) {
    alpha = ((8 - index) * a0 + (index - 1) * a1) / 7.0f;
  } else if (index < 6) {
    alpha = ((6 - index) * a0 + (index - 1) * a1) / 5.0f;
  } else {
    alpha = index == 6 ? 0.0f : 255.0f;
  }
  out[3] = alpha / 255.0f;
}

}  // namespace kvd3d::raster
