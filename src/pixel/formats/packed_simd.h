// Vector routines for the busiest packed formats, used when a row needs neither
// dithering nor diffusion. They give the same bits as the reference loops.
#pragma once

#include <cstdint>

namespace kv {

enum class FastPackedKind : uint8_t { None, A8R8G8B8, X8R8G8B8, R5G6B5, L8 };

FastPackedKind fastPackedKindOf(uint32_t format);

// False when the vector routines cannot run here (or are switched off); the caller then
// takes the reference loop.
bool fastUnpackRow(FastPackedKind kind, const uint8_t *in, uint32_t width, float *row);

// Quantises with rounding half up and clamping; for L8 the R channel already holds the
// luminance.
bool fastPackRow(FastPackedKind kind, const float *values, uint32_t width, uint8_t *out);

}  // namespace kv
