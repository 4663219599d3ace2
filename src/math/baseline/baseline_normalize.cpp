// The baseline 3-vector normalisation: zero stays zero, a vector already of unit length
// (to 1e-5) is left as it is, and the scale comes from the table-driven reciprocal root.
#include <cmath>

#include "math/baseline/baseline_routines.h"
#include "math/reciprocal_sqrt.h"

namespace kv {

Vector3 *baselineVec3Normalize(Vector3 *out, const Vector3 *v) {
  const float x = v->x, y = v->y, z = v->z;
  const float q = x * x + y * y + z * z;
  if (q == 0.0f) {  // a sum of squares is never -0, so this is exactly +0
    *out = Vector3{0.0f, 0.0f, 0.0f};
    return out;
  }
  if (std::fabs(q - 1.0f) <= 9.99999975e-06f) {
    if (out != v) *out = *v;
    return out;
  }
  const float r = tableReciprocalSqrt(q);
  *out = Vector3{x * r, y * r, z * r};
  return out;
}

}  // namespace kv
