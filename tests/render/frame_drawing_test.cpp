// Frame drawing with textures made directly in the stand-in device (the texture loader
// is not involved): binding, the stage left bound by an earlier polygon, and read-back.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "render/frame_drawing.h"
#include "scene/kv_polygon_set.h"
#include "scene/number_hash_map.h"
#include "testing/d3d9_control.h"
#include "testing/win32_control.h"

namespace {

constexpr int kW = 544, kH = 416;
constexpr float kQuad[8] = {-100, 100, -100, -100, 100, 100, 100, -100};

class FrameDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    kvtest::d3d9Reset();
    scene = kv::KvPolygonSet::create(kvtest::defaultForegroundWindow());
    ASSERT_NE(scene, nullptr);
  }
  void TearDown() override {
    scene.reset();
    kvtest::d3d9Reset();
  }

  // A texture filled with one colour, listed under name; returns the entry's id.
  kv::TextureEntryId addTexture(const char *name, D3DCOLOR colour) {
    IDirect3DTexture9 *texture = nullptr;
    EXPECT_EQ(scene->device()->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x)
        reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(locked.pBits) + y * locked.Pitch)[x] = colour;
    texture->UnlockRect(0);
    auto entry = std::make_unique<kv::TextureList>();
    std::strcpy(entry->name, name);
    entry->id = ++lastId;
    entry->texture.reset(texture);
    scene->textureEntries().push_back(std::move(entry));
    return lastId;
  }

  uint32_t centre() {
    pixels.assign(static_cast<size_t>(kW) * kH, 0);
    EXPECT_EQ(kv::drawPaint(*scene, pixels.data(), kW, kH), S_OK);
    return pixels[static_cast<size_t>(kH / 2) * kW + kW / 2];
  }

  std::unique_ptr<kv::KvPolygonSet> scene;
  std::vector<uint32_t> pixels;
  kv::TextureEntryId lastId = 1000;
};

TEST_F(FrameDrawing, StageZeroTextureColoursThePolygon) {
  addTexture("red", 0xFFFF0000u);
  const uint32_t n = scene->makePolygon(true, kQuad);
  const float uv[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  ASSERT_EQ(scene->setupTextures(n, "red", 0, uv), 1);
  EXPECT_EQ(centre(), 0xFFFF0000u);
}

TEST_F(FrameDrawing, AStageOneTextureOfAnEarlierPolygonModulatesALaterOne) {
  addTexture("half", 0xFF808080u);
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
  addTexture("blue", 0xFF0000FFu);
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
