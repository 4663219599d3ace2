// The portable routine list: the baseline routine of every slot, from which the set-up
// fills the table. Slots whose operations are not written yet hold their placeholder
// (placeholder_routine.h), so every slot can always be called.
#include "math/baseline/baseline_routines.h"
#include "math/table/placeholder_routine.h"
#include "math/table/routine_sets.h"

namespace kv {

namespace {

// Designated in slot order: the compiler rejects a name out of its place.
constexpr MathDispatchTable kPortableRoutineList = {
    .vec2Transform = placeholderRoutine<Vec2TransformFn>,
    .vec3Transform = placeholderRoutine<Vec3TransformFn>,
    .vec4Transform = placeholderRoutine<Vec4TransformFn>,
    .matrixMultiply = &baselineMatrixMultiply,
    .matrixMultiplyTranspose = placeholderRoutine<MatrixProductFn>,
    .vec2TransformDirection = placeholderRoutine<Vec2MapFn>,
    .vec3TransformDirection = placeholderRoutine<Vec3MapFn>,
    .vec3Normalize = &baselineVec3Normalize,
    .vec4Normalize = placeholderRoutine<Vec4NormalizeFn>,
    .vec2TransformPoint = placeholderRoutine<Vec2MapFn>,
    .vec3TransformPoint = placeholderRoutine<Vec3MapFn>,
    .matrixDeterminant = placeholderRoutine<MatrixDeterminantFn>,
    .matrixDecompose = placeholderRoutine<MatrixDecomposeFn>,
    .planeFromPointNormal = placeholderRoutine<PlaneFromPointNormalFn>,
    .planeFromPoints = placeholderRoutine<PlaneFromPointsFn>,
    .vec3Project = placeholderRoutine<Vec3ProjectFn>,
    .vec3Unproject = placeholderRoutine<Vec3ProjectFn>,
    .vec4Cross = placeholderRoutine<Vec4CrossFn>,
    .vec2Hermite = placeholderRoutine<Vec2HermiteFn>,
    .matrixInverse = placeholderRoutine<MatrixInverseFn>,
    .quaternionMultiply = placeholderRoutine<QuaternionProductFn>,
    .quaternionNormalize = placeholderRoutine<QuaternionUnaryFn>,
    .planeNormalize = placeholderRoutine<PlaneNormalizeFn>,
    .planeIntersectLine = placeholderRoutine<PlaneIntersectLineFn>,
    .quaternionToAxisAngle = placeholderRoutine<QuaternionToAxisAngleFn>,
    .quaternionFromMatrix = placeholderRoutine<QuaternionFromMatrixFn>,
    .quaternionFromYawPitchRoll = placeholderRoutine<QuaternionFromYawPitchRollFn>,
    .matrixTranslation = &baselineMatrixTranslation,
    .matrixShadow = placeholderRoutine<MatrixShadowFn>,
    .matrixReflect = placeholderRoutine<MatrixReflectFn>,
    .quaternionFromAxisAngle = placeholderRoutine<QuaternionFromAxisAngleFn>,
    .matrixRotationX = &baselineMatrixRotationX,
    .matrixRotationY = &baselineMatrixRotationY,
    .matrixRotationZ = &baselineMatrixRotationZ,
    .matrixScaling = &baselineMatrixScaling,
    .planeTransform = placeholderRoutine<PlaneTransformFn>,
    .quaternionSlerp = placeholderRoutine<QuaternionSlerpFn>,
    .quaternionBarycentric = placeholderRoutine<QuaternionBarycentricFn>,
    .matrixTranspose = placeholderRoutine<MatrixTransposeFn>,
    .matrixRotationQuaternion = placeholderRoutine<MatrixRotationQuaternionFn>,
    .matrixTransformation = placeholderRoutine<MatrixTransformationFn>,
    .matrixRotationYawPitchRoll = placeholderRoutine<MatrixFromThreeFloatsFn>,
    .matrixAffineTransformation = placeholderRoutine<MatrixAffineTransformationFn>,
    .matrixRotationAxis = placeholderRoutine<MatrixRotationAxisFn>,
    .quaternionSquad = placeholderRoutine<QuaternionSquadFn>,
    .quaternionInverse = placeholderRoutine<QuaternionUnaryFn>,
    .quaternionSquadSetup = placeholderRoutine<QuaternionSquadSetupFn>,
    .vec2Normalize = placeholderRoutine<Vec2NormalizeFn>,
    .vec2CatmullRom = placeholderRoutine<Vec2CatmullRomFn>,
    .vec2Barycentric = placeholderRoutine<Vec2BarycentricFn>,
    .vec3Hermite = placeholderRoutine<Vec3HermiteFn>,
    .vec3CatmullRom = placeholderRoutine<Vec3CatmullRomFn>,
    .vec3Barycentric = placeholderRoutine<Vec3BarycentricFn>,
    .vec4Hermite = placeholderRoutine<Vec4HermiteFn>,
    .vec4CatmullRom = placeholderRoutine<Vec4CatmullRomFn>,
    .vec4Barycentric = placeholderRoutine<Vec4BarycentricFn>,
    .quaternionLn = placeholderRoutine<QuaternionUnaryFn>,
    .quaternionExp = placeholderRoutine<QuaternionUnaryFn>,
    .float32To16Array = &baselineFloat32To16Array,
    .float16To32Array = &baselineFloat16To32Array,
    .vec2TransformArray = placeholderRoutine<Vec2TransformArrayFn>,
    .vec2TransformPointArray = placeholderRoutine<Vec2MapArrayFn>,
    .vec2TransformDirectionArray = placeholderRoutine<Vec2MapArrayFn>,
    .vec3TransformArray = placeholderRoutine<Vec3TransformArrayFn>,
    .vec3TransformPointArray = placeholderRoutine<Vec3MapArrayFn>,
    .vec3TransformDirectionArray = placeholderRoutine<Vec3MapArrayFn>,
    .vec4TransformArray = placeholderRoutine<Vec4TransformArrayFn>,
    .vec3ProjectArray = placeholderRoutine<Vec3ProjectArrayFn>,
    .vec3UnprojectArray = placeholderRoutine<Vec3ProjectArrayFn>,
    .planeTransformArray = placeholderRoutine<PlaneTransformArrayFn>,
    .blendVertices = placeholderRoutine<BlendVerticesFn>,
    .evaluateTrianglePatch = placeholderRoutine<EvaluateTrianglePatchFn>,
    .matrixTransformation2D = placeholderRoutine<MatrixTransformation2DFn>,
    .matrixAffineTransformation2D = placeholderRoutine<MatrixAffineTransformation2DFn>,
};

}  // namespace

const MathDispatchTable &portableRoutineList() { return kPortableRoutineList; }

}  // namespace kv
