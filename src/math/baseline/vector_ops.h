// Small value helpers shared by the routines of every set: component arithmetic on the
// table's vector types and the "nearly equal" test that the unit-length and parallel
// shortcuts use.
#pragma once

#include <cstring>

#include "math/math_types.h"

namespace kv {

// a and b are nearly equal when a - b lies within +-2^-23, both bounds included.
constexpr float kNearlyEqualBound = 1.1920929e-7f;  // 2^-23
inline bool nearlyEqual(float a, float b) {
  const float d = a - b;
  return d >= -kNearlyEqualBound && d <= kNearlyEqualBound;
}

constexpr float kSmallestNormal = 1.17549435e-38f;  // 2^-126

inline Vector3 operator+(const Vector3 &a, const Vector3 &b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator-(const Vector3 &a, const Vector3 &b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 operator*(const Vector3 &a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float dot(const Vector3 &a, const Vector3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector3 cross(const Vector3 &a, const Vector3 &b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline Quaternion operator+(const Quaternion &a, const Quaternion &b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
}
inline Quaternion operator-(const Quaternion &a, const Quaternion &b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
}
inline Quaternion operator*(const Quaternion &a, float s) { return {a.x * s, a.y * s, a.z * s, a.w * s}; }
inline float dot(const Quaternion &a, const Quaternion &b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

// Row vector (x, y, z, w) times m.
inline Vector4 rowTimesMatrix(float x, float y, float z, float w, const Matrix &m) {
  return {x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + w * m.m[3][0],
          x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + w * m.m[3][1],
          x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + w * m.m[3][2],
          x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + w * m.m[3][3]};
}

// Applies op(&result, &element) to count elements of a strided array, in index order.
// Each element is copied out before its result is stored, so the output may lie over the
// input; the copies also make any stride (0, odd, larger than the element) safe to read
// and write. Addresses advance by addition, never by a product that could wrap.
template <typename Out, typename In, typename Op>
inline Out *mapStrided(Out *out, UINT outStride, const In *in, UINT inStride, UINT count, Op op) {
  unsigned char *to = reinterpret_cast<unsigned char *>(out);
  const unsigned char *from = reinterpret_cast<const unsigned char *>(in);
  for (UINT i = 0; i < count; ++i, to += outStride, from += inStride) {
    In element;
    std::memcpy(&element, from, sizeof element);
    Out result;
    op(&result, &element);
    std::memcpy(to, &result, sizeof result);
  }
  return out;
}

}  // namespace kv
