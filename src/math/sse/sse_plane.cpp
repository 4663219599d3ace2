// The plane routines of the SSE and SSE2 sets, and the shadow and reflection matrices
// built on their plane normalisation.
#include "math/sse/simd_routines.h"

#if KV_MATH_HAS_SIMD
#include <xmmintrin.h>

#include <cmath>

#include "math/sse/sse_ops.h"

namespace kv {

using namespace sse;

namespace {

KV_TARGET_SSE inline __m128 cross3(__m128 a, __m128 b) {
  const __m128 a1 = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 0, 2, 1));
  const __m128 b1 = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 0, 2, 1));
  const __m128 c = _mm_sub_ps(_mm_mul_ps(a, b1), _mm_mul_ps(a1, b));
  return _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 0, 2, 1));
}

// No unit-length shortcut: below q = 2^-46 (and for not-a-numbers) the plane is zero.
KV_TARGET_SSE inline __m128 normalizedPlane(const Plane *p) {
  const __m128 v = load4(p);
  const __m128 normal = _mm_mul_ps(v, _mm_setr_ps(1.0f, 1.0f, 1.0f, 0.0f));
  return normalized(v, dot4(normal, normal));
}

}  // namespace

// The normal is normalised with the SSE sets' rule, which is the table's whenever this
// routine is in it (only the SSE and SSE2 sets carry it).
KV_TARGET_SSE Plane *ssePlaneFromPoints(Plane *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3) {
  const __m128 a = load3(p1, 0.0f);
  const __m128 n = cross3(_mm_sub_ps(a, load3(p2, 0.0f)), _mm_sub_ps(a, load3(p3, 0.0f)));
  const __m128 normal = normalized(n, dot4(n, n));
  const __m128 d = _mm_sub_ps(_mm_setzero_ps(), dot4(normal, a));
  const __m128 zd = _mm_unpackhi_ps(normal, d);  // (n.z, d, 0, d)
  store4(out, _mm_shuffle_ps(normal, zd, _MM_SHUFFLE(1, 0, 1, 0)));
  return out;
}

KV_TARGET_SSE Plane *ssePlaneNormalize(Plane *out, const Plane *p) {
  store4(out, normalizedPlane(p));
  return out;
}

KV_TARGET_SSE Vector3 *ssePlaneIntersectLine(Vector3 *out, const Plane *plane, const Vector3 *p1,
                                             const Vector3 *p2) {
  const __m128 a = load3(p1, 0.0f), b = load3(p2, 0.0f);
  // n.p1 and n.p2 side by side in lanes 0 and 1: the points' x, y and z paired up and
  // weighted by the plane's broadcast a, b and c.
  const __m128 xs = _mm_unpacklo_ps(a, b);                  // p1.x p2.x p1.y p2.y
  const __m128 zs = _mm_unpackhi_ps(a, b);                  // p1.z p2.z 0 0
  const __m128 ys = _mm_movehl_ps(xs, xs);                  // p1.y p2.y
  const __m128 dots = _mm_add_ps(_mm_add_ps(_mm_mul_ps(broadcast(plane, 0), xs), _mm_mul_ps(broadcast(plane, 1), ys)),
                                 _mm_mul_ps(broadcast(plane, 2), zs));
  const float n1 = lane0(dots);
  const float den = n1 - lane0(splat<1>(dots));
  if (den == 0.0f) return nullptr;
  const float t = (n1 + plane->d) / den;
  if (!std::isfinite(t)) return nullptr;
  store3(out, _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(b, a), _mm_set1_ps(t))));
  return out;
}

// Row r: (d where r = c, else 0) - P[r] * light, with P the normalised plane and d = P.light.
KV_TARGET_SSE Matrix *sseMatrixShadow(Matrix *out, const Vector4 *light, const Plane *plane) {
  const __m128 p = normalizedPlane(plane);
  const __m128 l = load4(light);
  const float d = lane0(dot4(p, l));
  storeRows(out, {_mm_sub_ps(_mm_setr_ps(d, 0.0f, 0.0f, 0.0f), _mm_mul_ps(splat<0>(p), l)),
                  _mm_sub_ps(_mm_setr_ps(0.0f, d, 0.0f, 0.0f), _mm_mul_ps(splat<1>(p), l)),
                  _mm_sub_ps(_mm_setr_ps(0.0f, 0.0f, d, 0.0f), _mm_mul_ps(splat<2>(p), l)),
                  _mm_sub_ps(_mm_setr_ps(0.0f, 0.0f, 0.0f, d), _mm_mul_ps(splat<3>(p), l))});
  return out;
}

// Row r: e_r - 2 P[r] (a, b, c, 0), with P the normalised plane.
KV_TARGET_SSE Matrix *sseMatrixReflect(Matrix *out, const Plane *plane) {
  const __m128 p = normalizedPlane(plane);
  const __m128 normal = _mm_mul_ps(_mm_mul_ps(p, _mm_setr_ps(1.0f, 1.0f, 1.0f, 0.0f)), _mm_set1_ps(2.0f));
  storeRows(out, {_mm_sub_ps(_mm_setr_ps(1.0f, 0.0f, 0.0f, 0.0f), _mm_mul_ps(splat<0>(p), normal)),
                  _mm_sub_ps(_mm_setr_ps(0.0f, 1.0f, 0.0f, 0.0f), _mm_mul_ps(splat<1>(p), normal)),
                  _mm_sub_ps(_mm_setr_ps(0.0f, 0.0f, 1.0f, 0.0f), _mm_mul_ps(splat<2>(p), normal)),
                  _mm_sub_ps(_mm_setr_ps(0.0f, 0.0f, 0.0f, 1.0f), _mm_mul_ps(splat<3>(p), normal))});
  return out;
}

}  // namespace kv
#endif
