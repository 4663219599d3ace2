// The cubic triangular patch through three corners with their normals: ten control
// points, evaluated with the cubic Bernstein weights. Corner 0 goes with u, corner 1
// with v, corner 2 with w = 1 - u - v.
#pragma once

#include "math/baseline/vector_ops.h"

namespace kv {

struct TrianglePatch {
  // b[i][j]: the edge point one third of the way from corner i toward corner j (i != j),
  // b[i][i]: corner i. centre: the middle control point.
  Vector3 b[3][3];
  Vector3 centre;
};

// One third of the way from b toward a, projected into b's tangent plane.
inline Vector3 edgePoint(const Vector3 &a, const Vector3 &b, const Vector3 &nb) {
  const Vector3 d = a - b;
  return b + (d - nb * dot(d, nb)) * 0.33333334f;
}

inline TrianglePatch trianglePatch(const Vector3 *p, const Vector3 *n) {
  TrianglePatch patch;
  Vector3 edges{0.0f, 0.0f, 0.0f};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      patch.b[i][j] = i == j ? p[i] : edgePoint(p[j], p[i], n[i]);
      if (i != j) edges = edges + patch.b[i][j];
    }
  }
  patch.centre = edges * 0.25f - (p[0] + p[1] + p[2]) * 0.166666f;
  return patch;
}

inline Vector3 evaluate(const TrianglePatch &patch, float u, float v) {
  const float w = 1.0f - u - v;
  const auto &b = patch.b;
  return b[0][0] * (u * u * u) + b[1][1] * (v * v * v) + b[2][2] * (w * w * w) + b[0][1] * (3.0f * u * u * v) +
         b[0][2] * (3.0f * u * u * w) + b[1][0] * (3.0f * v * v * u) + b[1][2] * (3.0f * v * v * w) +
         b[2][0] * (3.0f * w * w * u) + b[2][1] * (3.0f * w * w * v) + patch.centre * (6.0f * u * v * w);
}

}  // namespace kv
