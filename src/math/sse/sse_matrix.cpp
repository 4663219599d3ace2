// The matrix product with SSE: each output row is a sum of the rows of b scaled by one
// element of a's row. The SSE2 set uses it too; SSE2 adds nothing to float products.
#include "math/sse/simd_routines.h"

#if KV_MATH_HAS_SIMD
#include <xmmintrin.h>

namespace kv {

namespace {

// One row of the product: the rows of b weighted by the four elements of a's row.
KV_TARGET_SSE inline __m128 productRow(__m128 aRow, __m128 b0, __m128 b1, __m128 b2, __m128 b3) {
  const __m128 x = _mm_mul_ps(_mm_shuffle_ps(aRow, aRow, 0x00), b0);
  const __m128 y = _mm_mul_ps(_mm_shuffle_ps(aRow, aRow, 0x55), b1);
  const __m128 z = _mm_mul_ps(_mm_shuffle_ps(aRow, aRow, 0xAA), b2);
  const __m128 w = _mm_mul_ps(_mm_shuffle_ps(aRow, aRow, 0xFF), b3);
  return _mm_add_ps(_mm_add_ps(x, y), _mm_add_ps(z, w));
}

}  // namespace

KV_TARGET_SSE Matrix *sseMatrixMultiply(Matrix *out, const Matrix *a, const Matrix *b) {
  const __m128 b0 = _mm_loadu_ps(b->m[0]);
  const __m128 b1 = _mm_loadu_ps(b->m[1]);
  const __m128 b2 = _mm_loadu_ps(b->m[2]);
  const __m128 b3 = _mm_loadu_ps(b->m[3]);
  const __m128 a0 = _mm_loadu_ps(a->m[0]);
  const __m128 a1 = _mm_loadu_ps(a->m[1]);
  const __m128 a2 = _mm_loadu_ps(a->m[2]);
  const __m128 a3 = _mm_loadu_ps(a->m[3]);
  const __m128 r0 = productRow(a0, b0, b1, b2, b3);
  const __m128 r1 = productRow(a1, b0, b1, b2, b3);
  const __m128 r2 = productRow(a2, b0, b1, b2, b3);
  const __m128 r3 = productRow(a3, b0, b1, b2, b3);
  // Stored only after every operand has been read, so out may be a or b.
  _mm_storeu_ps(out->m[0], r0);
  _mm_storeu_ps(out->m[1], r1);
  _mm_storeu_ps(out->m[2], r2);
  _mm_storeu_ps(out->m[3], r3);
  return out;
}

}  // namespace kv
#endif
