// Sine and cosine of a 32-bit angle, computed together.
#pragma once

namespace kv {

// Accurate to the last bit of a float: computed in double and rounded once.
void sinCos(float angle, float *sine, float *cosine);

// The 3DNow! set's routine: single-precision polynomials after reducing the angle by
// multiples of pi/4. Within a few float ulps of sinCos for angles below about 10^5.
void singlePrecisionSinCos(float angle, float *sine, float *cosine);

}  // namespace kv
