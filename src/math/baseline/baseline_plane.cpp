// The baseline plane builders, the plane normalisation and the line intersection.
#include <cmath>

#include "math/baseline/baseline_routines.h"
#include "math/baseline/vector_ops.h"
#include "math/scene_math.h"

namespace kv {

Plane *baselinePlaneFromPointNormal(Plane *out, const Vector3 *point, const Vector3 *normal) {
  const Vector3 n = *normal;
  *out = Plane{n.x, n.y, n.z, -dot(*point, n)};
  return out;
}

// The normal goes through the table's normalisation, so three collinear points give the
// zero plane of the set in force rather than not-a-numbers.
Plane *baselinePlaneFromPoints(Plane *out, const Vector3 *p1, const Vector3 *p2, const Vector3 *p3) {
  const Vector3 a = *p1;
  Vector3 n = cross(a - *p2, a - *p3);
  vec3Normalize(&n, &n);
  *out = Plane{n.x, n.y, n.z, -dot(n, a)};
  return out;
}

Plane *baselinePlaneNormalize(Plane *out, const Plane *p) {
  const Plane v = *p;
  const float q = v.a * v.a + v.b * v.b + v.c * v.c;
  if (nearlyEqual(q, 1.0f)) {
    *out = v;
  } else if (!(q > kSmallestNormal)) {  // also catches a not-a-number
    *out = Plane{0.0f, 0.0f, 0.0f, 0.0f};
  } else {
    const float r = 1.0f / std::sqrt(q);
    *out = Plane{v.a * r, v.b * r, v.c * r, v.d * r};
  }
  return out;
}

// Null, with out untouched, for a line parallel to the plane or one whose parameter
// overflows.
Vector3 *baselinePlaneIntersectLine(Vector3 *out, const Plane *plane, const Vector3 *p1, const Vector3 *p2) {
  const Vector3 n{plane->a, plane->b, plane->c};
  const float n1 = dot(n, *p1);
  const float den = n1 - dot(n, *p2);
  if (den == 0.0f) return nullptr;
  const float t = (n1 + plane->d) / den;
  if (!std::isfinite(t)) return nullptr;
  *out = *p1 + (*p2 - *p1) * t;
  return out;
}

}  // namespace kv
