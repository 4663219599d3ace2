// Frames as the host receives them from drawPaint.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "api/library_under_test.h"
#include "support/golden_frame.h"
#include "testing/d3d9_control.h"

namespace {

constexpr int kW = 544, kH = 416;
constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);
constexpr uint32_t kWhite = 0xFFFFFFFFu;

using DrawPaint = HostTest;

size_t countOf(const HostImage &image, uint32_t value) {
  const uint32_t *p = image.pixels();
  return static_cast<size_t>(std::count(p, p + static_cast<size_t>(image.width()) * image.height(), value));
}

std::vector<std::string> linesStartingWith(const std::string &prefix) {
  std::vector<std::string> out;
  for (const std::string &line : kvtest::d3d9CallLog())
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  return out;
}

TEST_F(DrawPaint, TheFirstCallMakesTheSceneAndAnEmptyFrameIsAllZero) {
  HostImage frame(kW, kH);
  std::fill(frame.pixels(), frame.pixels() + kW * kH, 0x12345678u);
  EXPECT_EQ(kv.drawPaint(frame.handle(), kW, kH), 0);
  EXPECT_EQ(countOf(frame, 0u), static_cast<size_t>(kW * kH));
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 1);
}

TEST_F(DrawPaint, AQuadLargerThanTheViewFillsTheFrameOpaqueWhite) {
  const float big[8] = {-600, 600, -600, -600, 600, 600, 600, -600};
  ASSERT_EQ(kv.makePolygon(1, big), 1u);
  HostImage frame(kW, kH);
  ASSERT_EQ(kv.drawPaint(frame.handle(), kW, kH), 0);
  EXPECT_EQ(countOf(frame, kWhite), static_cast<size_t>(kW * kH));
}

TEST_F(DrawPaint, TheTopScanLineLandsInTheHostImagesLastRow) {
  // A thin band across the top of the view: at distance 580 the view is 2 * 580 * tan(pi/8)
  // = 480.5 units high, so y from 235 up covers only the first few scan lines.
  const float band[8] = {-600, 300, -600, 235, 600, 300, 600, 235};
  ASSERT_EQ(kv.makePolygon(1, band), 1u);
  HostImage frame(kW, kH);
  ASSERT_EQ(kv.drawPaint(frame.handle(), kW, kH), 0);
  const uint32_t *rows = frame.pixels();
  EXPECT_EQ(rows[static_cast<size_t>(kH - 1) * kW], kWhite);  // last host row = top scan line
  EXPECT_EQ(rows[static_cast<size_t>(kH - 1) * kW + kW - 1], kWhite);
  EXPECT_EQ(rows[0], 0u);                                      // first host row = bottom scan line
  EXPECT_EQ(frame.at(kW / 2, kH / 2), 0u);
}

TEST_F(DrawPaint, AnOverlappingSceneMatchesItsGoldenFrame) {
  const float quad[8] = {-80, 80, -80, -80, 80, 80, 80, -80};
  const float tri[6] = {0, 90, -90, -60, 90, -60};
  for (int i = 0; i < 6; ++i) {
    const uint32_t n = kv.makePolygon(i % 2, i % 2 ? quad : tri);
    const float move[3] = {-200.0f + 80.0f * i, 40.0f * std::sin(i * 1.3f), 60.0f * i - 150.0f};
    const float ay = 0.3f * i, az = 0.2f * i;
    kv.setupTranslate(n, move, 0);
    kv.setupRotY(n, &ay, 0);
    kv.setupRotZ(n, &az, 0);
  }
  HostImage frame(kW, kH);
  ASSERT_EQ(kv.drawPaint(frame.handle(), kW, kH), 0);
  EXPECT_TRUE(kvtest::matchesGolden("api_overlapping_scene", kvtest::frameFromHost(frame.pixels(), kW, kH)));
}

TEST_F(DrawPaint, RotationsReplaceSoTwoEighthTurnsDrawLikeOne) {
  const float quad[8] = {-100, 100, -100, -100, 100, 100, 100, -100};
  const uint32_t n = kv.makePolygon(1, quad);
  const float eighth = 0.7853982f;
  kv.setupRotZ(n, &eighth, 0);
  HostImage once(kW, kH), twice(kW, kH);
  ASSERT_EQ(kv.drawPaint(once.handle(), kW, kH), 0);
  kv.setupRotZ(n, &eighth, 0);
  ASSERT_EQ(kv.drawPaint(twice.handle(), kW, kH), 0);
  EXPECT_TRUE(std::equal(once.pixels(), once.pixels() + kW * kH, twice.pixels()));
  EXPECT_EQ(once.at(kW / 2, kH / 2 - 100), kWhite);  // a diamond reaches up past the square's edge
}

TEST_F(DrawPaint, ALostDeviceFailsAndLeavesThePixelsAlone) {
  ASSERT_EQ(kv.create(), 1);
  HostImage frame(kW, kH);
  std::fill(frame.pixels(), frame.pixels() + kW * kH, 0xABCDEF01u);
  kvtest::d3d9LoseDevice();
  EXPECT_EQ(kv.drawPaint(frame.handle(), kW, kH), kFail);
  EXPECT_EQ(kv.drawPaint(frame.handle(), kW, kH), kFail);
  EXPECT_EQ(countOf(frame, 0xABCDEF01u), static_cast<size_t>(kW * kH));

  kvtest::d3d9MakeResettable();
  kvtest::d3d9EnableCallLog(true);
  EXPECT_EQ(kv.drawPaint(frame.handle(), kW, kH), 0);
  EXPECT_EQ(linesStartingWith("Reset").size(), 1u);
  EXPECT_EQ(countOf(frame, 0u), static_cast<size_t>(kW * kH));
  kvtest::d3d9ClearCallLog();
  EXPECT_EQ(kv.drawPaint(frame.handle(), kW, kH), 0);
  EXPECT_TRUE(linesStartingWith("Reset").empty());
}

