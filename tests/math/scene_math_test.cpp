// The scene's matrix operations, the camera and projection, and the normalisation with
// the visible rules of each routine set.
#include <bit>
#include <cmath>
#include <limits>

#include "math/reciprocal_sqrt.h"
#include "math/scene_math.h"
#include "math/baseline/sine_cosine.h"
#include "math_test_support.h"

namespace kvmathtest {
namespace {

using kv::Matrix;
using kv::Vector3;

constexpr float kPi = 3.14159265358979f;

Vector3 transformPoint(const Vector3 &v, const Matrix &m) {
  return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0],
          v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1],
          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2]};
}

void expectNear(const Vector3 &actual, const Vector3 &expected, float tolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

Matrix sample(float seed) {
  Matrix m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = std::sin(seed + 1.7f * r + 0.3f * c) * 3.0f;
  return m;
}

Matrix referenceProduct(const Matrix &a, const Matrix &b) {
  Matrix p;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += static_cast<double>(a.m[r][k]) * b.m[k][c];
      p.m[r][c] = static_cast<float>(s);
    }
  return p;
}

void expectMatrixNear(const Matrix &actual, const Matrix &expected, float tolerance) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance) << r << "," << c;
}

class EachRoutineSet : public ::testing::TestWithParam<RoutineSet> {
 protected:
  void SetUp() override {
    set_ = GetParam();
    if (set_ != RoutineSet::Baseline && set_ != RoutineSet::ThreeDNow && !kv::simdRoutinesBuilt())
      GTEST_SKIP() << "no SIMD routines in this build";
    table_ = tableFor(set_);
  }
  RoutineSet set_{};
  kv::MathDispatchTable table_{};
};

TEST_P(EachRoutineSet, WorldMatrixOfScaleAndTranslationMovesTheVertex) {
  // identity x scaling x rotX x rotY x rotZ x translation, the product kept in place.
  Matrix world = kv::identityMatrix();
  Matrix step;
  table_.matrixMultiply(&world, &world, table_.matrixScaling(&step, 2.0f, 2.0f, 2.0f));
  table_.matrixMultiply(&world, &world, table_.matrixRotationX(&step, 0.0f));
  table_.matrixMultiply(&world, &world, table_.matrixRotationY(&step, 0.0f));
  table_.matrixMultiply(&world, &world, table_.matrixRotationZ(&step, 0.0f));
  table_.matrixMultiply(&world, &world, table_.matrixTranslation(&step, 10.0f, 20.0f, 30.0f));

  Matrix expected = kv::identityMatrix();
  expected.m[0][0] = expected.m[1][1] = expected.m[2][2] = 2.0f;
  expected.m[3][0] = 10.0f;
  expected.m[3][1] = 20.0f;
  expected.m[3][2] = 30.0f;
  expectMatrixNear(world, expected, 0.0f);
  expectNear(transformPoint({1.0f, 1.0f, 1.0f}, world), {12.0f, 22.0f, 32.0f}, 0.0f);
}

TEST_P(EachRoutineSet, ProductIsFormedBeforeItIsStoredWhateverTheAliasing) {
  const Matrix a = sample(0.1f), b = sample(2.3f);
  const Matrix ab = referenceProduct(a, b);

  Matrix out;
  EXPECT_EQ(table_.matrixMultiply(&out, &a, &b), &out);
  expectMatrixNear(out, ab, 1e-5f);

  Matrix left = a;
  table_.matrixMultiply(&left, &left, &b);
  expectMatrixNear(left, ab, 1e-5f);

  Matrix right = b;
  table_.matrixMultiply(&right, &a, &right);
  expectMatrixNear(right, ab, 1e-5f);

  Matrix both = a;
  table_.matrixMultiply(&both, &both, &both);
  expectMatrixNear(both, referenceProduct(a, a), 1e-5f);
}

