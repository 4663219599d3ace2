// The math routine table: one routine pointer per operation, in a fixed slot order,
// filled once for the processor on the first call of any math operation and read-only
// afterwards. Callers never read it; they call the operation entries (scene_math.h,
// vector_math.h, quaternion_math.h, matrix_math.h, half_float.h), each of which only
// continues through its slot.
#pragma once

#include <windows.h>

#include <cstdint>

#include "math/math_types.h"

namespace kv {

// Routine types, one per operation.
using Vec2TransformFn = Vector4 *(*)(Vector4 *out, const Vector2 *v, const Matrix *m);
using Vec3TransformFn = Vector4 *(*)(Vector4 *out, const Vector3 *v, const Matrix *m);
using Vec4TransformFn = Vector4 *(*)(Vector4 *out, const Vector4 *v, const Matrix *m);
using MatrixProductFn = Matrix *(*)(Matrix *out, const Matrix *a, const Matrix *b);
using Vec2MapFn = Vector2 *(*)(Vector2 *out, const Vector2 *v, const Matrix *m);
using Vec3MapFn = Vector3 *(*)(Vector3 *out, const Vector3 *v, const Matrix *m);
using Vec2NormalizeFn = Vector2 *(*)(Vector2 *out, const Vector2 *v);
using Vec3NormalizeFn = Vector3 *(*)(Vector3 *out, const Vector3 *v);
using Vec4NormalizeFn = Vector4 *(*)(Vector4 *out, const Vector4 *v);
using MatrixDeterminantFn = float (*)(const Matrix *m);
using MatrixDecomposeFn = HRESULT (*)(Vector3 *scale, Quaternion *rotation, Vector3 *translation, const Matrix *m);
using PlaneFromPointNormalFn = Plane *(*)(Plane *out, const Vector3 *point, const Vector3 *normal);
using PlaneFromPointsFn = Plane *(*)(Plane *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3);
using Vec3ProjectFn = Vector3 *(*)(Vector3 *out, const Vector3 *v, const Viewport *viewport, const Matrix *projection,
                                   const Matrix *view, const Matrix *world);
using Vec4CrossFn = Vector4 *(*)(Vector4 *out, const Vector4 *u, const Vector4 *v, const Vector4 *w);
using Vec2HermiteFn = Vector2 *(*)(Vector2 *out, const Vector2 *p1, const Vector2 *t1, const Vector2 *p2,
                                   const Vector2 *t2, float s);
using Vec3HermiteFn = Vector3 *(*)(Vector3 *out, const Vector3 *p1, const Vector3 *t1, const Vector3 *p2,
                                   const Vector3 *t2, float s);
using Vec4HermiteFn = Vector4 *(*)(Vector4 *out, const Vector4 *p1, const Vector4 *t1, const Vector4 *p2,
                                   const Vector4 *t2, float s);
using Vec2CatmullRomFn = Vector2 *(*)(Vector2 *out, const Vector2 *p0, const Vector2 *p1, const Vector2 *p2,
                                      const Vector2 *p3, float s);
using Vec3CatmullRomFn = Vector3 *(*)(Vector3 *out, const Vector3 *p0, const Vector3 *p1, const Vector3 *p2,
                                      const Vector3 *p3, float s);
using Vec4CatmullRomFn = Vector4 *(*)(Vector4 *out, const Vector4 *p0, const Vector4 *p1, const Vector4 *p2,
                                      const Vector4 *p3, float s);
using Vec2BarycentricFn = Vector2 *(*)(Vector2 *out, const Vector2 *p1, const Vector2 *p2, const Vector2 *p3, float f,
                                       float g);
using Vec3BarycentricFn = Vector3 *(*)(Vector3 *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3, float f,
                                       float g);
using Vec4BarycentricFn = Vector4 *(*)(Vector4 *out, const Vector4 *p1, const Vector4 *p2, const Vector4 *p3, float f,
                                       float g);
using MatrixInverseFn = Matrix *(*)(Matrix *out, float *determinant, const Matrix *m);
using QuaternionProductFn = Quaternion *(*)(Quaternion *out, const Quaternion *a, const Quaternion *b);
using QuaternionUnaryFn = Quaternion *(*)(Quaternion *out, const Quaternion *q);
using PlaneNormalizeFn = Plane *(*)(Plane *out, const Plane *p);
using PlaneIntersectLineFn = Vector3 *(*)(Vector3 *out, const Plane *plane, const Vector3 *p1, const Vector3 *p2);
using QuaternionToAxisAngleFn = void (*)(const Quaternion *q, Vector3 *axis, float *angle);
using QuaternionFromMatrixFn = Quaternion *(*)(Quaternion *out, const Matrix *m);
using QuaternionFromYawPitchRollFn = Quaternion *(*)(Quaternion *out, float yaw, float pitch, float roll);
using MatrixFromThreeFloatsFn = Matrix *(*)(Matrix *out, float x, float y, float z);
using MatrixShadowFn = Matrix *(*)(Matrix *out, const Vector4 *light, const Plane *plane);
using MatrixReflectFn = Matrix *(*)(Matrix *out, const Plane *plane);
using QuaternionFromAxisAngleFn = Quaternion *(*)(Quaternion *out, const Vector3 *axis, float angle);
using MatrixRotationFn = Matrix *(*)(Matrix *out, float angle);
using PlaneTransformFn = Plane *(*)(Plane *out, const Plane *p, const Matrix *m);
using QuaternionSlerpFn = Quaternion *(*)(Quaternion *out, const Quaternion *q1, const Quaternion *q2, float t);
using QuaternionBarycentricFn = Quaternion *(*)(Quaternion *out, const Quaternion *q1, const Quaternion *q2,
                                                const Quaternion *q3, float f, float g);
using MatrixTransposeFn = Matrix *(*)(Matrix *out, const Matrix *m);
using MatrixRotationQuaternionFn = Matrix *(*)(Matrix *out, const Quaternion *q);
using MatrixTransformationFn = Matrix *(*)(Matrix *out, const Vector3 *scalingCenter,
                                           const Quaternion *scalingRotation, const Vector3 *scaling,
                                           const Vector3 *rotationCenter, const Quaternion *rotation,
                                           const Vector3 *translation);
using MatrixAffineTransformationFn = Matrix *(*)(Matrix *out, float scaling, const Vector3 *rotationCenter,
                                                 const Quaternion *rotation, const Vector3 *translation);
using MatrixRotationAxisFn = Matrix *(*)(Matrix *out, const Vector3 *axis, float angle);
using QuaternionSquadFn = Quaternion *(*)(Quaternion *out, const Quaternion *q1, const Quaternion *a,
                                          const Quaternion *b, const Quaternion *c, float t);
using QuaternionSquadSetupFn = void (*)(Quaternion *outA, Quaternion *outB, Quaternion *outC, const Quaternion *q0,
                                        const Quaternion *q1, const Quaternion *q2, const Quaternion *q3);
using Float32To16ArrayFn = uint16_t *(*)(uint16_t *out, const float *in, UINT count);
using Float16To32ArrayFn = float *(*)(float *out, const uint16_t *in, UINT count);
using Vec2TransformArrayFn = Vector4 *(*)(Vector4 *out, UINT outStride, const Vector2 *in, UINT inStride,
                                          const Matrix *m, UINT count);
using Vec2MapArrayFn = Vector2 *(*)(Vector2 *out, UINT outStride, const Vector2 *in, UINT inStride, const Matrix *m,
                                    UINT count);
using Vec3TransformArrayFn = Vector4 *(*)(Vector4 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                          const Matrix *m, UINT count);
using Vec3MapArrayFn = Vector3 *(*)(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride, const Matrix *m,
                                    UINT count);
using Vec4TransformArrayFn = Vector4 *(*)(Vector4 *out, UINT outStride, const Vector4 *in, UINT inStride,
                                          const Matrix *m, UINT count);
using Vec3ProjectArrayFn = Vector3 *(*)(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                        const Viewport *viewport, const Matrix *projection, const Matrix *view,
                                        const Matrix *world, UINT count);
using PlaneTransformArrayFn = Plane *(*)(Plane *out, UINT outStride, const Plane *in, UINT inStride, const Matrix *m,
                                         UINT count);
using BlendVerticesFn = void *(*)(const Matrix *palette, const Matrix *normalPalette, const void *verticesIn,
                                  void *verticesOut, UINT vertexCount, UINT vertexStride,
                                  const VertexElement *position, const VertexElement *normal,
                                  const float *blendWeights);
using EvaluateTrianglePatchFn = Vector3 *(*)(const Vector3 *corners, const Vector3 *normals,
                                             const Vector2 *parameters, UINT count, Vector3 *out);
using MatrixTransformation2DFn = Matrix *(*)(Matrix *out, const Vector2 *scalingCenter, float scalingRotation,
                                             const Vector2 *scaling, const Vector2 *rotationCenter, float rotation,
                                             const Vector2 *translation);
using MatrixAffineTransformation2DFn = Matrix *(*)(Matrix *out, float scaling, const Vector2 *rotationCenter,
                                                   float rotation, const Vector2 *translation);

// The 74 slots, in their fixed order (the comment is the slot number).
struct MathDispatchTable {
  Vec2TransformFn vec2Transform;                                // 0
  Vec3TransformFn vec3Transform;                                // 1
  Vec4TransformFn vec4Transform;                                // 2
  MatrixProductFn matrixMultiply;                               // 3
  MatrixProductFn matrixMultiplyTranspose;                      // 4
  Vec2MapFn vec2TransformDirection;                             // 5
  Vec3MapFn vec3TransformDirection;                             // 6
  Vec3NormalizeFn vec3Normalize;                                // 7
  Vec4NormalizeFn vec4Normalize;                                // 8
  Vec2MapFn vec2TransformPoint;                                 // 9
  Vec3MapFn vec3TransformPoint;                                 // 10
  MatrixDeterminantFn matrixDeterminant;                        // 11
  MatrixDecomposeFn matrixDecompose;                            // 12
  PlaneFromPointNormalFn planeFromPointNormal;                  // 13
  PlaneFromPointsFn planeFromPoints;                            // 14
  Vec3ProjectFn vec3Project;                                    // 15
  Vec3ProjectFn vec3Unproject;                                  // 16
  Vec4CrossFn vec4Cross;                                        // 17
  Vec2HermiteFn vec2Hermite;                                    // 18
  MatrixInverseFn matrixInverse;                                // 19
  QuaternionProductFn quaternionMultiply;                       // 20
  QuaternionUnaryFn quaternionNormalize;                        // 21
  PlaneNormalizeFn planeNormalize;                              // 22
  PlaneIntersectLineFn planeIntersectLine;                      // 23
  QuaternionToAxisAngleFn quaternionToAxisAngle;                // 24
  QuaternionFromMatrixFn quaternionFromMatrix;                  // 25
  QuaternionFromYawPitchRollFn quaternionFromYawPitchRoll;      // 26
  MatrixFromThreeFloatsFn matrixTranslation;                    // 27
  MatrixShadowFn matrixShadow;                                  // 28
  MatrixReflectFn matrixReflect;                                // 29
  QuaternionFromAxisAngleFn quaternionFromAxisAngle;            // 30
  MatrixRotationFn matrixRotationX;                             // 31
  MatrixRotationFn matrixRotationY;                             // 32
  MatrixRotationFn matrixRotationZ;                             // 33
  MatrixFromThreeFloatsFn matrixScaling;                        // 34
  PlaneTransformFn planeTransform;                              // 35
  QuaternionSlerpFn quaternionSlerp;                            // 36
  QuaternionBarycentricFn quaternionBarycentric;                // 37
  MatrixTransposeFn matrixTranspose;                            // 38
  MatrixRotationQuaternionFn matrixRotationQuaternion;          // 39
  MatrixTransformationFn matrixTransformation;                  // 40
  MatrixFromThreeFloatsFn matrixRotationYawPitchRoll;           // 41
  MatrixAffineTransformationFn matrixAffineTransformation;      // 42
  MatrixRotationAxisFn matrixRotationAxis;                      // 43
  QuaternionSquadFn quaternionSquad;                            // 44
  QuaternionUnaryFn quaternionInverse;                          // 45
  QuaternionSquadSetupFn quaternionSquadSetup;                  // 46
  Vec2NormalizeFn vec2Normalize;                                // 47
  Vec2CatmullRomFn vec2CatmullRom;                              // 48
  Vec2BarycentricFn vec2Barycentric;                            // 49
  Vec3HermiteFn vec3Hermite;                                    // 50
  Vec3CatmullRomFn vec3CatmullRom;                              // 51
  Vec3BarycentricFn vec3Barycentric;                            // 52
  Vec4HermiteFn vec4Hermite;                                    // 53
  Vec4CatmullRomFn vec4CatmullRom;                              // 54
  Vec4BarycentricFn vec4Barycentric;                            // 55
  QuaternionUnaryFn quaternionLn;                               // 56
  QuaternionUnaryFn quaternionExp;                              // 57
  Float32To16ArrayFn float32To16Array;                          // 58
  Float16To32ArrayFn float16To32Array;                          // 59
  Vec2TransformArrayFn vec2TransformArray;                      // 60
  Vec2MapArrayFn vec2TransformPointArray;                       // 61
  Vec2MapArrayFn vec2TransformDirectionArray;                   // 62
  Vec3TransformArrayFn vec3TransformArray;                      // 63
  Vec3MapArrayFn vec3TransformPointArray;                       // 64
  Vec3MapArrayFn vec3TransformDirectionArray;                   // 65
  Vec4TransformArrayFn vec4TransformArray;                      // 66
  Vec3ProjectArrayFn vec3ProjectArray;                          // 67
  Vec3ProjectArrayFn vec3UnprojectArray;                        // 68
  PlaneTransformArrayFn planeTransformArray;                    // 69
  BlendVerticesFn blendVertices;                                // 70
  EvaluateTrianglePatchFn evaluateTrianglePatch;                // 71
  MatrixTransformation2DFn matrixTransformation2D;              // 72
  MatrixAffineTransformation2DFn matrixAffineTransformation2D;  // 73
};

constexpr int kMathSlotCount = 74;

// MathVariant: the outcome of the set-up.
constexpr DWORD kMathVariantNotSetUp = 0xFFFF;
constexpr DWORD kMathVariantBaseline = 0;
constexpr DWORD kMathVariant3DNow = 1;
constexpr DWORD kMathVariantSse2 = 2;
constexpr DWORD kMathVariantSse = 3;

// Which routine groups the set-up installed over the baseline list (a bit set).
enum MathRoutineGroup : DWORD {
  kRoutinesBaseline = 0,
  kRoutines3DNow = 0x1,
  kRoutines3DNowExtended = 0x2,
  kRoutinesSseArrays = 0x4,
  kRoutinesSse = 0x8,
  kRoutinesSse2 = 0x10,
};

// The table itself: written only by the set-up (and the test hooks). Before set-up every
// slot holds its first-call stub.
extern MathDispatchTable g_mathDispatchTable;

// Fills the table for this processor and the Direct3D settings on the first call;
// later calls change nothing. Returns MathVariant. Request 1 is the only value used.
DWORD setUpMathDispatch(DWORD request);

// MathVariant as it stands (kMathVariantNotSetUp before set-up).
DWORD mathVariant();

// The routine groups installed by the set-up (kRoutinesBaseline before set-up too).
DWORD installedMathRoutineGroups();

}  // namespace kv
