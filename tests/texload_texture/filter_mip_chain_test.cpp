#include <gtest/gtest.h>

#include <cmath>

#include "gfx/com_ref.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/mipchain/filter_mip_chain.h"
#include "pixel/mipchain/surface_loads.h"
#include "texture_test_support.h"

namespace {

using kv::ComRef;

class FilterMipChain : public texload_test::TextureLoaderTest {
 protected:
  ComRef<IDirect3DTexture9> makeTexture(UINT width, UINT height, UINT levels, uint32_t (*colour)(UINT, UINT)) {
    ComRef<IDirect3DTexture9> texture;
    EXPECT_EQ(device_->CreateTexture(width, height, levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.put(),
                                     nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < height; ++y) {
      auto *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(locked.pBits) + size_t(y) * locked.Pitch);
      for (UINT x = 0; x < width; ++x) row[x] = colour(x, y);
    }
    texture->UnlockRect(0);
    return texture;
  }

  static uint32_t channel(uint32_t word, int shift) { return (word >> shift) & 0xFF; }
};

uint32_t noise(UINT x, UINT y) {
  uint32_t h = x * 73856093u ^ y * 19349663u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  return h ^ (h >> 15);
}

TEST_F(FilterMipChain, PowerOfTwoTexturesAreBoxFilteredLevelFromLevel) {
  auto texture = makeTexture(256, 256, 9, noise);
  ASSERT_EQ(kv::filterMipChain(texture.get(), nullptr, 0, 0xFFFFFFFFu), D3D_OK);
  // Each texel of level n + 1 is the rounded mean of its 2x2 block in level n.
  for (UINT level = 0; level + 1 < 9; ++level) {
    const UINT size = 256 >> (level + 1);
    for (UINT probe = 0; probe < 4; ++probe) {
      const UINT x = (probe * 37) % size, y = (probe * 53) % size;
      const uint32_t a = texel(texture.get(), level, 2 * x, 2 * y), b = texel(texture.get(), level, 2 * x + 1, 2 * y);
      const uint32_t c = texel(texture.get(), level, 2 * x, 2 * y + 1),
                     d = texel(texture.get(), level, 2 * x + 1, 2 * y + 1);
      const uint32_t got = texel(texture.get(), level + 1, x, y);
      for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t mean = (channel(a, shift) + channel(b, shift) + channel(c, shift) + channel(d, shift) + 2) / 4;
        EXPECT_NEAR(double(channel(got, shift)), double(mean), 1.0) << "level " << level + 1;
      }
    }
  }
}

TEST_F(FilterMipChain, LastOrOnlyLevelDoesNothingAndBadArgumentsFail) {
  auto texture = makeTexture(16, 16, 5, noise);
  const uint32_t before = texel(texture.get(), 4, 0, 0);
  EXPECT_EQ(kv::filterMipChain(texture.get(), nullptr, 4, kv::FilterBox), D3D_OK);
  EXPECT_EQ(texel(texture.get(), 4, 0, 0), before);
  EXPECT_EQ(kv::filterMipChain(texture.get(), nullptr, 5, kv::FilterBox), D3DERR_INVALIDCALL);
  EXPECT_EQ(kv::filterMipChain(nullptr, nullptr, 0, kv::FilterBox), D3DERR_INVALIDCALL);
  auto single = makeTexture(16, 16, 1, noise);
  EXPECT_EQ(kv::filterMipChain(single.get(), nullptr, 0xFFFFFFFFu, 0xFFFFFFFFu), D3D_OK);
}

TEST_F(FilterMipChain, NonPowerOfTwoTexturesTakeEveryLevelFromTheSource) {
  // A flat colour survives the tent filter with dithering exactly at 8 bits a channel.
  auto texture = makeTexture(200, 100, 0, [](UINT, UINT) { return 0xFF4080C0u; });
  ASSERT_EQ(kv::filterMipChain(texture.get(), nullptr, 0, 0xFFFFFFFFu), D3D_OK);
  const UINT levels = texture->GetLevelCount();
  ASSERT_EQ(levels, 8u);
  for (UINT level = 1; level < levels; ++level) EXPECT_EQ(texel(texture.get(), level, 0, 0), 0xFF4080C0u);
}

