// Frame drawing with textures made directly in the stand-in device (the texture loader
// is not involved): binding, the stage left bound by an earlier polygon, and read-back.
#include <utility>

#include "render/textured_scene.h"
#include "scene/number_hash_map.h"

namespace {

constexpr float kQuad[8] = {-100, 100, -100, -100, 100, 100, 100, -100};

class FrameDrawing : public kvtest::TexturedScene {
 protected:
  uint32_t centre() {
    const std::vector<uint32_t> rows = drawHostRows();
    return rows[static_cast<size_t>(kH / 2) * kW + kW / 2];
  }
};

// A frame needs pixels and a size of at least one by one; a host image of one pixel gets the
// frame's top-left pixel, as the larger image does.
TEST_F(FrameDrawing, AFrameNeedsPixelsAndASizeOfAtLeastOnePixel) {
  solid("red", 0xFFFF0000u);
  const uint32_t n = scene->makePolygon(true, kQuad);
  const float uv[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  ASSERT_EQ(scene->setupTextures(n, "red", 0, uv), 1);
  uint32_t one = 0x12345678u;
  EXPECT_EQ(kv::drawPaint(*scene, nullptr, kW, kH), E_FAIL);
  for (const auto &[width, height] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{-1, 1}, std::pair{1, -1}})
    EXPECT_EQ(kv::drawPaint(*scene, &one, width, height), E_FAIL) << width << " x " << height;
  EXPECT_EQ(one, 0x12345678u);
  ASSERT_EQ(kv::drawPaint(*scene, &one, 1, 1), S_OK);
  const std::vector<uint32_t> whole = drawHostRows();  // bottom row first
  EXPECT_EQ(one, whole[static_cast<size_t>(kH - 1) * kW]);
}

// A frame takes the polygons the host disposed of out of the store, and draws through any
// viewport of at least one pixel, one row or one column too.
TEST_F(FrameDrawing, AFrameForgetsDisposedPolygonsAndDrawsThroughThinViewports) {
  const uint32_t kept = scene->makePolygon(true, kQuad), gone = scene->makePolygon(true, kQuad);
  scene->disposePolygon(gone);
  ASSERT_EQ(scene->polygons().size(), 2u) << "disposed, not yet forgotten";
  drawHostRows();
  EXPECT_EQ(scene->polygons().size(), 1u);
  EXPECT_NE(scene->findPolygon(kept), nullptr);
  std::vector<uint32_t> host(static_cast<size_t>(kW) * kH);
  const D3DVIEWPORT9 row{0, kH / 2, kW, 1, 0.0f, 1.0f}, column{kW / 2, 0, 1, kH, 0.0f, 1.0f};
  for (const D3DVIEWPORT9 &thin : {row, column}) {
    ASSERT_EQ(scene->device()->SetViewport(&thin), D3D_OK);
    EXPECT_EQ(kv::drawPaint(*scene, host.data(), kW, kH), S_OK) << thin.Width << " x " << thin.Height;
  }
}

TEST_F(FrameDrawing, StageZeroTextureColoursThePolygon) {
  solid("red", 0xFFFF0000u);
  const uint32_t n = scene->makePolygon(true, kQuad);
  const float uv[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  ASSERT_EQ(scene->setupTextures(n, "red", 0, uv), 1);
  EXPECT_EQ(centre(), 0xFFFF0000u);
}

TEST_F(FrameDrawing, AStageOneTextureOfAnEarlierPolygonModulatesALaterOne) {
  solid("half", 0xFF808080u);
  // Two polygons at the same place; the one the store visits first gets the stage-1 texture.
  const uint32_t a = scene->makePolygon(true, kQuad);
  const uint32_t b = scene->makePolygon(true, kQuad);
  const bool aFirst = (kv::numberHash(a) & 7) < (kv::numberHash(b) & 7) ||
                      ((kv::numberHash(a) & 7) == (kv::numberHash(b) & 7) && a < b);
  const uint32_t first = aFirst ? a : b, second = aFirst ? b : a;
  const float uv[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  ASSERT_EQ(scene->setupTextures(first, "half", 1, uv), 1);
  const float nearer[3] = {0, 0, -50};  // the later polygon lies in front
  scene->setupTranslate(second, nearer, 0);
  const uint32_t c = centre();
  EXPECT_NEAR(static_cast<int>((c >> 16) & 0xFF), 0x80, 1);  // white x grey from stage 1
  EXPECT_NEAR(static_cast<int>(c & 0xFF), 0x80, 1);
}

TEST_F(FrameDrawing, AClearedTextureIsNeverBound) {
  solid("blue", 0xFF0000FFu);
  const uint32_t n = scene->makePolygon(true, kQuad);
  const float uv[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  ASSERT_EQ(scene->setupTextures(n, "blue", 0, uv), 1);
  EXPECT_EQ(centre(), 0xFF0000FFu);
  scene->clearTextures();
  kvtest::d3d9EnableCallLog(true);
  centre();
  for (const std::string &line : kvtest::d3d9CallLog()) EXPECT_EQ(line.rfind("SetTexture(", 0), std::string::npos) << line;
}

}  // namespace
