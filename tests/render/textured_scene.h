// A scene with its device made on the stand-in, and textures made directly in that device
// and listed as texture-list entries (the texture loader is not involved).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "render/frame_drawing.h"
#include "scene/kv_polygon_set.h"
#include "testing/d3d9_control.h"
#include "testing/win32_control.h"

namespace kvtest {

class TexturedScene : public ::testing::Test {
 protected:
  static constexpr int kW = 544, kH = 416;

  void SetUp() override {
    kvtest::d3d9Reset();
    scene = kv::KvPolygonSet::create(kvtest::defaultForegroundWindow());
    ASSERT_NE(scene, nullptr);
  }
  void TearDown() override {
    scene.reset();
    kvtest::d3d9Reset();
  }

  // A size x size A8R8G8B8 texture whose texel (x, y) is texel(x, y), listed under name.
  template <typename F>
  kv::TextureEntryId addTexture(const char *name, int size, F texel) {
    IDirect3DTexture9 *texture = nullptr;
    EXPECT_EQ(scene->device()->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    if (!texture) return 0;
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(locked.pBits) + y * locked.Pitch)[x] = texel(x, y);
    texture->UnlockRect(0);
    auto entry = std::make_unique<kv::TextureList>();
    std::strcpy(entry->name, name);
    entry->id = ++lastId_;
    entry->texture.reset(texture);
    EXPECT_TRUE(scene->textureEntries().add(std::move(entry)));
    return lastId_;
  }

  kv::TextureEntryId solid(const char *name, uint32_t colour) {
    return addTexture(name, 2, [&](int, int) { return colour; });
  }

  // One frame through the library's frame drawing, in the host's bottom-up rows.
  std::vector<uint32_t> drawHostRows() {
    std::vector<uint32_t> pixels(static_cast<size_t>(kW) * kH);
    EXPECT_EQ(kv::drawPaint(*scene, pixels.data(), kW, kH), S_OK);
    return pixels;
  }

  std::unique_ptr<kv::KvPolygonSet> scene;

 private:
  kv::TextureEntryId lastId_ = 1000;
};

}  // namespace kvtest
