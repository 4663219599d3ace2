// The table, its first-call stubs and MathVariant.
#include "math/table/dispatch_table.h"

#include "math/table/dispatch_state.h"
#include "math/math_test_hooks.h"

namespace kv {

static_assert(sizeof(MathDispatchTable) == kMathSlotCount * sizeof(void (*)()),
              "the table is exactly one routine pointer per slot");

namespace {

// Before set-up a slot holds the stub of its own operation: it runs the set-up, then
// continues into whatever routine the slot holds afterwards with the caller's arguments.
// The set-up always fills every slot before it returns, so a stub never calls itself.
template <auto Slot>
struct FirstCallStub;

template <typename R, typename... A, R (*MathDispatchTable::*Slot)(A...)>
struct FirstCallStub<Slot> {
  static R call(A... args) {
    setUpMathDispatch(1);
    return (g_mathDispatchTable.*Slot)(args...);
  }
};

constexpr MathDispatchTable kFirstCallStubs = {
    .vec2Transform = &FirstCallStub<&MathDispatchTable::vec2Transform>::call,
    .vec3Transform = &FirstCallStub<&MathDispatchTable::vec3Transform>::call,
    .vec4Transform = &FirstCallStub<&MathDispatchTable::vec4Transform>::call,
    .matrixMultiply = &FirstCallStub<&MathDispatchTable::matrixMultiply>::call,
    .matrixMultiplyTranspose = &FirstCallStub<&MathDispatchTable::matrixMultiplyTranspose>::call,
    .vec2TransformDirection = &FirstCallStub<&MathDispatchTable::vec2TransformDirection>::call,
    .vec3TransformDirection = &FirstCallStub<&MathDispatchTable::vec3TransformDirection>::call,
    .vec3Normalize = &FirstCallStub<&MathDispatchTable::vec3Normalize>::call,
    .vec4Normalize = &FirstCallStub<&MathDispatchTable::vec4Normalize>::call,
    .vec2TransformPoint = &FirstCallStub<&MathDispatchTable::vec2TransformPoint>::call,
    .vec3TransformPoint = &FirstCallStub<&MathDispatchTable::vec3TransformPoint>::call,
    .matrixDeterminant = &FirstCallStub<&MathDispatchTable::matrixDeterminant>::call,
    .matrixDecompose = &FirstCallStub<&MathDispatchTable::matrixDecompose>::call,
    .planeFromPointNormal = &FirstCallStub<&MathDispatchTable::planeFromPointNormal>::call,
    .planeFromPoints = &FirstCallStub<&MathDispatchTable::planeFromPoints>::call,
    .vec3Project = &FirstCallStub<&MathDispatchTable::vec3Project>::call,
    .vec3Unproject = &FirstCallStub<&MathDispatchTable::vec3Unproject>::call,
    .vec4Cross = &FirstCallStub<&MathDispatchTable::vec4Cross>::call,
    .vec2Hermite = &FirstCallStub<&MathDispatchTable::vec2Hermite>::call,
    .matrixInverse = &FirstCallStub<&MathDispatchTable::matrixInverse>::call,
    .quaternionMultiply = &FirstCallStub<&MathDispatchTable::quaternionMultiply>::call,
    .quaternionNormalize = &FirstCallStub<&MathDispatchTable::quaternionNormalize>::call,
    .planeNormalize = &FirstCallStub<&MathDispatchTable::planeNormalize>::call,
    .planeIntersectLine = &FirstCallStub<&MathDispatchTable::planeIntersectLine>::call,
    .quaternionToAxisAngle = &FirstCallStub<&MathDispatchTable::quaternionToAxisAngle>::call,
    .quaternionFromMatrix = &FirstCallStub<&MathDispatchTable::quaternionFromMatrix>::call,
    .quaternionFromYawPitchRoll = &FirstCallStub<&MathDispatchTable::quaternionFromYawPitchRoll>::call,
    .matrixTranslation = &FirstCallStub<&MathDispatchTable::matrixTranslation>::call,
    .matrixShadow = &FirstCallStub<&MathDispatchTable::matrixShadow>::call,
    .matrixReflect = &FirstCallStub<&MathDispatchTable::matrixReflect>::call,
    .quaternionFromAxisAngle = &FirstCallStub<&MathDispatchTable::quaternionFromAxisAngle>::call,
    .matrixRotationX = &FirstCallStub<&MathDispatchTable::matrixRotationX>::call,
    .matrixRotationY = &FirstCallStub<&MathDispatchTable::matrixRotationY>::call,
    .matrixRotationZ = &FirstCallStub<&MathDispatchTable::matrixRotationZ>::call,
    .matrixScaling = &FirstCallStub<&MathDispatchTable::matrixScaling>::call,
    .planeTransform = &FirstCallStub<&MathDispatchTable::planeTransform>::call,
    .quaternionSlerp = &FirstCallStub<&MathDispatchTable::quaternionSlerp>::call,
    .quaternionBarycentric = &FirstCallStub<&MathDispatchTable::quaternionBarycentric>::call,
    .matrixTranspose = &FirstCallStub<&MathDispatchTable::matrixTranspose>::call,
    .matrixRotationQuaternion = &FirstCallStub<&MathDispatchTable::matrixRotationQuaternion>::call,
    .matrixTransformation = &FirstCallStub<&MathDispatchTable::matrixTransformation>::call,
    .matrixRotationYawPitchRoll = &FirstCallStub<&MathDispatchTable::matrixRotationYawPitchRoll>::call,
    .matrixAffineTransformation = &FirstCallStub<&MathDispatchTable::matrixAffineTransformation>::call,
    .matrixRotationAxis = &FirstCallStub<&MathDispatchTable::matrixRotationAxis>::call,
    .quaternionSquad = &FirstCallStub<&MathDispatchTable::quaternionSquad>::call,
    .quaternionInverse = &FirstCallStub<&MathDispatchTable::quaternionInverse>::call,
    .quaternionSquadSetup = &FirstCallStub<&MathDispatchTable::quaternionSquadSetup>::call,
    .vec2Normalize = &FirstCallStub<&MathDispatchTable::vec2Normalize>::call,
    .vec2CatmullRom = &FirstCallStub<&MathDispatchTable::vec2CatmullRom>::call,
    .vec2Barycentric = &FirstCallStub<&MathDispatchTable::vec2Barycentric>::call,
    .vec3Hermite = &FirstCallStub<&MathDispatchTable::vec3Hermite>::call,
    .vec3CatmullRom = &FirstCallStub<&MathDispatchTable::vec3CatmullRom>::call,
    .vec3Barycentric = &FirstCallStub<&MathDispatchTable::vec3Barycentric>::call,
    .vec4Hermite = &FirstCallStub<&MathDispatchTable::vec4Hermite>::call,
    .vec4CatmullRom = &FirstCallStub<&MathDispatchTable::vec4CatmullRom>::call,
    .vec4Barycentric = &FirstCallStub<&MathDispatchTable::vec4Barycentric>::call,
    .quaternionLn = &FirstCallStub<&MathDispatchTable::quaternionLn>::call,
    .quaternionExp = &FirstCallStub<&MathDispatchTable::quaternionExp>::call,
    .float32To16Array = &FirstCallStub<&MathDispatchTable::float32To16Array>::call,
    .float16To32Array = &FirstCallStub<&MathDispatchTable::float16To32Array>::call,
    .vec2TransformArray = &FirstCallStub<&MathDispatchTable::vec2TransformArray>::call,
    .vec2TransformPointArray = &FirstCallStub<&MathDispatchTable::vec2TransformPointArray>::call,
    .vec2TransformDirectionArray = &FirstCallStub<&MathDispatchTable::vec2TransformDirectionArray>::call,
    .vec3TransformArray = &FirstCallStub<&MathDispatchTable::vec3TransformArray>::call,
    .vec3TransformPointArray = &FirstCallStub<&MathDispatchTable::vec3TransformPointArray>::call,
    .vec3TransformDirectionArray = &FirstCallStub<&MathDispatchTable::vec3TransformDirectionArray>::call,
    .vec4TransformArray = &FirstCallStub<&MathDispatchTable::vec4TransformArray>::call,
    .vec3ProjectArray = &FirstCallStub<&MathDispatchTable::vec3ProjectArray>::call,
    .vec3UnprojectArray = &FirstCallStub<&MathDispatchTable::vec3UnprojectArray>::call,
    .planeTransformArray = &FirstCallStub<&MathDispatchTable::planeTransformArray>::call,
    .blendVertices = &FirstCallStub<&MathDispatchTable::blendVertices>::call,
    .evaluateTrianglePatch = &FirstCallStub<&MathDispatchTable::evaluateTrianglePatch>::call,
    .matrixTransformation2D = &FirstCallStub<&MathDispatchTable::matrixTransformation2D>::call,
    .matrixAffineTransformation2D = &FirstCallStub<&MathDispatchTable::matrixAffineTransformation2D>::call,
};

}  // namespace

MathDispatchTable g_mathDispatchTable = kFirstCallStubs;
DWORD g_mathVariant = kMathVariantNotSetUp;
DWORD g_installedMathRoutineGroups = kRoutinesBaseline;

const MathDispatchTable &firstCallStubs() { return kFirstCallStubs; }

DWORD mathVariant() { return g_mathVariant; }

DWORD installedMathRoutineGroups() { return g_installedMathRoutineGroups; }

namespace test_hooks {

void resetMathDispatch() {
  g_mathDispatchTable = kFirstCallStubs;
  g_mathVariant = kMathVariantNotSetUp;
  g_installedMathRoutineGroups = kRoutinesBaseline;
}

}  // namespace test_hooks

}  // namespace kv
