// What every block codec shares: the colour and alpha block layouts, R5G6B5 endpoints,
// the luminance weights of the colour fit and the block's 4 x 4 pixel numbering.
#pragma once

#include <cstdint>

namespace kv {

constexpr int kBlockPixels = 16;

struct Rgb {
  float r, g, b;
};

// Green counts most for the eye, so the colour fit measures distances with each channel
// scaled by its share of luminance relative to green.
constexpr Rgb kColourWeights = {0.29703665f, 1.0f, 0.10078278f};
constexpr Rgb kInverseColourWeights = {3.3665881f, 1.0f, 9.9223299f};

// Truncation towards zero, as a float. The callers keep |v| far below 2^31.
inline float truncated(float v) { return static_cast<float>(static_cast<int32_t>(v)); }

// [0, 1]; not-a-number becomes 0, so no later step sees it.
inline float clampUnit(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

inline uint16_t packR5G6B5(Rgb c) {
  const auto field = [](float v, float scale) {
    return static_cast<uint16_t>(static_cast<int32_t>(clampUnit(v) * scale + 0.5f));
  };
  return static_cast<uint16_t>(field(c.r, 31.0f) << 11 | field(c.g, 63.0f) << 5 | field(c.b, 31.0f));
}

inline Rgb unpackR5G6B5(uint16_t v) {
  return {static_cast<float>(v >> 11) * (1.0f / 31.0f), static_cast<float>((v >> 5) & 63) * (1.0f / 63.0f),
          static_cast<float>(v & 31) * (1.0f / 31.0f)};
}

inline uint16_t readLe16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t readLe32(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
inline void writeLe16(uint8_t *p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void writeLe32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace kv
