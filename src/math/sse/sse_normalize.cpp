// The 3-vector normalisation of the SSE and SSE2 sets: the processor's reciprocal square
// root estimate refined by one Newton step. Lengths below 2^-23 (q < 2^-46) and
// not-a-numbers give the zero vector; there is no unit-length shortcut, the three
// products are always stored.
#include "math/sse/simd_routines.h"

#if KV_MATH_HAS_SIMD
#include <xmmintrin.h>

#include "math/sse/sse_ops.h"

namespace kv {

using namespace sse;

KV_TARGET_SSE Vector3 *sseVec3Normalize(Vector3 *out, const Vector3 *v) {
  const __m128 x = _mm_set_ss(v->x);
  const __m128 y = _mm_set_ss(v->y);
  const __m128 z = _mm_set_ss(v->z);
  const __m128 q = _mm_add_ss(_mm_add_ss(_mm_mul_ss(x, x), _mm_mul_ss(y, y)), _mm_mul_ss(z, z));
  __m128 r;
  if (!normalizationFactor(q, &r)) {
    *out = Vector3{0.0f, 0.0f, 0.0f};
    return out;
  }
  *out = Vector3{_mm_cvtss_f32(_mm_mul_ss(x, r)), _mm_cvtss_f32(_mm_mul_ss(y, r)), _mm_cvtss_f32(_mm_mul_ss(z, r))};
  return out;
}

}  // namespace kv
#endif
