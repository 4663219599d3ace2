// Textures, cube and volume textures and stand-alone surfaces: pools, usages, level sizes,
// pitches and the lock rules.
#include <cstring>
#include <fstream>
#include <string>

#include "d3d9_test_support.h"

namespace kvd3d_test {
namespace {

class ResourcesTest : public D3D9Test {
 protected:
  void SetUp() override {
    D3D9Test::SetUp();
    makeDevice();
  }

  HRESULT createTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        Ref<IDirect3DTexture9> &out) {
    return device_->CreateTexture(w, h, levels, usage, format, pool, out.out(), nullptr);
  }
};

TEST_F(ResourcesTest, FullChainOfAnOddSizedTextureHalvesEachSideDownToOne) {
  Ref<IDirect3DTexture9> texture;
  ASSERT_EQ(createTexture(13, 5, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3D_OK);
  ASSERT_EQ(texture->GetLevelCount(), 4u);
  const UINT expected[4][2] = {{13, 5}, {6, 2}, {3, 1}, {1, 1}};
  for (UINT level = 0; level < 4; ++level) {
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, expected[level][0]) << level;
    EXPECT_EQ(desc.Height, expected[level][1]) << level;
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(desc.Type, D3DRTYPE_SURFACE);
  }
  D3DSURFACE_DESC desc{};
  EXPECT_EQ(texture->GetLevelDesc(4, &desc), D3DERR_INVALIDCALL);
  Ref<IDirect3DSurface9> level;
  EXPECT_EQ(texture->GetSurfaceLevel(4, level.out()), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture->GetType(), D3DRTYPE_TEXTURE);
  Ref<IDirect3DTexture9> tooMany;
  EXPECT_EQ(createTexture(13, 5, 5, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tooMany), D3DERR_INVALIDCALL);
}

// Memory of a released big level is kept for the next level of its size: that level must
// still start zeroed.
TEST_F(ResourcesTest, ABigLevelMadeWhereAReleasedOneWasStartsZeroed) {
  constexpr UINT kSide = 1024;  // 4 MB, big enough to be kept
  for (int round = 0; round < 3; ++round) {
    Ref<IDirect3DTexture9> texture;
    ASSERT_EQ(createTexture(kSide, kSide, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    ASSERT_EQ(locked.Pitch, INT(kSide * 4));
    const auto *bytes = static_cast<const unsigned char *>(locked.pBits);
    const size_t size = size_t(kSide) * kSide * 4;
    EXPECT_EQ(std::count(bytes, bytes + size, 0), std::ptrdiff_t(size)) << "round " << round;
    std::memset(locked.pBits, 0xAB, size);  // what the next texture must not see
    texture->UnlockRect(0);
  }
  // A bigger level never gets the smaller level's memory: all of it can be written.
  Ref<IDirect3DTexture9> bigger;
  ASSERT_EQ(createTexture(2 * kSide, kSide, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, bigger), D3D_OK);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(bigger->LockRect(0, &locked, nullptr, 0), D3D_OK);
  std::memset(locked.pBits, 0xCD, size_t(kSide) * kSide * 8);
  bigger->UnlockRect(0);
}

// A released big level's memory serves the next level of its size; levels pushed out of
// the two kept places are unmapped, so textures of many sizes gather no mappings.
TEST_F(ResourcesTest, ReleasedBigLevelsAreReusedAndNoMoreThanTwoKept) {
  auto levelBits = [&](UINT width, UINT height) {
    Ref<IDirect3DTexture9> texture;
    EXPECT_EQ(createTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    texture->UnlockRect(0);
    return locked.pBits;
  };
  void *first = levelBits(1024, 1024);
  EXPECT_EQ(levelBits(1024, 1024), first) << "the released level's memory is reused";
  auto mappings = [] {
    std::ifstream maps("/proc/self/maps");
    size_t lines = 0;
    for (std::string line; std::getline(maps, line);) ++lines;
    return lines;
  };
  const size_t before = mappings();
  for (int round = 0; round < 20; ++round)
    for (const UINT height : {768u, 1280u, 1792u}) levelBits(1024, height);  // 3, 5 and 7 MiB
  // Sixty levels went through; two are kept. The slack is for the heap's own mappings
  // (AddressSanitizer's allocator maps its regions as it goes).
  EXPECT_LE(mappings(), before + 10);
}

TEST_F(ResourcesTest, DxtLevelsPitchWholeBlocksDownToOneByOne) {
  Ref<IDirect3DTexture9> dxt1, dxt5;
  ASSERT_EQ(createTexture(16, 8, 0, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, dxt1), D3D_OK);
  ASSERT_EQ(createTexture(16, 16, 0, 0, D3DFMT_DXT5, D3DPOOL_MANAGED, dxt5), D3D_OK);
  ASSERT_EQ(dxt1->GetLevelCount(), 5u);
  const INT dxt1Pitch[5] = {32, 16, 8, 8, 8};
  for (UINT level = 0; level < 5; ++level) {
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(dxt1->LockRect(level, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, dxt1Pitch[level]) << level;
    EXPECT_EQ(dxt1->UnlockRect(level), D3D_OK);
  }
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(dxt1->GetLevelDesc(4, &desc), D3D_OK);
  EXPECT_EQ(desc.Width, 1u) << "small levels report their true size";
  EXPECT_EQ(desc.Height, 1u);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(dxt5->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 64);
  EXPECT_EQ(dxt5->UnlockRect(0), D3D_OK);
}

TEST_F(ResourcesTest, DxtRectanglesMustCoverWholeBlocks) {
  Ref<IDirect3DTexture9> texture;
  ASSERT_EQ(createTexture(16, 10, 1, 0, D3DFMT_DXT1, D3DPOOL_SYSTEMMEM, texture), D3D_OK);
  D3DLOCKED_RECT whole{}, part{};
  ASSERT_EQ(texture->LockRect(0, &whole, nullptr, 0), D3D_OK);
  texture->UnlockRect(0);
  const RECT aligned{4, 8, 8, 10};  // bottom is the level's edge
  ASSERT_EQ(texture->LockRect(0, &part, &aligned, 0), D3D_OK);
  EXPECT_EQ(static_cast<BYTE *>(part.pBits) - static_cast<BYTE *>(whole.pBits), 2 * 32 + 1 * 8);
  texture->UnlockRect(0);
  for (RECT bad : {RECT{2, 0, 8, 4}, RECT{0, 0, 6, 4}, RECT{0, 1, 4, 4}, RECT{0, 0, 4, 9}})
    EXPECT_EQ(texture->LockRect(0, &part, &bad, 0), D3DERR_INVALIDCALL)
        << bad.left << "," << bad.top << "," << bad.right << "," << bad.bottom;
}

TEST_F(ResourcesTest, LockRulesFollowThePool) {
  Ref<IDirect3DTexture9> managed, system, scratch, dynamic, plainDefault, renderTarget;
  ASSERT_EQ(createTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, managed), D3D_OK);
  ASSERT_EQ(createTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, system), D3D_OK);
  ASSERT_EQ(createTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, scratch), D3D_OK);
  ASSERT_EQ(createTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, dynamic), D3D_OK);
  ASSERT_EQ(createTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, plainDefault), D3D_OK);
  ASSERT_EQ(createTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, renderTarget), D3D_OK);
  D3DLOCKED_RECT locked{};
  for (IDirect3DTexture9 *texture : {managed.get(), system.get(), scratch.get(), dynamic.get()}) {
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 32);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
  }
  EXPECT_EQ(plainDefault->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(renderTarget->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
}

TEST_F(ResourcesTest, LockStateMachineAndRectangleChecks) {
  Ref<IDirect3DTexture9> texture;
  ASSERT_EQ(createTexture(8, 4, 2, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, texture), D3D_OK);
  D3DLOCKED_RECT locked{}, sub{};
  EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL) << "unlock without lock";
  ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(texture->LockRect(0, &sub, nullptr, 0), D3DERR_INVALIDCALL) << "double lock";
  EXPECT_EQ(texture->LockRect(1, &sub, nullptr, 0), D3D_OK) << "levels lock independently";
  EXPECT_EQ(texture->UnlockRect(1), D3D_OK);
  EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
  EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);

  const RECT inside{3, 1, 8, 4};
  ASSERT_EQ(texture->LockRect(0, &sub, &inside, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(static_cast<BYTE *>(sub.pBits) - static_cast<BYTE *>(locked.pBits), locked.Pitch + 3 * 2);
  texture->UnlockRect(0);
  for (RECT bad : {RECT{0, 0, 9, 4}, RECT{-1, 0, 2, 2}, RECT{2, 2, 2, 3}, RECT{0, 3, 4, 1}})
    EXPECT_EQ(texture->LockRect(0, &sub, &bad, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture->LockRect(0, &sub, &inside, D3DLOCK_DISCARD), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture->LockRect(0, nullptr, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture->LockRect(2, &sub, nullptr, 0), D3DERR_INVALIDCALL);
}

TEST_F(ResourcesTest, UsagesArePairedWithTheirPools) {
  Ref<IDirect3DTexture9> texture;
  EXPECT_EQ(createTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(createTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(createTexture(8, 8, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, texture),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(createTexture(8, 8, 1, D3DUSAGE_WRITEONLY, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(createTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL(4), texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(createTexture(0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(createTexture(8, 8, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr),
            D3DERR_INVALIDCALL);
  // Mipmaps of an autogen texture are never generated, so it has one level.
  ASSERT_EQ(createTexture(8, 8, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 1u);
  EXPECT_EQ(texture->SetAutoGenFilterType(D3DTEXF_POINT), D3D_OK);
  EXPECT_EQ(texture->GetAutoGenFilterType(), D3DTEXF_POINT);
}

TEST_F(ResourcesTest, SizesAreCheckedAgainstCapsExceptInScratch) {
  Ref<IDirect3DTexture9> texture;
  EXPECT_EQ(createTexture(4097, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(createTexture(8192, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, texture), D3D_OK);
  // Far beyond memory: refused, not attempted.
  EXPECT_EQ(createTexture(65535, 65535, 1, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SCRATCH, texture), E_OUTOFMEMORY);

  D3DCAPS9 caps = kvtest::d3d9DefaultCaps();
  caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
  caps.MaxTextureAspectRatio = 2;
  kvtest::d3d9SetCaps(caps);
  EXPECT_EQ(createTexture(12, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(createTexture(16, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(createTexture(16, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3D_OK);
  caps.TextureCaps |= D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
  kvtest::d3d9SetCaps(caps);
  EXPECT_EQ(createTexture(12, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3D_OK);
  EXPECT_EQ(createTexture(12, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3DERR_INVALIDCALL);
  caps.TextureCaps &= ~DWORD(D3DPTEXTURECAPS_MIPMAP);
  kvtest::d3d9SetCaps(caps);
  ASSERT_EQ(createTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 1u) << "without mipmap support a full chain is one level";
  EXPECT_EQ(createTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3D_OK);
  EXPECT_EQ(createTexture(16, 16, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3DERR_INVALIDCALL);
}

TEST_F(ResourcesTest, CubeTextureHasSixFacesOfSquareLevels) {
  Ref<IDirect3DCubeTexture9> cube;
  ASSERT_EQ(device_->CreateCubeTexture(8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, cube.out(), nullptr), D3D_OK);
  EXPECT_EQ(cube->GetLevelCount(), 4u);
  EXPECT_EQ(cube->GetType(), D3DRTYPE_CUBETEXTURE);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(cube->GetLevelDesc(2, &desc), D3D_OK);
  EXPECT_EQ(desc.Width, 2u);
  EXPECT_EQ(desc.Height, 2u);
  Ref<IDirect3DSurface9> face;
  ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Z, 1, face.out()), D3D_OK);
  EXPECT_EQ(refCount(cube.get()), 2u);
  Ref<IDirect3DCubeTexture9> container;
  ASSERT_EQ(face->GetContainer(IID_IDirect3DCubeTexture9, reinterpret_cast<void **>(container.out())), D3D_OK);
  EXPECT_EQ(container.get(), cube.get());
  EXPECT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACES(6), 0, face.out()), D3DERR_INVALIDCALL);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACE_POSITIVE_Y, 0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(cube->LockRect(D3DCUBEMAP_FACE_POSITIVE_Y, 0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(cube->LockRect(D3DCUBEMAP_FACE_NEGATIVE_Y, 0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(cube->UnlockRect(D3DCUBEMAP_FACE_POSITIVE_Y, 0), D3D_OK);
  EXPECT_EQ(cube->UnlockRect(D3DCUBEMAP_FACE_NEGATIVE_Y, 0), D3D_OK);
}

TEST_F(ResourcesTest, VolumeTextureLevelsShrinkInAllThreeDimensions) {
  Ref<IDirect3DVolumeTexture9> volume;
  ASSERT_EQ(device_->CreateVolumeTexture(8, 4, 2, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, volume.out(), nullptr),
            D3D_OK);
  ASSERT_EQ(volume->GetLevelCount(), 4u);
  D3DVOLUME_DESC desc{};
  ASSERT_EQ(volume->GetLevelDesc(1, &desc), D3D_OK);
  EXPECT_EQ(desc.Width, 4u);
  EXPECT_EQ(desc.Height, 2u);
  EXPECT_EQ(desc.Depth, 1u);
  EXPECT_EQ(desc.Type, D3DRTYPE_VOLUME);
  D3DLOCKED_BOX whole{}, part{};
  ASSERT_EQ(volume->LockBox(0, &whole, nullptr, 0), D3D_OK);
  EXPECT_EQ(whole.RowPitch, 32);
  EXPECT_EQ(whole.SlicePitch, 128);
  EXPECT_EQ(volume->UnlockBox(0), D3D_OK);
  const D3DBOX box{1, 1, 3, 2, 1, 2};
  ASSERT_EQ(volume->LockBox(0, &part, &box, 0), D3D_OK);
  EXPECT_EQ(static_cast<BYTE *>(part.pBits) - static_cast<BYTE *>(whole.pBits), 128 + 32 + 4);
  EXPECT_EQ(volume->UnlockBox(0), D3D_OK);
  const D3DBOX outside{0, 0, 8, 4, 0, 3};
  EXPECT_EQ(volume->LockBox(0, &part, &outside, 0), D3DERR_INVALIDCALL);
  Ref<IDirect3DVolume9> level;
  ASSERT_EQ(volume->GetVolumeLevel(3, level.out()), D3D_OK);
  EXPECT_EQ(refCount(volume.get()), 2u);
  ASSERT_EQ(level->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Width, 1u);
  Ref<IDirect3DVolumeTexture9> container;
  ASSERT_EQ(level->GetContainer(IID_IDirect3DVolumeTexture9, reinterpret_cast<void **>(container.out())), D3D_OK);
  EXPECT_EQ(container.get(), volume.get());
  Ref<IDirect3DVolumeTexture9> autogen;
  EXPECT_EQ(device_->CreateVolumeTexture(4, 4, 4, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                         autogen.out(), nullptr),
            D3DERR_INVALIDCALL);
}

TEST_F(ResourcesTest, StandAloneSurfacesFollowTheirOwnLockRules) {
  Ref<IDirect3DSurface9> plain, managedPlain, target, lockableTarget, depth, lockableDepth;
  EXPECT_EQ(device_->CreateOffscreenPlainSurface(16, 8, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, managedPlain.out(),
                                                 nullptr),
            D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(16, 8, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, plain.out(), nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateRenderTarget(16, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, target.out(), nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateRenderTarget(16, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, lockableTarget.out(),
                                        nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateDepthStencilSurface(16, 8, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, depth.out(),
                                               nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateDepthStencilSurface(16, 8, D3DFMT_D16_LOCKABLE, D3DMULTISAMPLE_NONE, 0, FALSE,
                                               lockableDepth.out(), nullptr),
            D3D_OK);
  // No multisampling, so no quality level above 0 either.
  Ref<IDirect3DSurface9> refused;
  EXPECT_EQ(device_->CreateRenderTarget(16, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 1, FALSE, refused.out(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateDepthStencilSurface(16, 8, D3DFMT_D16, D3DMULTISAMPLE_NONE, 1, FALSE, refused.out(),
                                               nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_FALSE(refused);
  D3DLOCKED_RECT locked{};
  for (IDirect3DSurface9 *surface : {plain.get(), lockableTarget.get(), lockableDepth.get()}) {
    EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(surface->UnlockRect(), D3D_OK);
  }
  EXPECT_EQ(target->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(depth->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(depth->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Usage, DWORD(D3DUSAGE_DEPTHSTENCIL));
  EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
  // Plain surfaces are contained by the device.
  Ref<IDirect3DDevice9> owner;
  ASSERT_EQ(plain->GetContainer(IID_IDirect3DDevice9, reinterpret_cast<void **>(owner.out())), D3D_OK);
  EXPECT_EQ(owner.get(), device_.get());
  EXPECT_EQ(kvtest::d3d9LiveResources(), 5);
  HDC dc = nullptr;
  EXPECT_EQ(plain->GetDC(&dc), D3DERR_INVALIDCALL);

  Ref<IDirect3DSurface9> huge;
  EXPECT_EQ(device_->CreateOffscreenPlainSurface(16384, 16384, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, huge.out(),
                                                 nullptr),
            E_OUTOFMEMORY);
  EXPECT_FALSE(huge);
  EXPECT_EQ(device_->CreateOffscreenPlainSurface(16385, 1, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, huge.out(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(kvtest::d3d9LiveResources(), 5);
}

TEST_F(ResourcesTest, BackBufferLocksOnlyWhenMadeLockable) {
  Ref<IDirect3DSurface9> back;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(locked.Pitch, 544 * 4);
  EXPECT_EQ(back->UnlockRect(), D3D_OK);
  EXPECT_EQ(device_->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, back.out()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetBackBuffer(1, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_LEFT, back.out()), D3DERR_INVALIDCALL);

  D3DPRESENT_PARAMETERS pp = libraryParameters();
  pp.Flags = 0;
  back.reset();
  ASSERT_EQ(device_->Reset(&pp), D3D_OK);
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  EXPECT_EQ(back->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
}

TEST_F(ResourcesTest, PrivateDataRoundTripsAndReportsSizes) {
  Ref<IDirect3DTexture9> texture;
  ASSERT_EQ(createTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture), D3D_OK);
  const GUID key = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  const DWORD value = 0xfeedbeef;
  ASSERT_EQ(texture->SetPrivateData(key, &value, sizeof value, 0), D3D_OK);
  DWORD size = 0;
  EXPECT_EQ(texture->GetPrivateData(key, nullptr, &size), D3DERR_MOREDATA);
  EXPECT_EQ(size, sizeof value);
  DWORD read = 0;
  ASSERT_EQ(texture->GetPrivateData(key, &read, &size), D3D_OK);
  EXPECT_EQ(read, value);
  EXPECT_EQ(texture->FreePrivateData(key), D3D_OK);
  EXPECT_EQ(texture->GetPrivateData(key, &read, &size), D3DERR_NOTFOUND);

  // An object kept as private data holds a reference until its holder goes, which also
  // drops plain entries still there.
  Ref<IDirect3DTexture9> object;
  ASSERT_EQ(createTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, object), D3D_OK);
  const GUID objectKey = {2, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  IUnknown *unknown = object.get();
  ASSERT_EQ(texture->SetPrivateData(objectKey, &unknown, sizeof unknown, D3DSPD_IUNKNOWN), D3D_OK);
  ASSERT_EQ(texture->SetPrivateData(key, &value, sizeof value, 0), D3D_OK);
  EXPECT_EQ(refCount(object.get()), 2u);
  texture.reset();
  EXPECT_EQ(refCount(object.get()), 1u);
}

}  // namespace
}  // namespace kvd3d_test
