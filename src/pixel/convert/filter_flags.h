// The filter word of the conversion engine: a filter code in the low bits, and the mirror,
// dither and gamma switches above it.
#pragma once

#include <cstdint>

namespace kv {

constexpr uint32_t FilterNone = 1;      // no resampling: crop or pad with (0, 0, 0, 0)
constexpr uint32_t FilterPoint = 2;     // nearest sample, 16.16 fixed-point steps
constexpr uint32_t FilterLinear = 3;    // two taps per axis
constexpr uint32_t FilterTriangle = 4;  // tent of two source pixels' width, any ratio
constexpr uint32_t FilterBox = 5;       // exact 2x2 (2x2x2) halving, else as FilterTriangle
constexpr uint32_t MirrorU = 0x10000;   // reflect off the left/right edge instead of wrapping
constexpr uint32_t MirrorV = 0x20000;
constexpr uint32_t MirrorW = 0x40000;
constexpr uint32_t Dither = 0x80000;            // ordered dithering when writing
constexpr uint32_t DitherDiffusion = 0x100000;  // error diffusion when writing
constexpr uint32_t GammaIn = 0x200000;          // source values are gamma-encoded
constexpr uint32_t GammaOut = 0x400000;         // destination values are gamma-encoded

// What a load operation uses for the filter -1.
constexpr uint32_t kDefaultFilter = FilterTriangle | Dither;

// The filter code the implementations compare (the low byte).
inline uint32_t filterCode(uint32_t flags) { return flags & 0xff; }

}  // namespace kv
