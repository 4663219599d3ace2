// The SSE and SSE2 routines (x86 builds only; see routine_sets.h for where they go).
#pragma once

#include <cstdint>

#include "math/scene_math.h"

#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
#define KV_MATH_HAS_SIMD 1
#else
#define KV_MATH_HAS_SIMD 0
#endif

#if KV_MATH_HAS_SIMD
#if defined(__GNUC__)
#define KV_TARGET_SSE __attribute__((target("sse")))
#define KV_TARGET_SSE2 __attribute__((target("sse2")))
#else
#define KV_TARGET_SSE
#define KV_TARGET_SSE2
#endif

namespace kv {

// Shared by the SSE and SSE2 sets: the product needs nothing beyond SSE.
Matrix *sseMatrixMultiply(Matrix *out, const Matrix *a, const Matrix *b);
// Shared by the SSE and SSE2 sets: zero below 2^-46, refined processor estimate.
Vector3 *sseVec3Normalize(Vector3 *out, const Vector3 *v);
float *sseFloat16To32Array(float *out, const uint16_t *in, unsigned count);
float *sse2Float16To32Array(float *out, const uint16_t *in, unsigned count);
uint16_t *sse2Float32To16Array(uint16_t *out, const float *in, unsigned count);

}  // namespace kv
#endif
