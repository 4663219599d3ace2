// Half-float conversions: every 16-bit pattern, the listed float cases, and agreement of
// every routine set with the baseline bit for bit.
#include <bit>
#include <cfenv>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "math/half_float.h"
#include "math_test_support.h"

namespace kvmathtest {
namespace {

uint32_t bitsOf(float f) { return std::bit_cast<uint32_t>(f); }
float floatOf(uint32_t bits) { return std::bit_cast<float>(bits); }

class HalfFloatSets : public ::testing::TestWithParam<RoutineSet> {
 protected:
  void SetUp() override {
    set_ = GetParam();
    if ((set_ == RoutineSet::Sse || set_ == RoutineSet::Sse2) && !kv::simdRoutinesBuilt())
      GTEST_SKIP() << "no SIMD routines in this build";
    table_ = tableFor(set_);
  }
  uint16_t toHalf(float value) const {
    uint16_t h = 0xDEAD;
    table_.float32To16Array(&h, &value, 1);
    return h;
  }
  RoutineSet set_{};
  kv::MathDispatchTable table_{};
};

TEST_P(HalfFloatSets, EveryHalfSurvivesTheRoundTripAndConvertsExactly) {
  std::vector<uint16_t> halves(65536);
  for (uint32_t i = 0; i < 65536; ++i) halves[i] = static_cast<uint16_t>(i);
  std::vector<float> floats(65536);
  std::vector<uint16_t> back(65536, 0);
  EXPECT_EQ(table_.float16To32Array(floats.data(), halves.data(), 65536), floats.data());
  EXPECT_EQ(table_.float32To16Array(back.data(), floats.data(), 65536), back.data());
  for (uint32_t i = 0; i < 65536; ++i) {
    ASSERT_EQ(back[i], halves[i]) << std::hex << i;
    // The value itself: (1 + f/1024) * 2^(e-15), or f * 2^-24 for e = 0, with the sign.
    const uint32_t e = (i >> 10) & 31, f = i & 1023;
    const double magnitude = e ? std::ldexp(1.0 + f / 1024.0, static_cast<int>(e) - 15) : std::ldexp(f, -24);
    ASSERT_EQ(floats[i], static_cast<float>((i & 0x8000) ? -magnitude : magnitude)) << std::hex << i;
    ASSERT_EQ(std::signbit(floats[i]), (i & 0x8000) != 0) << std::hex << i;
  }
}

TEST_P(HalfFloatSets, FloatsRoundToNearestEvenAndSaturate) {
  EXPECT_EQ(toHalf(1.0f), 0x3C00);
  EXPECT_EQ(toHalf(-2.0f), 0xC000);
  EXPECT_EQ(toHalf(65504.0f), 0x7BFF);
  EXPECT_EQ(toHalf(65536.0f), 0x7C00);
  EXPECT_EQ(toHalf(131008.0f), 0x7FFF);
  EXPECT_EQ(toHalf(floatOf(0x47FFEFFFu)), 0x7FFF);  // 131039.99 rounds to the largest
  EXPECT_EQ(toHalf(131040.0f), 0x7FFF);
  EXPECT_EQ(toHalf(1e30f), 0x7FFF);
  EXPECT_EQ(toHalf(std::numeric_limits<float>::infinity()), 0x7FFF);
  EXPECT_EQ(toHalf(-std::numeric_limits<float>::infinity()), 0xFFFF);
  EXPECT_EQ(toHalf(std::numeric_limits<float>::quiet_NaN()), 0x7FFF);
  EXPECT_EQ(toHalf(floatOf(0xFFC00001u)), 0xFFFF);  // a negative not-a-number
  EXPECT_EQ(toHalf(std::ldexp(1.0f, -14)), 0x0400);
  EXPECT_EQ(toHalf(std::ldexp(1.0f, -24)), 0x0001);
  EXPECT_EQ(toHalf(std::ldexp(1.0f, -25)), 0x0000);  // an exact tie goes to even
  EXPECT_EQ(toHalf(std::ldexp(1.5f, -25)), 0x0001);
  EXPECT_EQ(toHalf(std::ldexp(3.0f, -25)), 0x0002);  // tie between 1 and 2 goes to 2
  EXPECT_EQ(toHalf(-0.0f), 0x8000);
  EXPECT_EQ(toHalf(floatOf(0x00000001u)), 0x0000);  // float denormals keep only their sign
  EXPECT_EQ(toHalf(floatOf(0x80400000u)), 0x8000);
  EXPECT_EQ(toHalf(1.0f + std::ldexp(1.0f, -11)), 0x3C00);  // tie in the normal range: even
  EXPECT_EQ(toHalf(1.0f + 3 * std::ldexp(1.0f, -11)), 0x3C02);
  EXPECT_EQ(toHalf(floatOf(0x387FFFFFu)), 0x0400);  // the largest denormal rounds up into the normals
  // The same ties in a whole group of eight: k + 1/2 units of 2^-24 go to the even neighbour.
  float ties[8];
  for (int k = 0; k < 8; ++k) ties[k] = std::ldexp(k + 0.5f, -24);
  uint16_t halves[8];
  table_.float32To16Array(halves, ties, 8);
  const uint16_t even[8] = {0, 2, 2, 4, 4, 6, 6, 8};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(halves[k], even[k]) << k;
}

TEST_P(HalfFloatSets, ValueJustAboveADenormalTieRoundsUp) {
  // 2^-25 * (1 + 2^-20): the excess lies below the bits that a plain shift keeps, and
  // must still decide the rounding.
  EXPECT_EQ(toHalf(std::ldexp(1.0f + std::ldexp(1.0f, -20), -25)), 0x0001);
  EXPECT_EQ(toHalf(std::ldexp(1.25f, -23) + std::ldexp(1.0f, -46)), 0x0003);  // 2.5 + a little, in 2^-24 units
}

TEST_P(HalfFloatSets, HalvesConvertBackAsListed) {
  const uint16_t halves[] = {0x0001, 0x03FF, 0x8000, 0x7C00, 0x7FFF, 0x3C00};
  float out[6];
  table_.float16To32Array(out, halves, 6);
  EXPECT_EQ(bitsOf(out[0]), 0x33800000u);
  EXPECT_EQ(out[1], 1023.0f * std::ldexp(1.0f, -24));
  EXPECT_EQ(bitsOf(out[2]), 0x80000000u);
  EXPECT_EQ(out[3], 65536.0f);
  EXPECT_EQ(out[4], 131008.0f);
  EXPECT_EQ(out[5], 1.0f);
}

TEST_P(HalfFloatSets, AgreesWithTheBaselineOnEveryCountAndManyFloats) {
  // Random bit patterns (all classes) plus the region around each boundary.
  std::mt19937 random(1234);
  std::vector<float> in;
  for (int i = 0; i < 200000; ++i) in.push_back(floatOf(random()));
  for (uint32_t base : {0x38800000u, 0x47FFEFFFu, 0x33000000u, 0x00000000u, 0x3C000000u})
    for (uint32_t d = 0; d < 4096; ++d) {
      in.push_back(floatOf(base + d));
      in.push_back(floatOf(base - d));
      in.push_back(floatOf((base + d) | 0x80000000u));
    }
  const kv::MathDispatchTable baseline = tableFor(RoutineSet::Baseline);
  std::vector<uint16_t> expected(in.size()), actual(in.size());
  baseline.float32To16Array(expected.data(), in.data(), static_cast<UINT>(in.size()));
  table_.float32To16Array(actual.data(), in.data(), static_cast<UINT>(in.size()));
  for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(actual[i], expected[i]) << std::hex << bitsOf(in[i]);

  // Every count from 0 to 19 writes exactly its elements (tails, groups of 4 and 8).
  for (UINT count = 0; count < 20; ++count) {
    std::vector<uint16_t> halves(count + 2, 0xBEEF);
    std::vector<float> floats(count + 2, -1.0f);
    table_.float32To16Array(halves.data() + 1, in.data(), count);
    table_.float16To32Array(floats.data() + 1, expected.data(), count);
    EXPECT_EQ(halves.front(), 0xBEEF);
    EXPECT_EQ(halves[count + 1], 0xBEEF) << count;
    EXPECT_EQ(floats[count + 1], -1.0f) << count;
    for (UINT i = 0; i < count; ++i) {
      EXPECT_EQ(halves[i + 1], expected[i]) << count;
      EXPECT_EQ(bitsOf(floats[i + 1]), bitsOf(kv::float16To32(expected[i]))) << count;
    }
  }
}

TEST_P(HalfFloatSets, ResultsDoNotDependOnTheRoundingModeInForce) {
  // Every denormal-range float pattern step, where rounding is done at all.
  std::vector<float> in;
  for (uint32_t bits = 0; bits < 0x38800000u; bits += 0x777u) in.push_back(floatOf(bits));
  std::vector<uint16_t> expected(in.size()), actual(in.size());
  tableFor(RoutineSet::Baseline).float32To16Array(expected.data(), in.data(), static_cast<UINT>(in.size()));
  for (int mode : {FE_TOWARDZERO, FE_UPWARD, FE_DOWNWARD}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    table_.float32To16Array(actual.data(), in.data(), static_cast<UINT>(in.size()));
    std::fesetround(FE_TONEAREST);
    for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(actual[i], expected[i]) << mode << " " << std::hex << bitsOf(in[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(Sets, HalfFloatSets,
                         ::testing::Values(RoutineSet::Baseline, RoutineSet::Sse, RoutineSet::Sse2,
                                           RoutineSet::ThreeDNow),
                         [](const auto &info) { return std::string(nameOf(info.param)); });

TEST(HalfFloatEntries, GoThroughTheTableChosenForTheProcessor) {
  kv::test_hooks::resetMathDispatch();
  const float in[5] = {1.0f, -2.0f, 0.5f, 65504.0f, -0.0f};
  uint16_t out[5] = {};
  EXPECT_EQ(kv::float32To16Array(out, in, 5), out);
  EXPECT_NE(kv::mathVariant(), kv::kMathVariantNotSetUp);
  const uint16_t expected[5] = {0x3C00, 0xC000, 0x3800, 0x7BFF, 0x8000};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], expected[i]);
  kv::test_hooks::resetMathDispatch();
}

}  // namespace
}  // namespace kvmathtest
