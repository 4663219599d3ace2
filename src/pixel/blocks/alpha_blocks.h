// The 8-byte alpha blocks in front of the colour block: explicit 4-bit alpha (DXT2,
// DXT3) and interpolated alpha with two 8-bit endpoints and 3-bit codes (DXT4, DXT5).
#pragma once

#include <cstdint>

#include "pixel/blocks/block_kernels.h"

namespace kv {

// Replace the alpha of each pixel; colours are left alone.
void decodeExplicitAlpha(const uint8_t *block, float pixels[16][4]);
void decodeInterpolatedAlpha(const uint8_t *block, float pixels[16][4]);

// Read only the alpha of each pixel, expected in [0, 1].
void encodeExplicitAlpha(const float pixels[16][4], bool dither, uint8_t *block);
void encodeInterpolatedAlpha(const BlockKernels &kernels, const float pixels[16][4], bool dither, uint8_t *block);

// Least-squares endpoints lo and hi (in [0, 1]) of 16 alphas for 6 or 8 steps.
void fitAlphaEndpoints(const BlockKernels &kernels, const float alphas[16], int steps, float *lo, float *hi);

// The palette of an interpolated-alpha block with these two endpoint bytes.
void interpolatedAlphaPalette(uint8_t alpha0, uint8_t alpha1, float palette[8]);

}  // namespace kv