TEST_F(DrawPaint, AfterAResetTheProjectionFollowsTheNewAspect) {
  const float square[8] = {-100, 100, -100, -100, 100, 100, 100, -100};
  kv.makePolygon(1, square);
  ASSERT_EQ(kv.create(), 1);
  kv.setWindowSize(416, 416);
  kvtest::d3d9LoseDevice();
  kvtest::d3d9MakeResettable();
  HostImage frame(416, 416);
  ASSERT_EQ(kv.drawPaint(frame.handle(), 416, 416), 0);
  // With aspect 1 a square stays square on screen: as wide as it is high.
  int wide = 0, high = 0;
  for (int x = 0; x < 416; ++x) wide += frame.at(x, 208) == kWhite;
  for (int y = 0; y < 416; ++y) high += frame.at(208, y) == kWhite;
  EXPECT_GT(wide, 100);
  EXPECT_NEAR(wide, high, 1);
}

TEST_F(DrawPaint, DisposedPolygonsAreNeitherDrawnNorKept) {
  const float quad[8] = {-100, 100, -100, -100, 100, 100, 100, -100};
  const uint32_t a = kv.makePolygon(1, quad);
  kv.disposePolygon(a);
  kvtest::d3d9EnableCallLog(true);
  HostImage frame(kW, kH);
  ASSERT_EQ(kv.drawPaint(frame.handle(), kW, kH), 0);
  EXPECT_TRUE(linesStartingWith("DrawPrimitiveUP").empty());
  EXPECT_EQ(countOf(frame, 0u), static_cast<size_t>(kW * kH));
  EXPECT_EQ(kv.makePolygon(1, quad), 2u);  // numbers are still not reused
}

TEST_F(DrawPaint, EveryPolygonGetsTheStateTableInOrder) {
  const float quad[8] = {-10, 10, -10, -10, 10, 10, 10, -10};
  const float tri[6] = {0, 10, -10, -10, 10, -10};
  kv.makePolygon(1, quad);
  kv.makePolygon(0, tri);
  ASSERT_EQ(kv.create(), 1);
  kvtest::d3d9EnableCallLog(true);
  HostImage frame(kW, kH);
  ASSERT_EQ(kv.drawPaint(frame.handle(), kW, kH), 0);

  const std::vector<std::string> perPolygon = {
      "SetRenderState(7, 1)",          "SetRenderState(14, 1)",         "SetRenderState(22, 1)",
      "SetTextureStageState(0, 1, 2)", "SetTextureStageState(0, 2, 2)", "SetTextureStageState(0, 3, 0)",
      "SetRenderState(137, 0)",        "SetTextureStageState(0, 4, 2)", "SetTextureStageState(0, 5, 2)",
      "SetTextureStageState(0, 6, 0)", "SetTextureStageState(1, 1, 4)", "SetTextureStageState(1, 2, 1)",
      "SetTextureStageState(1, 3, 2)", "SetTextureStageState(1, 4, 2)", "SetTextureStageState(1, 5, 1)",
      "SetTextureStageState(1, 6, 2)", "SetRenderState(25, 7)",         "SetRenderState(27, 1)",
      "SetRenderState(19, 5)",         "SetRenderState(20, 6)",         "SetTransform(256)",
      "SetFVF(514)"};
  std::vector<std::string> drawing;
  bool inScene = false;
  for (const std::string &line : kvtest::d3d9CallLog()) {
    if (line == "BeginScene()") inScene = true;
    if (line == "EndScene()") inScene = false;
    if (inScene && (line.rfind("SetRenderState", 0) == 0 || line.rfind("SetTextureStageState", 0) == 0 ||
                    line.rfind("SetTransform(256)", 0) == 0 || line.rfind("SetFVF", 0) == 0 ||
                    line.rfind("DrawPrimitiveUP", 0) == 0 || line.rfind("SetTexture(", 0) == 0))
      drawing.push_back(line);
  }
  // Two polygons, each: the table, the world matrix, the format, one strip from its own corners.
  ASSERT_EQ(drawing.size(), 2 * (perPolygon.size() + 1));
  std::vector<std::string> quadDraws, triDraws;
  for (size_t p = 0; p < 2; ++p) {
    for (size_t i = 0; i < perPolygon.size(); ++i) EXPECT_EQ(drawing[p * 23 + i], perPolygon[i]) << p << " " << i;
    const std::string &draw = drawing[p * 23 + 22];
    EXPECT_TRUE(draw == "DrawPrimitiveUP(5, 2, 28)" || draw == "DrawPrimitiveUP(5, 1, 28)") << draw;
  }
  EXPECT_NE(drawing[22], drawing[45]);  // one quad (2 triangles), one triangle (1)
}

TEST_F(DrawPaint, AHostImageLargerThanTheBackBufferIsFilledOnlyWhereTheFrameReaches) {
  const float big[8] = {-600, 600, -600, -600, 600, 600, 600, -600};
  kv.makePolygon(1, big);
  HostImage frame(kW + 10, kH + 6);
  std::fill(frame.pixels(), frame.pixels() + (kW + 10) * (kH + 6), 0x01010101u);
  ASSERT_EQ(kv.drawPaint(frame.handle(), kW + 10, kH + 6), 0);
  EXPECT_EQ(frame.at(0, 0), kWhite);            // top-left of the frame: last host row
  EXPECT_EQ(frame.at(kW - 1, kH - 1), kWhite);
  EXPECT_EQ(frame.at(kW, 0), 0x01010101u);      // beyond the back buffer: untouched
  EXPECT_EQ(frame.at(0, kH), 0x01010101u);
}

}  // namespace
