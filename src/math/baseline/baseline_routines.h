// The baseline routines: plain C++ for every processor, the reference for every other set.
#pragma once

#include <cstdint>

#include "math/scene_math.h"

namespace kv {

Matrix *baselineMatrixMultiply(Matrix *out, const Matrix *a, const Matrix *b);
Matrix *baselineMatrixTranslation(Matrix *out, float x, float y, float z);
Matrix *baselineMatrixScaling(Matrix *out, float sx, float sy, float sz);
Matrix *baselineMatrixRotationX(Matrix *out, float angle);
Matrix *baselineMatrixRotationY(Matrix *out, float angle);
Matrix *baselineMatrixRotationZ(Matrix *out, float angle);
Vector3 *baselineVec3Normalize(Vector3 *out, const Vector3 *v);
uint16_t *baselineFloat32To16Array(uint16_t *out, const float *in, unsigned count);
float *baselineFloat16To32Array(float *out, const uint16_t *in, unsigned count);

}  // namespace kv
