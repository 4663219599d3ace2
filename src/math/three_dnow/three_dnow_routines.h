// The routines of the 3DNow! set. No processor this library is built for today can run
// 3DNow! instructions, so they are portable code that gives the set's visible behaviour:
// its normalisation rule and its single-precision sine and cosine, which every builder
// of the set that takes an angle uses.
#pragma once

#include <cstdint>

#include "math/math_types.h"

namespace kv {

Vector3 *threeDNowVec3Normalize(Vector3 *out, const Vector3 *v);
Matrix *threeDNowMatrixRotationX(Matrix *out, float angle);
Matrix *threeDNowMatrixRotationY(Matrix *out, float angle);
Matrix *threeDNowMatrixRotationZ(Matrix *out, float angle);
Quaternion *threeDNowQuaternionFromYawPitchRoll(Quaternion *out, float yaw, float pitch, float roll);
Quaternion *threeDNowQuaternionFromAxisAngle(Quaternion *out, const Vector3 *axis, float angle);
Matrix *threeDNowMatrixRotationYawPitchRoll(Matrix *out, float yaw, float pitch, float roll);
Matrix *threeDNowMatrixRotationAxis(Matrix *out, const Vector3 *axis, float angle);
uint16_t *threeDNowFloat32To16Array(uint16_t *out, const float *in, unsigned count);

}  // namespace kv
