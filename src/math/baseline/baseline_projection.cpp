// The baseline projection of points to a viewport and back, one at a time and over
// strided arrays. The arrays combine (and invert) the matrices once.
#include <initializer_list>

#include "math/baseline/baseline_routines.h"
#include "math/baseline/vector_ops.h"
#include "math/scene_math.h"

namespace kv {

namespace {

// world x view x projection of the matrices present (null ones are skipped); the
// identity when none is.
Matrix combinedTransform(const Matrix *projection, const Matrix *view, const Matrix *world) {
  Matrix m = identityMatrix();
  bool any = false;
  for (const Matrix *step : {world, view, projection}) {
    if (!step) continue;
    if (any)
      baselineMatrixMultiply(&m, &m, step);
    else
      m = *step;
    any = true;
  }
  return m;
}

// From the [-1, 1] cube to viewport coordinates (unchanged without a viewport).
Vector3 toViewport(const Vector3 &p, const Viewport *viewport) {
  if (!viewport) return p;
  const float x = static_cast<float>(viewport->X), y = static_cast<float>(viewport->Y);
  const float width = static_cast<float>(viewport->Width), height = static_cast<float>(viewport->Height);
  return {x + width * (1.0f + p.x) * 0.5f, y + height * (1.0f - p.y) * 0.5f,
          viewport->MinZ + p.z * (viewport->MaxZ - viewport->MinZ)};
}

// A viewport with no width, height or depth range divides by zero here; the infinities
// and not-a-numbers go on through the matrix as IEEE arithmetic has them.
Vector3 fromViewport(const Vector3 &v, const Viewport *viewport) {
  if (!viewport) return v;
  const float width = static_cast<float>(viewport->Width), height = static_cast<float>(viewport->Height);
  return {(v.x - static_cast<float>(viewport->X)) / width * 2.0f - 1.0f,
          -((v.y - static_cast<float>(viewport->Y)) / height * 2.0f - 1.0f),
          (v.z - viewport->MinZ) / (viewport->MaxZ - viewport->MinZ)};
}

// The inverse of the combined matrices (the identity when none is present); false when
// they cannot be inverted.
bool unprojectionMatrix(Matrix *inverse, const Matrix *projection, const Matrix *view, const Matrix *world) {
  if (!projection && !view && !world) {
    *inverse = identityMatrix();
    return true;
  }
  const Matrix combined = combinedTransform(projection, view, world);
  return baselineMatrixInverse(inverse, nullptr, &combined) != nullptr;
}

}  // namespace

Vector3 *baselineVec3Project(Vector3 *out, const Vector3 *v, const Viewport *viewport, const Matrix *projection,
                             const Matrix *view, const Matrix *world) {
  const Matrix m = combinedTransform(projection, view, world);
  Vector3 p;
  baselineVec3TransformPoint(&p, v, &m);
  *out = toViewport(p, viewport);
  return out;
}

Vector3 *baselineVec3Unproject(Vector3 *out, const Vector3 *v, const Viewport *viewport, const Matrix *projection,
                               const Matrix *view, const Matrix *world) {
  Matrix inverse;
  if (!unprojectionMatrix(&inverse, projection, view, world)) return nullptr;
  const Vector3 p = fromViewport(*v, viewport);
  return baselineVec3TransformPoint(out, &p, &inverse);
}

Vector3 *baselineVec3ProjectArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                  const Viewport *viewport, const Matrix *projection, const Matrix *view,
                                  const Matrix *world, UINT count) {
  const Matrix m = combinedTransform(projection, view, world);
  return mapStrided(out, outStride, in, inStride, count, [&](Vector3 *o, const Vector3 *v) {
    Vector3 p;
    baselineVec3TransformPoint(&p, v, &m);
    *o = toViewport(p, viewport);
  });
}

Vector3 *baselineVec3UnprojectArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                    const Viewport *viewport, const Matrix *projection, const Matrix *view,
                                    const Matrix *world, UINT count) {
  Matrix inverse;
  if (!unprojectionMatrix(&inverse, projection, view, world)) return nullptr;
  return mapStrided(out, outStride, in, inStride, count, [&](Vector3 *o, const Vector3 *v) {
    const Vector3 p = fromViewport(*v, viewport);
    baselineVec3TransformPoint(o, &p, &inverse);
  });
}

}  // namespace kv
