// The left-handed perspective projection. Degenerate arguments (zFar = zNear, aspect 0,
// a field of view that is a multiple of 2 pi) give infinities or not-a-numbers, as the
// formulas do under IEEE arithmetic; nothing is checked.
#include <cmath>

#include "math/scene_math.h"

namespace kv {

Matrix *matrixPerspectiveFovLH(Matrix *out, float fovY, float aspect, float zNear, float zFar) {
  const float half = fovY * 0.5f;
  const double yScale = std::cos(static_cast<double>(half)) / std::sin(static_cast<double>(half));
  const double xScale = yScale / aspect;
  const double q = static_cast<double>(zFar) / (static_cast<double>(zFar) - zNear);

  *out = Matrix{};
  out->m[0][0] = static_cast<float>(xScale);
  out->m[1][1] = static_cast<float>(yScale);
  out->m[2][2] = static_cast<float>(q);
  out->m[2][3] = 1.0f;
  out->m[3][2] = static_cast<float>(-zNear * q);
  return out;
}

}  // namespace kv
