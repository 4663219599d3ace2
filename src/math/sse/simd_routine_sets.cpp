// Which slots the SSE and SSE2 sets replace. The two sets share their routines (SSE2
// adds nothing to float arithmetic); they differ only in the half-float conversions and
// in the quaternion inverse, which only the SSE set replaces.
#include "math/table/routine_sets.h"
#include "math/sse/simd_routines.h"

namespace kv {

bool simdRoutinesBuilt() { return KV_MATH_HAS_SIMD != 0; }

namespace {

#if KV_MATH_HAS_SIMD
// The strided transforms, also laid over the 3DNow! path on processors with SSE.
void installArrayRoutines(MathDispatchTable &table) {
  table.vec2TransformArray = &sseVec2TransformArray;
  table.vec2TransformPointArray = &sseVec2TransformPointArray;
  table.vec2TransformDirectionArray = &sseVec2TransformDirectionArray;
  table.vec3TransformArray = &sseVec3TransformArray;
  table.vec3TransformPointArray = &sseVec3TransformPointArray;
  table.vec3TransformDirectionArray = &sseVec3TransformDirectionArray;
  table.vec4TransformArray = &sseVec4TransformArray;
  table.planeTransformArray = &ssePlaneTransformArray;
}

void installSharedRoutines(MathDispatchTable &table) {
  table.vec2Transform = &sseVec2Transform;
  table.vec3Transform = &sseVec3Transform;
  table.vec4Transform = &sseVec4Transform;
  table.matrixMultiply = &sseMatrixMultiply;
  table.matrixMultiplyTranspose = &sseMatrixMultiplyTranspose;
  table.vec2TransformDirection = &sseVec2TransformDirection;
  table.vec3TransformDirection = &sseVec3TransformDirection;
  table.vec3Normalize = &sseVec3Normalize;
  table.vec4Normalize = &sseVec4Normalize;
  table.vec2TransformPoint = &sseVec2TransformPoint;
  table.vec3TransformPoint = &sseVec3TransformPoint;
  table.matrixDeterminant = &sseMatrixDeterminant;
  table.planeFromPoints = &ssePlaneFromPoints;
  table.vec4Cross = &sseVec4Cross;
  table.vec2Hermite = &sseVec2Hermite;
  table.matrixInverse = &sseMatrixInverse;
  table.quaternionMultiply = &sseQuaternionMultiply;
  table.quaternionNormalize = &sseQuaternionNormalize;
  table.planeNormalize = &ssePlaneNormalize;
  table.planeIntersectLine = &ssePlaneIntersectLine;
  table.quaternionFromMatrix = &sseQuaternionFromMatrix;
  table.quaternionFromYawPitchRoll = &sseQuaternionFromYawPitchRoll;
  table.matrixShadow = &sseMatrixShadow;
  table.matrixReflect = &sseMatrixReflect;
  table.planeTransform = &ssePlaneTransform;
  table.vec2CatmullRom = &sseVec2CatmullRom;
  table.vec2Barycentric = &sseVec2Barycentric;
  table.vec3Hermite = &sseVec3Hermite;
  table.vec3CatmullRom = &sseVec3CatmullRom;
  table.vec3Barycentric = &sseVec3Barycentric;
  table.vec4Hermite = &sseVec4Hermite;
  table.vec4CatmullRom = &sseVec4CatmullRom;
  table.vec4Barycentric = &sseVec4Barycentric;
  installArrayRoutines(table);
  table.evaluateTrianglePatch = &sseEvaluateTrianglePatch;
}
#endif

}  // namespace

void installSseRoutines(MathDispatchTable &table) {
#if KV_MATH_HAS_SIMD
  installSharedRoutines(table);
  table.quaternionInverse = &sseQuaternionInverse;
  table.float16To32Array = &sseFloat16To32Array;
#else
  (void)table;
#endif
}

void installSse2Routines(MathDispatchTable &table) {
#if KV_MATH_HAS_SIMD
  installSharedRoutines(table);
  // The SSE2 set also converts floats to halves with integer vectors; the result is the
  // baseline's bit for bit, so callers see no difference but speed.
  table.float32To16Array = &sse2Float32To16Array;
  table.float16To32Array = &sse2Float16To32Array;
#else
  (void)table;
#endif
}

// The SSE array routines (slots 60 to 66 and 69) that the 3DNow! path adds on processors
// that also have SSE.
void installSseArrayRoutines(MathDispatchTable &table) {
#if KV_MATH_HAS_SIMD
  installArrayRoutines(table);
#else
  (void)table;
#endif
}

}  // namespace kv
