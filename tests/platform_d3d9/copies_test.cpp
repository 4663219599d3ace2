// The device's copies between resources (UpdateSurface, UpdateTexture, StretchRect,
// ColorFill), lock refusals and discards, and the control surface's copy faults.
#include <cstring>
#include <limits>

#include "d3d9_test_support.h"

namespace kvd3d_test {
namespace {

class CopiesTest : public D3D9Test {
 protected:
  void SetUp() override {
    D3D9Test::SetUp();
    makeDevice();
  }

  Ref<IDirect3DSurface9> plain(UINT w, UINT h, D3DFORMAT format, D3DPOOL pool) {
    Ref<IDirect3DSurface9> surface;
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(w, h, format, pool, surface.out(), nullptr), D3D_OK);
    return surface;
  }

  Ref<IDirect3DTexture9> texture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool) {
    Ref<IDirect3DTexture9> out;
    EXPECT_EQ(device_->CreateTexture(w, h, levels, usage, format, pool, out.out(), nullptr), D3D_OK);
    return out;
  }

  Ref<IDirect3DSurface9> level(IDirect3DTexture9 *tex, UINT index) {
    Ref<IDirect3DSurface9> surface;
    EXPECT_EQ(tex->GetSurfaceLevel(index, surface.out()), D3D_OK);
    return surface;
  }

  Ref<IDirect3DSurface9> renderTarget(UINT w, UINT h, BOOL lockable, D3DFORMAT format = D3DFMT_A8R8G8B8) {
    Ref<IDirect3DSurface9> surface;
    EXPECT_EQ(device_->CreateRenderTarget(w, h, format, D3DMULTISAMPLE_NONE, 0, lockable, surface.out(), nullptr),
              D3D_OK);
    return surface;
  }

  // Writes value(x, y) into every 32-bit pixel of a lockable surface.
  template <class F>
  void fill32(IDirect3DSurface9 *surface, F value) {
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y)
      for (UINT x = 0; x < desc.Width; ++x)
        reinterpret_cast<DWORD *>(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch)[x] = value(x, y);
    surface->UnlockRect();
  }

  DWORD pixel32(IDirect3DSurface9 *surface, UINT x, UINT y) {
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const DWORD value = reinterpret_cast<const DWORD *>(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch)[x];
    surface->UnlockRect();
    return value;
  }
};

DWORD coordinates(UINT x, UINT y) { return 0xff000000u | (y << 8) | x; }

