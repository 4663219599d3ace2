// The baseline 2- and 4-vector normalisations, the four-dimensional cross product, and
// the splines and barycentric combinations of 2-, 3- and 4-vectors.
#include <cmath>
#include <cstring>

#include "math/baseline/baseline_routines.h"
#include "math/baseline/spline_weights.h"
#include "math/baseline/vector_ops.h"

namespace kv {

namespace {

// The vector types are runs of floats; the splines work on them component by component.
template <typename V>
constexpr int kComponents = sizeof(V) / sizeof(float);

template <typename V>
V weightedSum(const V *a, float ka, const V *b, float kb, const V *c, float kc, const V *d, float kd) {
  float fa[4], fb[4], fc[4], fd[4], r[4];
  std::memcpy(fa, a, sizeof(V));
  std::memcpy(fb, b, sizeof(V));
  std::memcpy(fc, c, sizeof(V));
  std::memcpy(fd, d, sizeof(V));
  for (int i = 0; i < kComponents<V>; ++i) r[i] = fa[i] * ka + fb[i] * kb + fc[i] * kc + fd[i] * kd;
  V out;
  std::memcpy(&out, r, sizeof(V));
  return out;
}

template <typename V>
V *hermite(V *out, const V *p1, const V *t1, const V *p2, const V *t2, float s) {
  const HermiteWeights h = hermiteWeights(s);
  *out = weightedSum(p1, h.p1, t1, h.t1, p2, h.p2, t2, h.t2);
  return out;
}

template <typename V>
V *catmullRom(V *out, const V *p0, const V *p1, const V *p2, const V *p3, float s) {
  const CatmullRomWeights k = catmullRomWeights(s);
  *out = weightedSum(p0, k.p0, p1, k.p1, p2, k.p2, p3, k.p3);
  return out;
}

template <typename V>
V *barycentric(V *out, const V *p1, const V *p2, const V *p3, float f, float g) {
  float a[4], b[4], c[4], r[4];
  std::memcpy(a, p1, sizeof(V));
  std::memcpy(b, p2, sizeof(V));
  std::memcpy(c, p3, sizeof(V));
  for (int i = 0; i < kComponents<V>; ++i) r[i] = a[i] + f * (b[i] - a[i]) + g * (c[i] - a[i]);
  std::memcpy(out, r, sizeof(V));
  return out;
}

// A vector already of unit length (to 2^-23) is the result as it is; a zero, denormal
// or not-a-number length gives zeros.
template <typename V>
V *normalize(V *out, const V *v) {
  float c[4];
  std::memcpy(c, v, sizeof(V));
  float q = 0.0f;
  for (int i = 0; i < kComponents<V>; ++i) q += c[i] * c[i];
  if (nearlyEqual(q, 1.0f)) {
    if (out != v) *out = *v;
    return out;
  }
  if (!(q > kSmallestNormal)) {  // also catches a not-a-number
    std::memset(c, 0, sizeof c);
  } else {
    const float r = 1.0f / std::sqrt(q);
    for (int i = 0; i < kComponents<V>; ++i) c[i] *= r;
  }
  std::memcpy(out, c, sizeof(V));
  return out;
}

}  // namespace

Vector2 *baselineVec2Normalize(Vector2 *out, const Vector2 *v) { return normalize(out, v); }
Vector4 *baselineVec4Normalize(Vector4 *out, const Vector4 *v) { return normalize(out, v); }
// A quaternion normalises as a 4-vector.
Quaternion *baselineQuaternionNormalize(Quaternion *out, const Quaternion *q) { return normalize(out, q); }

Vector4 *baselineVec4Cross(Vector4 *out, const Vector4 *u, const Vector4 *v, const Vector4 *w) {
  const float m1 = v->x * w->y - v->y * w->x;
  const float m2 = v->x * w->z - v->z * w->x;
  const float m3 = v->x * w->w - v->w * w->x;
  const float m4 = v->y * w->z - v->z * w->y;
  const float m5 = v->y * w->w - v->w * w->y;
  const float m6 = v->z * w->w - v->w * w->z;
  *out = Vector4{u->y * m6 - u->z * m5 + u->w * m4, -u->x * m6 + u->z * m3 - u->w * m2,
                 u->x * m5 - u->y * m3 + u->w * m1, -u->x * m4 + u->y * m2 - u->z * m1};
  return out;
}

Vector2 *baselineVec2Hermite(Vector2 *out, const Vector2 *p1, const Vector2 *t1, const Vector2 *p2,
                             const Vector2 *t2, float s) {
  return hermite(out, p1, t1, p2, t2, s);
}
Vector3 *baselineVec3Hermite(Vector3 *out, const Vector3 *p1, const Vector3 *t1, const Vector3 *p2,
                             const Vector3 *t2, float s) {
  return hermite(out, p1, t1, p2, t2, s);
}
Vector4 *baselineVec4Hermite(Vector4 *out, const Vector4 *p1, const Vector4 *t1, const Vector4 *p2,
                             const Vector4 *t2, float s) {
  return hermite(out, p1, t1, p2, t2, s);
}

Vector2 *baselineVec2CatmullRom(Vector2 *out, const Vector2 *p0, const Vector2 *p1, const Vector2 *p2,
                                const Vector2 *p3, float s) {
  return catmullRom(out, p0, p1, p2, p3, s);
}
Vector3 *baselineVec3CatmullRom(Vector3 *out, const Vector3 *p0, const Vector3 *p1, const Vector3 *p2,
                                const Vector3 *p3, float s) {
  return catmullRom(out, p0, p1, p2, p3, s);
}
Vector4 *baselineVec4CatmullRom(Vector4 *out, const Vector4 *p0, const Vector4 *p1, const Vector4 *p2,
                                const Vector4 *p3, float s) {
  return catmullRom(out, p0, p1, p2, p3, s);
}

Vector2 *baselineVec2Barycentric(Vector2 *out, const Vector2 *p1, const Vector2 *p2, const Vector2 *p3, float f,
                                 float g) {
  return barycentric(out, p1, p2, p3, f, g);
}
Vector3 *baselineVec3Barycentric(Vector3 *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3, float f,
                                 float g) {
  return barycentric(out, p1, p2, p3, f, g);
}
Vector4 *baselineVec4Barycentric(Vector4 *out, const Vector4 *p1, const Vector4 *p2, const Vector4 *p3, float f,
                                 float g) {
  return barycentric(out, p1, p2, p3, f, g);
}

}  // namespace kv
