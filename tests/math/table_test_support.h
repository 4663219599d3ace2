// For the tests of the table's operations: a fixture that runs each test once per
// routine set with that set's table in force (so the entries, and the operations that
// call other entries, use it), and comparisons of the table's value types.
#pragma once

#include <cmath>
#include <cstring>

#include "math/math_types.h"
#include "math_test_support.h"

namespace kvmathtest {

class EachSetsEntries : public ::testing::TestWithParam<RoutineSet> {
 protected:
  void SetUp() override {
    set_ = GetParam();
    if ((set_ == RoutineSet::Sse || set_ == RoutineSet::Sse2) && !kv::simdRoutinesBuilt())
      GTEST_SKIP() << "no SIMD routines in this build";
    kv::test_hooks::resetMathDispatch();
    kv::g_mathDispatchTable = tableFor(set_);
  }
  void TearDown() override { kv::test_hooks::resetMathDispatch(); }

  bool simd() const { return set_ == RoutineSet::Sse || set_ == RoutineSet::Sse2; }

  RoutineSet set_{};
};

#define KV_INSTANTIATE_FOR_EVERY_SET(suite)                                                                  \
  INSTANTIATE_TEST_SUITE_P(Sets, suite,                                                                      \
                           ::testing::Values(RoutineSet::Baseline, RoutineSet::Sse, RoutineSet::Sse2,       \
                                             RoutineSet::ThreeDNow),                                         \
                           [](const auto &info) { return std::string(nameOf(info.param)); })

// Element-wise comparison of any of the float-run types.
template <typename T>
::testing::AssertionResult near(const T &actual, const T &expected, float tolerance) {
  constexpr int n = sizeof(T) / sizeof(float);
  float a[n], e[n];
  std::memcpy(a, &actual, sizeof a);
  std::memcpy(e, &expected, sizeof e);
  for (int i = 0; i < n; ++i) {
    if (!(std::fabs(a[i] - e[i]) <= tolerance))
      return ::testing::AssertionFailure() << "component " << i << ": " << a[i] << " vs " << e[i];
  }
  return ::testing::AssertionSuccess();
}

// The "nearly equal" bound of the operations themselves.
constexpr float kNearly = 1.1920929e-7f;

inline kv::Matrix sampleMatrix(float seed) {
  kv::Matrix m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = std::sin(seed + 1.3f * r + 0.7f * c + 0.1f * r * c) * 2.0f;
  return m;
}

inline kv::Vector4 referenceTimes(float x, float y, float z, float w, const kv::Matrix &m) {
  double r[4];
  for (int c = 0; c < 4; ++c)
    r[c] = static_cast<double>(x) * m.m[0][c] + static_cast<double>(y) * m.m[1][c] +
           static_cast<double>(z) * m.m[2][c] + static_cast<double>(w) * m.m[3][c];
  return {static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2]), static_cast<float>(r[3])};
}

inline kv::Matrix referenceProduct(const kv::Matrix &a, const kv::Matrix &b) {
  kv::Matrix p;
  for (int r = 0; r < 4; ++r) {
    const kv::Vector4 row = referenceTimes(a.m[r][0], a.m[r][1], a.m[r][2], a.m[r][3], b);
    p.m[r][0] = row.x;
    p.m[r][1] = row.y;
    p.m[r][2] = row.z;
    p.m[r][3] = row.w;
  }
  return p;
}

}  // namespace kvmathtest
