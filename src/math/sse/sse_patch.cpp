// The cubic triangular patch of the SSE and SSE2 sets: the ten control points are built
// once as in the baseline and held in registers while the parameter pairs are evaluated.
#include "math/sse/simd_routines.h"

#if KV_MATH_HAS_SIMD
#include <xmmintrin.h>

#include "math/baseline/triangle_patch.h"
#include "math/sse/sse_ops.h"

namespace kv {

using namespace sse;

KV_TARGET_SSE Vector3 *sseEvaluateTrianglePatch(const Vector3 *corners, const Vector3 *normals,
                                                const Vector2 *parameters, UINT count, Vector3 *out) {
  const TrianglePatch patch = trianglePatch(corners, normals);
  const auto &b = patch.b;
  const __m128 b00 = load3(&b[0][0], 0.0f), b11 = load3(&b[1][1], 0.0f), b22 = load3(&b[2][2], 0.0f);
  const __m128 b01 = load3(&b[0][1], 0.0f), b02 = load3(&b[0][2], 0.0f), b10 = load3(&b[1][0], 0.0f);
  const __m128 b12 = load3(&b[1][2], 0.0f), b20 = load3(&b[2][0], 0.0f), b21 = load3(&b[2][1], 0.0f);
  const __m128 centre = load3(&patch.centre, 0.0f);
  const __m128 three = _mm_set1_ps(3.0f);
  for (UINT i = 0; i < count; ++i) {
    const __m128 uv = load2(&parameters[i], 0.0f, 0.0f);
    const __m128 u = splat<0>(uv), v = splat<1>(uv);
    const __m128 w = _mm_sub_ps(_mm_sub_ps(_mm_set1_ps(1.0f), u), v);
    const __m128 uu = _mm_mul_ps(u, u), vv = _mm_mul_ps(v, v), ww = _mm_mul_ps(w, w);
    __m128 sum = _mm_add_ps(_mm_add_ps(_mm_mul_ps(b00, _mm_mul_ps(uu, u)), _mm_mul_ps(b11, _mm_mul_ps(vv, v))),
                            _mm_mul_ps(b22, _mm_mul_ps(ww, w)));
    const __m128 uu3 = _mm_mul_ps(three, uu), vv3 = _mm_mul_ps(three, vv), ww3 = _mm_mul_ps(three, ww);
    sum = _mm_add_ps(sum, _mm_add_ps(_mm_mul_ps(b01, _mm_mul_ps(uu3, v)), _mm_mul_ps(b02, _mm_mul_ps(uu3, w))));
    sum = _mm_add_ps(sum, _mm_add_ps(_mm_mul_ps(b10, _mm_mul_ps(vv3, u)), _mm_mul_ps(b12, _mm_mul_ps(vv3, w))));
    sum = _mm_add_ps(sum, _mm_add_ps(_mm_mul_ps(b20, _mm_mul_ps(ww3, u)), _mm_mul_ps(b21, _mm_mul_ps(ww3, v))));
    const __m128 uvw6 = _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(6.0f), u), _mm_mul_ps(v, w));
    store3(&out[i], _mm_add_ps(sum, _mm_mul_ps(centre, uvw6)));
  }
  return out;
}

}  // namespace kv
#endif
