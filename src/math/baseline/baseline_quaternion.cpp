// The baseline quaternion routines: products, inverse, conversions, logarithm and
// exponential, and the interpolations built on the spherical linear one.
#include <cmath>

#include "math/baseline/angle_builders.h"
#include "math/baseline/baseline_routines.h"
#include "math/baseline/sine_cosine.h"
#include "math/baseline/vector_ops.h"
#include "math/scene_math.h"

namespace kv {

namespace {

// Rounding can leave the scalar part of a unit quaternion a few ulps outside [-1, 1],
// where the arc cosine has no value; the nearest end is meant. A scalar part further out
// belongs to no unit quaternion and keeps the arc cosine's own answer, not a number.
float clampedArcCosine(float w) {
  constexpr float kRoundingNoise = 4 * kNearlyEqualBound;  // four ulps of 1 from above
  if (std::fabs(w) > 1.0f && std::fabs(w) - 1.0f <= kRoundingNoise) w = std::copysign(1.0f, w);
  return std::acos(w);
}

Quaternion slerp(const Quaternion &q1, const Quaternion &q2, float t) {
  const float c = dot(q1, q2);
  const float sign = c >= 0.0f ? 1.0f : -1.0f;
  const float cs = sign * c;
  float k1 = 1.0f - t, k2 = t;
  if (1.0f - cs > kNearlyEqualBound) {
    const float sine = std::sqrt(1.0f - cs * cs);
    const float theta = std::atan2(sine, cs);
    const float r = 1.0f / sine;
    k1 = std::sin((1.0f - t) * theta) * r;
    k2 = std::sin(t * theta) * r;
  }
  return q1 * k1 + q2 * (sign * k2);
}

Quaternion multiply(const Quaternion &a, const Quaternion &b) {
  return {b.w * a.x + b.x * a.w + b.y * a.z - b.z * a.y, b.w * a.y - b.x * a.z + b.y * a.w + b.z * a.x,
          b.w * a.z + b.x * a.y - b.y * a.x + b.z * a.w, b.w * a.w - b.x * a.x - b.y * a.y - b.z * a.z};
}

Quaternion inverse(const Quaternion &q) {
  const float n = dot(q, q);
  if (!(n > 1.08420217e-19f)) return {0.0f, 0.0f, 0.0f, 0.0f};  // 2^-63, or not a number
  const Quaternion conjugate{-q.x, -q.y, -q.z, q.w};
  return nearlyEqual(n, 1.0f) ? conjugate : conjugate * (1.0f / n);
}

Quaternion ln(const Quaternion &q) {
  if (q.w < 1.0f) {
    const float theta = clampedArcCosine(q.w);
    const float s = std::sin(theta);
    if (!nearlyEqual(s, 0.0f)) {
      const float k = theta / s;
      return {q.x * k, q.y * k, q.z * k, 0.0f};
    }
  }
  return {q.x, q.y, q.z, 0.0f};
}

Quaternion exp(const Quaternion &q) {
  const float theta = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
  const float c = std::cos(theta), s = std::sin(theta);
  if (!nearlyEqual(s, 0.0f)) {
    const float k = s / theta;
    return {q.x * k, q.y * k, q.z * k, c};
  }
  return {q.x, q.y, q.z, c};
}

// Sum of squared differences of two quaternions.
float distanceSquared(const Quaternion &a, const Quaternion &b) {
  const Quaternion d = a - b;
  return dot(d, d);
}

// q * exp(-0.25 (ln(q^-1 next) + ln(q^-1 previous))): the inner control point at q.
Quaternion controlPoint(const Quaternion &q, const Quaternion &previous, const Quaternion &next) {
  const Quaternion qi = inverse(q);
  const Quaternion sum = ln(multiply(qi, next)) + ln(multiply(qi, previous));
  return multiply(q, exp(sum * -0.25f));
}

}  // namespace

Quaternion *baselineQuaternionMultiply(Quaternion *out, const Quaternion *a, const Quaternion *b) {
  *out = multiply(*a, *b);
  return out;
}

Quaternion *baselineQuaternionInverse(Quaternion *out, const Quaternion *q) {
  *out = inverse(*q);
  return out;
}

void baselineQuaternionToAxisAngle(const Quaternion *q, Vector3 *axis, float *angle) {
  if (axis) *axis = Vector3{q->x, q->y, q->z};
  if (angle) *angle = 2.0f * clampedArcCosine(q->w);
}

Quaternion *baselineQuaternionFromMatrix(Quaternion *out, const Matrix *matrix) {
  const auto &m = matrix->m;
  const float trace = m[0][0] + m[1][1] + m[2][2];
  if (trace > 0.0f) {
    const float w = std::sqrt(trace + 1.0f) * 0.5f;
    const float k = 0.25f / w;
    *out = Quaternion{(m[1][2] - m[2][1]) * k, (m[2][0] - m[0][2]) * k, (m[0][1] - m[1][0]) * k, w};
    return out;
  }
  // The largest of the three diagonal terms picks the component computed from a root;
  // the diagonal terms sum to -trace >= 0, so that root is at least 1/2.
  const float d[3] = {m[0][0] - m[1][1] - m[2][2], m[1][1] - m[0][0] - m[2][2], m[2][2] - (m[1][1] + m[0][0])};
  int i = d[0] >= d[1] ? 0 : 1;
  if (d[2] > d[i]) i = 2;
  const int j = (i + 1) % 3, k = (j + 1) % 3;
  float q[3];
  q[i] = std::sqrt(d[i] + 1.0f) * 0.5f;
  const float s = 0.25f / q[i];
  q[j] = (m[i][j] + m[j][i]) * s;
  q[k] = (m[i][k] + m[k][i]) * s;
  *out = Quaternion{q[0], q[1], q[2], (m[j][k] - m[k][j]) * s};
  return out;
}

Quaternion *baselineQuaternionFromYawPitchRoll(Quaternion *out, float yaw, float pitch, float roll) {
  *out = yawPitchRollQuaternion(yaw, pitch, roll, &sinCos);
  return out;
}

Quaternion *baselineQuaternionFromAxisAngle(Quaternion *out, const Vector3 *axis, float angle) {
  Vector3 n;
  vec3Normalize(&n, axis);  // through the table: a zero axis gives the set's zero rule
  *out = axisAngleQuaternion(n, angle, &sinCos);
  return out;
}

Quaternion *baselineQuaternionLn(Quaternion *out, const Quaternion *q) {
  *out = ln(*q);
  return out;
}

Quaternion *baselineQuaternionExp(Quaternion *out, const Quaternion *q) {
  *out = exp(*q);
  return out;
}

Quaternion *baselineQuaternionSlerp(Quaternion *out, const Quaternion *q1, const Quaternion *q2, float t) {
  *out = slerp(*q1, *q2, t);
  return out;
}

Quaternion *baselineQuaternionBarycentric(Quaternion *out, const Quaternion *q1, const Quaternion *q2,
                                          const Quaternion *q3, float f, float g) {
  const float s = f + g;
  if (nearlyEqual(s, 0.0f)) {
    if (out != q1) *out = *q1;
    return out;
  }
  *out = slerp(slerp(*q1, *q2, s), slerp(*q1, *q3, s), g / s);
  return out;
}

Quaternion *baselineQuaternionSquad(Quaternion *out, const Quaternion *q1, const Quaternion *a, const Quaternion *b,
                                    const Quaternion *c, float t) {
  *out = slerp(slerp(*q1, *c, t), slerp(*a, *b, t), 2.0f * t * (1.0f - t));
  return out;
}

void baselineQuaternionSquadSetup(Quaternion *outA, Quaternion *outB, Quaternion *outC, const Quaternion *q0,
                                  const Quaternion *q1, const Quaternion *q2, const Quaternion *q3) {
  // Each neighbour on the same side of the 4-sphere as the one before it, so the
  // interpolation takes the short way.
  Quaternion p0 = *q0, p1 = *q1, p2 = *q2, p3 = *q3;
  if (distanceSquared(p0, p1) > distanceSquared(p0, p1 * -1.0f)) p0 = p0 * -1.0f;
  if (distanceSquared(p1, p2) > distanceSquared(p1, p2 * -1.0f)) p2 = p2 * -1.0f;
  if (distanceSquared(p2, p3) > distanceSquared(p2, p3 * -1.0f)) p3 = p3 * -1.0f;
  *outA = controlPoint(p1, p0, p2);
  *outB = controlPoint(p2, p1, p3);
  *outC = p2;
}

}  // namespace kv
