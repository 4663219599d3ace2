// The baseline matrix routines of the scene: the product and the transform builders.
#include "math/baseline/baseline_routines.h"
#include "math/baseline/rotation_matrices.h"
#include "math/baseline/sine_cosine.h"

namespace kv {

Matrix *baselineMatrixMultiply(Matrix *out, const Matrix *a, const Matrix *b) {
  // Formed in a temporary, so out may be a, b or both.
  Matrix product;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      product.m[r][c] =
          a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] + a->m[r][2] * b->m[2][c] + a->m[r][3] * b->m[3][c];
    }
  }
  *out = product;
  return out;
}

Matrix *baselineMatrixTranslation(Matrix *out, float x, float y, float z) {
  *out = identityMatrix();
  out->m[3][0] = x;
  out->m[3][1] = y;
  out->m[3][2] = z;
  return out;
}

Matrix *baselineMatrixScaling(Matrix *out, float sx, float sy, float sz) {
  *out = identityMatrix();
  out->m[0][0] = sx;
  out->m[1][1] = sy;
  out->m[2][2] = sz;
  return out;
}

Matrix *baselineMatrixRotationX(Matrix *out, float angle) {
  float s, c;
  sinCos(angle, &s, &c);
  return rotationX(out, s, c);
}

Matrix *baselineMatrixRotationY(Matrix *out, float angle) {
  float s, c;
  sinCos(angle, &s, &c);
  return rotationY(out, s, c);
}

Matrix *baselineMatrixRotationZ(Matrix *out, float angle) {
  float s, c;
  sinCos(angle, &s, &c);
  return rotationZ(out, s, c);
}

}  // namespace kv
