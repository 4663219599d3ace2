// The palettes the alpha encoder fits: each step's weight of the low and the high
// endpoint, and which 3-bit code names each step.
#pragma once

#include <cstdint>

namespace kv {

struct AlphaSteps {
  float low[8];
  float high[8];
  uint8_t code[8];
};

inline const AlphaSteps &alphaStepsFor(int steps) {
  static const AlphaSteps eight = {
      {1.0f, 6.0f / 7.0f, 5.0f / 7.0f, 4.0f / 7.0f, 3.0f / 7.0f, 2.0f / 7.0f, 1.0f / 7.0f, 0.0f},
      {0.0f, 1.0f / 7.0f, 2.0f / 7.0f, 3.0f / 7.0f, 4.0f / 7.0f, 5.0f / 7.0f, 6.0f / 7.0f, 1.0f},
      {0, 2, 3, 4, 5, 6, 7, 1}};
  // Six steps leave codes 6 and 7 for exact 0 and 1.
  static const AlphaSteps six = {{1.0f, 0.8f, 0.6f, 0.4f, 0.2f, 0.0f}, {0.0f, 0.2f, 0.4f, 0.6f, 0.8f, 1.0f},
                                 {0, 2, 3, 4, 5, 1}};
  return steps == 8 ? eight : six;
}

constexpr uint8_t kAlphaCodeZero = 6;
constexpr uint8_t kAlphaCodeOne = 7;

}  // namespace kv
