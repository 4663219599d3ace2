// The vector routines of the SSE and SSE2 sets: 4-vector and quaternion normalisation,
// the four-dimensional cross product, the splines and the barycentric combinations.
#include "math/sse/simd_routines.h"

#if KV_MATH_HAS_SIMD
#include <xmmintrin.h>

#include "math/baseline/spline_weights.h"
#include "math/baseline/vector_ops.h"
#include "math/sse/sse_ops.h"

namespace kv {

using namespace sse;

namespace {

// Loading and storing each vector type as four lanes (the unused ones zero).
template <typename V>
struct Lanes;
template <>
struct Lanes<Vector2> {
  KV_TARGET_SSE static __m128 load(const Vector2 *v) { return load2(v, 0.0f, 0.0f); }
  KV_TARGET_SSE static void store(Vector2 *v, __m128 r) { store2(v, r); }
};
template <>
struct Lanes<Vector3> {
  KV_TARGET_SSE static __m128 load(const Vector3 *v) { return load3(v, 0.0f); }
  KV_TARGET_SSE static void store(Vector3 *v, __m128 r) { store3(v, r); }
};
template <>
struct Lanes<Vector4> {
  KV_TARGET_SSE static __m128 load(const Vector4 *v) { return load4(v); }
  KV_TARGET_SSE static void store(Vector4 *v, __m128 r) { store4(v, r); }
};

template <typename V>
KV_TARGET_SSE inline V *weightedSum(V *out, const V *a, float ka, const V *b, float kb, const V *c, float kc,
                                    const V *d, float kd) {
  const __m128 ab = _mm_add_ps(_mm_mul_ps(Lanes<V>::load(a), _mm_set1_ps(ka)),
                               _mm_mul_ps(Lanes<V>::load(b), _mm_set1_ps(kb)));
  const __m128 cd = _mm_add_ps(_mm_mul_ps(Lanes<V>::load(c), _mm_set1_ps(kc)),
                               _mm_mul_ps(Lanes<V>::load(d), _mm_set1_ps(kd)));
  Lanes<V>::store(out, _mm_add_ps(ab, cd));
  return out;
}

template <typename V>
KV_TARGET_SSE inline V *hermite(V *out, const V *p1, const V *t1, const V *p2, const V *t2, float s) {
  const HermiteWeights h = hermiteWeights(s);
  return weightedSum(out, p1, h.p1, t1, h.t1, p2, h.p2, t2, h.t2);
}

template <typename V>
KV_TARGET_SSE inline V *catmullRom(V *out, const V *p0, const V *p1, const V *p2, const V *p3, float s) {
  const CatmullRomWeights k = catmullRomWeights(s);
  return weightedSum(out, p0, k.p0, p1, k.p1, p2, k.p2, p3, k.p3);
}

template <typename V>
KV_TARGET_SSE inline V *barycentric(V *out, const V *p1, const V *p2, const V *p3, float f, float g) {
  const __m128 a = Lanes<V>::load(p1);
  const __m128 toB = _mm_mul_ps(_mm_sub_ps(Lanes<V>::load(p2), a), _mm_set1_ps(f));
  const __m128 toC = _mm_mul_ps(_mm_sub_ps(Lanes<V>::load(p3), a), _mm_set1_ps(g));
  Lanes<V>::store(out, _mm_add_ps(_mm_add_ps(a, toB), toC));
  return out;
}

// Zeros where the baseline gives them (q at or below 2^-126, or not a number), so a short
// vector still comes out of unit length; no unit-length shortcut.
KV_TARGET_SSE inline void normalize4(void *out, const void *in) {
  const __m128 v = load4(in);
  const __m128 q = dot4(v, v);
  store4(out, _mm_cvtss_f32(q) > kSmallestNormal ? _mm_mul_ps(v, refinedReciprocalRoot(q)) : _mm_setzero_ps());
}

}  // namespace

KV_TARGET_SSE Vector4 *sseVec4Normalize(Vector4 *out, const Vector4 *v) {
  normalize4(out, v);
  return out;
}

KV_TARGET_SSE Quaternion *sseQuaternionNormalize(Quaternion *out, const Quaternion *q) {
  normalize4(out, q);
  return out;
}

KV_TARGET_SSE Vector4 *sseVec4Cross(Vector4 *out, const Vector4 *u, const Vector4 *v, const Vector4 *w) {
  const __m128 a = load4(u), b = load4(v), c = load4(w);
  // (m1, m2, m3, m4) and (m5, m6, m5, m6) of the baseline's formula.
  const __m128 low = _mm_sub_ps(
      _mm_mul_ps(_mm_shuffle_ps(b, b, _MM_SHUFFLE(1, 0, 0, 0)), _mm_shuffle_ps(c, c, _MM_SHUFFLE(2, 3, 2, 1))),
      _mm_mul_ps(_mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 3, 2, 1)), _mm_shuffle_ps(c, c, _MM_SHUFFLE(1, 0, 0, 0))));
  const __m128 high = _mm_sub_ps(_mm_mul_ps(_mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 1, 2, 1)), splat<3>(c)),
                                 _mm_mul_ps(splat<3>(b), _mm_shuffle_ps(c, c, _MM_SHUFFLE(2, 1, 2, 1))));
  const __m128 x = _mm_shuffle_ps(high, low, _MM_SHUFFLE(3, 3, 0, 1));  // m6 m5 m4 m4
  const __m128 y = _mm_shuffle_ps(high, low, _MM_SHUFFLE(1, 2, 0, 0));  // m5 m5 m3 m2
  const __m128 first = _mm_mul_ps(_mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 1, 0, 0)),     // m6 m6 m5 m4
                                  _mm_shuffle_ps(a, a, _MM_SHUFFLE(0, 0, 0, 1)));    // uy ux ux ux
  const __m128 second = _mm_mul_ps(_mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 2, 2, 0)),    // m5 m3 m3 m2
                                   _mm_shuffle_ps(a, a, _MM_SHUFFLE(1, 1, 2, 2)));   // uz uz uy uy
  const __m128 third = _mm_mul_ps(_mm_shuffle_ps(low, low, _MM_SHUFFLE(0, 0, 1, 3)), // m4 m2 m1 m1
                                  _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 3, 3)));    // uw uw uw uz
  const __m128 sign = _mm_setr_ps(1.0f, -1.0f, 1.0f, -1.0f);
  store4(out, _mm_mul_ps(sign, _mm_add_ps(_mm_sub_ps(first, second), third)));
  return out;
}

