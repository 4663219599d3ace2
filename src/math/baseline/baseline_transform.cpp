// The baseline transforms of vectors and planes by a matrix, one at a time and over
// strided arrays. Every input component is read before the output is written, so the
// output may be the input.
#include "math/baseline/baseline_routines.h"
#include "math/baseline/vector_ops.h"

namespace kv {

Vector4 *baselineVec2Transform(Vector4 *out, const Vector2 *v, const Matrix *m) {
  *out = rowTimesMatrix(v->x, v->y, 0.0f, 1.0f, *m);
  return out;
}

Vector4 *baselineVec3Transform(Vector4 *out, const Vector3 *v, const Matrix *m) {
  *out = rowTimesMatrix(v->x, v->y, v->z, 1.0f, *m);
  return out;
}

Vector4 *baselineVec4Transform(Vector4 *out, const Vector4 *v, const Matrix *m) {
  *out = rowTimesMatrix(v->x, v->y, v->z, v->w, *m);
  return out;
}

// A plane transforms as the 4-vector (a, b, c, d).
Plane *baselinePlaneTransform(Plane *out, const Plane *p, const Matrix *m) {
  const Vector4 r = rowTimesMatrix(p->a, p->b, p->c, p->d, *m);
  *out = Plane{r.x, r.y, r.z, r.w};
  return out;
}

Vector2 *baselineVec2TransformDirection(Vector2 *out, const Vector2 *v, const Matrix *m) {
  const Vector4 r = rowTimesMatrix(v->x, v->y, 0.0f, 0.0f, *m);
  *out = Vector2{r.x, r.y};
  return out;
}

Vector3 *baselineVec3TransformDirection(Vector3 *out, const Vector3 *v, const Matrix *m) {
  const Vector4 r = rowTimesMatrix(v->x, v->y, v->z, 0.0f, *m);
  *out = Vector3{r.x, r.y, r.z};
  return out;
}

// A w within 2^-23 of 1 is taken as 1, so affine matrices give exact results. A w of 0
// (a point at infinity) gives infinities, as the projective division says.
Vector2 *baselineVec2TransformPoint(Vector2 *out, const Vector2 *v, const Matrix *m) {
  const Vector4 r = rowTimesMatrix(v->x, v->y, 0.0f, 1.0f, *m);
  if (nearlyEqual(r.w, 1.0f)) {
    *out = Vector2{r.x, r.y};
  } else {
    const float k = 1.0f / r.w;
    *out = Vector2{r.x * k, r.y * k};
  }
  return out;
}

Vector3 *baselineVec3TransformPoint(Vector3 *out, const Vector3 *v, const Matrix *m) {
  const Vector4 r = rowTimesMatrix(v->x, v->y, v->z, 1.0f, *m);
  if (nearlyEqual(r.w, 1.0f)) {
    *out = Vector3{r.x, r.y, r.z};
  } else {
    const float k = 1.0f / r.w;
    *out = Vector3{r.x * k, r.y * k, r.z * k};
  }
  return out;
}

Vector4 *baselineVec2TransformArray(Vector4 *out, UINT outStride, const Vector2 *in, UINT inStride, const Matrix *m,
                                    UINT count) {
  return mapStrided(out, outStride, in, inStride, count,
                    [m](Vector4 *o, const Vector2 *v) { baselineVec2Transform(o, v, m); });
}

Vector2 *baselineVec2TransformPointArray(Vector2 *out, UINT outStride, const Vector2 *in, UINT inStride,
                                         const Matrix *m, UINT count) {
  return mapStrided(out, outStride, in, inStride, count,
                    [m](Vector2 *o, const Vector2 *v) { baselineVec2TransformPoint(o, v, m); });
}

Vector2 *baselineVec2TransformDirectionArray(Vector2 *out, UINT outStride, const Vector2 *in, UINT inStride,
                                             const Matrix *m, UINT count) {
  return mapStrided(out, outStride, in, inStride, count,
                    [m](Vector2 *o, const Vector2 *v) { baselineVec2TransformDirection(o, v, m); });
}

Vector4 *baselineVec3TransformArray(Vector4 *out, UINT outStride, const Vector3 *in, UINT inStride, const Matrix *m,
                                    UINT count) {
  return mapStrided(out, outStride, in, inStride, count,
                    [m](Vector4 *o, const Vector3 *v) { baselineVec3Transform(o, v, m); });
}

Vector3 *baselineVec3TransformPointArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                         const Matrix *m, UINT count) {
  return mapStrided(out, outStride, in, inStride, count,
                    [m](Vector3 *o, const Vector3 *v) { baselineVec3TransformPoint(o, v, m); });
}

Vector3 *baselineVec3TransformDirectionArray(Vector3 *out, UINT outStride, const Vector3 *in, UINT inStride,
                                             const Matrix *m, UINT count) {
  return mapStrided(out, outStride, in, inStride, count,
                    [m](Vector3 *o, const Vector3 *v) { baselineVec3TransformDirection(o, v, m); });
}

Vector4 *baselineVec4TransformArray(Vector4 *out, UINT outStride, const Vector4 *in, UINT inStride, const Matrix *m,
                                    UINT count) {
  return mapStrided(out, outStride, in, inStride, count,
                    [m](Vector4 *o, const Vector4 *v) { baselineVec4Transform(o, v, m); });
}

Plane *baselinePlaneTransformArray(Plane *out, UINT outStride, const Plane *in, UINT inStride, const Matrix *m,
                                   UINT count) {
  return mapStrided(out, outStride, in, inStride, count,
                    [m](Plane *o, const Plane *p) { baselinePlaneTransform(o, p, m); });
}

}  // namespace kv
