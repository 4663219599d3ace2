// The rotation builders that take angles, written once over the sine and cosine routine:
// the baseline passes its double-rounded one, the 3DNow! set its single-precision one.
#pragma once

#include "math/math_types.h"

namespace kv {

using SinCosFn = void (*)(float angle, float *sine, float *cosine);

// Roll about z, then pitch about x, then yaw about y; each half angle and each sine and
// cosine is a float.
inline Quaternion yawPitchRollQuaternion(float yaw, float pitch, float roll, SinCosFn sinCos) {
  float sy, cy, sp, cp, sr, cr;
  sinCos(yaw * 0.5f, &sy, &cy);
  sinCos(pitch * 0.5f, &sp, &cp);
  sinCos(roll * 0.5f, &sr, &cr);
  return {cy * sp * cr + sy * cp * sr, sy * cp * cr - cy * sp * sr, cy * cp * sr - sy * sp * cr,
          cy * cp * cr + sy * sp * sr};
}

// n must already be normalised.
inline Quaternion axisAngleQuaternion(const Vector3 &n, float angle, SinCosFn sinCos) {
  float s, c;
  sinCos(angle * 0.5f, &s, &c);
  return {n.x * s, n.y * s, n.z * s, c};
}

// n must already be normalised.
inline Matrix axisAngleMatrix(const Vector3 &n, float angle, SinCosFn sinCos) {
  float s, c;
  sinCos(angle, &s, &c);
  const float t = 1.0f - c;
  const float x = n.x, y = n.y, z = n.z;
  return Matrix{{{t * x * x + c, t * x * y + s * z, t * x * z - s * y, 0.0f},
                 {t * x * y - s * z, t * y * y + c, t * y * z + s * x, 0.0f},
                 {t * x * z + s * y, t * y * z - s * x, t * z * z + c, 0.0f},
                 {0.0f, 0.0f, 0.0f, 1.0f}}};
}

inline Matrix quaternionMatrix(const Quaternion &q) {
  const float x = q.x, y = q.y, z = q.z, w = q.w;
  return Matrix{{{1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y + z * w), 2.0f * (x * z - y * w), 0.0f},
                 {2.0f * (x * y - z * w), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z + x * w), 0.0f},
                 {2.0f * (x * z + y * w), 2.0f * (y * z - x * w), 1.0f - 2.0f * (x * x + y * y), 0.0f},
                 {0.0f, 0.0f, 0.0f, 1.0f}}};
}

}  // namespace kv