TEST_F(CopiesTest, UpdateSurfaceCopiesARectangleFromSystemMemoryToTheDefaultPoolOnly) {
  auto source = plain(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  auto dynamic = texture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto dest = level(dynamic.get(), 0);
  fill32(source.get(), coordinates);
  const RECT rect{2, 1, 5, 3};
  const POINT at{4, 5};
  ASSERT_EQ(device_->UpdateSurface(source.get(), &rect, dest.get(), &at), D3D_OK);
  EXPECT_EQ(pixel32(dest.get(), 4, 5), coordinates(2, 1));
  EXPECT_EQ(pixel32(dest.get(), 6, 6), coordinates(4, 2));
  EXPECT_EQ(pixel32(dest.get(), 7, 6), 0u) << "outside the copied rectangle";

  auto managed = texture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  auto scratch = plain(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH);
  auto otherFormat = plain(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM);
  auto rt = renderTarget(8, 8, TRUE);
  EXPECT_EQ(device_->UpdateSurface(source.get(), nullptr, level(managed.get(), 0).get(), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateSurface(scratch.get(), nullptr, dest.get(), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateSurface(otherFormat.get(), nullptr, dest.get(), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateSurface(rt.get(), nullptr, dest.get(), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateSurface(source.get(), nullptr, rt.get(), nullptr), D3D_OK) << "into a render target";
  const POINT outside{6, 6};
  EXPECT_EQ(device_->UpdateSurface(source.get(), &rect, dest.get(), &outside), D3DERR_INVALIDCALL);
  const RECT inverted{5, 1, 2, 3};
  EXPECT_EQ(device_->UpdateSurface(source.get(), &inverted, dest.get(), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateSurface(nullptr, nullptr, dest.get(), nullptr), D3DERR_INVALIDCALL);

  D3DLOCKED_RECT locked{};
  ASSERT_EQ(source->LockRect(&locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(device_->UpdateSurface(source.get(), nullptr, dest.get(), nullptr), D3DERR_INVALIDCALL) << "locked";
  source->UnlockRect();

  kvtest::d3d9FailUpdateSurface(true);
  EXPECT_EQ(device_->UpdateSurface(source.get(), nullptr, dest.get(), nullptr), D3DERR_INVALIDCALL);
  kvtest::d3d9FailUpdateSurface(false);
  EXPECT_EQ(device_->UpdateSurface(source.get(), nullptr, dest.get(), nullptr), D3D_OK);
}

TEST_F(CopiesTest, UpdateSurfaceOfBlocksNeedsBlockAlignedRectangles) {
  auto source = texture(8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_SYSTEMMEM);
  auto dest = texture(8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_DEFAULT);
  const RECT aligned{4, 0, 8, 4}, misaligned{2, 0, 6, 4};
  const POINT origin{0, 4}, odd{1, 4};
  auto from = level(source.get(), 0), to = level(dest.get(), 0);
  EXPECT_EQ(device_->UpdateSurface(from.get(), &aligned, to.get(), &origin), D3D_OK);
  EXPECT_EQ(device_->UpdateSurface(from.get(), &misaligned, to.get(), &origin), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateSurface(from.get(), &aligned, to.get(), &odd), D3DERR_INVALIDCALL);
}

TEST_F(CopiesTest, UpdateTextureMatchesLevelsFromTheSmallestUp) {
  auto source = texture(32, 16, 6, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  for (UINT l = 0; l < 6; ++l) {
    auto surface = level(source.get(), l);
    fill32(surface.get(), [l](UINT x, UINT y) { return (l << 24) | coordinates(x, y); });
  }
  auto dest = texture(4, 2, 3, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  ASSERT_EQ(device_->UpdateTexture(source.get(), dest.get()), D3D_OK);
  // The default-pool levels cannot be locked; read them back through a render target.
  auto rt = renderTarget(4, 2, TRUE);
  ASSERT_EQ(device_->StretchRect(level(dest.get(), 0).get(), nullptr, rt.get(), nullptr, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(pixel32(rt.get(), 3, 1), (3u << 24) | coordinates(3, 1)) << "level 0 from source level 3";

  auto tooMany = texture(32, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto wrongSize = texture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto wrongFormat = texture(4, 2, 3, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT);
  auto managed = texture(4, 2, 3, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  EXPECT_EQ(device_->UpdateTexture(source.get(), tooMany.get()), D3D_OK) << "the same chain";
  auto shortSource = texture(32, 16, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  EXPECT_EQ(device_->UpdateTexture(shortSource.get(), tooMany.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateTexture(source.get(), wrongSize.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateTexture(source.get(), wrongFormat.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateTexture(source.get(), managed.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateTexture(managed.get(), dest.get()), D3DERR_INVALIDCALL);
  Ref<IDirect3DCubeTexture9> cube;
  ASSERT_EQ(device_->CreateCubeTexture(4, 3, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, cube.out(), nullptr), D3D_OK);
  EXPECT_EQ(device_->UpdateTexture(source.get(), cube.get()), D3DERR_INVALIDCALL) << "different kinds";
  Ref<IDirect3DTexture9> autoGen;
  ASSERT_EQ(
      device_->CreateTexture(8, 4, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, autoGen.out(), nullptr),
      D3D_OK);
  EXPECT_EQ(device_->UpdateTexture(source.get(), autoGen.get()), D3D_OK) << "top level from the 8x4 level";
}

TEST_F(CopiesTest, StretchRectFollowsThePoolKindAndFilterRules) {
  auto rt = renderTarget(8, 8, TRUE);
  auto small = renderTarget(4, 4, TRUE);
  auto plainDefault = plain(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto plainSys = plain(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  auto tex = texture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto texLevel = level(tex.get(), 0);
  fill32(plainDefault.get(), coordinates);

  EXPECT_EQ(device_->StretchRect(plainDefault.get(), nullptr, texLevel.get(), nullptr, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(device_->StretchRect(texLevel.get(), nullptr, rt.get(), nullptr, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(pixel32(rt.get(), 5, 6), coordinates(5, 6));
  EXPECT_EQ(device_->StretchRect(rt.get(), nullptr, small.get(), nullptr, D3DTEXF_POINT), D3D_OK);
  EXPECT_EQ(pixel32(small.get(), 1, 2), coordinates(3, 5)) << "pixel centres map onto each other";
  fill32(rt.get(), [](UINT x, UINT y) { return (y * 10) << 8 | x * 10; });
  EXPECT_EQ(device_->StretchRect(rt.get(), nullptr, small.get(), nullptr, D3DTEXF_LINEAR), D3D_OK);
  EXPECT_EQ(pixel32(small.get(), 1, 2), DWORD(45 << 8 | 25)) << "mean of columns 2..3 and rows 4..5";
  // Stretched in height only: rows 0 and 1 (green 0 and 10) over eight rows, blended between.
  const RECT twoRows{0, 0, 8, 2};
  auto tall = renderTarget(8, 8, TRUE);
  EXPECT_EQ(device_->StretchRect(rt.get(), &twoRows, tall.get(), nullptr, D3DTEXF_LINEAR), D3D_OK);
  for (UINT y = 3; y <= 4; ++y) {
    const DWORD green = (pixel32(tall.get(), 5, y) >> 8) & 0xFF;
    EXPECT_TRUE(green > 0 && green < 10) << "row " << y << " green " << green;
    EXPECT_EQ(pixel32(tall.get(), 5, y) & 0xFF, 50u) << "columns unscaled";
  }
  fill32(rt.get(), coordinates);

  EXPECT_EQ(device_->StretchRect(plainSys.get(), nullptr, rt.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(rt.get(), nullptr, texLevel.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL)
      << "textures are written only from plain surfaces";
  EXPECT_EQ(device_->StretchRect(rt.get(), nullptr, plainDefault.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(plainDefault.get(), nullptr, small.get(), nullptr, D3DTEXF_ANISOTROPIC),
            D3DERR_INVALIDCALL);
  const RECT left{0, 0, 4, 4}, right{4, 0, 8, 4}, overlapping{2, 0, 6, 4}, outside{0, 0, 9, 4};
  EXPECT_EQ(device_->StretchRect(rt.get(), &left, rt.get(), &right, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(device_->StretchRect(rt.get(), &left, rt.get(), &overlapping, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(rt.get(), &outside, small.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);

  D3DCAPS9 caps = kvtest::d3d9DefaultCaps();
  caps.DevCaps2 = 0;
  kvtest::d3d9SetCaps(caps);
  EXPECT_EQ(device_->StretchRect(texLevel.get(), nullptr, rt.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  kvtest::d3d9ResetCaps();
  kvtest::d3d9FailStretchRect(true);
  EXPECT_EQ(device_->StretchRect(rt.get(), nullptr, small.get(), nullptr, D3DTEXF_POINT), D3DERR_INVALIDCALL);
  kvtest::d3d9FailStretchRect(false);

  auto x8 = renderTarget(8, 8, TRUE, D3DFMT_X8R8G8B8);
  fill32(x8.get(), [](UINT, UINT) { return 0x00123456u; });
  EXPECT_EQ(device_->StretchRect(x8.get(), nullptr, rt.get(), nullptr, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(pixel32(rt.get(), 0, 0), 0xff123456u) << "X8R8G8B8 into A8R8G8B8 is opaque";
  auto dxt = plain(8, 8, D3DFMT_DXT1, D3DPOOL_DEFAULT);
  EXPECT_EQ(device_->StretchRect(dxt.get(), nullptr, rt.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
}

TEST_F(CopiesTest, StretchRectCopiesWholeDepthSurfacesThatAreKeptOnlyOutsideAScene) {
  auto depth = [&](UINT w, UINT h, D3DFORMAT format, BOOL discard) {
    Ref<IDirect3DSurface9> surface;
    EXPECT_EQ(device_->CreateDepthStencilSurface(w, h, format, D3DMULTISAMPLE_NONE, 0, discard, surface.out(), nullptr),
              D3D_OK);
    return surface;
  };
  auto from = depth(16, 8, D3DFMT_D16_LOCKABLE, FALSE), to = depth(16, 8, D3DFMT_D16_LOCKABLE, FALSE);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(from->LockRect(&locked, nullptr, 0), D3D_OK);
  for (UINT y = 0; y < 8; ++y)
    for (UINT x = 0; x < 16; ++x)
      reinterpret_cast<WORD *>(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch)[x] = WORD(y * 16 + x + 1);
  from->UnlockRect();
  ASSERT_EQ(device_->StretchRect(from.get(), nullptr, to.get(), nullptr, D3DTEXF_NONE), D3D_OK);
  ASSERT_EQ(to->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(reinterpret_cast<const WORD *>(static_cast<BYTE *>(locked.pBits) + 7 * locked.Pitch)[15], WORD(128));
  to->UnlockRect();

  // A discardable surface may have lost its contents: it is neither source nor destination.
  auto kept = depth(16, 8, D3DFMT_D24S8, FALSE), alsoKept = depth(16, 8, D3DFMT_D24S8, FALSE);
  auto discardable = depth(16, 8, D3DFMT_D24S8, TRUE);
  EXPECT_EQ(device_->StretchRect(kept.get(), nullptr, alsoKept.get(), nullptr, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(device_->StretchRect(discardable.get(), nullptr, kept.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(kept.get(), nullptr, discardable.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);

  const RECT part{0, 0, 8, 8};
  auto wider = depth(32, 8, D3DFMT_D24S8, FALSE);
  const RECT whole{0, 0, 16, 8};
  EXPECT_EQ(device_->StretchRect(kept.get(), &part, alsoKept.get(), &part, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(kept.get(), nullptr, alsoKept.get(), &whole, D3DTEXF_NONE), D3DERR_INVALIDCALL)
      << "depth copies take no rectangles at all";
  EXPECT_EQ(device_->StretchRect(kept.get(), nullptr, wider.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(from.get(), nullptr, kept.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(kept.get(), nullptr, renderTarget(16, 8, FALSE).get(), nullptr, D3DTEXF_NONE),
            D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  EXPECT_EQ(device_->StretchRect(kept.get(), nullptr, alsoKept.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->EndScene(), D3D_OK);

  // The automatic depth buffer is kept unless the device was made to discard it.
  Ref<IDirect3DSurface9> automatic;
  ASSERT_EQ(device_->GetDepthStencilSurface(automatic.out()), D3D_OK);
  auto sameSize = depth(544, 416, D3DFMT_D16, FALSE);
  EXPECT_EQ(device_->StretchRect(automatic.get(), nullptr, sameSize.get(), nullptr, D3DTEXF_NONE), D3D_OK);
}

TEST_F(CopiesTest, TheAutomaticDepthBufferOfADiscardingDeviceIsNoStretchRectPartner) {
  device_.reset();
  D3DPRESENT_PARAMETERS pp = libraryParameters(16, 8);
  pp.Flags |= D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
  makeDevice(pp);
  Ref<IDirect3DSurface9> automatic, kept;
  ASSERT_EQ(device_->GetDepthStencilSurface(automatic.out()), D3D_OK);
  ASSERT_EQ(device_->CreateDepthStencilSurface(16, 8, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, FALSE, kept.out(), nullptr),
            D3D_OK);
  EXPECT_EQ(device_->StretchRect(automatic.get(), nullptr, kept.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(kept.get(), nullptr, automatic.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
}

// Points and rectangles at the ends of LONG are refused (or, for Clear, clipped) without
// arithmetic that runs past them.
TEST_F(CopiesTest, CoordinatesAtTheEndsOfLongAreRefusedWithoutOverflow) {
  constexpr LONG kMax = std::numeric_limits<LONG>::max(), kMin = std::numeric_limits<LONG>::min();
  auto source = plain(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  auto rt = renderTarget(8, 8, TRUE);
  fill32(rt.get(), [](UINT, UINT) { return 0x11111111u; });
  const RECT three{0, 0, 3, 3};
  for (const POINT at : {POINT{kMax - 1, 0}, POINT{0, kMax - 1}, POINT{kMax, kMax},
                         POINT{kMin, 0}, POINT{8, 0}, POINT{0, 8}}) {
    EXPECT_EQ(device_->UpdateSurface(source.get(), &three, rt.get(), &at), D3DERR_INVALIDCALL) << at.x << "," << at.y;
    EXPECT_EQ(device_->UpdateSurface(source.get(), nullptr, rt.get(), &at), D3DERR_INVALIDCALL) << at.x << "," << at.y;
  }
  const POINT lastPixel{7, 7};
  const RECT one{0, 0, 1, 1};
  EXPECT_EQ(device_->UpdateSurface(source.get(), &one, rt.get(), &lastPixel), D3D_OK);

  const RECT extremes[] = {{kMin, kMin, kMax, kMax},
                           {kMax - 1, 0, kMax, 1},
                           {0, kMax - 1, 1, kMax},
                           {kMin, 0, 1, 1},
                           {0, 0, kMax, 1}};
  auto other = renderTarget(8, 8, TRUE);
  auto texture8 = texture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  D3DLOCKED_RECT locked{};
  for (const RECT &r : extremes) {
    EXPECT_EQ(device_->UpdateSurface(source.get(), &r, rt.get(), nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->StretchRect(rt.get(), &r, other.get(), nullptr, D3DTEXF_POINT), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->StretchRect(rt.get(), nullptr, other.get(), &r, D3DTEXF_LINEAR), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->ColorFill(rt.get(), &r, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(rt->LockRect(&locked, &r, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture8->LockRect(0, &locked, &r, 0), D3DERR_INVALIDCALL);
  }
  EXPECT_EQ(pixel32(rt.get(), 0, 0), 0x11111111u) << "nothing was written";

  // Clear clips its rectangles to the viewport: the largest covers the whole target.
  Ref<IDirect3DSurface9> back;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  const D3DRECT whole{kMin, kMin, kMax, kMax};
  const D3DRECT beyond{kMax - 1, kMax - 1, kMax, kMax};
  EXPECT_EQ(device_->Clear(1, &beyond, D3DCLEAR_TARGET, 0xff00ff00u, 1.f, 0), D3D_OK);
  EXPECT_EQ(pixel32(back.get(), 543, 415), 0u) << "a rectangle past the target clears nothing";
  EXPECT_EQ(device_->Clear(1, &whole, D3DCLEAR_TARGET, 0xff0000ffu, 1.f, 0), D3D_OK);
  EXPECT_EQ(pixel32(back.get(), 0, 0), 0xff0000ffu);
  EXPECT_EQ(pixel32(back.get(), 543, 415), 0xff0000ffu);
}

TEST_F(CopiesTest, ColorFillWritesDefaultPoolTargetsAtTheFormatsPrecision) {
  auto rt = renderTarget(4, 4, TRUE);
  const RECT rect{1, 1, 3, 2};
  ASSERT_EQ(device_->ColorFill(rt.get(), &rect, 0x80ff4000u), D3D_OK);
  EXPECT_EQ(pixel32(rt.get(), 2, 1), 0x80ff4000u);
  EXPECT_EQ(pixel32(rt.get(), 3, 1), 0u);
  auto r565 = plain(4, 4, D3DFMT_R5G6B5, D3DPOOL_DEFAULT);
  ASSERT_EQ(device_->ColorFill(r565.get(), nullptr, 0xffff8000u), D3D_OK);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(r565->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  WORD value = 0;
  std::memcpy(&value, locked.pBits, 2);
  r565->UnlockRect();
  EXPECT_EQ(value, WORD((31u << 11) | (32u << 5)));

  auto sys = plain(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  auto tex = texture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto dxt = plain(8, 8, D3DFMT_DXT1, D3DPOOL_DEFAULT);
  EXPECT_EQ(device_->ColorFill(sys.get(), nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->ColorFill(level(tex.get(), 0).get(), nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->ColorFill(dxt.get(), nullptr, 0), D3DERR_INVALIDCALL);
  const RECT outside{0, 0, 5, 1};
  EXPECT_EQ(device_->ColorFill(rt.get(), &outside, 0), D3DERR_INVALIDCALL);
}

TEST_F(CopiesTest, LocksAreRefusedAsOnHardwareAndDiscardOnlyOnDynamicResources) {
  auto tex = texture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto dynamic = texture(4, 4, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  auto managed = texture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  D3DLOCKED_RECT locked{};
  EXPECT_EQ(tex->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(renderTarget(4, 4, FALSE)->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(managed->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3DERR_INVALIDCALL);
  ASSERT_EQ(dynamic->LockRect(0, &locked, nullptr, 0), D3D_OK);
  static_cast<BYTE *>(locked.pBits)[0] = 7;
  dynamic->UnlockRect(0);
  ASSERT_EQ(dynamic->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
  EXPECT_NE(static_cast<BYTE *>(locked.pBits)[0], 7) << "discarded contents are not kept";
  dynamic->UnlockRect(0);

  auto surface = level(managed.get(), 0);
  kvtest::d3d9RefuseLockRect(surface.get(), 2);
  EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(managed->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "through the texture too";
  ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK) << "two refusals used up";
  surface->UnlockRect();
  kvtest::d3d9RefuseLockRect(surface.get(), -1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
  kvtest::d3d9RefuseLockRect(surface.get(), 0);
  EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
  surface->UnlockRect();
}

TEST_F(CopiesTest, GetContainerAnswersOnlyForTheContainersInterfaces) {
  auto tex = texture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH);
  auto surface = level(tex.get(), 0);
  Ref<IDirect3DTexture9> asTexture;
  ASSERT_EQ(surface->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void **>(asTexture.out())), S_OK);
  EXPECT_EQ(asTexture.get(), tex.get());
  Ref<IDirect3DCubeTexture9> asCube;
  EXPECT_EQ(surface->GetContainer(IID_IDirect3DCubeTexture9, reinterpret_cast<void **>(asCube.out())), E_NOINTERFACE);
  EXPECT_FALSE(asCube);
  auto rt = renderTarget(4, 4, TRUE);
  Ref<IDirect3DDevice9> owner;
  ASSERT_EQ(rt->GetContainer(IID_IDirect3DDevice9, reinterpret_cast<void **>(owner.out())), S_OK);
  EXPECT_EQ(owner.get(), device_.get());
  Ref<IDirect3DTexture9> none;
  EXPECT_EQ(rt->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void **>(none.out())), E_NOINTERFACE);
  // Scratch textures: any format and size, lockable, never a copy's partner.
  auto scratchDxt = texture(6, 6, 1, 0, D3DFMT_DXT1, D3DPOOL_SCRATCH);
  D3DLOCKED_RECT locked{};
  EXPECT_EQ(scratchDxt->LockRect(0, &locked, nullptr, 0), D3D_OK);
  scratchDxt->UnlockRect(0);
}

}  // namespace
}  // namespace kvd3d_test
