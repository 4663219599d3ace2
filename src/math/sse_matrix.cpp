// The matrix product with SSE: each output row is a sum of the rows of b scaled by one
// element of a's row. The SSE2 set uses it too; SSE2 adds nothing to float products.
#include "math/simd_routines.h"

#if KV_MATH_HAS_SIMD
#include <xmmintrin.h>

namespace kv {

KV_TARGET_SSE Matrix *sseMatrixMultiply(Matrix *out, const Matrix *a, const Matrix *b) {
  const __m128 b0 = _mm_loadu_ps(b->m[0]);
  const __m128 b1 = _mm_loadu_ps(b->m[1]);
  const __m128 b2 = _mm_loadu_ps(b->m[2]);
  const __m128 b3 = _mm_loadu_ps(b->m[3]);
  __m128 rows[4];
  for (int r = 0; r < 4; ++r) {
    const __m128 x = _mm_mul_ps(_mm_set1_ps(a->m[r][0]), b0);
    const __m128 y = _mm_mul_ps(_mm_set1_ps(a->m[r][1]), b1);
    const __m128 z = _mm_mul_ps(_mm_set1_ps(a->m[r][2]), b2);
    const __m128 w = _mm_mul_ps(_mm_set1_ps(a->m[r][3]), b3);
    rows[r] = _mm_add_ps(_mm_add_ps(x, y), _mm_add_ps(z, w));
  }
  // Stored only after every operand value has been read, so out may be a or b.
  for (int r = 0; r < 4; ++r) _mm_storeu_ps(out->m[r], rows[r]);
  return out;
}

}  // namespace kv
#endif