TEST_P(EachRoutineSet, RotationsTurnTheAxesTheLeftHandedWay) {
  Matrix m;
  expectNear(transformPoint({1, 0, 0}, *table_.matrixRotationZ(&m, kPi / 2)), {0, 1, 0}, 1e-6f);
  expectNear(transformPoint({0, 1, 0}, *table_.matrixRotationX(&m, kPi / 2)), {0, 0, 1}, 1e-6f);
  expectNear(transformPoint({0, 0, 1}, *table_.matrixRotationY(&m, kPi / 2)), {1, 0, 0}, 1e-6f);
  // A general angle in every quadrant, against the exact sine and cosine.
  for (float angle = -7.0f; angle <= 7.0f; angle += 0.37f) {
    table_.matrixRotationZ(&m, angle);
    EXPECT_NEAR(m.m[0][0], std::cos(static_cast<double>(angle)), 2e-7) << angle;
    EXPECT_NEAR(m.m[0][1], std::sin(static_cast<double>(angle)), 2e-7) << angle;
    EXPECT_EQ(m.m[1][0], -m.m[0][1]);
    EXPECT_EQ(m.m[3][3], 1.0f);
  }
}

TEST_P(EachRoutineSet, NormalisationOfZeroGivesZeroAndOfALongVectorAUnitOne) {
  Vector3 v{0.0f, 0.0f, 0.0f};
  table_.vec3Normalize(&v, &v);
  expectNear(v, {0, 0, 0}, 0.0f);

  const Vector3 along{0.0f, 0.0f, 580.0f};
  Vector3 out{};
  EXPECT_EQ(table_.vec3Normalize(&out, &along), &out);
  expectNear(out, {0, 0, 1}, 2e-6f);

  // In place, a general direction.
  Vector3 w{3.0f, -4.0f, 12.0f};
  table_.vec3Normalize(&w, &w);
  expectNear(w, {3.0f / 13, -4.0f / 13, 12.0f / 13}, 2e-6f);
}

TEST_P(EachRoutineSet, NormalisationKeepsTheSetsOwnRules) {
  // A unit vector that is not quite unit: the baseline leaves it alone.
  const Vector3 nearlyUnit{1.000004f, 0.0f, 0.0f};
  Vector3 out{};
  table_.vec3Normalize(&out, &nearlyUnit);
  if (set_ == RoutineSet::Baseline)
    EXPECT_EQ(out.x, nearlyUnit.x);
  else
    EXPECT_NEAR(out.x, 1.0f, 5e-7f);

  // q = 1e-16 lies below the SSE threshold 2^-46 but far above 2^-126.
  const Vector3 tiny{1e-8f, 0.0f, 0.0f};
  table_.vec3Normalize(&out, &tiny);
  if (set_ == RoutineSet::Sse || set_ == RoutineSet::Sse2)
    EXPECT_EQ(out.x, 0.0f);
  else
    EXPECT_NEAR(out.x, 1.0f, 2e-6f);

  // q = 1e-40 (a float denormal): zero for the 3DNow! and SSE sets, a unit vector from
  // the baseline (its reciprocal root handles denormals; q itself has lost a few bits).
  const Vector3 tinier{1e-20f, 0.0f, 0.0f};
  table_.vec3Normalize(&out, &tinier);
  if (set_ == RoutineSet::Baseline)
    EXPECT_NEAR(out.x, 1.0f, 1e-5f);
  else
    EXPECT_EQ(out.x, 0.0f);

  // The bounds themselves, with exact squares: q = 2^-126 is zero for the 3DNow! set (its
  // bound is inclusive) and a unit vector for the baseline; q = 2^-46 is kept by the SSE
  // sets (their bound is exclusive), q one ulp below it is not.
  struct Edge {
    float x;
    bool zeroFor3DNow, zeroForSse;
  };
  for (const Edge &e : {Edge{0x1p-63f, true, true}, Edge{0x1.000002p-63f, false, true},
                        Edge{0x1p-23f, false, false}, Edge{0x1.fffffep-24f, false, true}}) {
    const Vector3 in{0.0f, e.x, 0.0f};
    out = {5.0f, 5.0f, 5.0f};
    table_.vec3Normalize(&out, &in);
    const bool zero = set_ == RoutineSet::ThreeDNow ? e.zeroFor3DNow : set_ != RoutineSet::Baseline && e.zeroForSse;
    expectNear(out, {0, zero ? 0.0f : 1.0f, 0}, 2e-6f);
  }

  // Not a number: zero in the SSE sets.
  const Vector3 nan{std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f};
  out = {5.0f, 5.0f, 5.0f};
  table_.vec3Normalize(&out, &nan);
  if (set_ == RoutineSet::Sse || set_ == RoutineSet::Sse2) {
    expectNear(out, {0, 0, 0}, 0.0f);
  }
}

