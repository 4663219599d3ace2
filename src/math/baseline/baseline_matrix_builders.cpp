// The baseline rotation builders (axis, quaternion, yaw-pitch-roll), the shadow and
// reflection matrices and the composite transformations in three and two dimensions.
#include "math/baseline/angle_builders.h"
#include "math/baseline/baseline_routines.h"
#include "math/baseline/sine_cosine.h"
#include "math/baseline/vector_ops.h"

namespace kv {

Matrix *baselineMatrixRotationAxis(Matrix *out, const Vector3 *axis, float angle) {
  Vector3 n;
  vec3Normalize(&n, axis);  // through the table: a zero axis gives the set's zero rule
  *out = axisAngleMatrix(n, angle, &sinCos);
  return out;
}

Matrix *baselineMatrixRotationQuaternion(Matrix *out, const Quaternion *q) {
  *out = quaternionMatrix(*q);
  return out;
}

Matrix *baselineMatrixRotationYawPitchRoll(Matrix *out, float yaw, float pitch, float roll) {
  *out = quaternionMatrix(yawPitchRollQuaternion(yaw, pitch, roll, &sinCos));
  return out;
}

namespace {

Matrix *shadowMatrix(Matrix *out, const Vector4 &light, const Plane &normalized) {
  const float p[4] = {normalized.a, normalized.b, normalized.c, normalized.d};
  const float l[4] = {light.x, light.y, light.z, light.w};
  const float d = p[0] * l[0] + p[1] * l[1] + p[2] * l[2] + p[3] * l[3];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out->m[r][c] = (r == c ? d : 0.0f) - p[r] * l[c];
  return out;
}

Matrix *reflectionMatrix(Matrix *out, const Plane &normalized) {
  const float p[4] = {normalized.a, normalized.b, normalized.c, normalized.d};
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 3; ++c) out->m[r][c] = (r == c ? 1.0f : 0.0f) - 2.0f * p[r] * p[c];
    out->m[r][3] = r == 3 ? 1.0f : 0.0f;
  }
  return out;
}

}  // namespace

Matrix *baselineMatrixShadow(Matrix *out, const Vector4 *light, const Plane *plane) {
  Plane p;
  baselinePlaneNormalize(&p, plane);
  return shadowMatrix(out, *light, p);
}

Matrix *baselineMatrixReflect(Matrix *out, const Plane *plane) {
  Plane p;
  baselinePlaneNormalize(&p, plane);
  return reflectionMatrix(out, p);
}

