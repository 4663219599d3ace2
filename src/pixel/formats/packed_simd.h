// Vector routines for the packed formats, used when a row needs neither dithering nor
// diffusion. They give the same bits as the reference loops of packed_codec.cpp.
#pragma once

#include <cstdint>

#include "pixel/formats/packed_layouts.h"

namespace kv {

// The busiest formats have routines of their own; every other layout of 1, 2 or 4 bytes
// with unsigned fields only takes the general field routine.
enum class FastPackedKind : uint8_t { None, A8R8G8B8, X8R8G8B8, R5G6B5, L8, Fields };

FastPackedKind fastPackedKindOf(const PackedLayout &layout);

// Whether the vector routines run here: the processor has SSE2 and they are switched on.
bool packedSimdActive();

// Whether the processor has AVX2 (asked once), for the wider forms of the vector routines;
// they are only taken where packedSimdActive() holds as well.
bool processorHasAvx2();

// False when the vector routines cannot run here (or are switched off); the caller then
// takes the reference loop.
bool fastUnpackRow(FastPackedKind kind, const PackedLayout &layout, const uint8_t *in, uint32_t width, float *row);

// Quantises with rounding half up and clamping; for luminance formats the R channel
// already holds the luminance.
bool fastPackRow(FastPackedKind kind, const PackedLayout &layout, const float *values, uint32_t width, uint8_t *out);

}  // namespace kv