INSTANTIATE_TEST_SUITE_P(Sets, EachRoutineSet,
                         ::testing::Values(RoutineSet::Baseline, RoutineSet::Sse, RoutineSet::Sse2,
                                           RoutineSet::ThreeDNow),
                         [](const auto &info) { return std::string(nameOf(info.param)); });

TEST(BaselineNormalize, UnitVectorIsReturnedUntouchedAndCopiedOnlyWhenNeeded) {
  const kv::MathDispatchTable table = tableFor(RoutineSet::Baseline);
  const Vector3 unit{1.0f, 0.0f, 0.0f};
  Vector3 out{9.0f, 9.0f, 9.0f};
  table.vec3Normalize(&out, &unit);
  EXPECT_EQ(out.x, 1.0f);
  EXPECT_EQ(out.y, 0.0f);
  // The bound is inclusive at about 1e-5 and exclusive beyond.
  const Vector3 edge{std::sqrt(1.0f + 9.5e-6f), 0.0f, 0.0f};
  table.vec3Normalize(&out, &edge);
  EXPECT_EQ(out.x, edge.x);
  const Vector3 beyond{std::sqrt(1.0f + 2e-5f), 0.0f, 0.0f};
  table.vec3Normalize(&out, &beyond);
  EXPECT_NE(out.x, beyond.x);
}

TEST(ThreeDNowSinCos, StaysWithinAFewUlpsOfTheExactValues) {
  for (float angle = -400.0f; angle <= 400.0f; angle += 0.0137f) {
    float s, c;
    kv::singlePrecisionSinCos(angle, &s, &c);
    ASSERT_NEAR(s, std::sin(static_cast<double>(angle)), 3e-7) << angle;
    ASSERT_NEAR(c, std::cos(static_cast<double>(angle)), 3e-7) << angle;
  }
  float s, c;
  kv::singlePrecisionSinCos(std::numeric_limits<float>::infinity(), &s, &c);
  EXPECT_TRUE(std::isnan(s));
  kv::singlePrecisionSinCos(1e30f, &s, &c);  // huge angles fall back instead of overflowing
  EXPECT_LE(std::fabs(s), 1.0f);
}

TEST(TableReciprocalSqrt, GivesTheKnownValues) {
  EXPECT_NEAR(kv::tableReciprocalSqrt(1.0f), 1.0f, 2e-6f);
  EXPECT_NEAR(kv::tableReciprocalSqrt(2.0f), 0.70710678f, 0.70710678f * 2e-6f);
  EXPECT_NEAR(kv::tableReciprocalSqrt(4.0f), 0.5f, 0.5f * 2e-6f);
  EXPECT_NEAR(kv::tableReciprocalSqrt(0.25f), 2.0f, 2.0f * 2e-6f);
  // +0 gives a large finite value, so that x * r(x) is a square root that is 0 at 0.
  const float atZero = kv::tableReciprocalSqrt(0.0f);
  EXPECT_TRUE(std::isfinite(atZero));
  EXPECT_NEAR(atZero, 1.3044e19f, 0.0001e19f);
  EXPECT_EQ(0.0f * atZero, 0.0f);
}

