// The entries of the scene's table operations: each continues through its slot.
#include "math/table/dispatch_table.h"
#include "math/scene_math.h"

namespace kv {

Matrix *matrixMultiply(Matrix *out, const Matrix *a, const Matrix *b) {
  return g_mathDispatchTable.matrixMultiply(out, a, b);
}

Matrix *matrixTranslation(Matrix *out, float x, float y, float z) {
  return g_mathDispatchTable.matrixTranslation(out, x, y, z);
}

Matrix *matrixScaling(Matrix *out, float sx, float sy, float sz) {
  return g_mathDispatchTable.matrixScaling(out, sx, sy, sz);
}

Matrix *matrixRotationX(Matrix *out, float angle) { return g_mathDispatchTable.matrixRotationX(out, angle); }

Matrix *matrixRotationY(Matrix *out, float angle) { return g_mathDispatchTable.matrixRotationY(out, angle); }

Matrix *matrixRotationZ(Matrix *out, float angle) { return g_mathDispatchTable.matrixRotationZ(out, angle); }

Vector3 *vec3Normalize(Vector3 *out, const Vector3 *v) { return g_mathDispatchTable.vec3Normalize(out, v); }

}  // namespace kv
