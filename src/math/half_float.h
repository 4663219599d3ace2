// Conversions between 32-bit floats and 16-bit floats, for the pixel formats with
// 16-bit float channels. The 16-bit layout is 1 sign bit, 5 exponent bits (bias 15) and
// 10 fraction bits, with no infinities or not-a-numbers: exponent 31 holds ordinary
// numbers, so the largest magnitude is 131008 (0x7FFF).
//
// Both are operations of the math table: out and in are separate buffers, elements are
// converted from index 0 upward, and count 0 writes nothing. Each returns out.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kv {

// Rounds to nearest, ties to even; magnitudes of 131040 and above, infinities and
// not-a-numbers saturate to 131008 with the input's sign.
uint16_t *float32To16Array(uint16_t *out, const float *in, UINT count);

// Exact for every 16-bit pattern; converting back gives the same pattern.
float *float16To32Array(float *out, const uint16_t *in, UINT count);

// One element each, the reference the array routines of every set agree with.
uint16_t float32To16(float value);
float float16To32(uint16_t half);

}  // namespace kv
