// SurfaceLock and VolumeLock on the stand-in runtime: rectangle checks, block alignment,
// the discard rule, and every fall-back (temporary copy, copySurfaceBits, render target)
// driven through the control surface; loads from memory through them.
#include "pixel/locks/surface_lock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "pixel/convert/filter_flags.h"
#include "pixel/convert/conversion_job.h"
#include "pixel/convert/load_pixels.h"
#include "pixel/mipchain/surface_loads.h"
#include "platform_d3d9/d3d9_test_support.h"

namespace kv_test {
namespace {

using kvd3d_test::Ref;

class SurfaceLockTest : public kvd3d_test::D3D9Test {
 protected:
  void SetUp() override {
    D3D9Test::SetUp();
    makeDevice();
  }

  Ref<IDirect3DTexture9> texture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool) {
    Ref<IDirect3DTexture9> out;
    EXPECT_EQ(device_->CreateTexture(w, h, levels, usage, format, pool, out.out(), nullptr), D3D_OK);
    return out;
  }

  static Ref<IDirect3DSurface9> level(IDirect3DTexture9 *tex, UINT index = 0) {
    Ref<IDirect3DSurface9> surface;
    EXPECT_EQ(tex->GetSurfaceLevel(index, surface.out()), D3D_OK);
    return surface;
  }

  // The whole 32-bit surface as words, read through a lockable copy when it cannot be locked.
  std::vector<DWORD> read32(IDirect3DSurface9 *surface) {
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    Ref<IDirect3DSurface9> readable;
    IDirect3DSurface9 *from = surface;
    if (desc.Pool == D3DPOOL_DEFAULT && !(desc.Usage & D3DUSAGE_DYNAMIC)) {
      EXPECT_EQ(device_->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, TRUE,
                                            readable.out(), nullptr),
                D3D_OK);
      EXPECT_EQ(device_->StretchRect(surface, nullptr, readable.get(), nullptr, D3DTEXF_NONE), D3D_OK);
      from = readable.get();
    }
    std::vector<DWORD> words;
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(from->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y)
      for (UINT x = 0; x < desc.Width; ++x)
        words.push_back(reinterpret_cast<const DWORD *>(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch)[x]);
    from->UnlockRect();
    return words;
  }

