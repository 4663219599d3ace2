// The SSE and SSE2 routines (x86 builds only; see routine_sets.h for where they go).
#pragma once

#include <cstdint>

#include <windows.h>

#include "math/math_types.h"

#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
#define KV_MATH_HAS_SIMD 1
#else
#define KV_MATH_HAS_SIMD 0
#endif

#if KV_MATH_HAS_SIMD
#if defined(__GNUC__)
#define KV_TARGET_SSE __attribute__((target("sse")))
#define KV_TARGET_SSE2 __attribute__((target("sse2")))
#define KV_TARGET_AVX2 __attribute__((target("avx2")))
#else
#define KV_TARGET_SSE
#define KV_TARGET_SSE2
#define KV_TARGET_AVX2
#endif

namespace kv {

// Shared by the SSE and SSE2 sets: the product needs nothing beyond SSE.
Matrix *sseMatrixMultiply(Matrix *out, const Matrix *a, const Matrix *b);
// Shared by the SSE and SSE2 sets: zero below 2^-46, refined processor estimate.
Vector3 *sseVec3Normalize(Vector3 *out, const Vector3 *v);
float *sseFloat16To32Array(float *out, const uint16_t *in, unsigned count);
float *sse2Float16To32Array(float *out, const uint16_t *in, unsigned count);
uint16_t *sse2Float32To16Array(uint16_t *out, const float *in, unsigned count);

// Shared by the SSE and SSE2 sets unless noted.
Vector4 *sseVec2Transform(Vector4 *out, const Vector2 *v, const Matrix *m);
Vector4 *sseVec3Transform(Vector4 *out, const Vector3 *v, const Matrix *m);
Vector4 *sseVec4Transform(Vector4 *out, const Vector4 *v, const Matrix *m);
Plane *ssePlaneTransform(Plane *out, const Plane *p, const Matrix *m);
Vector2 *sseVec2TransformDirection(Vector2 *out, const Vector2 *v, const Matrix *m);
Vector3 *sseVec3TransformDirection(Vector3 *out, const Vector3 *v, const Matrix *m);
Vector2 *sseVec2TransformPoint(Vector2 *out, const Vector2 *v, const Matrix *m);
Vector3 *sseVec3TransformPoint(Vector3 *out, const Vector3 *v, const Matrix *m);
Vector4 *sseVec2TransformArray(Vector4 *out, UINT outStride, const Vector2 *in, UINT inStride, const Matrix *m,
                               UINT count);
Vector2 *sseVec2TransformPointArray(Vector2 *out, UINT outStride, const Vector2 *in, UINT inStride, const Matrix *m,
                                    UINT count);
Vector2 *sseVec2TransformDirectionArray(Vector2 *out, UINT outStride, const Vector2 *in, UINT inStride,
                                        const Matrix *m, UINT count);
Vector4 *sseVec3TransformArray(Vector4 *out, UINT outStride, const Vector3 *in, UINT inStride, const Matrix *m,
                               UINT count);
Vector3 *sseVec3TransformPointArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride, const Matrix *m,
                                    UINT count);
Vector3 *sseVec3TransformDirectionArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                        const Matrix *m, UINT count);
Vector4 *sseVec4TransformArray(Vector4 *out, UINT outStride, const Vector4 *in, UINT inStride, const Matrix *m,
                               UINT count);
Plane *ssePlaneTransformArray(Plane *out, UINT outStride, const Plane *in, UINT inStride, const Matrix *m,
                              UINT count);

Matrix *sseMatrixMultiplyTranspose(Matrix *out, const Matrix *a, const Matrix *b);
float sseMatrixDeterminant(const Matrix *m);
Matrix *sseMatrixInverse(Matrix *out, float *determinant, const Matrix *m);

// Zero where the baseline gives zero (q at or below 2^-126, or not a number): no
// not-a-number from a zero-length input, unit length for any longer one.
Vector4 *sseVec4Normalize(Vector4 *out, const Vector4 *v);
Quaternion *sseQuaternionNormalize(Quaternion *out, const Quaternion *q);
Vector4 *sseVec4Cross(Vector4 *out, const Vector4 *u, const Vector4 *v, const Vector4 *w);
Vector2 *sseVec2Hermite(Vector2 *out, const Vector2 *p1, const Vector2 *t1, const Vector2 *p2, const Vector2 *t2,
                        float s);
Vector3 *sseVec3Hermite(Vector3 *out, const Vector3 *p1, const Vector3 *t1, const Vector3 *p2, const Vector3 *t2,
                        float s);
Vector4 *sseVec4Hermite(Vector4 *out, const Vector4 *p1, const Vector4 *t1, const Vector4 *p2, const Vector4 *t2,
                        float s);
Vector2 *sseVec2CatmullRom(Vector2 *out, const Vector2 *p0, const Vector2 *p1, const Vector2 *p2, const Vector2 *p3,
                           float s);
Vector3 *sseVec3CatmullRom(Vector3 *out, const Vector3 *p0, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3,
                           float s);
Vector4 *sseVec4CatmullRom(Vector4 *out, const Vector4 *p0, const Vector4 *p1, const Vector4 *p2, const Vector4 *p3,
                           float s);
Vector2 *sseVec2Barycentric(Vector2 *out, const Vector2 *p1, const Vector2 *p2, const Vector2 *p3, float f, float g);
Vector3 *sseVec3Barycentric(Vector3 *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3, float f, float g);
Vector4 *sseVec4Barycentric(Vector4 *out, const Vector4 *p1, const Vector4 *p2, const Vector4 *p3, float f, float g);

Quaternion *sseQuaternionMultiply(Quaternion *out, const Quaternion *a, const Quaternion *b);
// The SSE set only; the SSE2 set keeps the baseline inverse.
Quaternion *sseQuaternionInverse(Quaternion *out, const Quaternion *q);
Quaternion *sseQuaternionFromMatrix(Quaternion *out, const Matrix *m);
Quaternion *sseQuaternionFromYawPitchRoll(Quaternion *out, float yaw, float pitch, float roll);

Plane *ssePlaneFromPoints(Plane *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3);
// Zero below q = 2^-46 and for not-a-numbers; no unit-length shortcut.
Plane *ssePlaneNormalize(Plane *out, const Plane *p);
Vector3 *ssePlaneIntersectLine(Vector3 *out, const Plane *plane, const Vector3 *p1, const Vector3 *p2);
Matrix *sseMatrixShadow(Matrix *out, const Vector4 *light, const Plane *plane);
Matrix *sseMatrixReflect(Matrix *out, const Plane *plane);

Vector3 *sseEvaluateTrianglePatch(const Vector3 *corners, const Vector3 *normals, const Vector2 *parameters,
                                  UINT count, Vector3 *out);

}  // namespace kv
#endif
