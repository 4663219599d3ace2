// The matrix routines of the SSE and SSE2 sets (SSE2 adds nothing to float products):
// the product and its transpose, the determinant and the inverse.
#include "math/sse/simd_routines.h"

#if KV_MATH_HAS_SIMD
#include <xmmintrin.h>

#include <cmath>

#include "math/sse/sse_ops.h"

namespace kv {

using namespace sse;

namespace {

KV_TARGET_SSE inline Rows product(const Matrix *a, const Matrix *b) {
  const Rows rb = loadRows(b);
  const Rows ra = loadRows(a);
  return {times(ra.r0, rb), times(ra.r1, rb), times(ra.r2, rb), times(ra.r3, rb)};
}

KV_TARGET_SSE inline Rows transposed(Rows r) {
  _MM_TRANSPOSE4_PS(r.r0, r.r1, r.r2, r.r3);
  return r;
}

// The inverse by cofactors: the 2x2 minors of rows 0-1 (s) and 2-3 (c) are formed as
// vectors, and each row of the adjugate is a signed sum of three products of a column of
// the matrix (lanes in row order 1, 0, 3, 2) with one broadcast pair of minors.
struct Adjugate {
  Rows rows;
  __m128 determinant;  // in every lane
};

// s0..s3 = (t0 b1 - t1 b0, t0 b2 - t2 b0, t0 b3 - t3 b0, t1 b2 - t2 b1) and
// s4, s5 = (t1 b3 - t3 b1, t2 b3 - t3 b2) for the rows top and bottom.
KV_TARGET_SSE inline void minors(__m128 top, __m128 bottom, __m128 *low, __m128 *high) {
  const __m128 l1 = _mm_mul_ps(_mm_shuffle_ps(top, top, _MM_SHUFFLE(1, 0, 0, 0)),
                               _mm_shuffle_ps(bottom, bottom, _MM_SHUFFLE(2, 3, 2, 1)));
  const __m128 l2 = _mm_mul_ps(_mm_shuffle_ps(top, top, _MM_SHUFFLE(2, 3, 2, 1)),
                               _mm_shuffle_ps(bottom, bottom, _MM_SHUFFLE(1, 0, 0, 0)));
  *low = _mm_sub_ps(l1, l2);
  const __m128 h1 = _mm_mul_ps(_mm_shuffle_ps(top, top, _MM_SHUFFLE(2, 2, 2, 1)),
                               _mm_shuffle_ps(bottom, bottom, _MM_SHUFFLE(3, 3, 3, 3)));
  const __m128 h2 = _mm_mul_ps(_mm_shuffle_ps(top, top, _MM_SHUFFLE(3, 3, 3, 3)),
                               _mm_shuffle_ps(bottom, bottom, _MM_SHUFFLE(2, 2, 2, 1)));
  *high = _mm_sub_ps(h1, h2);
}

// Column with its lanes in row order 1, 0, 3, 2.
KV_TARGET_SSE inline __m128 swizzled(__m128 column) {
  return _mm_shuffle_ps(column, column, _MM_SHUFFLE(2, 3, 0, 1));
}

// sign * (ka pa - kb pb + kc pc)
KV_TARGET_SSE inline __m128 cofactorRow(__m128 sign, __m128 ka, __m128 pa, __m128 kb, __m128 pb, __m128 kc,
                                        __m128 pc) {
  return _mm_mul_ps(sign, _mm_add_ps(_mm_sub_ps(_mm_mul_ps(ka, pa), _mm_mul_ps(kb, pb)), _mm_mul_ps(kc, pc)));
}

KV_TARGET_SSE inline Adjugate adjugate(const Matrix *m) {
  const Rows a = loadRows(m);
  __m128 s03, s45, c03, c45;
  minors(a.r0, a.r1, &s03, &s45);
  minors(a.r2, a.r3, &c03, &c45);
  // P_k = (c_k, c_k, s_k, s_k).
  const __m128 p0 = _mm_shuffle_ps(c03, s03, _MM_SHUFFLE(0, 0, 0, 0));
  const __m128 p1 = _mm_shuffle_ps(c03, s03, _MM_SHUFFLE(1, 1, 1, 1));
  const __m128 p2 = _mm_shuffle_ps(c03, s03, _MM_SHUFFLE(2, 2, 2, 2));
  const __m128 p3 = _mm_shuffle_ps(c03, s03, _MM_SHUFFLE(3, 3, 3, 3));
  const __m128 p4 = _mm_shuffle_ps(c45, s45, _MM_SHUFFLE(0, 0, 0, 0));
  const __m128 p5 = _mm_shuffle_ps(c45, s45, _MM_SHUFFLE(1, 1, 1, 1));
  const Rows t = transposed(a);
  const __m128 k0 = swizzled(t.r0), k1 = swizzled(t.r1), k2 = swizzled(t.r2), k3 = swizzled(t.r3);
  const __m128 plus = _mm_setr_ps(1.0f, -1.0f, 1.0f, -1.0f);
  const __m128 minus = _mm_setr_ps(-1.0f, 1.0f, -1.0f, 1.0f);
  Adjugate result;
  result.rows.r0 = cofactorRow(plus, k1, p5, k2, p4, k3, p3);
  result.rows.r1 = cofactorRow(minus, k0, p5, k2, p2, k3, p1);
  result.rows.r2 = cofactorRow(plus, k0, p4, k1, p2, k3, p0);
  result.rows.r3 = cofactorRow(minus, k0, p3, k1, p1, k2, p0);
  // Row 0 of m times column 0 of the adjugate.
  result.determinant = dot4(a.r0, transposed(result.rows).r0);
  return result;
}

}  // namespace

KV_TARGET_SSE Matrix *sseMatrixMultiply(Matrix *out, const Matrix *a, const Matrix *b) {
  // Stored only after every operand has been read, so out may be a or b.
  storeRows(out, product(a, b));
  return out;
}

KV_TARGET_SSE Matrix *sseMatrixMultiplyTranspose(Matrix *out, const Matrix *a, const Matrix *b) {
  storeRows(out, transposed(product(a, b)));
  return out;
}

// Only column 0 of the adjugate is needed: (a11 c5 - a12 c4 + a13 c3, -(a10 c5 - a12 c2 +
// a13 c1), a10 c4 - a11 c2 + a13 c0, -(a10 c3 - a11 c1 + a12 c0)), then row 0 times it.
KV_TARGET_SSE float sseMatrixDeterminant(const Matrix *m) {
  const Rows a = loadRows(m);
  __m128 c03, c45;
  minors(a.r2, a.r3, &c03, &c45);
  const __m128 c35 = _mm_shuffle_ps(c03, c45, _MM_SHUFFLE(1, 0, 3, 3));  // c3 c3 c4 c5
  const __m128 first = _mm_mul_ps(_mm_shuffle_ps(a.r1, a.r1, _MM_SHUFFLE(0, 0, 0, 1)),   // a11 a10 a10 a10
                                  _mm_shuffle_ps(c35, c35, _MM_SHUFFLE(0, 2, 3, 3)));    // c5 c5 c4 c3
  const __m128 c24 = _mm_shuffle_ps(c03, c45, _MM_SHUFFLE(0, 0, 2, 1));  // c1 c2 c4 c4
  const __m128 second = _mm_mul_ps(_mm_shuffle_ps(a.r1, a.r1, _MM_SHUFFLE(1, 1, 2, 2)),  // a12 a12 a11 a11
                                   _mm_shuffle_ps(c24, c24, _MM_SHUFFLE(0, 1, 1, 2)));   // c4 c2 c2 c1
  const __m128 third = _mm_mul_ps(_mm_shuffle_ps(a.r1, a.r1, _MM_SHUFFLE(2, 3, 3, 3)),   // a13 a13 a13 a12
                                  _mm_shuffle_ps(c03, c03, _MM_SHUFFLE(0, 0, 1, 3)));    // c3 c1 c0 c0
  const __m128 column = _mm_mul_ps(_mm_setr_ps(1.0f, -1.0f, 1.0f, -1.0f),
                                   _mm_add_ps(_mm_sub_ps(first, second), third));
  return lane0(dot4(a.r0, column));
}

KV_TARGET_SSE Matrix *sseMatrixInverse(Matrix *out, float *determinant, const Matrix *m) {
  const Adjugate adj = adjugate(m);
  const float d = lane0(adj.determinant);
  if (determinant) *determinant = d;
  if (d == 0.0f) return nullptr;
  const float k = 1.0f / d;
  if (!std::isfinite(k)) return nullptr;
  const __m128 scale = _mm_set1_ps(k);
  storeRows(out, {_mm_mul_ps(adj.rows.r0, scale), _mm_mul_ps(adj.rows.r1, scale), _mm_mul_ps(adj.rows.r2, scale),
                  _mm_mul_ps(adj.rows.r3, scale)});
  return out;
}

}  // namespace kv
#endif