  // Fills a default-pool surface through a system-memory copy.
  void fillDefault(IDirect3DSurface9 *surface, DWORD value) {
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    Ref<IDirect3DSurface9> staging;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                   staging.out(), nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(staging->LockRect(&locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y)
      std::fill_n(reinterpret_cast<DWORD *>(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch), desc.Width, value);
    staging->UnlockRect();
    ASSERT_EQ(device_->UpdateSurface(staging.get(), nullptr, surface, nullptr), D3D_OK);
  }

  static bool logged(const std::string &prefix) {
    const auto log = kvtest::d3d9CallLog();
    return std::any_of(log.begin(), log.end(), [&](const std::string &line) { return line.rfind(prefix, 0) == 0; });
  }

  // loadSurfaceFromMemory of one colour into `rect` of the surface.
  static HRESULT loadColour(IDirect3DSurface9 *surface, const RECT *rect, DWORD colour) {
    std::vector<DWORD> pixels(64 * 64, colour);
    const RECT source{0, 0, rect ? rect->right - rect->left : 4, rect ? rect->bottom - rect->top : 4};
    return kv::loadSurfaceFromMemory(surface, nullptr, rect, pixels.data(), D3DFMT_A8R8G8B8, 64 * 4, nullptr, &source,
                                     kv::FilterNone, 0);
  }
};

TEST_F(SurfaceLockTest, BadRectanglesAreRejectedBeforeAnythingIsLocked) {
  auto tex = texture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  auto surface = level(tex.get());
  kvtest::d3d9EnableCallLog(true);
  for (RECT bad : {RECT{5, 0, 2, 4}, RECT{0, 0, 9, 4}, RECT{-1, 0, 2, 2}, RECT{2, 2, 2, 4}}) {
    kv::SurfaceLock lock;
    EXPECT_EQ(lock.lock(surface.get(), nullptr, &bad, 0, 0), D3DERR_INVALIDCALL);
  }
  EXPECT_FALSE(logged("Surface::LockRect")) << "nothing was locked";
  EXPECT_FALSE(logged("CreateTexture")) << "no temporary copy was made";
}

TEST_F(SurfaceLockTest, DxtRectanglesAreAlignedToWholeBlocks) {
  auto tex = texture(8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED);
  auto surface = level(tex.get());
  kvtest::d3d9EnableCallLog(true);
  kv::SurfaceLock lock;
  const RECT rect{1, 1, 5, 5};
  ASSERT_EQ(lock.lock(surface.get(), nullptr, &rect, 0, 0), S_OK);
  EXPECT_TRUE(logged("Surface::LockRect(null, 2048)")) << "the aligned rectangle is the whole surface";
  const uint32_t box[6] = {1, 1, 5, 5, 0, 1}, bounds[6] = {0, 0, 8, 8, 0, 1};
  EXPECT_TRUE(std::equal(box, box + 6, lock.box().box));
  EXPECT_TRUE(std::equal(bounds, bounds + 6, lock.box().bounds));
  EXPECT_EQ(lock.finish(), S_OK);

  auto big = texture(16, 16, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED);
  auto bigSurface = level(big.get());
  const RECT inner{5, 6, 7, 9};
  ASSERT_EQ(lock.lock(bigSurface.get(), nullptr, &inner, 0, kv::kLockReadOnly), S_OK);
  const uint32_t innerBox[6] = {1, 2, 3, 5, 0, 1}, innerBounds[6] = {0, 0, 4, 8, 0, 1};
  EXPECT_TRUE(std::equal(innerBox, innerBox + 6, lock.box().box)) << "relative to the locked (4, 4)-(8, 12)";
  EXPECT_TRUE(std::equal(innerBounds, innerBounds + 6, lock.box().bounds));
  // A rectangle already on block edges locks just its blocks.
  const RECT aligned{4, 4, 8, 8};
  ASSERT_EQ(lock.lock(bigSurface.get(), nullptr, &aligned, 0, kv::kLockReadOnly), S_OK);
  const uint32_t alignedBounds[6] = {0, 0, 4, 4, 0, 1};
  EXPECT_TRUE(std::equal(alignedBounds, alignedBounds + 6, lock.box().bounds));
  lock.finish();

  // Every block format aligns, the last of them too.
  for (const D3DFORMAT format : {D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5}) {
    auto blocks = texture(8, 8, 1, 0, format, D3DPOOL_MANAGED);
    kvtest::d3d9ClearCallLog();
    ASSERT_EQ(lock.lock(level(blocks.get()).get(), nullptr, &rect, 0, 0), S_OK) << format;
    EXPECT_TRUE(logged("Surface::LockRect(null, 2048)")) << format;
    lock.finish();
  }
}

TEST_F(SurfaceLockTest, PairFormatsLockWholePairs) {
  Ref<IDirect3DSurface9> surface;
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(8, 2, D3DFMT_YUY2, D3DPOOL_SYSTEMMEM, surface.out(), nullptr), D3D_OK);
  kv::SurfaceLock lock;
  const RECT rect{3, 0, 6, 2};
  ASSERT_EQ(lock.lock(surface.get(), nullptr, &rect, 0, 0), S_OK);
  EXPECT_EQ(lock.box().box[kv::kBoxLeft], 1u) << "locked from x = 2";
  EXPECT_EQ(lock.box().box[kv::kBoxRight], 4u);
}

TEST_F(SurfaceLockTest, ARefusedLockWritesItsTemporaryCopyBackWithUpdateSurface) {
  auto tex = texture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto surface = level(tex.get());
  kvtest::d3d9EnableCallLog(true);
  ASSERT_EQ(loadColour(surface.get(), nullptr, 0xff336699u), S_OK);
  EXPECT_TRUE(logged("CreateTexture(4, 4, 1, 0, 21, 2)")) << "a system-memory copy";
  EXPECT_TRUE(logged("UpdateSurface"));
  EXPECT_FALSE(logged("CreateRenderTarget")) << "a whole write needs no old contents";
  kvtest::d3d9EnableCallLog(false);
  for (DWORD word : read32(surface.get())) EXPECT_EQ(word, 0xff336699u);
}

