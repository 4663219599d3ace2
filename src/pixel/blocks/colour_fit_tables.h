// The palettes the colour encoder fits: each step's weight of the first and the second
// endpoint, and which 2-bit code names each step.
#pragma once

#include <cstdint>

namespace kv {

struct ColourSteps {
  float first[4];
  float second[4];
  uint8_t code[4];
};

inline const ColourSteps &colourStepsFor(int steps) {
  static const ColourSteps four = {{1.0f, 2.0f / 3.0f, 1.0f / 3.0f, 0.0f}, {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f}, {0, 2, 3, 1}};
  // Three steps leave code 3 for transparent pixels.
  static const ColourSteps three = {{1.0f, 0.5f, 0.0f, 0.0f}, {0.0f, 0.5f, 1.0f, 0.0f}, {0, 2, 1, 0}};
  return steps == 4 ? four : three;
}

}  // namespace kv
