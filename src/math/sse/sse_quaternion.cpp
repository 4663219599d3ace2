// The quaternion routines of the SSE and SSE2 sets: product, inverse (SSE set only),
// and the conversions from a matrix and from yaw, pitch and roll.
#include "math/sse/simd_routines.h"

#if KV_MATH_HAS_SIMD
#include <xmmintrin.h>

#include <cmath>

#include "math/baseline/baseline_routines.h"
#include "math/sse/sse_ops.h"

namespace kv {

using namespace sse;

KV_TARGET_SSE Quaternion *sseQuaternionMultiply(Quaternion *out, const Quaternion *a, const Quaternion *b) {
  // b times a, written as b.w a + b.x (a.w, -a.z, a.y, -a.x) + b.y (a.z, a.w, -a.x, -a.y)
  // + b.z (-a.y, a.x, a.w, -a.z).
  const __m128 qa = load4(a), qb = load4(b);
  const __m128 w = _mm_mul_ps(splat<3>(qb), qa);
  const __m128 x = _mm_mul_ps(_mm_mul_ps(splat<0>(qb), _mm_shuffle_ps(qa, qa, _MM_SHUFFLE(0, 1, 2, 3))),
                              _mm_setr_ps(1.0f, -1.0f, 1.0f, -1.0f));
  const __m128 y = _mm_mul_ps(_mm_mul_ps(splat<1>(qb), _mm_shuffle_ps(qa, qa, _MM_SHUFFLE(1, 0, 3, 2))),
                              _mm_setr_ps(1.0f, 1.0f, -1.0f, -1.0f));
  const __m128 z = _mm_mul_ps(_mm_mul_ps(splat<2>(qb), _mm_shuffle_ps(qa, qa, _MM_SHUFFLE(2, 3, 0, 1))),
                              _mm_setr_ps(-1.0f, 1.0f, 1.0f, -1.0f));
  store4(out, _mm_add_ps(_mm_add_ps(w, x), _mm_add_ps(y, z)));
  return out;
}

KV_TARGET_SSE Quaternion *sseQuaternionInverse(Quaternion *out, const Quaternion *q) {
  const __m128 v = load4(q);
  const float n = lane0(dot4(v, v));
  if (!(n > 1.08420217e-19f)) {  // 2^-63, or not a number
    store4(out, _mm_setzero_ps());
    return out;
  }
  __m128 conjugate = _mm_mul_ps(v, _mm_setr_ps(-1.0f, -1.0f, -1.0f, 1.0f));
  const float d = n - 1.0f;
  if (!(d >= -1.1920929e-7f && d <= 1.1920929e-7f)) conjugate = _mm_mul_ps(conjugate, _mm_set1_ps(1.0f / n));
  store4(out, conjugate);
  return out;
}

KV_TARGET_SSE Quaternion *sseQuaternionFromMatrix(Quaternion *out, const Matrix *matrix) {
  const auto &m = matrix->m;
  const float trace = m[0][0] + m[1][1] + m[2][2];
  if (trace > 0.0f) {
    const float w = std::sqrt(trace + 1.0f) * 0.5f;
    const __m128 sums = _mm_sub_ps(_mm_setr_ps(m[1][2], m[2][0], m[0][1], 0.0f),
                                   _mm_setr_ps(m[2][1], m[0][2], m[1][0], 0.0f));
    // Lane 3 of the differences is 0, so adding w there puts it in place.
    const __m128 q = _mm_add_ps(_mm_mul_ps(sums, _mm_set1_ps(0.25f / w)), _mm_setr_ps(0.0f, 0.0f, 0.0f, w));
    store4(out, q);
    return out;
  }
  // A trace of 0 or less picks one component by comparisons; nothing there for vectors.
  return baselineQuaternionFromMatrix(out, matrix);
}

KV_TARGET_SSE Quaternion *sseQuaternionFromYawPitchRoll(Quaternion *out, float yaw, float pitch, float roll) {
  // Single-precision sine and cosine (within an ulp of the baseline's double-rounded
  // ones): the half angles are floats already.
  const float y2 = yaw * 0.5f, p2 = pitch * 0.5f, r2 = roll * 0.5f;
  const float sy = std::sin(y2), cy = std::cos(y2), sp = std::sin(p2), cp = std::cos(p2);
  const float sr = std::sin(r2), cr = std::cos(r2);
  // (cy, sy, cy, cy)(sp, cp, cp, cp)(cr, cr, sr, cr) + (sy, -cy, -sy, sy)(cp, sp, sp, sp)(sr, sr, cr, sr)
  const __m128 first = _mm_mul_ps(_mm_mul_ps(_mm_setr_ps(cy, sy, cy, cy), _mm_setr_ps(sp, cp, cp, cp)),
                                  _mm_setr_ps(cr, cr, sr, cr));
  const __m128 second = _mm_mul_ps(_mm_mul_ps(_mm_setr_ps(sy, -cy, -sy, sy), _mm_setr_ps(cp, sp, sp, sp)),
                                   _mm_setr_ps(sr, sr, cr, sr));
  store4(out, _mm_add_ps(first, second));
  return out;
}

}  // namespace kv
#endif
