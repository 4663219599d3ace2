// The baseline determinant, inverse, transposes and decomposition.
#include <d3d9.h>

#include <cmath>

#include "math/baseline/baseline_routines.h"
#include "math/baseline/vector_ops.h"
#include "math/scene_math.h"

namespace kv {

namespace {

// The determinant, expanded along row 0 with the 2x2 minors of rows 2 and 3; when
// adjugate is not null it also receives the adjugate (the inverse times the determinant).
float adjugateAndDeterminant(const Matrix &matrix, Matrix *adjugate) {
  const auto &a = matrix.m;
  // 2x2 minors of rows 2 and 3 (c) and of rows 0 and 1 (s), by column pair.
  const float c0 = a[2][0] * a[3][1] - a[2][1] * a[3][0], c1 = a[2][0] * a[3][2] - a[2][2] * a[3][0];
  const float c2 = a[2][0] * a[3][3] - a[2][3] * a[3][0], c3 = a[2][1] * a[3][2] - a[2][2] * a[3][1];
  const float c4 = a[2][1] * a[3][3] - a[2][3] * a[3][1], c5 = a[2][2] * a[3][3] - a[2][3] * a[3][2];
  // The cofactors of row 0, and the determinant expanded along that row.
  const float i00 = a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3;
  const float i10 = -a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1;
  const float i20 = a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0;
  const float i30 = -a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0;
  const float d = a[0][0] * i00 + a[0][1] * i10 + a[0][2] * i20 + a[0][3] * i30;
  if (!adjugate) return d;

  const float s0 = a[0][0] * a[1][1] - a[0][1] * a[1][0], s1 = a[0][0] * a[1][2] - a[0][2] * a[1][0];
  const float s2 = a[0][0] * a[1][3] - a[0][3] * a[1][0], s3 = a[0][1] * a[1][2] - a[0][2] * a[1][1];
  const float s4 = a[0][1] * a[1][3] - a[0][3] * a[1][1], s5 = a[0][2] * a[1][3] - a[0][3] * a[1][2];
  *adjugate = Matrix{{{i00, -a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3, a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3,
                       -a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3},
                      {i10, a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1, -a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1,
                       a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1},
                      {i20, -a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0, a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0,
                       -a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0},
                      {i30, a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0, -a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0,
                       a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0}}};
  return d;
}

}  // namespace

Matrix *baselineMatrixMultiplyTranspose(Matrix *out, const Matrix *a, const Matrix *b) {
  Matrix product;
  baselineMatrixMultiply(&product, a, b);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out->m[c][r] = product.m[r][c];
  return out;
}

Matrix *baselineMatrixTranspose(Matrix *out, const Matrix *m) {
  const Matrix source = *m;  // out may be m
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out->m[c][r] = source.m[r][c];
  return out;
}

float baselineMatrixDeterminant(const Matrix *m) { return adjugateAndDeterminant(*m, nullptr); }

Matrix *baselineMatrixInverse(Matrix *out, float *determinant, const Matrix *m) {
  Matrix adjugate;
  const float d = adjugateAndDeterminant(*m, &adjugate);
  if (determinant) *determinant = d;
  if (d == 0.0f) return nullptr;
  const float k = 1.0f / d;
  if (!std::isfinite(k)) return nullptr;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out->m[r][c] = adjugate.m[r][c] * k;
  return out;
}

namespace {

constexpr float kSmallScale = 0.0001f;

float length(const Vector3 &v) { return std::sqrt(dot(v, v)); }

Vector3 unitAxis(int i) {
  Vector3 e{0.0f, 0.0f, 0.0f};
  (i == 0 ? e.x : i == 1 ? e.y : e.z) = 1.0f;
  return e;
}

float component(const Vector3 &v, int i) { return i == 0 ? v.x : i == 1 ? v.y : v.z; }

}  // namespace

HRESULT baselineMatrixDecompose(Vector3 *scaleOut, Quaternion *rotation, Vector3 *translation, const Matrix *m) {
  *translation = Vector3{m->m[3][0], m->m[3][1], m->m[3][2]};
  Vector3 axis[3];
  float scale[3];
  for (int i = 0; i < 3; ++i) {
    axis[i] = Vector3{m->m[i][0], m->m[i][1], m->m[i][2]};
    scale[i] = length(axis[i]);
  }

  // Largest, middle and smallest scale; strict comparisons keep equal ones in order.
  int large = 0;
  if (scale[1] > scale[large]) large = 1;
  if (scale[2] > scale[large]) large = 2;
  const int first = large == 0 ? 1 : 0, second = large == 2 ? 1 : 2;
  const int middle = scale[second] > scale[first] ? second : first;
  const int small = 3 - large - middle;

  // A vanishing axis is rebuilt from the others, so a flat matrix still has a rotation.
  if (scale[large] < kSmallScale) axis[large] = unitAxis(large);
  vec3Normalize(&axis[large], &axis[large]);
  if (scale[middle] < kSmallScale) {
    int k = 0;
    for (int i = 1; i < 3; ++i)
      if (std::fabs(component(axis[large], i)) < std::fabs(component(axis[large], k))) k = i;
    axis[middle] = cross(axis[large], unitAxis(k));
  }
  vec3Normalize(&axis[middle], &axis[middle]);
  if (scale[small] < kSmallScale) axis[small] = cross(axis[large], axis[middle]);
  vec3Normalize(&axis[small], &axis[small]);

  Matrix axes = identityMatrix();
  for (int i = 0; i < 3; ++i) {
    axes.m[i][0] = axis[i].x;
    axes.m[i][1] = axis[i].y;
    axes.m[i][2] = axis[i].z;
  }
  float d = baselineMatrixDeterminant(&axes);
  // A mirror is carried by the largest scale.
  if (d < 0.0f) {
    scale[large] = -scale[large];
    for (int c = 0; c < 3; ++c) axes.m[large][c] = -axes.m[large][c];
    d = -d;
  }
  *scaleOut = Vector3{scale[0], scale[1], scale[2]};
  if ((d - 1.0f) * (d - 1.0f) > kSmallScale) return D3DERR_INVALIDCALL;

  // The rotation whose matrix is the axes, so that scaling x rotation x translation
  // gives m back.
  baselineQuaternionFromMatrix(rotation, &axes);
  return S_OK;
}

}  // namespace kv
