// The table-driven reciprocal square root of the baseline routines and the pixel code.
#pragma once

namespace kv {

struct ReciprocalSqrtEntry {
  float slope;
  float intercept;
};

// 512 lines approximating 1/sqrt(m) on the reduced argument m: entries 0..255 cover
// [0.5, 1) in steps of 1/512, entries 256..511 cover [1, 2) in steps of 1/256.
const ReciprocalSqrtEntry *reciprocalSqrtTable();

// 1/sqrt(q) for a non-negative q (denormals included), within 2e-6 relative. +0 gives a
// large finite value (about 1.3044e19), so x * tableReciprocalSqrt(x) is a square root
// that is 0 at 0.
float tableReciprocalSqrt(float q);

}  // namespace kv
