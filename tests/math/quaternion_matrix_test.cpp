// The quaternion and matrix operations of the table, in every routine set, from their
// formulas: products against matrix products, inverses (singular ones included), the
// conversions, the interpolations at their ends, decomposition and the builders.
#include <d3d9.h>

#include <cmath>
#include <limits>

#include "math/matrix_math.h"
#include "math/quaternion_math.h"
#include "math/scene_math.h"
#include "math/vector_math.h"
#include "table_test_support.h"

namespace kvmathtest {
namespace {

using kv::Matrix;
using kv::Plane;
using kv::Quaternion;
using kv::Vector2;
using kv::Vector3;
using kv::Vector4;

constexpr float kPi = 3.14159265358979f;

Matrix fromQuaternion(const Quaternion &q) {
  Matrix m;
  kv::matrixRotationQuaternion(&m, &q);
  return m;
}

Quaternion axisAngle(Vector3 axis, float angle) {
  Quaternion q;
  kv::quaternionFromAxisAngle(&q, &axis, angle);
  return q;
}

// q and -q are the same rotation.
::testing::AssertionResult sameRotation(const Quaternion &a, const Quaternion &b, float tolerance) {
  if (near(a, b, tolerance)) return ::testing::AssertionSuccess();
  return near(a, Quaternion{-b.x, -b.y, -b.z, -b.w}, tolerance);
}

class QuaternionOperations : public EachSetsEntries {};

TEST_P(QuaternionOperations, ProductIsTheFirstRotationFollowedByTheSecond) {
  const Quaternion aboutX = axisAngle({1, 0, 0}, kPi / 2), aboutY = axisAngle({0, 1, 0}, kPi / 2);
  Quaternion both;
  EXPECT_EQ(kv::quaternionMultiply(&both, &aboutX, &aboutY), &both);
  Matrix rx, ry, product;
  kv::matrixRotationX(&rx, kPi / 2);
  kv::matrixRotationY(&ry, kPi / 2);
  kv::matrixMultiply(&product, &rx, &ry);
  EXPECT_TRUE(near(fromQuaternion(both), product, 1e-6f));
  // General quaternions, and the output in place of either operand.
  const Quaternion a{0.1f, -0.7f, 0.3f, 0.6f}, b{0.5f, 0.2f, -0.4f, 0.7f};
  Quaternion ab;
  kv::quaternionMultiply(&ab, &a, &b);
  Quaternion na, nb, unit;
  kv::quaternionNormalize(&na, &a);
  kv::quaternionNormalize(&nb, &b);
  kv::quaternionMultiply(&unit, &na, &nb);
  const Matrix ma = fromQuaternion(na), mb = fromQuaternion(nb);
  Matrix mab;
  kv::matrixMultiply(&mab, &ma, &mb);
  EXPECT_TRUE(near(fromQuaternion(unit), mab, 2e-6f));
  Quaternion left = a;
  kv::quaternionMultiply(&left, &left, &b);
  EXPECT_TRUE(near(left, ab, 0.0f));
  Quaternion right = b;
  kv::quaternionMultiply(&right, &a, &right);
  EXPECT_TRUE(near(right, ab, 0.0f));
}

TEST_P(QuaternionOperations, InverseNormalisationAndAxisAngle) {
  const Quaternion two{0, 0, 0, 2};
  Quaternion out;
  EXPECT_EQ(kv::quaternionInverse(&out, &two), &out);
  EXPECT_TRUE(near(out, Quaternion{0, 0, 0, 0.5f}, 0.0f));
  const Quaternion tiny{1e-10f, 1e-10f, 1e-10f, 1e-10f};
  kv::quaternionInverse(&out, &tiny);
  EXPECT_TRUE(near(out, Quaternion{0, 0, 0, 0}, 0.0f));
  // The bound itself: a squared length of exactly 2^-63 still gives zeros, 1.5 times it
  // the conjugate divided by it, -2^32/3 in each of x, y and z.
  const Quaternion atBound{0x1p-32f, 0x1p-32f, 0, 0}, aboveBound{0x1p-32f, 0x1p-32f, 0x1p-32f, 0};
  kv::quaternionInverse(&out, &atBound);
  EXPECT_TRUE(near(out, Quaternion{0, 0, 0, 0}, 0.0f));
  kv::quaternionInverse(&out, &aboveBound);
  const float third = -0x1p32f / 3;
  EXPECT_TRUE(near(out, Quaternion{third, third, third, 0}, 1e-6f * -third));
  const Quaternion q{0.1f, -0.7f, 0.3f, 0.6f};
  Quaternion inverse, product;
  kv::quaternionInverse(&inverse, &q);
  kv::quaternionMultiply(&product, &q, &inverse);
  EXPECT_TRUE(near(product, Quaternion{0, 0, 0, 1}, 1e-6f));

  const Quaternion zero{0, 0, 0, 0};
  out = {9, 9, 9, 9};
  kv::quaternionNormalize(&out, &zero);
  EXPECT_TRUE(near(out, zero, 0.0f));

  const Quaternion quarter{0, 0, 0.7071068f, 0.7071068f};
  Vector3 axis;
  float angle = 0.0f;
  kv::quaternionToAxisAngle(&quarter, &axis, &angle);
  EXPECT_TRUE(near(axis, Vector3{0, 0, 0.7071068f}, 0.0f));
  EXPECT_NEAR(angle, kPi / 2, 1e-6f);
  kv::quaternionToAxisAngle(&quarter, nullptr, nullptr);  // both outputs optional
  // A scalar part rounded just beyond 1 still gives an angle, not a not-a-number.
  const Quaternion over{0, 0, 0, 1.0000001f};
  kv::quaternionToAxisAngle(&over, nullptr, &angle);
  EXPECT_EQ(angle, 0.0f);
}

// Only rounding noise, a scalar part within a few ulps of +-1, is taken for +-1. Further
// out there is no unit quaternion and the arc cosine of IEEE arithmetic answers: not a
// number. 2 acos(-1) is 2 pi rounded to a float, 6.2831855.
TEST_P(QuaternionOperations, OnlyRoundingNoiseBeyondOneIsTakenForOne) {
  float angle = 1.0f;
  for (float w : {1.0f + 0x1p-23f, 1.0f + 0x1p-21f}) {
    const Quaternion q{0.25f, 0, 0, w};
    kv::quaternionToAxisAngle(&q, nullptr, &angle);
    EXPECT_EQ(angle, 0.0f) << w;
    const Quaternion negative{0.25f, 0, 0, -w};
    kv::quaternionToAxisAngle(&negative, nullptr, &angle);
    EXPECT_EQ(angle, 6.2831855f) << -w;
    Quaternion out;
    kv::quaternionLn(&out, &negative);  // arc cosine pi, sine nearly 0: the vector part
    EXPECT_TRUE(near(out, Quaternion{0.25f, 0, 0, 0}, 0.0f)) << -w;
  }
  for (float w : {5.0f, -5.0f, 1.0f + 0x1p-18f, -1.001f}) {
    const Quaternion q{0, 0, 0, w};
    Vector3 axis{9, 9, 9};
    kv::quaternionToAxisAngle(&q, &axis, &angle);
    EXPECT_TRUE(std::isnan(angle)) << w << " gives " << angle;
    EXPECT_TRUE(near(axis, Vector3{0, 0, 0}, 0.0f));
  }
  // Beyond -1 the logarithm divides the arc cosine by its sine, both not a number; the
  // scalar part is 0 as always. (Beyond +1 it takes the vector part as it is.)
  for (float w : {-5.0f, -1.001f}) {
    const Quaternion q{0.5f, 0, 0, w};
    Quaternion out{9, 9, 9, 9};
    EXPECT_EQ(kv::quaternionLn(&out, &q), &out);
    EXPECT_TRUE(std::isnan(out.x) && std::isnan(out.y) && std::isnan(out.z)) << w;
    EXPECT_EQ(out.w, 0.0f);
  }
  const Quaternion far{0.5f, 0, 0, 5.0f};
  Quaternion out;
  kv::quaternionLn(&out, &far);
  EXPECT_TRUE(near(out, Quaternion{0.5f, 0, 0, 0}, 0.0f));
}

TEST_P(QuaternionOperations, ConversionsFromMatricesAnglesAndAxes) {
  Matrix m;
  Quaternion q;
  kv::matrixRotationZ(&m, kPi);  // trace -1: the second branch
  EXPECT_EQ(kv::quaternionFromMatrix(&q, &m), &q);
  EXPECT_TRUE(sameRotation(q, Quaternion{0, 0, 1, 0}, 1e-6f));
  // Half turns about x and y: a different diagonal term picks the root each time.
  kv::matrixRotationX(&m, kPi);
  kv::quaternionFromMatrix(&q, &m);
  EXPECT_TRUE(sameRotation(q, Quaternion{1, 0, 0, 0}, 1e-6f));
  kv::matrixRotationY(&m, kPi);
  kv::quaternionFromMatrix(&q, &m);
  EXPECT_TRUE(sameRotation(q, Quaternion{0, 1, 0, 0}, 1e-6f));
  // A trace of exactly 0 (x to z, y to x, z to y) still takes the second branch, whose
  // root is the x component: +1/2 there, so w comes out as -1/2.
  const Matrix cycle{{{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}}};
  kv::quaternionFromMatrix(&q, &cycle);
  EXPECT_TRUE(near(q, Quaternion{0.5f, 0.5f, 0.5f, -0.5f}, 1e-6f));
  for (const Vector3 &axis : {Vector3{1, 2, 3}, Vector3{-1, 0.5f, 0}, Vector3{0, 0, -1}}) {
    for (float angle : {0.3f, 2.0f, 3.1f, -2.5f}) {
      kv::matrixRotationAxis(&m, &axis, angle);
      kv::quaternionFromMatrix(&q, &m);
      EXPECT_TRUE(sameRotation(q, axisAngle(axis, angle), 2e-6f)) << angle;
      EXPECT_TRUE(near(fromQuaternion(q), m, 2e-6f));
    }
  }
  // Roll about z, then pitch about x, then yaw about y.
  Matrix rz, rx, ry, expected;
  kv::matrixRotationZ(&rz, 0.3f);
  kv::matrixRotationX(&rx, -0.8f);
  kv::matrixRotationY(&ry, 1.2f);
  kv::matrixMultiply(&expected, &rz, &rx);
  kv::matrixMultiply(&expected, &expected, &ry);
  EXPECT_EQ(kv::quaternionFromYawPitchRoll(&q, 1.2f, -0.8f, 0.3f), &q);
  EXPECT_TRUE(near(fromQuaternion(q), expected, 2e-6f));
  EXPECT_EQ(kv::matrixRotationYawPitchRoll(&m, 1.2f, -0.8f, 0.3f), &m);
  EXPECT_TRUE(near(m, expected, 2e-6f));
  // The axis rotation agrees with the axis builders, and a zero axis gives no not-a-number.
  const Vector3 xAxis{2, 0, 0}, none{0, 0, 0};
  kv::matrixRotationAxis(&m, &xAxis, 0.7f);
  kv::matrixRotationX(&expected, 0.7f);
  EXPECT_TRUE(near(m, expected, 2e-7f));
  kv::quaternionFromAxisAngle(&q, &none, 1.0f);
  EXPECT_FALSE(std::isnan(q.x));
}

TEST_P(QuaternionOperations, LogarithmAndExponential) {
  const Quaternion identity{0, 0, 0, 1}, zero{0, 0, 0, 0};
  Quaternion out;
  EXPECT_EQ(kv::quaternionLn(&out, &identity), &out);
  EXPECT_TRUE(near(out, zero, 0.0f));
  EXPECT_EQ(kv::quaternionExp(&out, &zero), &out);
  EXPECT_TRUE(near(out, identity, 0.0f));
  const Quaternion q = axisAngle({1, 2, 2}, 1.2f);
  Quaternion back;
  kv::quaternionLn(&out, &q);
  EXPECT_TRUE(near(out, Quaternion{0.6f / 3, 1.2f / 3, 1.2f / 3, 0}, 2e-6f));  // axis times half the angle
  kv::quaternionExp(&back, &out);
  EXPECT_TRUE(near(back, q, 2e-6f));
  // A scalar part rounded beyond -1 gives no not-a-number.
  const Quaternion beyond{0, 0, 0, -1.0000001f};
  kv::quaternionLn(&out, &beyond);
  EXPECT_FALSE(std::isnan(out.x));
}

TEST_P(QuaternionOperations, SlerpAtItsEndsAndBetweenOppositeQuaternions) {
  const Quaternion q1 = axisAngle({0, 0, 1}, 0.4f), q2 = axisAngle({1, 1, 0}, 1.5f);
  Quaternion out;
  EXPECT_EQ(kv::quaternionSlerp(&out, &q1, &q2, 0.0f), &out);
  EXPECT_TRUE(near(out, q1, 4 * kNearly));
  kv::quaternionSlerp(&out, &q1, &q2, 1.0f);
  EXPECT_TRUE(near(out, q2, 4 * kNearly));
  // Opposite signs: the short way, ending at -q2.
  const Quaternion minusQ2{-q2.x, -q2.y, -q2.z, -q2.w};
  kv::quaternionSlerp(&out, &q1, &minusQ2, 1.0f);
  EXPECT_TRUE(near(out, q2, 4 * kNearly));
  const Quaternion minusQ1{-q1.x, -q1.y, -q1.z, -q1.w};
  kv::quaternionSlerp(&out, &q1, &minusQ1, 0.5f);
  EXPECT_TRUE(near(out, q1, 4 * kNearly));
  // At right angles (a dot product of exactly 0) q2 keeps its sign.
  const Quaternion one{0, 0, 0, 1}, halfTurnX{1, 0, 0, 0};
  kv::quaternionSlerp(&out, &one, &halfTurnX, 0.5f);
  EXPECT_TRUE(near(out, Quaternion{0.70710678f, 0, 0, 0.70710678f}, 1e-6f));
  // A dot product 2^-23 below 1 is still "parallel": the weights are exactly 1 - t and t,
  // and x shows the first one. (Through the sines it would come out an ulp lower here.)
  const Quaternion p1{1, 0, 0, 1}, p2{0, 0, 0, 1 - 0x1p-23f};
  kv::quaternionSlerp(&out, &p1, &p2, 0x1p-20f);
  EXPECT_EQ(out.x, 1 - 0x1p-20f);
  // Halfway about one axis is half the angle.
  const Quaternion a = axisAngle({0, 1, 0}, 0.2f), b = axisAngle({0, 1, 0}, 1.0f);
  kv::quaternionSlerp(&out, &a, &b, 0.5f);
  EXPECT_TRUE(near(out, axisAngle({0, 1, 0}, 0.6f), 1e-6f));
}

TEST_P(QuaternionOperations, BarycentricAndSquadInterpolation) {
  const Quaternion q1 = axisAngle({0, 0, 1}, 0.4f), q2 = axisAngle({1, 0, 0}, 1.0f), q3 = axisAngle({0, 1, 0}, 0.8f);
  Quaternion out;
  kv::quaternionBarycentric(&out, &q1, &q2, &q3, 0.0f, 0.0f);
  EXPECT_TRUE(near(out, q1, 0.0f));
  kv::quaternionBarycentric(&out, &q1, &q2, &q3, 1.0f, 0.0f);
  EXPECT_TRUE(near(out, q2, 1e-6f));
  kv::quaternionBarycentric(&out, &q1, &q2, &q3, 0.0f, 1.0f);
  EXPECT_TRUE(near(out, q3, 1e-6f));

  const Quaternion q0 = axisAngle({0, 0, 1}, -0.2f), q4 = axisAngle({1, 0, 1}, 0.3f);
  Quaternion a, b, c;
  kv::quaternionSquadSetup(&a, &b, &c, &q0, &q1, &q2, &q4);
  EXPECT_TRUE(near(c, q2, 0.0f));
  kv::quaternionSquad(&out, &q1, &a, &b, &c, 0.0f);
  EXPECT_TRUE(near(out, q1, 4 * kNearly));
  kv::quaternionSquad(&out, &q1, &a, &b, &c, 1.0f);
  EXPECT_TRUE(near(out, q2, 4 * kNearly));
  // Along one great circle at even steps the control points are the keys themselves.
  const Quaternion k0 = axisAngle({0, 1, 0}, 0), k1 = axisAngle({0, 1, 0}, 0.5f), k2 = axisAngle({0, 1, 0}, 1.0f),
                   k3 = axisAngle({0, 1, 0}, 1.5f);
  kv::quaternionSquadSetup(&a, &b, &c, &k0, &k1, &k2, &k3);
  EXPECT_TRUE(sameRotation(a, k1, 1e-6f));
  EXPECT_TRUE(sameRotation(b, k2, 1e-6f));
  // A neighbour on the far side of the sphere is turned round.
  const Quaternion minusK2{-k2.x, -k2.y, -k2.z, -k2.w};
  kv::quaternionSquadSetup(&a, &b, &c, &k0, &k1, &minusK2, &k3);
  EXPECT_TRUE(near(c, k2, 0.0f));
  // Here the y components alone put the neighbour on the far side.
  const Quaternion tilted{0, 0.6f, 0, 0.8f}, minusY{0, -1, 0, 0};
  kv::quaternionSquadSetup(&a, &b, &c, &tilted, &tilted, &minusY, &minusY);
  EXPECT_TRUE(near(c, Quaternion{0, 1, 0, 0}, 0.0f));
  // Neighbours at right angles are as near as their negatives: none is turned round.
  // Worked by hand with X = (1, 0, 0, 0), Y = (0, 1, 0, 0) and 1 = (0, 0, 0, 1):
  // a = exp(-(pi/8, pi/8, 0, 0)), b = Y exp((0, pi/4, 0, 0)) = (0, cos pi/4, 0, -sin pi/4).
  const Quaternion unitX{1, 0, 0, 0}, unitY{0, 1, 0, 0}, one{0, 0, 0, 1};
  kv::quaternionSquadSetup(&a, &b, &c, &unitX, &one, &unitY, &one);
  const double theta = std::sqrt(2.0) * kPi / 8, half = std::sqrt(0.5);
  const float ax = static_cast<float>(-std::sin(theta) * half);
  EXPECT_TRUE(near(a, Quaternion{ax, ax, 0, static_cast<float>(std::cos(theta))}, 1e-6f));
  EXPECT_TRUE(near(b, Quaternion{0, static_cast<float>(half), 0, static_cast<float>(-half)}, 1e-6f));
  EXPECT_TRUE(near(c, unitY, 0.0f));
}

class MatrixOperations : public EachSetsEntries {};

TEST_P(MatrixOperations, TransposedProductAndTransposeInPlace) {
  const Matrix a = sampleMatrix(0.2f), b = sampleMatrix(1.7f);
  const Matrix ab = referenceProduct(a, b);
  Matrix out = a;
  EXPECT_EQ(kv::matrixMultiplyTranspose(&out, &out, &b), &out);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(out.m[c][r], ab.m[r][c], 1e-5f);
  Matrix t = a;
  EXPECT_EQ(kv::matrixTranspose(&t, &t), &t);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(t.m[r][c], a.m[c][r]);
}

TEST_P(MatrixOperations, DeterminantAndInverseIncludingSingularMatrices) {
  Matrix diag = kv::identityMatrix();
  diag.m[0][0] = 2;
  diag.m[1][1] = 4;
  diag.m[2][2] = 8;
  Matrix inverse;
  float determinant = 0.0f;
  EXPECT_EQ(kv::matrixInverse(&inverse, &determinant, &diag), &inverse);
  EXPECT_EQ(determinant, 64.0f);
  Matrix expected = kv::identityMatrix();
  expected.m[0][0] = 0.5f;
  expected.m[1][1] = 0.25f;
  expected.m[2][2] = 0.125f;
  EXPECT_TRUE(near(inverse, expected, 0.0f));
  EXPECT_EQ(kv::matrixDeterminant(&diag), 64.0f);

  // A general matrix: M x M^-1 = I, and a row swap turns the determinant's sign.
  const Matrix m = sampleMatrix(0.9f);
  ASSERT_NE(kv::matrixInverse(&inverse, &determinant, &m), nullptr);
  EXPECT_NEAR(determinant, kv::matrixDeterminant(&m), 1e-4f * std::fabs(determinant));
  EXPECT_TRUE(near(referenceProduct(m, inverse), kv::identityMatrix(), 2e-5f));
  Matrix swapped = m;
  std::swap(swapped.m[0], swapped.m[3]);
  EXPECT_NEAR(kv::matrixDeterminant(&swapped), -determinant, 1e-4f * std::fabs(determinant));

  // A zero row: null, the determinant 0 stored, the output untouched.
  Matrix singular = m;
  for (float &e : singular.m[2]) e = 0.0f;
  Matrix untouched = diag;
  determinant = 5.0f;
  EXPECT_EQ(kv::matrixInverse(&untouched, &determinant, &singular), nullptr);
  EXPECT_EQ(determinant, 0.0f);
  EXPECT_TRUE(near(untouched, diag, 0.0f));
  EXPECT_EQ(kv::matrixDeterminant(&singular), 0.0f);
  // Two equal rows, and a determinant so small that its reciprocal overflows.
  Matrix twin = m;
  std::memcpy(twin.m[1], twin.m[0], sizeof twin.m[0]);
  EXPECT_EQ(kv::matrixInverse(&untouched, nullptr, &twin), nullptr);
  Matrix minute = kv::identityMatrix();
  minute.m[0][0] = minute.m[1][1] = minute.m[2][2] = minute.m[3][3] = 1e-12f;
  EXPECT_EQ(kv::matrixInverse(&untouched, &determinant, &minute), nullptr);
  EXPECT_TRUE(near(untouched, diag, 0.0f));
}

TEST_P(MatrixOperations, DecompositionIntoScaleRotationAndTranslation) {
  Matrix s, r, t, m;
  kv::matrixScaling(&s, 2, 3, 4);
  kv::matrixRotationZ(&r, 0.5f);
  kv::matrixTranslation(&t, 1, 2, 3);
  kv::matrixMultiply(&m, &s, &r);
  kv::matrixMultiply(&m, &m, &t);
  Vector3 scale, translation;
  Quaternion rotation;
  EXPECT_EQ(kv::matrixDecompose(&scale, &rotation, &translation, &m), S_OK);
  EXPECT_TRUE(near(scale, Vector3{2, 3, 4}, 2e-6f));
  EXPECT_TRUE(near(translation, Vector3{1, 2, 3}, 0.0f));
  EXPECT_TRUE(sameRotation(rotation, axisAngle({0, 0, 1}, 0.5f), 1e-6f));
  // Recomposed, it gives the matrix back.
  Matrix recomposed;
  kv::matrixTransformation(&recomposed, nullptr, nullptr, &scale, nullptr, &rotation, &translation);
  EXPECT_TRUE(near(recomposed, m, 1e-5f));

  // A shear is not a scaled rotation.
  Matrix shear = kv::identityMatrix();
  shear.m[1][0] = 0.5f;
  kv::matrixMultiply(&shear, &shear, &m);
  EXPECT_EQ(kv::matrixDecompose(&scale, &rotation, &translation, &shear), D3DERR_INVALIDCALL);

  // A mirror goes to the largest scale, the first of equal ones.
  kv::matrixScaling(&m, -1, 1, 1);
  EXPECT_EQ(kv::matrixDecompose(&scale, &rotation, &translation, &m), S_OK);
  EXPECT_TRUE(near(scale, Vector3{-1, 1, 1}, 0.0f));
  EXPECT_TRUE(sameRotation(rotation, Quaternion{0, 0, 0, 1}, 1e-6f));

  // Coplanar axes: refused, with the scale already stored.
  m = Matrix{{{1, 0, 0, 0}, {0, 1, 0, 0}, {1, 1, 0, 0}, {0, 0, 0, 1}}};
  EXPECT_EQ(kv::matrixDecompose(&scale, &rotation, &translation, &m), D3DERR_INVALIDCALL);
  EXPECT_TRUE(near(scale, Vector3{1, 1, 1.41421356f}, 1e-6f));
}

// Axes shorter than 0.0001 are rebuilt in the order of the scales: the largest becomes
// its unit axis if it vanishes, the middle one L x e_k (e_k along the smallest component
// of L), the smallest one L x Md; a mirror goes to the largest scale. Worked by hand.
TEST_P(MatrixOperations, DecompositionRebuildsVanishingAxesInScaleOrder) {
  const Quaternion none{0, 0, 0, 1}, quarterX{0.70710678f, 0, 0, 0.70710678f};
  struct Case {
    Vector3 rows[3];
    Vector3 scale;
    Quaternion rotation;
  };
  const Case cases[] = {
      {{{2, 0, 0}, {0, 0, 0}, {0, 0, 3}}, {2, 0, 3}, none},        // y = z x x
      {{{2, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {2, 0, 0}, quarterX},    // y = x x e_y, z = x x y
      {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {0, 0, 0}, quarterX},    // x = e_x, then as above
      // x = y x e_x = (0, 0, -1), z = y x x = (-1, 0, 0): a mirror, carried by y.
      {{{0, 0, 0}, {0, 3, 0}, {0, 0, 0}}, {0, -3, 0}, {0.70710678f, 0, -0.70710678f, 0}},
      {{{0, 0.0001f, 0}, {0, 0, 0}, {0, 0, 0}}, {0.0001f, 0, 0}, {0.5f, 0.5f, -0.5f, -0.5f}},  // 0.0001 is kept
      {{{2, 0, 0}, {0, -0.0001f, 0}, {0, 0, 0}}, {2, 0.0001f, 0}, {1, 0, 0, 0}},
      {{{2, 0, 0}, {0, 3, 0}, {0, 0, 0.0001f}}, {2, 3, 0.0001f}, none},
      {{{2, 0, 0}, {0, -3, 0}, {0, 0, 1}}, {2, -3, 1}, none},  // the mirror on y, the largest
  };
  for (const Case &c : cases) {
    Matrix m = kv::identityMatrix();
    for (int r = 0; r < 3; ++r) m.m[r][0] = c.rows[r].x, m.m[r][1] = c.rows[r].y, m.m[r][2] = c.rows[r].z;
    Vector3 scale, translation;
    Quaternion rotation;
    EXPECT_EQ(kv::matrixDecompose(&scale, &rotation, &translation, &m), S_OK) << c.scale.x << " " << c.scale.y;
    EXPECT_TRUE(near(scale, c.scale, 0.0f)) << c.scale.x << " " << c.scale.y;
    EXPECT_TRUE(sameRotation(rotation, c.rotation, 1e-6f)) << c.scale.x << " " << c.scale.y;
  }
}

TEST_P(MatrixOperations, ShadowAndReflection) {
  const Plane ground{0, 2, 0, 0};  // y = 0, not yet of unit length
  Matrix reflect;
  EXPECT_EQ(kv::matrixReflect(&reflect, &ground), &reflect);
  const Vector3 p{1, 2, 3};
  Vector3 out;
  kv::vec3TransformPoint(&out, &p, &reflect);
  EXPECT_TRUE(near(out, Vector3{1, -2, 3}, 1e-6f));
  const Plane raised{0, 1, 0, -1};  // y = 1
  kv::matrixReflect(&reflect, &raised);
  kv::vec3TransformPoint(&out, &p, &reflect);
  EXPECT_TRUE(near(out, Vector3{1, 0, 3}, 1e-6f));

  // A point light at (0, 10, 0) flattens (2, 5, 1) onto y = 0 along the ray: (4, 0, 2).
  const Vector4 light{0, 10, 0, 1};
  Matrix shadow;
  EXPECT_EQ(kv::matrixShadow(&shadow, &light, &ground), &shadow);
  const Vector3 q{2, 5, 1};
  kv::vec3TransformPoint(&out, &q, &shadow);
  EXPECT_TRUE(near(out, Vector3{4, 0, 2}, 1e-5f));
  // A directional light (w = 0) straight down drops the point onto the plane below it.
  const Vector4 down{0, 1, 0, 0};
  kv::matrixShadow(&shadow, &down, &ground);
  kv::vec3TransformPoint(&out, &q, &shadow);
  EXPECT_TRUE(near(out, Vector3{2, 0, 1}, 1e-5f));
}

TEST_P(MatrixOperations, CompositeTransformationsInThreeAndTwoDimensions) {
  const Vector3 move{1, 2, 3};
  Matrix out, expected;
  EXPECT_EQ(kv::matrixTransformation(&out, nullptr, nullptr, nullptr, nullptr, nullptr, &move), &out);
  kv::matrixTranslation(&expected, 1, 2, 3);
  EXPECT_TRUE(near(out, expected, 0.0f));

  // Scaling about a centre leaves the centre in place; rotation about a centre too.
  const Vector3 centre{1, 1, 0}, scaling{2, 3, 1};
  const Quaternion quarter = axisAngle({0, 0, 1}, kPi / 2);
  kv::matrixTransformation(&out, &centre, nullptr, &scaling, nullptr, nullptr, nullptr);
  Vector3 p;
  kv::vec3TransformPoint(&p, &centre, &out);
  EXPECT_TRUE(near(p, centre, 0.0f));
  kv::matrixTransformation(&out, nullptr, nullptr, nullptr, &centre, &quarter, &move);
  kv::vec3TransformPoint(&p, &centre, &out);
  EXPECT_TRUE(near(p, Vector3{2, 3, 3}, 1e-6f));
  const Vector3 east{2, 1, 0};  // one step east of the centre turns to one step north
  kv::vec3TransformPoint(&p, &east, &out);
  EXPECT_TRUE(near(p, Vector3{2, 4, 3}, 1e-6f));

  // Scaling along rotated axes: along the diagonal by 2 about the centre.
  const Quaternion eighth = axisAngle({0, 0, 1}, kPi / 4);
  const Vector3 alongX{2, 1, 1};
  kv::matrixTransformation(&out, &centre, &eighth, &alongX, nullptr, nullptr, nullptr);
  const Vector3 diagonal{2, 2, 0};
  kv::vec3TransformPoint(&p, &diagonal, &out);
  EXPECT_TRUE(near(p, Vector3{3, 3, 0}, 2e-6f));
  kv::vec3TransformPoint(&p, &centre, &out);
  EXPECT_TRUE(near(p, centre, 2e-6f));

  kv::matrixAffineTransformation(&out, 2.0f, &centre, &quarter, &move);
  kv::vec3TransformPoint(&p, &east, &out);
  // Scaled to (4, 2, 0), turned about the centre to (0, 4, 0), moved.
  EXPECT_TRUE(near(p, Vector3{1, 6, 3}, 2e-6f));

  const Vector2 centre2{1, 1}, scaling2{2, 3}, move2{1, 2};
  kv::matrixTransformation2D(&out, &centre2, 0.0f, &scaling2, &centre2, kPi / 2, &move2);
  const Vector2 east2{2, 1};
  Vector2 p2;
  kv::vec2TransformPoint(&p2, &east2, &out);
  // Scaled about the centre to (3, 1), turned about it to (1, 3), moved.
  EXPECT_TRUE(near(p2, Vector2{2, 5}, 2e-6f));
  EXPECT_EQ(out.m[2][2], 1.0f);
  kv::matrixAffineTransformation2D(&out, 2.0f, nullptr, 0.0f, &move2);
  kv::vec2TransformPoint(&p2, &east2, &out);
  EXPECT_TRUE(near(p2, Vector2{5, 4}, 0.0f));
}

TEST_P(MatrixOperations, VertexBlendingAndTrianglePatch) {
  struct Vertex {
    float x, y, z, weight;
    float nx, ny, nz;
    float u;
  };
  Matrix palette[2];
  kv::matrixTranslation(&palette[0], 10, 0, 0);
  kv::matrixRotationZ(&palette[1], kPi / 2);
  const Vertex in[2] = {{1, 0, 0, 0.25f, 1, 0, 0, 7}, {0, 1, 0, 1.0f, 0, 1, 0, 8}};
  Vertex out[2];
  const kv::VertexElement position{0, 4}, normal{16, 3};
  EXPECT_EQ(kv::blendVertices(palette, nullptr, in, out, 2, sizeof(Vertex), &position, &normal, nullptr), out);
  // 0.25 of (11, 0, 0) and 0.75 of (0, 1, 0); the normal 0.25 (1, 0, 0) + 0.75 (0, 1, 0).
  EXPECT_TRUE(near(Vector3{out[0].x, out[0].y, out[0].z}, Vector3{2.75f, 0.75f, 0}, 1e-6f));
  EXPECT_TRUE(near(Vector3{out[0].nx, out[0].ny, out[0].nz}, Vector3{0.25f, 0.75f, 0}, 1e-6f));
  EXPECT_TRUE(near(Vector3{out[1].x, out[1].y, out[1].z}, Vector3{10, 1, 0}, 1e-6f));
  EXPECT_EQ(out[1].u, 8.0f);
  // A layout that does not fit the vertex writes nothing.
  const kv::VertexElement tooWide{24, 4};
  out[0].x = 99.0f;
  EXPECT_EQ(kv::blendVertices(palette, nullptr, in, out, 2, sizeof(Vertex), &tooWide, nullptr, nullptr), nullptr);
  EXPECT_EQ(out[0].x, 99.0f);
  // The widest position: three weights, four matrices, the last taking 1 - 0.1 - 0.2 - 0.3.
  Matrix four[4];
  kv::matrixTranslation(&four[0], 1, 0, 0);
  kv::matrixTranslation(&four[1], 0, 1, 0);
  kv::matrixTranslation(&four[2], 0, 0, 1);
  kv::matrixTranslation(&four[3], 10, 10, 10);
  const float weighted[6] = {0, 0, 0, 0.1f, 0.2f, 0.3f};
  float blended[6];
  const kv::VertexElement threeWeights{0, 6};
  EXPECT_EQ(kv::blendVertices(four, nullptr, weighted, blended, 1, sizeof weighted, &threeWeights, nullptr, nullptr),
            blended);
  EXPECT_TRUE(near(Vector3{blended[0], blended[1], blended[2]}, Vector3{4.1f, 4.2f, 4.3f}, 2e-6f));

  // A flat triangle with the plane's normal at every corner is the triangle itself.
  const Vector3 corners[3] = {{0, 0, 0}, {3, 0, 0}, {0, 3, 0}};
  const Vector3 normals[3] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
  const Vector2 uv[4] = {{1, 0}, {0, 1}, {0, 0}, {0.25f, 0.5f}};
  Vector3 points[5];
  points[4] = {9, 9, 9};
  EXPECT_EQ(kv::evaluateTrianglePatch(corners, normals, uv, 4, points), points);
  EXPECT_TRUE(near(points[4], Vector3{9, 9, 9}, 0.0f));  // nothing past the count
  EXPECT_TRUE(near(points[0], corners[0], 1e-6f));
  EXPECT_TRUE(near(points[1], corners[1], 1e-6f));
  EXPECT_TRUE(near(points[2], corners[2], 1e-6f));
  EXPECT_TRUE(near(points[3], Vector3{1.5f, 0.75f, 0}, 2e-6f));
  // Normals tilted outward bulge the middle toward them.
  const Vector3 tilted[3] = {{0, 0, 1}, {0.6f, 0, 0.8f}, {0, 0.6f, 0.8f}};
  kv::evaluateTrianglePatch(corners, tilted, &uv[3], 1, points);
  EXPECT_GT(points[0].z, 0.0f);
}

KV_INSTANTIATE_FOR_EVERY_SET(QuaternionOperations);
KV_INSTANTIATE_FOR_EVERY_SET(MatrixOperations);

}  // namespace
}  // namespace kvmathtest