namespace {

// The parts of a composite transformation; any may be absent.
struct CompositeParts {
  const Vector3 *scalingCenter;
  const Matrix *scalingRotation;
  const Vector3 *scaling;
  const Vector3 *rotationCenter;
  const Matrix *rotation;
  const Vector3 *translation;
};

void addToRowThree(Matrix &m, const Vector3 &v) {
  m.m[3][0] += v.x;
  m.m[3][1] += v.y;
  m.m[3][2] += v.z;
}

// Scaling (about its centre, along the axes of its rotation), then rotation (about its
// centre), then translation.
Matrix compositeTransform(const CompositeParts &p) {
  Matrix out = identityMatrix();
  if (p.scaling) {
    Matrix scaling;
    baselineMatrixScaling(&scaling, p.scaling->x, p.scaling->y, p.scaling->z);
    if (p.scalingRotation) {
      Matrix back;
      baselineMatrixTranspose(&back, p.scalingRotation);
      if (p.scalingCenter) {
        baselineMatrixTranslation(&out, -p.scalingCenter->x, -p.scalingCenter->y, -p.scalingCenter->z);
        baselineMatrixMultiply(&out, &out, &back);
      } else {
        out = back;
      }
      baselineMatrixMultiply(&out, &out, &scaling);
      baselineMatrixMultiply(&out, &out, p.scalingRotation);
      if (p.scalingCenter) addToRowThree(out, *p.scalingCenter);
    } else {
      out = scaling;
      if (p.scalingCenter) {
        out.m[3][0] = (1.0f - p.scaling->x) * p.scalingCenter->x;
        out.m[3][1] = (1.0f - p.scaling->y) * p.scalingCenter->y;
        out.m[3][2] = (1.0f - p.scaling->z) * p.scalingCenter->z;
      }
    }
  }
  if (p.rotation) {
    if (p.rotationCenter) addToRowThree(out, *p.rotationCenter * -1.0f);
    baselineMatrixMultiply(&out, &out, p.rotation);
    if (p.rotationCenter) addToRowThree(out, *p.rotationCenter);
  }
  if (p.translation) addToRowThree(out, *p.translation);
  return out;
}

Matrix *transformation(Matrix *out, const Vector3 *scalingCenter, const Quaternion *scalingRotation,
                       const Vector3 *scaling, const Vector3 *rotationCenter, const Quaternion *rotation,
                       const Vector3 *translation) {
  const Matrix scalingRotationMatrix = scalingRotation ? quaternionMatrix(*scalingRotation) : Matrix{};
  const Matrix rotationMatrix = rotation ? quaternionMatrix(*rotation) : Matrix{};
  *out = compositeTransform({scalingCenter, scalingRotation ? &scalingRotationMatrix : nullptr, scaling,
                             rotationCenter, rotation ? &rotationMatrix : nullptr, translation});
  return out;
}

// The same in the x-y plane: rotations about z, skipped when their angle is 0.
Matrix *transformation2D(Matrix *out, const Vector2 *scalingCenter, float scalingRotation, const Vector2 *scaling,
                         const Vector2 *rotationCenter, float rotation, const Vector2 *translation) {
  const auto lift = [](const Vector2 *v, float z) { return v ? Vector3{v->x, v->y, z} : Vector3{}; };
  const Vector3 scalingCenter3 = lift(scalingCenter, 0.0f), scaling3 = lift(scaling, 1.0f);
  const Vector3 rotationCenter3 = lift(rotationCenter, 0.0f), translation3 = lift(translation, 0.0f);
  Matrix scalingRotationMatrix, rotationMatrix;
  if (scalingRotation != 0.0f) baselineMatrixRotationZ(&scalingRotationMatrix, scalingRotation);
  if (rotation != 0.0f) baselineMatrixRotationZ(&rotationMatrix, rotation);
  *out = compositeTransform({scalingCenter ? &scalingCenter3 : nullptr,
                             scalingRotation != 0.0f ? &scalingRotationMatrix : nullptr,
                             scaling ? &scaling3 : nullptr, rotationCenter ? &rotationCenter3 : nullptr,
                             rotation != 0.0f ? &rotationMatrix : nullptr, translation ? &translation3 : nullptr});
  return out;
}

}  // namespace

Matrix *baselineMatrixTransformation(Matrix *out, const Vector3 *scalingCenter, const Quaternion *scalingRotation,
                                     const Vector3 *scaling, const Vector3 *rotationCenter,
                                     const Quaternion *rotation, const Vector3 *translation) {
  return transformation(out, scalingCenter, scalingRotation, scaling, rotationCenter, rotation, translation);
}

// diag(s, s, s, 1), then the rotation and translation steps.
Matrix *baselineMatrixAffineTransformation(Matrix *out, float scaling, const Vector3 *rotationCenter,
                                           const Quaternion *rotation, const Vector3 *translation) {
  const Vector3 scale{scaling, scaling, scaling};
  return transformation(out, nullptr, nullptr, &scale, rotationCenter, rotation, translation);
}

Matrix *baselineMatrixTransformation2D(Matrix *out, const Vector2 *scalingCenter, float scalingRotation,
                                       const Vector2 *scaling, const Vector2 *rotationCenter, float rotation,
                                       const Vector2 *translation) {
  return transformation2D(out, scalingCenter, scalingRotation, scaling, rotationCenter, rotation, translation);
}

Matrix *baselineMatrixAffineTransformation2D(Matrix *out, float scaling, const Vector2 *rotationCenter,
                                             float rotation, const Vector2 *translation) {
  const Vector2 scale{scaling, scaling};
  return transformation2D(out, nullptr, 0.0f, &scale, rotationCenter, rotation, translation);
}

}  // namespace kv
