// The matrix operations of the math table beyond the scene's builders (scene_math.h).
// Each continues through its slot.
#pragma once

#include "math/math_types.h"

namespace kv {

// (a x b) transposed; out may be a or b.
Matrix *matrixMultiplyTranspose(Matrix *out, const Matrix *a, const Matrix *b);
float matrixDeterminant(const Matrix *m);
// Null when m cannot be inverted; the determinant is stored first when asked for.
Matrix *matrixInverse(Matrix *out, float *determinant, const Matrix *m);
Matrix *matrixTranspose(Matrix *out, const Matrix *m);
HRESULT matrixDecompose(Vector3 *scale, Quaternion *rotation, Vector3 *translation, const Matrix *m);
Matrix *matrixRotationAxis(Matrix *out, const Vector3 *axis, float angle);
Matrix *matrixRotationQuaternion(Matrix *out, const Quaternion *q);
Matrix *matrixRotationYawPitchRoll(Matrix *out, float yaw, float pitch, float roll);
Matrix *matrixShadow(Matrix *out, const Vector4 *light, const Plane *plane);
Matrix *matrixReflect(Matrix *out, const Plane *plane);
Matrix *matrixTransformation(Matrix *out, const Vector3 *scalingCenter, const Quaternion *scalingRotation,
                             const Vector3 *scaling, const Vector3 *rotationCenter, const Quaternion *rotation,
                             const Vector3 *translation);
Matrix *matrixAffineTransformation(Matrix *out, float scaling, const Vector3 *rotationCenter,
                                   const Quaternion *rotation, const Vector3 *translation);
Matrix *matrixTransformation2D(Matrix *out, const Vector2 *scalingCenter, float scalingRotation,
                               const Vector2 *scaling, const Vector2 *rotationCenter, float rotation,
                               const Vector2 *translation);
Matrix *matrixAffineTransformation2D(Matrix *out, float scaling, const Vector2 *rotationCenter, float rotation,
                                     const Vector2 *translation);

}  // namespace kv
