// The scene's polygons without a device: numbering, textures by name, disposal, purge,
// and the transforms of a polygon.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "failing_allocator.h"
#include "gfx/com_ref.h"
#include "gfx/platform.h"
#include "scene/kv_polygon_set.h"
#include "scene/texture_list.h"
#include "scene/texture_loading.h"

namespace {

constexpr float kTriangle[6] = {-1, 1, -1, -1, 1, 1};
constexpr float kQuad[8] = {-1, 1, -1, -1, 1, 1, 1, -1};

// An entry as the texture list keeps it, without a texture behind it.
kv::TextureList *addEntry(kv::KvPolygonSet &scene, const char *name, kv::TextureEntryId id) {
  auto entry = std::make_unique<kv::TextureList>();
  std::strcpy(entry->name, name);
  entry->id = id;
  kv::TextureList *added = entry.get();
  EXPECT_TRUE(scene.textureEntries().add(std::move(entry)));
  return added;
}

// The vertex (x, y, z, 1) times m, as a row vector.
std::vector<float> transformPoint(const kv::Matrix &m, float x, float y, float z) {
  std::vector<float> out(3);
  for (int c = 0; c < 3; ++c) out[c] = x * m.m[0][c] + y * m.m[1][c] + z * m.m[2][c] + m.m[3][c];
  return out;
}

TEST(PolygonStore, NumbersStartAtOneAreNeverReusedAndRestartAfterClear) {
  kv::KvPolygonSet scene;
  EXPECT_EQ(scene.makePolygon(false, kTriangle), 1u);
  scene.disposePolygon(1);
  EXPECT_EQ(scene.makePolygon(true, kQuad), 2u);
  scene.purgeDisposedPolygons();
  EXPECT_EQ(scene.makePolygon(true, kQuad), 3u);
  scene.clearPolygons();
  EXPECT_EQ(scene.polygons().bucketCount(), 8u);
  EXPECT_EQ(scene.makePolygon(false, kTriangle), 1u);
}

TEST(PolygonStore, NullCornersMakeNoPolygonAndKeepTheCounter) {
  kv::KvPolygonSet scene;
  EXPECT_EQ(scene.makePolygon(true, nullptr), 0u);
  EXPECT_EQ(scene.polygonCounter(), 0u);
  EXPECT_EQ(scene.makePolygon(true, kQuad), 1u);
}

TEST(PolygonStore, CornersAndDefaultTextureCoordinates) {
  kv::KvPolygonSet scene;
  // A triangle reads exactly six floats: a heap block of six lets the sanitizer catch more.
  std::unique_ptr<float[]> six(new float[6]{1, 2, 3, 4, 5, 6});
  const kv::KvPolygon *tri = scene.findPolygon(scene.makePolygon(false, six.get()));
  ASSERT_NE(tri, nullptr);
  EXPECT_EQ(tri->quad, 0);
  EXPECT_EQ(tri->corners[2].x, 5);
  EXPECT_EQ(tri->corners[2].y, 6);
  EXPECT_EQ(tri->corners[2].z, 0);

  const kv::KvPolygon *quad = scene.findPolygon(scene.makePolygon(true, kQuad));
  ASSERT_NE(quad, nullptr);
  const float uv[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(quad->corners[i].u0, uv[i][0]);
    EXPECT_EQ(quad->corners[i].v0, uv[i][1]);
    EXPECT_EQ(quad->corners[i].u1, uv[i][0]);
    EXPECT_EQ(quad->corners[i].v1, uv[i][1]);
  }
  EXPECT_EQ(quad->textures[0], 0u);
  EXPECT_EQ(quad->disposed, 0);
}

TEST(PolygonStore, SetupTexturesFindsTheOldestEntryOfAName) {
  kv::KvPolygonSet scene;
  addEntry(scene, "wall", 7);
  addEntry(scene, "wall", 8);
  const uint32_t n = scene.makePolygon(true, kQuad);
  const float coords[8] = {0, 0, 0, 2, 2, 0, 2, 2};
  EXPECT_EQ(scene.setupTextures(n, "wall", 1, coords), 1);
  const kv::KvPolygon *p = scene.findPolygon(n);
  EXPECT_EQ(p->textures[1], 7u);
  EXPECT_EQ(p->textures[0], 0u);
  EXPECT_EQ(p->corners[3].u1, 2);
  EXPECT_EQ(p->corners[3].v1, 2);
  EXPECT_EQ(p->corners[3].u0, 1);  // stage 0 untouched

  EXPECT_EQ(scene.setupTextures(n, "Wall", 0, coords), 0);  // names are case-sensitive
  EXPECT_EQ(scene.setupTextures(n + 1, "wall", 0, coords), 0);
  EXPECT_EQ(scene.setupTextures(n, nullptr, 0, coords), 0);
  EXPECT_EQ(scene.setupTextures(n, "wall", 0, nullptr), 0);
}

TEST(PolygonStore, StageTwoIsAcceptedAndChangesNothing) {
  kv::KvPolygonSet scene;
  addEntry(scene, "t", 3);
  const uint32_t n = scene.makePolygon(true, kQuad);
  const float coords[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(scene.setupTextures(n, "t", 2, coords), 1);
  const kv::KvPolygon *p = scene.findPolygon(n);
  EXPECT_EQ(p->textures[0], 0u);
  EXPECT_EQ(p->textures[1], 0u);
  EXPECT_EQ(p->corners[1].v0, 1);
  EXPECT_EQ(scene.setupTextures(n, "t", 2, nullptr), 1) << "a stage past 1 needs no coordinates";
}

TEST(PolygonStore, ATriangleReadsOnlySixTextureCoordinates) {
  kv::KvPolygonSet scene;
  addEntry(scene, "t", 3);
  const uint32_t n = scene.makePolygon(false, kTriangle);
  std::unique_ptr<float[]> six(new float[6]{0.5f, 0.5f, 0.25f, 0.75f, 1, 1});
  EXPECT_EQ(scene.setupTextures(n, "t", 0, six.get()), 1);
  EXPECT_EQ(scene.findPolygon(n)->corners[1].v0, 0.75f);
}

// A 1 x 1 texture of a device of its own, for entries that need a texture to be found.
class OneTexture {
 public:
  OneTexture() {
    d3d_.reset(Direct3DCreate9(D3D_SDK_VERSION));
    if (!d3d_) return;
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = pp.BackBufferHeight = 8;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    if (FAILED(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, GetForegroundWindow(),
                                  D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, device_.put())))
      return;
    device_->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture_.put(), nullptr);
  }
  // A new reference for an entry to own.
  kv::ComRef<IDirect3DTexture9> reference() const {
    if (texture_) texture_->AddRef();
    return kv::ComRef<IDirect3DTexture9>(texture_.get());
  }
  IDirect3DTexture9 *get() const { return texture_.get(); }
  IDirect3DDevice9 *device() const { return device_.get(); }

