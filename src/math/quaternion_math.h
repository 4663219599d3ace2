// The quaternion operations of the math table. Each continues through its slot.
#pragma once

#include "math/math_types.h"

namespace kv {

// The rotation a followed by the rotation b.
Quaternion *quaternionMultiply(Quaternion *out, const Quaternion *a, const Quaternion *b);
Quaternion *quaternionNormalize(Quaternion *out, const Quaternion *q);
Quaternion *quaternionInverse(Quaternion *out, const Quaternion *q);
void quaternionToAxisAngle(const Quaternion *q, Vector3 *axis, float *angle);
Quaternion *quaternionFromMatrix(Quaternion *out, const Matrix *m);
Quaternion *quaternionFromYawPitchRoll(Quaternion *out, float yaw, float pitch, float roll);
Quaternion *quaternionFromAxisAngle(Quaternion *out, const Vector3 *axis, float angle);
Quaternion *quaternionLn(Quaternion *out, const Quaternion *q);
Quaternion *quaternionExp(Quaternion *out, const Quaternion *q);
Quaternion *quaternionSlerp(Quaternion *out, const Quaternion *q1, const Quaternion *q2, float t);
Quaternion *quaternionBarycentric(Quaternion *out, const Quaternion *q1, const Quaternion *q2, const Quaternion *q3,
                                  float f, float g);
Quaternion *quaternionSquad(Quaternion *out, const Quaternion *q1, const Quaternion *a, const Quaternion *b,
                            const Quaternion *c, float t);
void quaternionSquadSetup(Quaternion *outA, Quaternion *outB, Quaternion *outC, const Quaternion *q0,
                          const Quaternion *q1, const Quaternion *q2, const Quaternion *q3);

}  // namespace kv
