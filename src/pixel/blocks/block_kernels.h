// The hot loops of the encoders, built once as plain code and, where the target has
// SSE2, once more with four pixels per instruction. Both give the same bits; the plain
// set is the reference.
#pragma once

#include <cstdint>

#include "pixel/blocks/block_layout.h"

namespace kv {

// The 16 colours of a block, quantised and multiplied by the colour weights, one array
// per channel so that a block row fills four lanes.
struct WeightedColours {
  alignas(16) float r[kBlockPixels];
  alignas(16) float g[kBlockPixels];
  alignas(16) float b[kBlockPixels];
};

struct BlockKernels {
  // Each pixel's R, G, B rounded to 5, 6, 5 bits (value * levels + 0.5, truncated, over
  // levels), then weighted; without diffusion.
  void (*quantiseColours)(const float pixels[16][4], WeightedColours *out);
  // Each pixel's alpha rounded to 8 bits (as a value over 255); without diffusion.
  void (*quantiseAlphas)(const float pixels[16][4], float out[kBlockPixels]);
  // Least-squares endpoints of the colours for a palette of 3 or 4 steps.
  void (*fitColourEndpoints)(const WeightedColours &colours, int steps, Rgb *first, Rgb *second);
  // Each colour's step along first + t * direction, t rounded to the nearest step and
  // held to [0, steps - 1].
  void (*colourSteps)(const WeightedColours &colours, Rgb first, Rgb direction, int steps,
                      int32_t out[kBlockPixels]);
  // (value - origin) * last / span for 16 values: where each lies on a palette of
  // last + 1 steps starting at origin.
  void (*palettePositions)(const float values[kBlockPixels], float origin, float last, float span,
                           float out[kBlockPixels]);
};

// The scalar form of one palette position, the same bits as the kernels'.
inline float palettePosition(float value, float origin, float last, float span) {
  return (value - origin) * last / span;
}

const BlockKernels &plainBlockKernels();
// Null where the library was built without SSE2.
const BlockKernels *sse2BlockKernels();
// The fastest set this build has.
const BlockKernels &preferredBlockKernels();

}  // namespace kv