 private:
  kv::ComRef<IDirect3D9> d3d_;
  kv::ComRef<IDirect3DDevice9> device_;
  kv::ComRef<IDirect3DTexture9> texture_;
};

TEST(PolygonStore, ReleasedTexturesAreNeverReachedThroughPolygons) {
  const OneTexture first, second;
  ASSERT_NE(first.get(), nullptr);
  ASSERT_NE(second.get(), nullptr);
  kv::KvPolygonSet scene;
  addEntry(scene, "t", 11)->texture = first.reference();
  const uint32_t n = scene.makePolygon(true, kQuad);
  const float coords[8] = {};
  ASSERT_EQ(scene.setupTextures(n, "t", 0, coords), 1);
  EXPECT_EQ(scene.textureOf(scene.findPolygon(n)->textures[0]), first.get()) << "found while its entry lives";
  scene.clearTextures();
  EXPECT_EQ(scene.textureOf(scene.findPolygon(n)->textures[0]), nullptr);
  addEntry(scene, "t", 12)->texture = second.reference();  // a new entry of the same name is not the old one
  EXPECT_EQ(scene.textureOf(scene.findPolygon(n)->textures[0]), nullptr);
  EXPECT_EQ(scene.textureOf(12), second.get());
}

// The host's pixels become the texture as they are: no colour key turns any of them into
// transparent black, not even a pixel that is all zero but its lowest bit.
TEST(PolygonStore, AnEntrysTextureKeepsEveryPixelAsTheHostGaveIt) {
  const OneTexture reference;
  ASSERT_NE(reference.device(), nullptr);
  const uint32_t pixels[4] = {0x00000001u, 0x80FFFFFFu, 0xFF000000u, 0x00000001u};  // 2 x 2, bottom row first
  kv::TextureList entry;
  size_t size = 0;
  entry.image = kv::buildBmpImage(pixels, 2, 2, &size);
  entry.width = entry.height = 2;
  ASSERT_EQ(kv::makeEntryTexture(entry, reference.device()), S_OK);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(entry.texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  uint32_t top[2], bottom[2];
  std::memcpy(top, locked.pBits, 8);
  std::memcpy(bottom, static_cast<const uint8_t *>(locked.pBits) + locked.Pitch, 8);
  entry.texture->UnlockRect(0);
  EXPECT_EQ(bottom[0], 0x00000001u);
  EXPECT_EQ(bottom[1], 0x80FFFFFFu);
  EXPECT_EQ(top[0], 0xFF000000u);
  EXPECT_EQ(top[1], 0x00000001u);
}

TEST(PolygonStore, DisposedPolygonsTakeTransformsAndGoAtThePurge) {
  kv::KvPolygonSet scene;
  const uint32_t a = scene.makePolygon(true, kQuad);
  const uint32_t b = scene.makePolygon(true, kQuad);
  scene.disposePolygon(a);
  scene.disposePolygon(999);  // unknown: ignored
  const float xyz[3] = {1, 2, 3};
  scene.setupTranslate(a, xyz, 5);
  ASSERT_NE(scene.findPolygon(a), nullptr);
  EXPECT_EQ(scene.findPolygon(a)->transformFlags[kv::kTranslate], 5);
  scene.purgeDisposedPolygons();
  EXPECT_EQ(scene.findPolygon(a), nullptr);
  EXPECT_NE(scene.findPolygon(b), nullptr);
  EXPECT_EQ(scene.polygons().size(), 1u);
}

TEST(PolygonStore, ThirtyThreePolygonsGrowTheStoreAndKeepHashOrder) {
  kv::KvPolygonSet scene;
  for (int i = 0; i < 32; ++i) scene.makePolygon(false, kTriangle);
  EXPECT_EQ(scene.polygons().bucketCount(), 8u);
  scene.makePolygon(false, kTriangle);
  EXPECT_EQ(scene.polygons().bucketCount(), 64u);
  std::vector<uint32_t> order;
  scene.polygons().forEach([&](uint32_t n, const kv::KvPolygon *) { order.push_back(n); });
  ASSERT_EQ(order.size(), 33u);
  EXPECT_NE(order.front(), 1u);  // the drawing order follows the hash, not the numbers
}

TEST(PolygonTransforms, WorldMatrixScalesTurnsAndMovesInThatOrder) {
  kv::KvPolygonSet scene;
  const uint32_t n = scene.makePolygon(true, kQuad);
  const float scale[3] = {2, 2, 2}, move[3] = {10, 20, 30}, zero = 0;
  scene.setupScale(n, scale, 0);
  scene.setupRotX(n, &zero, 0);
  scene.setupTranslate(n, move, 0);
  const std::vector<float> p = transformPoint(scene.findPolygon(n)->worldMatrix(), 1, 1, 1);
  EXPECT_FLOAT_EQ(p[0], 12);
  EXPECT_FLOAT_EQ(p[1], 22);
  EXPECT_FLOAT_EQ(p[2], 32);

  // Scale first, then turn: a quarter turn about Z of (2, 0, 0) after scaling (1, 0, 0).
  const float quarter = std::numbers::pi_v<float> / 2;
  scene.setupRotZ(n, &quarter, 0);
  const std::vector<float> q = transformPoint(scene.findPolygon(n)->worldMatrix(), 1, 0, 0);
  EXPECT_NEAR(q[0], 10, 1e-5);
  EXPECT_NEAR(q[1], 22, 1e-5);
  EXPECT_NEAR(q[2], 30, 1e-5);
}

TEST(PolygonTransforms, CallsReplaceAndNeverAccumulate) {
  kv::KvPolygonSet scene;
  const uint32_t n = scene.makePolygon(true, kQuad);
  const float eighth = std::numbers::pi_v<float> / 4;
  scene.setupRotZ(n, &eighth, 1);
  scene.setupRotZ(n, &eighth, 2);
  const kv::Matrix &m = scene.findPolygon(n)->transforms[kv::kRotateZ];
  EXPECT_NEAR(m.m[0][0], std::cos(std::numbers::pi / 4), 1e-6);
  EXPECT_NEAR(m.m[0][1], std::sin(std::numbers::pi / 4), 1e-6);
  EXPECT_EQ(scene.findPolygon(n)->transformFlags[kv::kRotateZ], 2);

  const float a[3] = {1, 1, 1}, b[3] = {5, 6, 7};
  scene.setupTranslate(n, a, 0);
  scene.setupTranslate(n, b, 0);
  EXPECT_EQ(scene.findPolygon(n)->transforms[kv::kTranslate].m[3][0], 5);
  EXPECT_EQ(scene.findPolygon(n)->transforms[kv::kTranslate].m[3][2], 7);
}

TEST(PolygonTransforms, NullArgumentsAndUnknownNumbersChangeNothing) {
  kv::KvPolygonSet scene;
  const uint32_t n = scene.makePolygon(true, kQuad);
  scene.setupScale(n, nullptr, 1);
  scene.setupRotX(n, nullptr, 1);
  scene.setupTranslate(77, nullptr, 1);
  const float xyz[3] = {3, 3, 3};
  scene.setupScale(77, xyz, 1);
  const kv::KvPolygon *p = scene.findPolygon(n);
  EXPECT_EQ(p->transformFlags[kv::kScale], 0);
  EXPECT_EQ(p->transforms[kv::kScale].m[0][0], 1);
}

}  // namespace

