// Loads, stores and products shared by the SSE routines. Every function here carries the
// SSE target, so a 32-bit build compiles them without enabling SSE anywhere else; they
// are called only from routines that carry it too.
//
// Vectors of two and three floats are moved as an 8-byte pair and a single float: a
// 16-byte load would read past the last element of an array. None of the moves needs
// any alignment, so strided elements may lie anywhere.
#pragma once

#include "math/sse/simd_routines.h"

#if KV_MATH_HAS_SIMD
#include <xmmintrin.h>

#include <cstring>

#include "math/math_types.h"

namespace kv::sse {

// The x and y of p in the low lanes (one 8-byte move, no alignment needed).
KV_TARGET_SSE inline __m128 loadLow(const void *p) {
  return _mm_loadl_pi(_mm_setzero_ps(), static_cast<const __m64 *>(p));
}

KV_TARGET_SSE inline __m128 loadScalar(const void *p) {
  float f;
  std::memcpy(&f, p, sizeof f);
  return _mm_set_ss(f);
}

KV_TARGET_SSE inline __m128 load2(const void *p, float z, float w) {
  return _mm_movelh_ps(loadLow(p), _mm_setr_ps(z, w, 0.0f, 0.0f));
}

KV_TARGET_SSE inline __m128 load3(const void *p, float w) {
  const __m128 zw = _mm_unpacklo_ps(loadScalar(static_cast<const unsigned char *>(p) + 8), _mm_set_ss(w));
  return _mm_movelh_ps(loadLow(p), zw);
}

// Component i of the floats at p, in every lane.
KV_TARGET_SSE inline __m128 broadcast(const void *p, int i) {
  float f;
  std::memcpy(&f, static_cast<const unsigned char *>(p) + 4 * i, sizeof f);
  return _mm_set1_ps(f);
}

KV_TARGET_SSE inline __m128 load4(const void *p) { return _mm_loadu_ps(static_cast<const float *>(p)); }

KV_TARGET_SSE inline void store2(void *p, __m128 v) { _mm_storel_pi(static_cast<__m64 *>(p), v); }

KV_TARGET_SSE inline void store3(void *p, __m128 v) {
  _mm_storel_pi(static_cast<__m64 *>(p), v);
  const float z = _mm_cvtss_f32(_mm_movehl_ps(v, v));
  std::memcpy(static_cast<unsigned char *>(p) + 8, &z, sizeof z);
}

KV_TARGET_SSE inline void store4(void *p, __m128 v) { _mm_storeu_ps(static_cast<float *>(p), v); }

template <int Lane>
KV_TARGET_SSE inline __m128 splat(__m128 v) {
  return _mm_shuffle_ps(v, v, _MM_SHUFFLE(Lane, Lane, Lane, Lane));
}

KV_TARGET_SSE inline float lane0(__m128 v) { return _mm_cvtss_f32(v); }

// The sum of the four lanes (every lane of the result holds it).
KV_TARGET_SSE inline __m128 horizontalSum(__m128 v) {
  const __m128 pairs = _mm_add_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_add_ps(pairs, _mm_shuffle_ps(pairs, pairs, _MM_SHUFFLE(1, 0, 3, 2)));
}

KV_TARGET_SSE inline __m128 dot4(__m128 a, __m128 b) { return horizontalSum(_mm_mul_ps(a, b)); }

struct Rows {
  __m128 r0, r1, r2, r3;
};

KV_TARGET_SSE inline Rows loadRows(const Matrix *m) {
  return {load4(m->m[0]), load4(m->m[1]), load4(m->m[2]), load4(m->m[3])};
}

KV_TARGET_SSE inline void storeRows(Matrix *m, const Rows &rows) {
  store4(m->m[0], rows.r0);
  store4(m->m[1], rows.r1);
  store4(m->m[2], rows.r2);
  store4(m->m[3], rows.r3);
}

// The row vector v times the matrix: the rows weighted by v's four components.
KV_TARGET_SSE inline __m128 times(__m128 v, const Rows &m) {
  const __m128 x = _mm_mul_ps(splat<0>(v), m.r0);
  const __m128 y = _mm_mul_ps(splat<1>(v), m.r1);
  const __m128 z = _mm_mul_ps(splat<2>(v), m.r2);
  const __m128 w = _mm_mul_ps(splat<3>(v), m.r3);
  return _mm_add_ps(_mm_add_ps(x, y), _mm_add_ps(z, w));
}

// (x, y, z, 1) and (x, y, z, 0) times the matrix, the components read from v one by
// one straight into all lanes: the weight of row 3 is known.
KV_TARGET_SSE inline __m128 pointTimes(const void *v, const Rows &m) {
  const __m128 xy = _mm_add_ps(_mm_mul_ps(broadcast(v, 0), m.r0), _mm_mul_ps(broadcast(v, 1), m.r1));
  return _mm_add_ps(xy, _mm_add_ps(_mm_mul_ps(broadcast(v, 2), m.r2), m.r3));
}

KV_TARGET_SSE inline __m128 directionTimes(const void *v, const Rows &m) {
  const __m128 xy = _mm_add_ps(_mm_mul_ps(broadcast(v, 0), m.r0), _mm_mul_ps(broadcast(v, 1), m.r1));
  return _mm_add_ps(xy, _mm_mul_ps(broadcast(v, 2), m.r2));
}

// (x, y, 0, 1) and (x, y, 0, 0) times the matrix.
KV_TARGET_SSE inline __m128 point2Times(const void *v, const Rows &m) {
  return _mm_add_ps(_mm_add_ps(_mm_mul_ps(broadcast(v, 0), m.r0), _mm_mul_ps(broadcast(v, 1), m.r1)), m.r3);
}

KV_TARGET_SSE inline __m128 direction2Times(const void *v, const Rows &m) {
  return _mm_add_ps(_mm_mul_ps(broadcast(v, 0), m.r0), _mm_mul_ps(broadcast(v, 1), m.r1));
}

// The projective division: skipped when w is within 2^-23 of 1, as in the baseline.
KV_TARGET_SSE inline __m128 divideByW(__m128 r) {
  const float w = _mm_cvtss_f32(splat<3>(r));
  const float d = w - 1.0f;
  if (d >= -1.1920929e-7f && d <= 1.1920929e-7f) return r;
  const __m128 k = _mm_div_ss(_mm_set_ss(1.0f), _mm_set_ss(w));
  return _mm_mul_ps(r, splat<0>(k));
}

// The reciprocal square root of q in lane 0, in every lane: the processor's estimate
// refined once, (3 - r0*q*r0) * (r0*0.5).
KV_TARGET_SSE inline __m128 refinedReciprocalRoot(__m128 q) {
  const __m128 r0 = _mm_rsqrt_ss(q);
  const __m128 t = _mm_sub_ss(_mm_set_ss(3.0f), _mm_mul_ss(_mm_mul_ss(r0, q), r0));
  return splat<0>(_mm_mul_ss(t, _mm_mul_ss(r0, _mm_set_ss(0.5f))));
}

// The normalisation factor of the SSE sets' 3-vector and plane routines from q in lane 0.
// False when q < 2^-46 or q is not a number: the caller then stores zeros.
KV_TARGET_SSE inline bool normalizationFactor(__m128 q, __m128 *factor) {
  if (!(_mm_cvtss_f32(q) >= 1.42108547e-14f)) return false;  // 2^-46
  *factor = refinedReciprocalRoot(q);
  return true;
}

// v scaled by the factor of q, or zero.
KV_TARGET_SSE inline __m128 normalized(__m128 v, __m128 q) {
  __m128 factor;
  return normalizationFactor(q, &factor) ? _mm_mul_ps(v, factor) : _mm_setzero_ps();
}

}  // namespace kv::sse
#endif
