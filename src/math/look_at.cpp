// The left-handed view matrix. Both normalisations go through the table, so a degenerate
// camera (eye on the target, or up along the view direction) gives the zero axes of the
// routine set in force rather than not-a-numbers.
#include "math/baseline/vector_ops.h"
#include "math/scene_math.h"

namespace kv {

Matrix *matrixLookAtLH(Matrix *out, const Vector3 *eye, const Vector3 *at, const Vector3 *up) {
  Vector3 zaxis = *at - *eye;
  vec3Normalize(&zaxis, &zaxis);
  Vector3 xaxis = cross(*up, zaxis);
  vec3Normalize(&xaxis, &xaxis);
  const Vector3 yaxis = cross(zaxis, xaxis);  // already unit length when the others are

  out->m[0][0] = xaxis.x;
  out->m[0][1] = yaxis.x;
  out->m[0][2] = zaxis.x;
  out->m[0][3] = 0.0f;
  out->m[1][0] = xaxis.y;
  out->m[1][1] = yaxis.y;
  out->m[1][2] = zaxis.y;
  out->m[1][3] = 0.0f;
  out->m[2][0] = xaxis.z;
  out->m[2][1] = yaxis.z;
  out->m[2][2] = zaxis.z;
  out->m[2][3] = 0.0f;
  out->m[3][0] = -dot(xaxis, *eye);
  out->m[3][1] = -dot(yaxis, *eye);
  out->m[3][2] = -dot(zaxis, *eye);
  out->m[3][3] = 1.0f;
  return out;
}

}  // namespace kv
