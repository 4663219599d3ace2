// The linear and tent filters against an independent reference in double precision: the
// linear filter as interpolation between the two nearest source centres, the tent filter as
// the integral of the sum of the source pixels' tents (and their wrapped or mirrored
// images) over each destination cell.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "convert_support.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/convert/resampling_tables.h"

namespace kv_test {
namespace {

using namespace kv;

// weights[j][i]: the share of source index i in destination index j along one axis.
using Weights = std::vector<std::vector<double>>;

Weights linearWeights(uint32_t n, uint32_t m, bool mirror) {
  Weights w(m, std::vector<double>(n, 0.0));
  for (uint32_t j = 0; j < m; ++j) {
    const double position = (j + 0.5) * n / m - 0.5;
    const double base = std::floor(position), frac = position - base;
    for (int k = 0; k < 2; ++k) {
      long index = long(base) + k;
      if (mirror) {
        index = std::clamp(index, 0L, long(n) - 1);
      } else {
        index = ((index % long(n)) + long(n)) % long(n);
      }
      w[j][size_t(index)] += k ? frac : 1.0 - frac;
    }
  }
  return w;
}

// A tent of height 1 over source coordinates [centre - 1, centre + 1].
double tent(double s, double centre) { return std::max(0.0, 1.0 - std::fabs(s - centre)); }

Weights tentWeights(uint32_t n, uint32_t m, bool mirror) {
  Weights w(m, std::vector<double>(n, 0.0));
  const double b = double(m) / n;  // destination cells per source pixel
  const int steps = 4096;
  for (uint32_t j = 0; j < m; ++j) {
    for (uint32_t i = 0; i < n; ++i) {
      // The source pixel and its images: periodic copies when wrapping, reflections off
      // both edges when mirroring.
      std::vector<double> centres;
      for (int period = -2; period <= 2; ++period) {
        if (mirror) {
          centres.push_back(i + 0.5 + 2.0 * n * period);
          centres.push_back(-0.5 - i + 2.0 * n * period);
        } else {
          centres.push_back(i + 0.5 + double(n) * period);
        }
      }
      double sum = 0.0;
      for (int k = 0; k < steps; ++k) {
        const double x = j + (k + 0.5) / steps;  // destination coordinate
        for (double centre : centres) sum += tent(x / b, centre);
      }
      w[j][i] = sum / steps;
    }
  }
  return w;
}

// The reference result of a separable filter on a float image.
Image reference(Image &source, uint32_t w, uint32_t h, uint32_t d, const Weights &wx, const Weights &wy,
                const Weights &wz) {
  Image out = floatImage(w, h, d);
  for (uint32_t z = 0; z < d; ++z)
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c) {
          double sum = 0.0;
          for (uint32_t k = 0; k < source.depth; ++k)
            for (uint32_t j = 0; j < source.height; ++j)
              for (uint32_t i = 0; i < source.width; ++i)
                sum += wz[z][k] * wy[y][j] * wx[x][i] * source.floats(i, j, k)[c];
          out.floats(x, y, z)[c] = float(sum);
        }
  return out;
}

struct Case {
  uint32_t W, H, D, w, h, d;
};

// 7 -> 3, 3 -> 7 and 1 -> 5 on every axis, in two and three dimensions.
const Case kCases[] = {
    {7, 3, 1, 3, 7, 1}, {1, 7, 1, 5, 3, 1}, {3, 1, 1, 7, 5, 1},
    {7, 3, 1, 3, 7, 5}, {1, 7, 3, 5, 3, 7}, {3, 1, 7, 7, 5, 3},
};

void expectFilterMatches(uint32_t code, Weights (*weights)(uint32_t, uint32_t, bool)) {
  for (const Case &c : kCases) {
    for (bool mirror : {false, true}) {
      Image source = floatImage(c.W, c.H, c.D), result = floatImage(c.w, c.h, c.d);
      source.randomizeFloats(c.W * 100 + c.H * 10 + c.D);
      const uint32_t flags = code | (mirror ? MirrorU | MirrorV | MirrorW : 0);
      ASSERT_EQ(convert(result, source, flags), S_OK);
      Image expected = reference(source, c.w, c.h, c.d, weights(c.W, c.w, mirror), weights(c.H, c.h, mirror),
                                 weights(c.D, c.d, mirror));
      for (uint32_t z = 0; z < c.d; ++z)
        for (uint32_t y = 0; y < c.h; ++y)
          for (uint32_t x = 0; x < c.w; ++x)
            for (int ch = 0; ch < 4; ++ch)
              ASSERT_NEAR(result.floats(x, y, z)[ch], expected.floats(x, y, z)[ch], 2e-5)
                  << c.W << "x" << c.H << "x" << c.D << " -> " << c.w << "x" << c.h << "x" << c.d
                  << (mirror ? " mirrored" : " wrapped") << " at " << x << "," << y << "," << z;
    }
  }
}

TEST(LinearFilter, MatchesTheReferenceOnOddSizesWrappedAndMirrored) {
  expectFilterMatches(FilterLinear, linearWeights);
}

TEST(TentFilter, MatchesTheReferenceOnOddSizesWrappedAndMirrored) { expectFilterMatches(FilterTriangle, tentWeights); }

TEST(LinearTaps, TwoToOneAndOneToTwoFollowThePixelCentres) {
  std::vector<LinearTap> taps;
  ASSERT_TRUE(buildLinearTaps(2, 1, true, taps));
  EXPECT_EQ(taps[0].first, 0);
  EXPECT_EQ(taps[0].second, 1);
  EXPECT_FLOAT_EQ(taps[0].firstWeight, 0.5f);
  EXPECT_FLOAT_EQ(taps[0].secondWeight, 0.5f);
  for (bool wrap : {true, false}) {
    ASSERT_TRUE(buildLinearTaps(1, 2, wrap, taps));
    EXPECT_EQ(taps[0].first, 0);
    EXPECT_EQ(taps[0].second, 0);
    EXPECT_FLOAT_EQ(taps[0].firstWeight, 0.25f);
    EXPECT_FLOAT_EQ(taps[0].secondWeight, 0.75f);
  }
}

TEST(LinearTaps, EdgeTapsStayInsideTheSourceForExtremeRatios) {
  std::vector<LinearTap> taps;
  for (uint32_t n : {1u, 2u, 3u, 7u, 1000u})
    for (uint32_t m : {1u, 3u, 5u, 4096u})
      for (bool wrap : {true, false}) {
        ASSERT_TRUE(buildLinearTaps(n, m, wrap, taps));
        for (const LinearTap &t : taps) {
          EXPECT_GE(t.first, 0);
          EXPECT_LT(t.first, int32_t(n));
          EXPECT_GE(t.second, 0);
          EXPECT_LT(t.second, int32_t(n));
        }
      }
}

// Every tap against the table's rule worked in double precision: position c = (i + 0.5) n / m
// + 0.5, the two source indices below and at c weighted by their distance, an index before
// the first becoming n - 1 (wrap) or 0 and one past the last becoming 0 (wrap) or n - 1.
// Positions within a hair of a whole number may round either way in single precision and
// are left out.
TEST(LinearTaps, EveryTapFollowsTheRuleAtTheEdgesAndBetween) {
  std::vector<LinearTap> taps;
  for (uint32_t n : {1u, 2u, 3u, 5u, 7u, 64u, 1000u})
    for (uint32_t m : {1u, 2u, 3u, 5u, 16u, 33u, 4096u})
      for (bool wrap : {true, false}) {
        ASSERT_TRUE(buildLinearTaps(n, m, wrap, taps));
        ASSERT_EQ(taps.size(), m);
        for (uint32_t i = 0; i < m; ++i) {
          const double c = (i + 0.5) * n / m + 0.5, j = std::floor(c);
          if (c - j < 1e-4 || j + 1 - c < 1e-4) continue;
          int32_t first = int32_t(j) - 1, second = int32_t(j);
          if (first < 0) first = wrap ? int32_t(n) - 1 : 0;
          if (second >= int32_t(n)) second = wrap ? 0 : int32_t(n) - 1;
          const LinearTap &t = taps[i];
          ASSERT_EQ(t.first, first) << n << " -> " << m << " wrap " << wrap << " at " << i;
          ASSERT_EQ(t.second, second) << n << " -> " << m << " wrap " << wrap << " at " << i;
          ASSERT_NEAR(t.firstWeight, j + 1 - c, 1e-4) << n << " -> " << m << " at " << i;
          ASSERT_NEAR(t.secondWeight, c - j, 1e-4) << n << " -> " << m << " at " << i;
        }
      }
}

TEST(TentList, WeightsOfEachDestinationPixelSumToOne) {
  for (uint32_t n : {1u, 2u, 3u, 7u, 64u})
    for (uint32_t m : {1u, 3u, 5u, 50u, 128u})
      for (bool wrap : {true, false}) {
        TentList list;
        ASSERT_TRUE(list.build(n, m, wrap));
        std::vector<double> sums(m, 0.0);
        for (uint32_t i = 0; i < n; ++i)
          for (const TentList::Entry *e = list.begin(i); e != list.end(i); ++e) {
            ASSERT_GE(e->destination, 0);
            ASSERT_LT(e->destination, int32_t(m));
            sums[size_t(e->destination)] += e->weight;
          }
        for (uint32_t j = 0; j < m; ++j) EXPECT_NEAR(sums[j], 1.0, 1e-4) << n << " -> " << m << " at " << j;
      }
}

TEST(TentFilter, BoxJobsOfOtherRatiosUseIt) {
  Image source = argbImage(5, 5), tent = argbImage(3, 2), box = argbImage(3, 2);
  source.randomize(11);
  ASSERT_EQ(convert(tent, source, FilterTriangle), S_OK);
  ASSERT_EQ(convert(box, source, FilterBox), S_OK);
  EXPECT_EQ(tent.bytes, box.bytes);
}

}  // namespace
}  // namespace kv_test

namespace kv_test {
namespace {

TEST(TentFilter, ADestinationRowNoSourceRowWeighsOnIsWrittenAsTransparentBlack) {
  // 200000 source rows into one: every share is below the list's threshold.
  Image source = argbImage(1, 200000), destination = argbImage(1, 1);
  source.randomize(13);
  destination.setWord(0, 0, 0xabababab);
  ASSERT_EQ(convert(destination, source, kv::FilterTriangle), S_OK);
  EXPECT_EQ(destination.word(0, 0), 0u);
}

}  // namespace
}  // namespace kv_test