// Emptying the store must work with no memory left: dispose runs it inside a destructor,
// and clearPolygons must still restart the numbering.
TEST(PolygonStoreWithoutMemory, ClearPolygonsEmptiesTheStoreAndRestartsTheNumbers) {
  kv::KvPolygonSet scene;
  for (int i = 0; i < 40; ++i) ASSERT_NE(scene.makePolygon(i % 2 == 0, kQuad), 0u);
  ASSERT_EQ(scene.polygons().bucketCount(), 64u);
  {
    kvtest::FailAllocations exhausted;
    scene.clearPolygons();
    EXPECT_EQ(scene.makePolygon(false, kTriangle), 0u);  // the allocator really refuses
    EXPECT_GT(kvtest::FailAllocations::refused(), 0);
  }
  EXPECT_EQ(scene.polygons().size(), 0u);
  EXPECT_EQ(scene.polygons().bucketCount(), 8u);
  EXPECT_EQ(scene.polygonCounter(), 0u);
  EXPECT_EQ(scene.makePolygon(false, kTriangle), 1u);
  std::vector<uint32_t> order;
  for (int i = 0; i < 32; ++i) scene.makePolygon(false, kTriangle);
  scene.polygons().forEach([&](uint32_t n, const kv::KvPolygon *) { order.push_back(n); });
  EXPECT_EQ(order.size(), 33u);
  EXPECT_EQ(scene.polygons().bucketCount(), 64u);  // grows as a fresh store does
}

TEST(PolygonStoreWithoutMemory, DestroyingTheSceneAllocatesNothing) {
  auto scene = std::make_unique<kv::KvPolygonSet>();
  for (int i = 0; i < 40; ++i) ASSERT_NE(scene->makePolygon(true, kQuad), 0u);
  addEntry(*scene, "t", 1);
  kvtest::FailAllocations exhausted;
  scene.reset();  // would end the program if emptying the store needed memory
  EXPECT_EQ(kvtest::FailAllocations::refused(), 0);
}
