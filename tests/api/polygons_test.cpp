// Polygons as a host places them: numbers, the drawing order of the store, transforms.
// The drawing order is read from the world matrix each draw was made with: polygon n is
// moved to x = n, so the draws' translations name the polygons in the order drawn.
#include <map>
#include <memory>
#include <vector>

#include "api/library_under_test.h"
#include "testing/d3d9_control.h"

namespace {

constexpr float kQuad[8] = {-1, 1, -1, -1, 1, 1, 1, -1};

// The number hash, computed here independently in 64-bit arithmetic.
uint64_t hashOf(uint32_t n) {
  const int64_t x = static_cast<int64_t>((n ^ 0xDEADBEEFull) & 0x7FFFFFFFull);
  int64_t h = 16807 * (x % 127773) - 2836 * (x / 127773);
  return static_cast<uint64_t>(h < 0 ? h + 2147483647 : h);
}

std::vector<uint32_t> hashOrder(uint32_t count, uint64_t buckets) {
  std::map<std::pair<uint64_t, uint32_t>, uint32_t> order;
  for (uint32_t n = 1; n <= count; ++n) order[{hashOf(n) & (buckets - 1), n}] = n;
  std::vector<uint32_t> numbers;
  for (const auto &e : order) numbers.push_back(e.second);
  return numbers;
}

using Polygons = HostTest;

class DrawOrder : public HostTest {
 protected:
  // Draws one frame and names the polygons drawn, in order, by their x translation.
  std::vector<uint32_t> drawnOrder() {
    kvtest::d3d9EnableCallLog(true);
    kvtest::d3d9ClearCallLog();
    HostImage frame(544, 416);
    EXPECT_EQ(kv.drawPaint(frame.handle(), 544, 416), 0);
    std::vector<uint32_t> order;
    for (const D3DMATRIX &m : kvtest::d3d9DrawnWorldMatrices()) order.push_back(static_cast<uint32_t>(m._41));
    kvtest::d3d9EnableCallLog(false);
    return order;
  }

  uint32_t makeNumbered() {
    const uint32_t n = kv.makePolygon(1, kQuad);
    const float move[3] = {static_cast<float>(n), 0, 0};
    kv.setupTranslate(n, move, 0);
    return n;
  }
};

TEST_F(Polygons, NumbersStartAtOneSurviveDisposalAndRestartAfterClear) {
  EXPECT_EQ(kv.makePolygon(1, kQuad), 1u);
  EXPECT_EQ(kv.disposePolygon(1), 1);
  EXPECT_EQ(kv.makePolygon(0, kQuad), 2u);
  HostImage frame(544, 416);
  EXPECT_EQ(kv.drawPaint(frame.handle(), 544, 416), 0);  // purges polygon 1
  EXPECT_EQ(kv.makePolygon(1, kQuad), 3u);
  EXPECT_EQ(kv.clearPolygons(), 1);
  EXPECT_EQ(kv.makePolygon(1, kQuad), 1u);
}

TEST_F(Polygons, ATriangleReadsOnlySixCoordinates) {
  std::unique_ptr<float[]> six(new float[6]{0, 10, -10, -10, 10, -10});  // the sanitizer guards the end
  EXPECT_EQ(kv.makePolygon(0, six.get()), 1u);
}

TEST_F(Polygons, UnknownTexturesAndPolygonsAreRefused) {
  const uint32_t n = kv.makePolygon(1, kQuad);
  const float coords[8] = {};
  EXPECT_EQ(kv.setupTextures(n, "nothing loaded", 0, coords), 0);
  EXPECT_EQ(kv.setupTextures(n, "nothing loaded", 2, coords), 0);
  EXPECT_EQ(kv.setupTextures(n + 5, "nothing loaded", 0, coords), 0);
}

TEST_F(DrawOrder, ThirtyThreePolygonsAreDrawnInTheOrderOfSixtyFourBuckets) {
  for (int i = 0; i < 32; ++i) makeNumbered();
  EXPECT_EQ(drawnOrder(), hashOrder(32, 8));
  makeNumbered();
  EXPECT_EQ(drawnOrder(), hashOrder(33, 64));
}

TEST_F(DrawOrder, RemovalKeepsTheGrownOrderUntilClear) {
  for (int i = 0; i < 40; ++i) makeNumbered();
  for (uint32_t n = 2; n <= 40; ++n) kv.disposePolygon(n);
  EXPECT_EQ(drawnOrder(), std::vector<uint32_t>{1});
  for (int i = 0; i < 4; ++i) makeNumbered();  // 41..44 with 64 buckets still in place
  std::vector<uint32_t> expected;
  for (uint32_t n : hashOrder(44, 64))
    if (n == 1 || n > 40) expected.push_back(n);
  EXPECT_EQ(drawnOrder(), expected);
}

TEST_F(DrawOrder, TransformsReplaceAndADisposedPolygonTakesThemUnseen) {
  const uint32_t a = makeNumbered();
  const float move[3] = {7, 0, 0};
  kv.setupTranslate(a, move, 0);
  kv.setupTranslate(a, move, 0);  // not 14: calls never accumulate
  const std::vector<uint32_t> once = drawnOrder();
  EXPECT_EQ(once, std::vector<uint32_t>{7});

  const uint32_t b = makeNumbered();
  kv.disposePolygon(b);
  const float later[3] = {9, 0, 0};
  EXPECT_EQ(kv.setupTranslate(b, later, 0), 1);  // accepted after disposal
  EXPECT_EQ(drawnOrder(), std::vector<uint32_t>{7});
  EXPECT_EQ(kv.setupTranslate(b, later, 0), 1);  // gone after the purge: ignored
  EXPECT_EQ(drawnOrder(), std::vector<uint32_t>{7});
}

TEST_F(DrawOrder, WorldMatrixOfScaleAndTranslation) {
  const uint32_t n = kv.makePolygon(1, kQuad);
  const float scale[3] = {2, 2, 2}, move[3] = {10, 20, 30}, zero = 0;
  kv.setupScale(n, scale, 0);
  kv.setupRotY(n, &zero, 0);
  kv.setupTranslate(n, move, 0);
  kvtest::d3d9EnableCallLog(true);
  HostImage frame(544, 416);
  ASSERT_EQ(kv.drawPaint(frame.handle(), 544, 416), 0);
  const auto worlds = kvtest::d3d9DrawnWorldMatrices();
  ASSERT_EQ(worlds.size(), 1u);
  const D3DMATRIX &m = worlds[0];
  // (1, 1, 1) goes to (12, 22, 32).
  EXPECT_FLOAT_EQ(m._11 + m._21 + m._31 + m._41, 12);
  EXPECT_FLOAT_EQ(m._12 + m._22 + m._32 + m._42, 22);
  EXPECT_FLOAT_EQ(m._13 + m._23 + m._33 + m._43, 32);
}

}  // namespace
