// The entries of the matrix operations: each continues through its slot.
#include "math/matrix_math.h"

#include "math/table/dispatch_table.h"

namespace kv {

Matrix *matrixMultiplyTranspose(Matrix *out, const Matrix *a, const Matrix *b) {
  return g_mathDispatchTable.matrixMultiplyTranspose(out, a, b);
}

float matrixDeterminant(const Matrix *m) { return g_mathDispatchTable.matrixDeterminant(m); }

Matrix *matrixInverse(Matrix *out, float *determinant, const Matrix *m) {
  return g_mathDispatchTable.matrixInverse(out, determinant, m);
}

Matrix *matrixTranspose(Matrix *out, const Matrix *m) { return g_mathDispatchTable.matrixTranspose(out, m); }

HRESULT matrixDecompose(Vector3 *scale, Quaternion *rotation, Vector3 *translation, const Matrix *m) {
  return g_mathDispatchTable.matrixDecompose(scale, rotation, translation, m);
}

Matrix *matrixRotationAxis(Matrix *out, const Vector3 *axis, float angle) {
  return g_mathDispatchTable.matrixRotationAxis(out, axis, angle);
}

Matrix *matrixRotationQuaternion(Matrix *out, const Quaternion *q) {
  return g_mathDispatchTable.matrixRotationQuaternion(out, q);
}

Matrix *matrixRotationYawPitchRoll(Matrix *out, float yaw, float pitch, float roll) {
  return g_mathDispatchTable.matrixRotationYawPitchRoll(out, yaw, pitch, roll);
}

Matrix *matrixShadow(Matrix *out, const Vector4 *light, const Plane *plane) {
  return g_mathDispatchTable.matrixShadow(out, light, plane);
}

Matrix *matrixReflect(Matrix *out, const Plane *plane) { return g_mathDispatchTable.matrixReflect(out, plane); }

Matrix *matrixTransformation(Matrix *out, const Vector3 *scalingCenter, const Quaternion *scalingRotation, const Vector3 *scaling, const Vector3 *rotationCenter, const Quaternion *rotation, const Vector3 *translation) {
  return g_mathDispatchTable.matrixTransformation(out, scalingCenter, scalingRotation, scaling, rotationCenter, rotation, translation);
}

Matrix *matrixAffineTransformation(Matrix *out, float scaling, const Vector3 *rotationCenter, const Quaternion *rotation, const Vector3 *translation) {
  return g_mathDispatchTable.matrixAffineTransformation(out, scaling, rotationCenter, rotation, translation);
}

Matrix *matrixTransformation2D(Matrix *out, const Vector2 *scalingCenter, float scalingRotation, const Vector2 *scaling, const Vector2 *rotationCenter, float rotation, const Vector2 *translation) {
  return g_mathDispatchTable.matrixTransformation2D(out, scalingCenter, scalingRotation, scaling, rotationCenter, rotation, translation);
}

Matrix *matrixAffineTransformation2D(Matrix *out, float scaling, const Vector2 *rotationCenter, float rotation, const Vector2 *translation) {
  return g_mathDispatchTable.matrixAffineTransformation2D(out, scaling, rotationCenter, rotation, translation);
}

}  // namespace kv
