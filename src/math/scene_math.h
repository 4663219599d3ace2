// The matrix and vector operations the scene calls: the world-matrix builders,
// the product, the normalisation, and the camera and projection builders.
//
// Seven of these go through the math dispatch table (dispatch_table.h), so the
// routine set chosen for the processor serves them; matrixLookAtLH and
// matrixPerspectiveFovLH are plain functions built on the table's vec3Normalize.
// Every operation writes through its output pointer and returns it.
#pragma once

namespace kv {

// Row-major, row vectors on the left (v' = v x M): a translation lies in row 3.
// Same layout as D3DMATRIX, so a Matrix goes to SetTransform as it is.
struct Matrix {
  float m[4][4];
};
static_assert(sizeof(Matrix) == 64, "Matrix must have the D3DMATRIX layout");

struct Vector3 {
  float x, y, z;
};
static_assert(sizeof(Vector3) == 12, "Vector3 must be three packed floats");

constexpr Matrix identityMatrix()
{
  return Matrix{{{1.0f, 0.0f, 0.0f, 0.0f},
                 {0.0f, 1.0f, 0.0f, 0.0f},
                 {0.0f, 0.0f, 1.0f, 0.0f},
                 {0.0f, 0.0f, 0.0f, 1.0f}}};
}

// out = a x b; out may be a, b or both (the product is formed before storing).
Matrix *matrixMultiply(Matrix *out, const Matrix *a, const Matrix *b);
Matrix *matrixTranslation(Matrix *out, float x, float y, float z);
Matrix *matrixScaling(Matrix *out, float sx, float sy, float sz);
// A positive angle turns y toward z (X), z toward x (Y), x toward y (Z).
Matrix *matrixRotationX(Matrix *out, float angle);
Matrix *matrixRotationY(Matrix *out, float angle);
Matrix *matrixRotationZ(Matrix *out, float angle);
// out may be v. The zero and unit-length rules depend on the routine set in force.
Vector3 *vec3Normalize(Vector3 *out, const Vector3 *v);
// Left-handed view matrix; out must not overlap eye, at or up.
Matrix *matrixLookAtLH(Matrix *out, const Vector3 *eye, const Vector3 *at, const Vector3 *up);
// Left-handed perspective projection with a vertical field of view in radians.
Matrix *matrixPerspectiveFovLH(Matrix *out, float fovY, float aspect, float zNear, float zFar);

}  // namespace kv
