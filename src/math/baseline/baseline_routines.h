// The baseline routines: plain C++ for every processor, the reference for every other set.
#pragma once

#include <windows.h>

#include <cstdint>

#include "math/math_types.h"

namespace kv {

// The scene's operations.
Matrix *baselineMatrixMultiply(Matrix *out, const Matrix *a, const Matrix *b);
Matrix *baselineMatrixTranslation(Matrix *out, float x, float y, float z);
Matrix *baselineMatrixScaling(Matrix *out, float sx, float sy, float sz);
Matrix *baselineMatrixRotationX(Matrix *out, float angle);
Matrix *baselineMatrixRotationY(Matrix *out, float angle);
Matrix *baselineMatrixRotationZ(Matrix *out, float angle);
Vector3 *baselineVec3Normalize(Vector3 *out, const Vector3 *v);
uint16_t *baselineFloat32To16Array(uint16_t *out, const float *in, unsigned count);
float *baselineFloat16To32Array(float *out, const uint16_t *in, unsigned count);

// Transforms of single vectors and of strided arrays.
Vector4 *baselineVec2Transform(Vector4 *out, const Vector2 *v, const Matrix *m);
Vector4 *baselineVec3Transform(Vector4 *out, const Vector3 *v, const Matrix *m);
Vector4 *baselineVec4Transform(Vector4 *out, const Vector4 *v, const Matrix *m);
Vector2 *baselineVec2TransformDirection(Vector2 *out, const Vector2 *v, const Matrix *m);
Vector3 *baselineVec3TransformDirection(Vector3 *out, const Vector3 *v, const Matrix *m);
Vector2 *baselineVec2TransformPoint(Vector2 *out, const Vector2 *v, const Matrix *m);
Vector3 *baselineVec3TransformPoint(Vector3 *out, const Vector3 *v, const Matrix *m);
Plane *baselinePlaneTransform(Plane *out, const Plane *p, const Matrix *m);
Vector4 *baselineVec2TransformArray(Vector4 *out, UINT outStride, const Vector2 *in, UINT inStride, const Matrix *m,
                                    UINT count);
Vector2 *baselineVec2TransformPointArray(Vector2 *out, UINT outStride, const Vector2 *in, UINT inStride,
                                         const Matrix *m, UINT count);
Vector2 *baselineVec2TransformDirectionArray(Vector2 *out, UINT outStride, const Vector2 *in, UINT inStride,
                                             const Matrix *m, UINT count);
Vector4 *baselineVec3TransformArray(Vector4 *out, UINT outStride, const Vector3 *in, UINT inStride, const Matrix *m,
                                    UINT count);
Vector3 *baselineVec3TransformPointArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                         const Matrix *m, UINT count);
Vector3 *baselineVec3TransformDirectionArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                             const Matrix *m, UINT count);
Vector4 *baselineVec4TransformArray(Vector4 *out, UINT outStride, const Vector4 *in, UINT inStride, const Matrix *m,
                                    UINT count);
Plane *baselinePlaneTransformArray(Plane *out, UINT outStride, const Plane *in, UINT inStride, const Matrix *m,
                                   UINT count);

// Other vector operations.
Vector2 *baselineVec2Normalize(Vector2 *out, const Vector2 *v);
Vector4 *baselineVec4Normalize(Vector4 *out, const Vector4 *v);
Quaternion *baselineQuaternionNormalize(Quaternion *out, const Quaternion *q);
Vector4 *baselineVec4Cross(Vector4 *out, const Vector4 *u, const Vector4 *v, const Vector4 *w);
Vector2 *baselineVec2Hermite(Vector2 *out, const Vector2 *p1, const Vector2 *t1, const Vector2 *p2,
                             const Vector2 *t2, float s);
Vector3 *baselineVec3Hermite(Vector3 *out, const Vector3 *p1, const Vector3 *t1, const Vector3 *p2,
                             const Vector3 *t2, float s);
Vector4 *baselineVec4Hermite(Vector4 *out, const Vector4 *p1, const Vector4 *t1, const Vector4 *p2,
                             const Vector4 *t2, float s);
Vector2 *baselineVec2CatmullRom(Vector2 *out, const Vector2 *p0, const Vector2 *p1, const Vector2 *p2,
                                const Vector2 *p3, float s);
Vector3 *baselineVec3CatmullRom(Vector3 *out, const Vector3 *p0, const Vector3 *p1, const Vector3 *p2,
                                const Vector3 *p3, float s);
Vector4 *baselineVec4CatmullRom(Vector4 *out, const Vector4 *p0, const Vector4 *p1, const Vector4 *p2,
                                const Vector4 *p3, float s);
Vector2 *baselineVec2Barycentric(Vector2 *out, const Vector2 *p1, const Vector2 *p2, const Vector2 *p3, float f,
                                 float g);
Vector3 *baselineVec3Barycentric(Vector3 *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3, float f,
                                 float g);
Vector4 *baselineVec4Barycentric(Vector4 *out, const Vector4 *p1, const Vector4 *p2, const Vector4 *p3, float f,
                                 float g);