KV_TARGET_SSE Vector2 *sseVec2Hermite(Vector2 *out, const Vector2 *p1, const Vector2 *t1, const Vector2 *p2,
                                      const Vector2 *t2, float s) {
  return hermite(out, p1, t1, p2, t2, s);
}
KV_TARGET_SSE Vector3 *sseVec3Hermite(Vector3 *out, const Vector3 *p1, const Vector3 *t1, const Vector3 *p2,
                                      const Vector3 *t2, float s) {
  return hermite(out, p1, t1, p2, t2, s);
}
KV_TARGET_SSE Vector4 *sseVec4Hermite(Vector4 *out, const Vector4 *p1, const Vector4 *t1, const Vector4 *p2,
                                      const Vector4 *t2, float s) {
  return hermite(out, p1, t1, p2, t2, s);
}
KV_TARGET_SSE Vector2 *sseVec2CatmullRom(Vector2 *out, const Vector2 *p0, const Vector2 *p1, const Vector2 *p2,
                                         const Vector2 *p3, float s) {
  return catmullRom(out, p0, p1, p2, p3, s);
}
KV_TARGET_SSE Vector3 *sseVec3CatmullRom(Vector3 *out, const Vector3 *p0, const Vector3 *p1, const Vector3 *p2,
                                         const Vector3 *p3, float s) {
  return catmullRom(out, p0, p1, p2, p3, s);
}
KV_TARGET_SSE Vector4 *sseVec4CatmullRom(Vector4 *out, const Vector4 *p0, const Vector4 *p1, const Vector4 *p2,
                                         const Vector4 *p3, float s) {
  return catmullRom(out, p0, p1, p2, p3, s);
}
KV_TARGET_SSE Vector2 *sseVec2Barycentric(Vector2 *out, const Vector2 *p1, const Vector2 *p2, const Vector2 *p3,
                                          float f, float g) {
  return barycentric(out, p1, p2, p3, f, g);
}
KV_TARGET_SSE Vector3 *sseVec3Barycentric(Vector3 *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3,
                                          float f, float g) {
  return barycentric(out, p1, p2, p3, f, g);
}
KV_TARGET_SSE Vector4 *sseVec4Barycentric(Vector4 *out, const Vector4 *p1, const Vector4 *p2, const Vector4 *p3,
                                          float f, float g) {
  return barycentric(out, p1, p2, p3, f, g);
}

}  // namespace kv
#endif
