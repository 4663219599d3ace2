// The portable routine list: the baseline routine of every slot, from which the set-up
// fills the table.
#include "math/baseline/baseline_routines.h"
#include "math/table/routine_sets.h"

namespace kv {

namespace {

// Designated in slot order: the compiler rejects a name out of its place.
constexpr MathDispatchTable kPortableRoutineList = {
    .vec2Transform = &baselineVec2Transform,
    .vec3Transform = &baselineVec3Transform,
    .vec4Transform = &baselineVec4Transform,
    .matrixMultiply = &baselineMatrixMultiply,
    .matrixMultiplyTranspose = &baselineMatrixMultiplyTranspose,
    .vec2TransformDirection = &baselineVec2TransformDirection,
    .vec3TransformDirection = &baselineVec3TransformDirection,
    .vec3Normalize = &baselineVec3Normalize,
    .vec4Normalize = &baselineVec4Normalize,
    .vec2TransformPoint = &baselineVec2TransformPoint,
    .vec3TransformPoint = &baselineVec3TransformPoint,
    .matrixDeterminant = &baselineMatrixDeterminant,
    .matrixDecompose = &baselineMatrixDecompose,
    .planeFromPointNormal = &baselinePlaneFromPointNormal,
    .planeFromPoints = &baselinePlaneFromPoints,
    .vec3Project = &baselineVec3Project,
    .vec3Unproject = &baselineVec3Unproject,
    .vec4Cross = &baselineVec4Cross,
    .vec2Hermite = &baselineVec2Hermite,
    .matrixInverse = &baselineMatrixInverse,
    .quaternionMultiply = &baselineQuaternionMultiply,
    .quaternionNormalize = &baselineQuaternionNormalize,
    .planeNormalize = &baselinePlaneNormalize,
    .planeIntersectLine = &baselinePlaneIntersectLine,
    .quaternionToAxisAngle = &baselineQuaternionToAxisAngle,
    .quaternionFromMatrix = &baselineQuaternionFromMatrix,
    .quaternionFromYawPitchRoll = &baselineQuaternionFromYawPitchRoll,
    .matrixTranslation = &baselineMatrixTranslation,
    .matrixShadow = &baselineMatrixShadow,
    .matrixReflect = &baselineMatrixReflect,
    .quaternionFromAxisAngle = &baselineQuaternionFromAxisAngle,
    .matrixRotationX = &baselineMatrixRotationX,
    .matrixRotationY = &baselineMatrixRotationY,
    .matrixRotationZ = &baselineMatrixRotationZ,
    .matrixScaling = &baselineMatrixScaling,
    .planeTransform = &baselinePlaneTransform,
    .quaternionSlerp = &baselineQuaternionSlerp,
    .quaternionBarycentric = &baselineQuaternionBarycentric,
    .matrixTranspose = &baselineMatrixTranspose,
    .matrixRotationQuaternion = &baselineMatrixRotationQuaternion,
    .matrixTransformation = &baselineMatrixTransformation,
    .matrixRotationYawPitchRoll = &baselineMatrixRotationYawPitchRoll,
    .matrixAffineTransformation = &baselineMatrixAffineTransformation,
    .matrixRotationAxis = &baselineMatrixRotationAxis,
    .quaternionSquad = &baselineQuaternionSquad,
    .quaternionInverse = &baselineQuaternionInverse,
    .quaternionSquadSetup = &baselineQuaternionSquadSetup,
    .vec2Normalize = &baselineVec2Normalize,
    .vec2CatmullRom = &baselineVec2CatmullRom,
    .vec2Barycentric = &baselineVec2Barycentric,
    .vec3Hermite = &baselineVec3Hermite,
    .vec3CatmullRom = &baselineVec3CatmullRom,
    .vec3Barycentric = &baselineVec3Barycentric,
    .vec4Hermite = &baselineVec4Hermite,
    .vec4CatmullRom = &baselineVec4CatmullRom,
    .vec4Barycentric = &baselineVec4Barycentric,
    .quaternionLn = &baselineQuaternionLn,
    .quaternionExp = &baselineQuaternionExp,
    .float32To16Array = &baselineFloat32To16Array,
    .float16To32Array = &baselineFloat16To32Array,
    .vec2TransformArray = &baselineVec2TransformArray,
    .vec2TransformPointArray = &baselineVec2TransformPointArray,
    .vec2TransformDirectionArray = &baselineVec2TransformDirectionArray,
    .vec3TransformArray = &baselineVec3TransformArray,
    .vec3TransformPointArray = &baselineVec3TransformPointArray,
    .vec3TransformDirectionArray = &baselineVec3TransformDirectionArray,
    .vec4TransformArray = &baselineVec4TransformArray,
    .vec3ProjectArray = &baselineVec3ProjectArray,
    .vec3UnprojectArray = &baselineVec3UnprojectArray,
    .planeTransformArray = &baselinePlaneTransformArray,
    .blendVertices = &baselineBlendVertices,
    .evaluateTrianglePatch = &baselineEvaluateTrianglePatch,
    .matrixTransformation2D = &baselineMatrixTransformation2D,
    .matrixAffineTransformation2D = &baselineMatrixAffineTransformation2D,
};

}  // namespace

const MathDispatchTable &portableRoutineList() { return kPortableRoutineList; }

}  // namespace kv
