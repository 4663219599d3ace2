// The entries of the quaternion operations: each continues through its slot.
#include "math/quaternion_math.h"

#include "math/table/dispatch_table.h"

namespace kv {

Quaternion *quaternionMultiply(Quaternion *out, const Quaternion *a, const Quaternion *b) {
  return g_mathDispatchTable.quaternionMultiply(out, a, b);
}

Quaternion *quaternionNormalize(Quaternion *out, const Quaternion *q) {
  return g_mathDispatchTable.quaternionNormalize(out, q);
}

Quaternion *quaternionInverse(Quaternion *out, const Quaternion *q) {
  return g_mathDispatchTable.quaternionInverse(out, q);
}

void quaternionToAxisAngle(const Quaternion *q, Vector3 *axis, float *angle) {
  g_mathDispatchTable.quaternionToAxisAngle(q, axis, angle);
}

Quaternion *quaternionFromMatrix(Quaternion *out, const Matrix *m) {
  return g_mathDispatchTable.quaternionFromMatrix(out, m);
}

Quaternion *quaternionFromYawPitchRoll(Quaternion *out, float yaw, float pitch, float roll) {
  return g_mathDispatchTable.quaternionFromYawPitchRoll(out, yaw, pitch, roll);
}

Quaternion *quaternionFromAxisAngle(Quaternion *out, const Vector3 *axis, float angle) {
  return g_mathDispatchTable.quaternionFromAxisAngle(out, axis, angle);
}

Quaternion *quaternionLn(Quaternion *out, const Quaternion *q) {
  return g_mathDispatchTable.quaternionLn(out, q);
}

Quaternion *quaternionExp(Quaternion *out, const Quaternion *q) {
  return g_mathDispatchTable.quaternionExp(out, q);
}

Quaternion *quaternionSlerp(Quaternion *out, const Quaternion *q1, const Quaternion *q2, float t) {
  return g_mathDispatchTable.quaternionSlerp(out, q1, q2, t);
}

Quaternion *quaternionBarycentric(Quaternion *out, const Quaternion *q1, const Quaternion *q2, const Quaternion *q3, float f, float g) {
  return g_mathDispatchTable.quaternionBarycentric(out, q1, q2, q3, f, g);
}

Quaternion *quaternionSquad(Quaternion *out, const Quaternion *q1, const Quaternion *a, const Quaternion *b, const Quaternion *c, float t) {
  return g_mathDispatchTable.quaternionSquad(out, q1, a, b, c, t);
}

void quaternionSquadSetup(Quaternion *outA, Quaternion *outB, Quaternion *outC, const Quaternion *q0, const Quaternion *q1, const Quaternion *q2, const Quaternion *q3) {
  g_mathDispatchTable.quaternionSquadSetup(outA, outB, outC, q0, q1, q2, q3);
}

}  // namespace kv
