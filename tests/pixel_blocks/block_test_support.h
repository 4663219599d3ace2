// Blocks of pixels for the block codec tests: hand-set, gradients and photo-like
// content from a fixed seed.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "pixel/blocks/block_compression.h"

namespace kv::test {

struct Block {
  float px[16][4];
};

inline Block solidBlock(float r, float g, float b, float a) {
  Block block;
  for (auto &p : block.px) {
    p[0] = r;
    p[1] = g;
    p[2] = b;
    p[3] = a;
  }
  return block;
}

// A smooth ramp across the block from one colour to another.
inline Block gradientBlock(const float from[4], const float to[4]) {
  Block block;
  for (int p = 0; p < 16; ++p) {
    const float t = static_cast<float>((p & 3) + (p >> 2)) / 6.0f;
    for (int c = 0; c < 4; ++c) block.px[p][c] = from[c] + (to[c] - from[c]) * t;
  }
  return block;
}

// Like a patch of a photograph: a random slope, a little noise and sometimes an edge.
inline Block photoLikeBlock(std::mt19937 &rng, bool withAlpha) {
  std::uniform_real_distribution<float> unit(0.0f, 1.0f), slope(-0.08f, 0.08f), noise(-0.02f, 0.02f);
  float base[4], dx[4], dy[4], edgeStep[4];
  for (int c = 0; c < 4; ++c) {
    base[c] = 0.15f + 0.7f * unit(rng);
    dx[c] = slope(rng);
    dy[c] = slope(rng);
    edgeStep[c] = unit(rng) < 0.3f ? slope(rng) * 4.0f : 0.0f;
  }
  const float edgeAt = 1.0f + 3.0f * unit(rng);
  Block block;
  for (int p = 0; p < 16; ++p) {
    const float x = static_cast<float>(p & 3), y = static_cast<float>(p >> 2);
    for (int c = 0; c < 4; ++c) {
      float v = base[c] + dx[c] * x + dy[c] * y + noise(rng) + (x + 0.5f * y >= edgeAt ? edgeStep[c] : 0.0f);
      if (c == 3 && !withAlpha) v = 1.0f;
      block.px[p][c] = std::fmin(1.0f, std::fmax(0.0f, v));
    }
  }
  return block;
}

inline Block decode(uint32_t format, const std::vector<uint8_t> &bytes) {
  Block out;
  decodeDxtBlock(format, bytes.data(), out.px);
  return out;
}

inline std::vector<uint8_t> encode(uint32_t format, const Block &in, bool dither = false) {
  std::vector<uint8_t> bytes(dxtBlockBytes(format));
  encodeDxtBlock(format, in.px, dither, bytes.data());
  return bytes;
}

// Root mean square difference over the given channels (first `channels` of RGBA).
inline double rmse(const Block &a, const Block &b, int firstChannel = 0, int channels = 3) {
  double sum = 0.0;
  for (int p = 0; p < 16; ++p) {
    for (int c = firstChannel; c < firstChannel + channels; ++c) {
      const double d = static_cast<double>(a.px[p][c]) - b.px[p][c];
      sum += d * d;
    }
  }
  return std::sqrt(sum / (16.0 * channels));
}

inline uint32_t colourCodes(const uint8_t *colourBlock) {
  return static_cast<uint32_t>(colourBlock[4]) | colourBlock[5] << 8 | colourBlock[6] << 16 |
         static_cast<uint32_t>(colourBlock[7]) << 24;
}

inline uint16_t endpoint(const uint8_t *colourBlock, int which) {
  return static_cast<uint16_t>(colourBlock[2 * which] | colourBlock[2 * which + 1] << 8);
}

inline int alphaCode(const std::vector<uint8_t> &block, int p) {
  uint64_t codes = 0;
  for (int i = 0; i < 6; ++i) codes |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
  return static_cast<int>((codes >> (3 * p)) & 7);
}

}  // namespace kv::test