TEST(TableReciprocalSqrt, TableFollowsItsRuleInTheTellingRows) {
  const kv::ReciprocalSqrtEntry *table = kv::reciprocalSqrtTable();
  EXPECT_FLOAT_EQ(table[0].slope, -1.41009521f);
  EXPECT_FLOAT_EQ(table[0].intercept, 2.11926126f);
  EXPECT_FLOAT_EQ(table[256].slope, -0.498535156f);
  EXPECT_FLOAT_EQ(table[256].intercept, 1.49853516f);
  EXPECT_FLOAT_EQ(table[511].slope, -0.177032471f);
  EXPECT_FLOAT_EQ(table[511].intercept, 1.06117177f);
}

TEST(TableReciprocalSqrt, StaysWithinTwoMillionthsOverEveryOctaveAndTheDenormals) {
  double worst = 0.0;
  for (uint32_t bits = 1; bits < 0x7F800000u; bits += 0x1F3Bu) {
    const float q = std::bit_cast<float>(bits);
    const double exact = 1.0 / std::sqrt(static_cast<double>(q));
    worst = std::max(worst, std::fabs(kv::tableReciprocalSqrt(q) - exact) / exact);
  }
  EXPECT_LT(worst, 2e-6);
}

TEST(LookAt, TheScenesCameraGivesIdentityWithTheDistanceInRowThree) {
  const Vector3 eye{0.0f, 0.0f, -580.0f}, at{0.0f, 0.0f, 0.0f}, up{0.0f, 1.0f, 0.0f};
  for (RoutineSet set : runnableSets()) {
    kv::test_hooks::resetMathDispatch();
    kv::g_mathDispatchTable = tableFor(set);
    Matrix view;
    EXPECT_EQ(kv::matrixLookAtLH(&view, &eye, &at, &up), &view);
    Matrix expected = kv::identityMatrix();
    expected.m[3][2] = 580.0f;
    expectMatrixNear(view, expected, 1e-6f * 580.0f);
  }
  kv::test_hooks::resetMathDispatch();
}

TEST(LookAt, DegenerateCamerasGiveZeroAxesNotNumbersThatAreNotNumbers) {
  kv::test_hooks::resetMathDispatch();
  kv::g_mathDispatchTable = tableFor(RoutineSet::Baseline);
  const Vector3 eye{1.0f, 2.0f, 3.0f}, up{0.0f, 1.0f, 0.0f};
  Matrix view;
  kv::matrixLookAtLH(&view, &eye, &eye, &up);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(view.m[r][c], 0.0f);
  EXPECT_EQ(view.m[3][3], 1.0f);

  const Vector3 above{1.0f, 10.0f, 3.0f};
  kv::matrixLookAtLH(&view, &eye, &above, &up);  // up along the view direction
  EXPECT_EQ(view.m[0][0], 0.0f);
  EXPECT_EQ(view.m[1][2], 1.0f);
  kv::test_hooks::resetMathDispatch();
}

TEST(Perspective, TheScenesProjectionHasTheExpectedElements) {
  Matrix p;
  EXPECT_EQ(kv::matrixPerspectiveFovLH(&p, std::bit_cast<float>(0x3F490FDBu), 4.0f / 3.0f, 0.1f, 100000.0f), &p);
  EXPECT_NEAR(p.m[0][0], 1.8106602f, 1e-6f);
  EXPECT_NEAR(p.m[1][1], 2.4142137f, 1e-6f);
  EXPECT_NEAR(p.m[2][2], 1.000001f, 1e-6f);
  EXPECT_NEAR(p.m[3][2], -0.1000001f, 1e-7f);
  EXPECT_EQ(p.m[2][3], 1.0f);
  EXPECT_EQ(p.m[3][3], 0.0f);
  EXPECT_EQ(p.m[0][1], 0.0f);
  EXPECT_EQ(p.m[3][0], 0.0f);
}

TEST(Perspective, DegenerateArgumentsGiveInfinitiesRatherThanFailing) {
  Matrix p;
  kv::matrixPerspectiveFovLH(&p, 1.0f, 0.0f, 1.0f, 1.0f);
  EXPECT_TRUE(std::isinf(p.m[0][0]));
  EXPECT_TRUE(std::isinf(p.m[2][2]));
}

}  // namespace
}  // namespace kvmathtest
