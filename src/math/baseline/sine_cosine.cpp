#include "math/baseline/sine_cosine.h"

#include <cmath>
#include <cstdint>

namespace kv {

void sinCos(float angle, float *sine, float *cosine) {
  const double a = angle;
  *sine = static_cast<float>(std::sin(a));
  *cosine = static_cast<float>(std::cos(a));
}

namespace {

// pi/4 split in three parts so that j * kQuarterPi1 is exact for the angles we reduce.
constexpr float kFourOverPi = 1.27323949f;
constexpr float kQuarterPi1 = 0.78515625f;
constexpr float kQuarterPi2 = 2.4187564849853515625e-4f;
constexpr float kQuarterPi3 = 3.77489497744594108e-8f;
// Beyond this the three-part reduction no longer leaves a meaningful remainder.
constexpr float kReductionLimit = 8192.0f * 3.14159265f;

float sinePolynomial(float x, float z) {
  return ((-1.9515295891e-4f * z + 8.3321608736e-3f) * z - 1.6666654611e-1f) * z * x + x;
}

float cosinePolynomial(float z) {
  return ((2.443315711809948e-5f * z - 1.388731625493765e-3f) * z + 4.166664568298827e-2f) * z * z - 0.5f * z +
         1.0f;
}

}  // namespace

void singlePrecisionSinCos(float angle, float *sine, float *cosine) {
  float x = std::fabs(angle);
  if (!(x <= kReductionLimit)) {  // huge, infinite or not a number
    sinCos(angle, sine, cosine);
    return;
  }
  // Octant j (made even), remainder x in [-pi/4, pi/4].
  uint32_t j = static_cast<uint32_t>(x * kFourOverPi);
  float y = static_cast<float>(j);
  if (j & 1) {
    ++j;
    y += 1.0f;
  }
  j &= 7;
  x = ((x - y * kQuarterPi1) - y * kQuarterPi2) - y * kQuarterPi3;
  const float z = x * x;
  const float s = sinePolynomial(x, z);
  const float c = cosinePolynomial(z);

  // Octants 2 and 6 swap the two polynomials; the signs follow the quadrant.
  const bool swap = (j == 2 || j == 6);
  float sinValue = swap ? c : s;
  float cosValue = swap ? s : c;
  if (j >= 4) sinValue = -sinValue;
  if (j == 2 || j == 4) cosValue = -cosValue;
  *sine = angle < 0.0f ? -sinValue : sinValue;
  *cosine = cosValue;
}

}  // namespace kv