// Projection to a viewport and back.
Vector3 *baselineVec3Project(Vector3 *out, const Vector3 *v, const Viewport *viewport, const Matrix *projection,
                             const Matrix *view, const Matrix *world);
Vector3 *baselineVec3Unproject(Vector3 *out, const Vector3 *v, const Viewport *viewport, const Matrix *projection,
                               const Matrix *view, const Matrix *world);
Vector3 *baselineVec3ProjectArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                  const Viewport *viewport, const Matrix *projection, const Matrix *view,
                                  const Matrix *world, UINT count);
Vector3 *baselineVec3UnprojectArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                    const Viewport *viewport, const Matrix *projection, const Matrix *view,
                                    const Matrix *world, UINT count);

// Vertex blending and the triangular patch.
void *baselineBlendVertices(const Matrix *palette, const Matrix *normalPalette, const void *verticesIn,
                            void *verticesOut, UINT vertexCount, UINT vertexStride, const VertexElement *position,
                            const VertexElement *normal, const float *blendWeights);
Vector3 *baselineEvaluateTrianglePatch(const Vector3 *corners, const Vector3 *normals, const Vector2 *parameters,
                                       UINT count, Vector3 *out);

// Planes.
Plane *baselinePlaneFromPointNormal(Plane *out, const Vector3 *point, const Vector3 *normal);
Plane *baselinePlaneFromPoints(Plane *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3);
Plane *baselinePlaneNormalize(Plane *out, const Plane *p);
Vector3 *baselinePlaneIntersectLine(Vector3 *out, const Plane *plane, const Vector3 *p1, const Vector3 *p2);

// Quaternions.
Quaternion *baselineQuaternionMultiply(Quaternion *out, const Quaternion *a, const Quaternion *b);
Quaternion *baselineQuaternionInverse(Quaternion *out, const Quaternion *q);
void baselineQuaternionToAxisAngle(const Quaternion *q, Vector3 *axis, float *angle);
Quaternion *baselineQuaternionFromMatrix(Quaternion *out, const Matrix *m);
Quaternion *baselineQuaternionFromYawPitchRoll(Quaternion *out, float yaw, float pitch, float roll);
Quaternion *baselineQuaternionFromAxisAngle(Quaternion *out, const Vector3 *axis, float angle);
Quaternion *baselineQuaternionLn(Quaternion *out, const Quaternion *q);
Quaternion *baselineQuaternionExp(Quaternion *out, const Quaternion *q);
Quaternion *baselineQuaternionSlerp(Quaternion *out, const Quaternion *q1, const Quaternion *q2, float t);
Quaternion *baselineQuaternionBarycentric(Quaternion *out, const Quaternion *q1, const Quaternion *q2,
                                          const Quaternion *q3, float f, float g);
Quaternion *baselineQuaternionSquad(Quaternion *out, const Quaternion *q1, const Quaternion *a, const Quaternion *b,
                                    const Quaternion *c, float t);
void baselineQuaternionSquadSetup(Quaternion *outA, Quaternion *outB, Quaternion *outC, const Quaternion *q0,
                                  const Quaternion *q1, const Quaternion *q2, const Quaternion *q3);

// Matrices.
Matrix *baselineMatrixMultiplyTranspose(Matrix *out, const Matrix *a, const Matrix *b);
float baselineMatrixDeterminant(const Matrix *m);
Matrix *baselineMatrixInverse(Matrix *out, float *determinant, const Matrix *m);
Matrix *baselineMatrixTranspose(Matrix *out, const Matrix *m);
HRESULT baselineMatrixDecompose(Vector3 *scale, Quaternion *rotation, Vector3 *translation, const Matrix *m);
Matrix *baselineMatrixRotationAxis(Matrix *out, const Vector3 *axis, float angle);
Matrix *baselineMatrixRotationQuaternion(Matrix *out, const Quaternion *q);
Matrix *baselineMatrixRotationYawPitchRoll(Matrix *out, float yaw, float pitch, float roll);
Matrix *baselineMatrixShadow(Matrix *out, const Vector4 *light, const Plane *plane);
Matrix *baselineMatrixReflect(Matrix *out, const Plane *plane);
Matrix *baselineMatrixTransformation(Matrix *out, const Vector3 *scalingCenter, const Quaternion *scalingRotation,
                                     const Vector3 *scaling, const Vector3 *rotationCenter,
                                     const Quaternion *rotation, const Vector3 *translation);
Matrix *baselineMatrixAffineTransformation(Matrix *out, float scaling, const Vector3 *rotationCenter,
                                           const Quaternion *rotation, const Vector3 *translation);
Matrix *baselineMatrixTransformation2D(Matrix *out, const Vector2 *scalingCenter, float scalingRotation,
                                       const Vector2 *scaling, const Vector2 *rotationCenter, float rotation,
                                       const Vector2 *translation);
Matrix *baselineMatrixAffineTransformation2D(Matrix *out, float scaling, const Vector2 *rotationCenter,
                                             float rotation, const Vector2 *translation);

}  // namespace kv
