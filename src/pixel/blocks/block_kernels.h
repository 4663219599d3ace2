// The hot loops of the colour encoder, built once as plain code and, on processors with
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
  // Least-squares endpoints of the colours for a palette of 3 or 4 steps.
  void (*fitColourEndpoints)(const WeightedColours &colours, int steps, Rgb *first, Rgb *second);
  // Each colour's step along first + t * direction, t rounded to the nearest step and
  // held to [0, steps - 1].
  void (*colourSteps)(const WeightedColours &colours, Rgb first, Rgb direction, int steps,
                      int32_t out[kBlockPixels]);
};

const BlockKernels &plainBlockKernels();
// Null where the library was built without SSE2.
const BlockKernels *sse2BlockKernels();
// The fastest set this build has.
const BlockKernels &preferredBlockKernels();

}  // namespace kv
