// The 3DNow! set, in portable code: the normalisation rule of that set (zero only at or
// below the smallest normal float, never a unit-length shortcut), the rotations with
// single-precision sine and cosine (in the axis rotations and in the builders from an
// axis, an angle or yaw, pitch and roll), and the half-float array conversion that works
// in groups of four. The set's other routines compute the baseline's formulas and so are
// served by the baseline routines.
#include <cmath>

#include "math/baseline/angle_builders.h"
#include "math/baseline/baseline_routines.h"
#include "math/half_float.h"
#include "math/baseline/rotation_matrices.h"
#include "math/baseline/sine_cosine.h"
#include "math/scene_math.h"
#include "math/three_dnow/three_dnow_routines.h"

namespace kv {

Vector3 *threeDNowVec3Normalize(Vector3 *out, const Vector3 *v) {
  const float x = v->x, y = v->y, z = v->z;
  const float q = x * x + y * y + z * z;
  if (q <= 1.17549435e-38f) {  // 2^-126
    *out = Vector3{0.0f, 0.0f, 0.0f};
    return out;
  }
  // The processor's estimate refined by its iteration steps is full single precision.
  const float r = 1.0f / std::sqrt(q);
  *out = Vector3{x * r, y * r, z * r};
  return out;
}

Matrix *threeDNowMatrixRotationX(Matrix *out, float angle) {
  float s, c;
  singlePrecisionSinCos(angle, &s, &c);
  return rotationX(out, s, c);
}

Matrix *threeDNowMatrixRotationY(Matrix *out, float angle) {
  float s, c;
  singlePrecisionSinCos(angle, &s, &c);
  return rotationY(out, s, c);
}

Matrix *threeDNowMatrixRotationZ(Matrix *out, float angle) {
  float s, c;
  singlePrecisionSinCos(angle, &s, &c);
  return rotationZ(out, s, c);
}

Quaternion *threeDNowQuaternionFromYawPitchRoll(Quaternion *out, float yaw, float pitch, float roll) {
  *out = yawPitchRollQuaternion(yaw, pitch, roll, &singlePrecisionSinCos);
  return out;
}

Quaternion *threeDNowQuaternionFromAxisAngle(Quaternion *out, const Vector3 *axis, float angle) {
  Vector3 n;
  vec3Normalize(&n, axis);
  *out = axisAngleQuaternion(n, angle, &singlePrecisionSinCos);
  return out;
}

Matrix *threeDNowMatrixRotationYawPitchRoll(Matrix *out, float yaw, float pitch, float roll) {
  *out = quaternionMatrix(yawPitchRollQuaternion(yaw, pitch, roll, &singlePrecisionSinCos));
  return out;
}

Matrix *threeDNowMatrixRotationAxis(Matrix *out, const Vector3 *axis, float angle) {
  Vector3 n;
  vec3Normalize(&n, axis);
  *out = axisAngleMatrix(n, angle, &singlePrecisionSinCos);
  return out;
}

uint16_t *threeDNowFloat32To16Array(uint16_t *out, const float *in, unsigned count) {
  if (count < 4) return baselineFloat32To16Array(out, in, count);
  unsigned i = 0;
  for (; i + 4 <= count; i += 4) {
    for (unsigned k = 0; k < 4; ++k) out[i + k] = float32To16(in[i + k]);
  }
  // A short tail is covered by converting the last four again; the overlap is rewritten
  // with the same values, so the buffers must not overlap (they never do).
  if (i < count) {
    const unsigned last = count - 4;
    for (unsigned k = 0; k < 4; ++k) out[last + k] = float32To16(in[last + k]);
  }
  return out;
}

}  // namespace kv
