// The three axis rotations built from a sine and cosine already computed. Routine sets
// differ only in how they get the sine and cosine, so they share these layouts.
#pragma once

#include "math/scene_math.h"

namespace kv {

// Rows (1, 0, 0, 0), (0, c, s, 0), (0, -s, c, 0), (0, 0, 0, 1): y turns toward z.
inline Matrix *rotationX(Matrix *out, float s, float c) {
  *out = identityMatrix();
  out->m[1][1] = c;
  out->m[1][2] = s;
  out->m[2][1] = -s;
  out->m[2][2] = c;
  return out;
}

// Rows (c, 0, -s, 0), (0, 1, 0, 0), (s, 0, c, 0), (0, 0, 0, 1): z turns toward x.
inline Matrix *rotationY(Matrix *out, float s, float c) {
  *out = identityMatrix();
  out->m[0][0] = c;
  out->m[0][2] = -s;
  out->m[2][0] = s;
  out->m[2][2] = c;
  return out;
}

// Rows (c, s, 0, 0), (-s, c, 0, 0), (0, 0, 1, 0), (0, 0, 0, 1): x turns toward y.
inline Matrix *rotationZ(Matrix *out, float s, float c) {
  *out = identityMatrix();
  out->m[0][0] = c;
  out->m[0][1] = s;
  out->m[1][0] = -s;
  out->m[1][1] = c;
  return out;
}

}  // namespace kv