// A filter that does not chain makes every level from the source level: with the linear
// filter, texel (i, j) of level 3 of a 64 x 64 texture is the equal blend of the 2 x 2 texels
// at the centre of its 8 x 8 block of level 0 (taps 8i + 3 and 8i + 4). Made from level 2
// it would be a blend of the whole block.
TEST_F(FilterMipChain, LinearLevelsAreMadeFromTheSourceLevelNotTheLevelAbove) {
  auto texture = makeTexture(64, 64, 4, noise);
  ASSERT_EQ(kv::filterMipChain(texture.get(), nullptr, 0, kv::FilterLinear), D3D_OK);
  for (UINT j = 0; j < 8; ++j)
    for (UINT i = 0; i < 8; ++i) {
      const uint32_t got = texel(texture.get(), 3, i, j);
      for (int shift = 0; shift < 32; shift += 8) {
        double sum = 0;
        for (UINT y : {8 * j + 3, 8 * j + 4})
          for (UINT x : {8 * i + 3, 8 * i + 4}) sum += channel(noise(x, y), shift);
        ASSERT_NEAR(double(channel(got, shift)), sum / 4, 0.51) << "texel " << i << "," << j << " shift " << shift;
      }
    }
}

TEST_F(FilterMipChain, OneByNLevelsHalveOnlyTheLongerSide) {
  auto texture = makeTexture(1, 8, 4, [](UINT, UINT y) { return 0xFF000000u | (y * 32u); });
  ASSERT_EQ(kv::filterMipChain(texture.get(), nullptr, 0, kv::FilterBox), D3D_OK);
  EXPECT_EQ(channel(texel(texture.get(), 1, 0, 0), 0), 16u);   // (0 + 32) / 2
  EXPECT_EQ(channel(texel(texture.get(), 3, 0, 0), 0), 112u);  // mean of 0..224
}

TEST_F(FilterMipChain, CubeFacesDoNotBlendAcrossTheirEdges) {
  ComRef<IDirect3DCubeTexture9> cube;
  ASSERT_EQ(device_->CreateCubeTexture(8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, cube.put(), nullptr), D3D_OK);
  for (UINT face = 0; face < 6; ++face) {
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < 8; ++y) {
      auto *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(locked.pBits) + size_t(y) * locked.Pitch);
      // A bright left column: wrapping would pull it into the right edge.
      for (UINT x = 0; x < 8; ++x) row[x] = x == 0 ? 0xFFFFFFFFu : 0xFF000000u;
    }
    cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), 0);
  }
  ASSERT_EQ(kv::filterMipChain(cube.get(), nullptr, 0, kv::FilterLinear), D3D_OK);
  for (UINT face = 0; face < 6; ++face) {
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 1, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto *row = static_cast<const uint32_t *>(locked.pBits);
    EXPECT_EQ(row[3], 0xFF000000u) << "face " << face;
    cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), 1);
  }
}

TEST_F(FilterMipChain, SurfaceLoadsRejectMissingSurfaces) {
  auto texture = makeTexture(4, 4, 1, noise);
  ComRef<IDirect3DSurface9> surface;
  ASSERT_EQ(texture->GetSurfaceLevel(0, surface.put()), D3D_OK);
  EXPECT_EQ(kv::loadSurfaceFromSurface(nullptr, nullptr, nullptr, surface.get(), nullptr, nullptr, 1, 0),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(kv::loadSurfaceFromSurface(surface.get(), nullptr, nullptr, nullptr, nullptr, nullptr, 1, 0),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(kv::loadVolumeFromVolume(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 1, 0), D3DERR_INVALIDCALL);
}

TEST_F(FilterMipChain, ASystemMemorySurfaceReachesADefaultPoolOneThroughTheDevice) {
  ComRef<IDirect3DSurface9> source, destination;
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, source.put(), nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateRenderTarget(4, 4, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, destination.put(),
                                        nullptr),
            D3D_OK);
  kvtest::d3d9EnableCallLog(true);
  EXPECT_EQ(kv::loadSurfaceFromSurface(destination.get(), nullptr, nullptr, source.get(), nullptr, nullptr,
                                       kv::FilterPoint, 0),
            D3D_OK);
  bool updated = false;
  for (const std::string &line : kvtest::d3d9CallLog()) updated = updated || line.rfind("UpdateSurface(", 0) == 0;
  EXPECT_TRUE(updated);
}

}  // namespace