TEST_F(SurfaceLockTest, AFailedUpdateSurfaceFallsBackToCopyingTheBits) {
  auto tex = texture(4, 4, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto surface = level(tex.get());
  kvtest::d3d9RefuseLockRect(surface.get(), 1);
  kvtest::d3d9FailUpdateSurface(true);
  ASSERT_EQ(loadColour(surface.get(), nullptr, 0xff102030u), S_OK);
  kvtest::d3d9FailUpdateSurface(false);
  for (DWORD word : read32(surface.get())) EXPECT_EQ(word, 0xff102030u);

  // Nothing can put the copy back: the load reports it instead of succeeding silently.
  kvtest::d3d9RefuseLockRect(surface.get(), -1);
  kvtest::d3d9FailUpdateSurface(true);
  EXPECT_EQ(loadColour(surface.get(), nullptr, 0xff000000u), D3DERR_INVALIDCALL);
  kvtest::d3d9Reset();
  for (DWORD word : read32(surface.get())) EXPECT_EQ(word, 0xff102030u);
}

TEST_F(SurfaceLockTest, AnUnreadableSurfaceIsCopiedInThroughARenderTarget) {
  auto tex = texture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto surface = level(tex.get());
  fillDefault(surface.get(), 0xff0000ffu);
  kvtest::d3d9EnableCallLog(true);
  const RECT rect{1, 1, 3, 2};
  ASSERT_EQ(loadColour(surface.get(), &rect, 0xffff0000u), S_OK);
  EXPECT_TRUE(logged("CreateRenderTarget(4, 4, 21, 0, 0, 1)"));
  EXPECT_TRUE(logged("StretchRect(0)"));
  kvtest::d3d9EnableCallLog(false);
  const auto words = read32(surface.get());
  for (UINT y = 0; y < 4; ++y)
    for (UINT x = 0; x < 4; ++x)
      EXPECT_EQ(words[y * 4 + x], (x >= 1 && x < 3 && y == 1) ? 0xffff0000u : 0xff0000ffu) << x << "," << y;

  kvtest::d3d9FailStretchRect(true);
  EXPECT_EQ(loadColour(surface.get(), &rect, 0xff00ff00u), D3DERR_INVALIDCALL) << "every fall-back failed";
  kvtest::d3d9FailStretchRect(false);
  EXPECT_EQ(read32(surface.get())[5], 0xffff0000u) << "unchanged";
}

TEST_F(SurfaceLockTest, ReadOnlyLocksOnACopyAreNotWrittenBack) {
  auto tex = texture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto surface = level(tex.get());
  fillDefault(surface.get(), 0xff445566u);
  kvtest::d3d9EnableCallLog(true);
  kv::SurfaceLock lock;
  ASSERT_EQ(lock.lock(surface.get(), nullptr, nullptr, 0, kv::kLockReadOnly), S_OK);
  EXPECT_TRUE(lock.usesTemporaryCopy());
  EXPECT_EQ(*reinterpret_cast<const DWORD *>(lock.box().data), 0xff445566u) << "the copy holds the contents";
  kvtest::d3d9ClearCallLog();
  EXPECT_EQ(lock.finish(), S_OK);
  EXPECT_FALSE(logged("UpdateSurface"));
}

TEST_F(SurfaceLockTest, DxtCopiesOfOddSizesAreALevelOfALargerTexture) {
  auto tex = texture(6, 6, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED);
  auto surface = level(tex.get());
  kvtest::d3d9EnableCallLog(true);
  kv::SurfaceLock lock;
  ASSERT_EQ(lock.lock(surface.get(), nullptr, nullptr, 0, kv::kLockTemporaryCopy), S_OK);
  EXPECT_TRUE(logged("CreateTexture(12, 12, 2, 0, 827611204, 2)"));
  EXPECT_TRUE(logged("Texture::GetSurfaceLevel(1)"));
  EXPECT_EQ(lock.finish(), S_OK) << "a managed surface takes no UpdateSurface: the bits are copied";

  // A copy to read holds every block of the surface, in both rows of blocks, whatever the size.
  for (const UINT size : {6u, 8u}) {
    auto blocks = texture(size, size, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED);
    auto blockSurface = level(blocks.get());
    D3DLOCKED_RECT direct{};
    ASSERT_EQ(blockSurface->LockRect(&direct, nullptr, 0), D3D_OK);
    for (UINT row = 0; row < 2; ++row)
      for (UINT byte = 0; byte < 16; ++byte)
        static_cast<BYTE *>(direct.pBits)[row * direct.Pitch + byte] = BYTE(row * 16 + byte + 1);
    blockSurface->UnlockRect();
    ASSERT_EQ(lock.lock(blockSurface.get(), nullptr, nullptr, 0, kv::kLockTemporaryCopy | kv::kLockReadOnly), S_OK)
        << size;
    for (UINT row = 0; row < 2; ++row)
      for (UINT byte = 0; byte < 16; ++byte)
        EXPECT_EQ(lock.box().data[row * lock.box().rowPitch + byte], row * 16 + byte + 1) << size << ": " << row;
    lock.finish();
  }
}

TEST_F(SurfaceLockTest, DynamicSurfacesWrittenWholeAreDiscarded) {
  auto single = texture(4, 4, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto chain = texture(4, 4, 3, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto one = level(single.get()), top = level(chain.get());
  kvtest::d3d9EnableCallLog(true);
  kv::SurfaceLock lock;
  ASSERT_EQ(lock.lock(one.get(), nullptr, nullptr, 0, 0), S_OK);
  lock.finish();
  EXPECT_TRUE(logged("Surface::LockRect(null, 10240)")) << "NOSYSLOCK | DISCARD";
  kvtest::d3d9ClearCallLog();
  ASSERT_EQ(lock.lock(top.get(), nullptr, nullptr, 0, 0), S_OK);
  lock.finish();
  EXPECT_TRUE(logged("Surface::LockRect(null, 2048)")) << "a level of a chain is not discarded";
  kvtest::d3d9ClearCallLog();
  ASSERT_EQ(lock.lock(top.get(), nullptr, nullptr, 0, kv::kLockMayDiscard), S_OK);
  lock.finish();
  EXPECT_TRUE(logged("Surface::LockRect(null, 10240)")) << "unless the caller allows it";
  kvtest::d3d9ClearCallLog();
  const RECT part{0, 0, 2, 2};
  ASSERT_EQ(lock.lock(one.get(), nullptr, &part, 0, 0), S_OK);
  lock.finish();
  EXPECT_TRUE(logged("Surface::LockRect(ptr, 2048)")) << "partial writes keep the rest";
}

TEST_F(SurfaceLockTest, VolumeLocksCheckTheBoxAndThePool) {
  Ref<IDirect3DVolumeTexture9> fixed, managed;
  ASSERT_EQ(device_->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, fixed.out(), nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateVolumeTexture(8, 8, 2, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, managed.out(), nullptr), D3D_OK);
  Ref<IDirect3DVolume9> fixedVolume, volume;
  ASSERT_EQ(fixed->GetVolumeLevel(0, fixedVolume.out()), D3D_OK);
  ASSERT_EQ(managed->GetVolumeLevel(0, volume.out()), D3D_OK);
  kv::VolumeLock lock;
  EXPECT_EQ(lock.lock(fixedVolume.get(), nullptr, nullptr, 0, 0), D3DERR_INVALIDCALL);
  kvtest::d3d9EnableCallLog(true);
  for (const D3DBOX &bad : {D3DBOX{0, 0, 8, 8, 1, 3}, D3DBOX{4, 0, 2, 8, 0, 1}, D3DBOX{0, 0, 8, 9, 0, 1},
                            D3DBOX{0, 0, 9, 8, 0, 1}, D3DBOX{0, 0, 8, 8, 1, 1}, D3DBOX{0, 4, 8, 4, 0, 1}})
    EXPECT_EQ(lock.lock(volume.get(), nullptr, &bad, 0, 0), D3DERR_INVALIDCALL)
        << bad.Left << " " << bad.Top << " " << bad.Right << " " << bad.Bottom << " " << bad.Front << " " << bad.Back;
  EXPECT_FALSE(logged("Volume::LockBox")) << "refused before anything is locked";
  const D3DBOX inner{5, 1, 6, 3, 1, 2};
  ASSERT_EQ(lock.lock(volume.get(), nullptr, &inner, 0, 0), S_OK);
  const uint32_t box[6] = {1, 1, 2, 3, 0, 1}, bounds[6] = {0, 0, 4, 4, 0, 1};
  EXPECT_TRUE(std::equal(box, box + 6, lock.box().box)) << "relative to the locked (4, 0, 1)-(8, 4, 2)";
  EXPECT_TRUE(std::equal(bounds, bounds + 6, lock.box().bounds));
  lock.finish();

  // Dynamic volumes written whole are discarded as surfaces are: one level, or when allowed.
  Ref<IDirect3DVolumeTexture9> single, chain;
  ASSERT_EQ(device_->CreateVolumeTexture(4, 4, 4, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, single.out(),
                                         nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateVolumeTexture(4, 4, 4, 3, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, chain.out(),
                                         nullptr),
            D3D_OK);
  Ref<IDirect3DVolume9> one, top;
  ASSERT_EQ(single->GetVolumeLevel(0, one.out()), D3D_OK);
  ASSERT_EQ(chain->GetVolumeLevel(0, top.out()), D3D_OK);
  const D3DBOX part{0, 0, 2, 2, 0, 1};
  const struct {
    IDirect3DVolume9 *volume;
    const D3DBOX *box;
    uint32_t options;
    const char *call;
  } cases[] = {{one.get(), nullptr, 0, "Volume::LockBox(null, 10240)"},
               {top.get(), nullptr, 0, "Volume::LockBox(null, 2048)"},
               {top.get(), nullptr, kv::kLockMayDiscard, "Volume::LockBox(null, 10240)"},
               {one.get(), &part, 0, "Volume::LockBox(ptr, 2048)"},
               {one.get(), nullptr, kv::kLockReadOnly, "Volume::LockBox(null, 2064)"}};
  for (const auto &c : cases) {
    kvtest::d3d9ClearCallLog();
    ASSERT_EQ(lock.lock(c.volume, nullptr, c.box, 0, c.options), S_OK) << c.call;
    lock.finish();
    EXPECT_TRUE(logged(c.call)) << c.call;
  }
}

TEST_F(SurfaceLockTest, AManagedSurfaceLoadsIntoOneOfItsSizeThroughItsLock) {
  // The device cannot copy between managed surfaces: the pixels go through a lock, exactly.
  auto from = texture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  auto to = texture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  std::vector<DWORD> pixels(16);
  for (UINT i = 0; i < 16; ++i) pixels[i] = i == 5 ? 0x00000001u : 0x80000000u | i * 0x010203u;
  const RECT whole{0, 0, 4, 4};
  ASSERT_EQ(kv::loadSurfaceFromMemory(level(from.get()).get(), nullptr, nullptr, pixels.data(), D3DFMT_A8R8G8B8, 16,
                                      nullptr, &whole, kv::FilterNone, 0),
            S_OK);
  ASSERT_EQ(kv::loadSurfaceFromSurface(level(to.get()).get(), nullptr, nullptr, level(from.get()).get(), nullptr,
                                       nullptr, kv::FilterNone, 0),
            S_OK);
  EXPECT_EQ(read32(level(to.get()).get()), pixels);
}

TEST_F(SurfaceLockTest, LoadingAHostImageIntoEveryLevelWithTheLinearFilter) {
  // The texture loader's path: a 32-bit image into each level of a chain.
  const UINT size = 16;
  std::vector<DWORD> image(size * size);
  for (UINT y = 0; y < size; ++y)
    for (UINT x = 0; x < size; ++x) image[y * size + x] = 0xff000000u | (x * 16) << 16 | (y * 16) << 8 | 0x40;
  auto tex = texture(size, size, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  const RECT whole{0, 0, LONG(size), LONG(size)};
  for (UINT l = 0; l < tex->GetLevelCount(); ++l)
    ASSERT_EQ(kv::loadSurfaceFromMemory(level(tex.get(), l).get(), nullptr, nullptr, image.data(), D3DFMT_X8R8G8B8,
                                        size * 4, nullptr, &whole, kv::FilterLinear, 0),
              S_OK)
        << l;
  EXPECT_EQ(read32(level(tex.get(), 0).get()), image) << "level 0 is a straight conversion";
  // Level 3 (2x2) blends source texels 3..4 and 11..12 (wrap does not reach them).
  const auto top = read32(level(tex.get(), 3).get());
  EXPECT_EQ(top[0], 0xff000000u | (56u << 16) | (56u << 8) | 0x40);
  EXPECT_EQ(top[3], 0xff000000u | (184u << 16) | (184u << 8) | 0x40);

  EXPECT_EQ(kv::loadSurfaceFromMemory(level(tex.get(), 0).get(), nullptr, nullptr, image.data(), D3DFMT_A8R8G8B8,
                                      size * 4, nullptr, nullptr, kv::FilterLinear, 0),
            D3DERR_INVALIDCALL);
  const RECT inverted{4, 0, 2, 4};
  EXPECT_EQ(kv::loadSurfaceFromMemory(level(tex.get(), 0).get(), nullptr, nullptr, image.data(), D3DFMT_A8R8G8B8,
                                      size * 4, nullptr, &inverted, kv::FilterLinear, 0),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(kv::loadSurfaceFromMemory(level(tex.get(), 0).get(), nullptr, nullptr, image.data(), D3DFMT_A8R8G8B8,
                                      size * 4, nullptr, &whole, 0x103, 0),
            D3DERR_INVALIDCALL);
}

TEST_F(SurfaceLockTest, BlockSurfacesAndVolumesLoadThroughTheirLocks) {
  // An odd rectangle of a DXT1 surface: the blocks around it keep their other pixels.
  auto dxt = texture(8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED);
  const RECT whole{0, 0, 8, 8}, inner{1, 1, 5, 5};
  std::vector<DWORD> white(64, 0xffffffffu), red(64, 0xffff0000u);
  ASSERT_EQ(kv::loadSurfaceFromMemory(level(dxt.get()).get(), nullptr, nullptr, white.data(), D3DFMT_A8R8G8B8, 32,
                                      nullptr, &whole, kv::FilterNone, 0),
            S_OK);
  const RECT source{0, 0, 4, 4};
  ASSERT_EQ(kv::loadSurfaceFromMemory(level(dxt.get()).get(), nullptr, &inner, red.data(), D3DFMT_A8R8G8B8, 32,
                                      nullptr, &source, kv::FilterNone, 0),
            S_OK);
  kv::SurfaceLock lock;
  ASSERT_EQ(lock.lock(level(dxt.get()).get(), nullptr, nullptr, 0, kv::kLockReadOnly), S_OK);
  std::vector<DWORD> back(64);
  kv::PixelBox out;
  out.data = reinterpret_cast<uint8_t *>(back.data());
  out.format = D3DFMT_A8R8G8B8;
  out.rowPitch = 32;
  out.slicePitch = 256;
  const uint32_t region[6] = {0, 0, 8, 8, 0, 1};
  std::copy(region, region + 6, out.bounds);
  std::copy(region, region + 6, out.box);
  ASSERT_EQ(kv::convertPixels(out, lock.box(), kv::FilterNone), S_OK);
  lock.finish();
  for (UINT y = 0; y < 8; ++y)
    for (UINT x = 0; x < 8; ++x) {
      const bool inside = x >= 1 && x < 5 && y >= 1 && y < 5;
      EXPECT_EQ(back[y * 8 + x], inside ? 0xffff0000u : 0xffffffffu) << x << "," << y;
    }

  // A volume halved in every direction by the box filter.
  Ref<IDirect3DVolumeTexture9> volumes;
  ASSERT_EQ(device_->CreateVolumeTexture(2, 2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, volumes.out(), nullptr),
            D3D_OK);
  Ref<IDirect3DVolume9> volume;
  ASSERT_EQ(volumes->GetVolumeLevel(0, volume.out()), D3D_OK);
  std::vector<DWORD> cube(4 * 4 * 4);
  for (UINT i = 0; i < cube.size(); ++i) cube[i] = 0xff000000u | (i & 3) * 0x40 | ((i >> 4) & 3) * 0x400000;
  const D3DBOX all{0, 0, 4, 4, 0, 4};
  ASSERT_EQ(kv::loadVolumeFromMemory(volume.get(), nullptr, nullptr, cube.data(), D3DFMT_A8R8G8B8,
                                     16, 64, nullptr, &all, kv::FilterBox, 0),
            S_OK);
  D3DLOCKED_BOX locked{};
  ASSERT_EQ(volume->LockBox(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  const DWORD *far = reinterpret_cast<const DWORD *>(static_cast<const BYTE *>(locked.pBits) + locked.SlicePitch);
  EXPECT_EQ(far[1], 0xff000000u | 0xa0 | (0xa0u << 16)) << "x from columns 2..3, z from slices 2..3";
  volume->UnlockBox();
}

}  // namespace
}  // namespace kv_test
