// The declarations match the platform's binary layout: vtable slots, structure offsets and
// the numbers hosts and the library compare against.
#include <cstdint>
#include <cstring>

#include "d3d9_test_support.h"

namespace kvd3d_test {
namespace {

// Under the Itanium C++ ABI a pointer to a virtual member function holds 1 + the byte
// offset of its vtable slot.
template <class F>
size_t slotOf(F method) {
  static_assert(sizeof(F) == 2 * sizeof(uintptr_t));
  uintptr_t raw[2];
  std::memcpy(raw, &method, sizeof raw);
  return (raw[0] - 1) / sizeof(void *);
}

TEST(HeaderLayoutTest, AdapterAndDeviceMethodsSitInThePlatformsSlots) {
  EXPECT_EQ(slotOf(&IDirect3D9::QueryInterface), 0u);
  EXPECT_EQ(slotOf(&IDirect3D9::Release), 2u);
  EXPECT_EQ(slotOf(&IDirect3D9::CheckDeviceType), 9u);
  EXPECT_EQ(slotOf(&IDirect3D9::CheckDeviceFormat), 10u);
  EXPECT_EQ(slotOf(&IDirect3D9::GetDeviceCaps), 14u);
  EXPECT_EQ(slotOf(&IDirect3D9::CreateDevice), 16u);

  EXPECT_EQ(slotOf(&IDirect3DDevice9::TestCooperativeLevel), 3u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::GetDirect3D), 6u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::GetCreationParameters), 9u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::Reset), 16u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::GetBackBuffer), 18u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::CreateTexture), 23u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::CreateRenderTarget), 28u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::UpdateTexture), 31u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::GetRenderTargetData), 32u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::StretchRect), 34u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::CreateOffscreenPlainSurface), 36u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::BeginScene), 41u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::Clear), 43u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::SetTransform), 44u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::GetViewport), 48u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::SetRenderState), 57u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::GetTexture), 64u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::SetTexture), 65u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::SetTextureStageState), 67u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::SetSamplerState), 69u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::GetNPatchMode), 80u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::DrawPrimitiveUP), 83u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::SetFVF), 89u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::SetStreamSource), 100u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::CreatePixelShader), 106u);
  EXPECT_EQ(slotOf(&IDirect3DDevice9::CreateQuery), 118u);
}

TEST(HeaderLayoutTest, ResourceInterfacesSitInThePlatformsSlots) {
  EXPECT_EQ(slotOf(&IDirect3DResource9::GetDevice), 3u);
  EXPECT_EQ(slotOf(&IDirect3DResource9::GetType), 10u);
  EXPECT_EQ(slotOf(&IDirect3DSurface9::GetContainer), 11u);
  EXPECT_EQ(slotOf(&IDirect3DSurface9::LockRect), 13u);
  EXPECT_EQ(slotOf(&IDirect3DSurface9::ReleaseDC), 16u);
  EXPECT_EQ(slotOf(&IDirect3DBaseTexture9::GetLevelCount), 13u);
  EXPECT_EQ(slotOf(&IDirect3DBaseTexture9::GenerateMipSubLevels), 16u);
  EXPECT_EQ(slotOf(&IDirect3DTexture9::GetLevelDesc), 17u);
  EXPECT_EQ(slotOf(&IDirect3DTexture9::GetSurfaceLevel), 18u);
  EXPECT_EQ(slotOf(&IDirect3DTexture9::AddDirtyRect), 21u);
  EXPECT_EQ(slotOf(&IDirect3DCubeTexture9::GetCubeMapSurface), 18u);
  EXPECT_EQ(slotOf(&IDirect3DVolumeTexture9::LockBox), 19u);
  // A volume is not a resource: its slots follow IUnknown directly.
  EXPECT_EQ(slotOf(&IDirect3DVolume9::GetContainer), 7u);
  EXPECT_EQ(slotOf(&IDirect3DVolume9::UnlockBox), 10u);
  EXPECT_EQ(slotOf(&IDirect3DSwapChain9::GetPresentParameters), 9u);
  EXPECT_EQ(slotOf(&IDirect3DVertexBuffer9::GetDesc), 13u);
  EXPECT_EQ(slotOf(&IDirect3DStateBlock9::Apply), 5u);
  EXPECT_EQ(slotOf(&IDirect3DQuery9::GetData), 7u);
}

TEST(HeaderLayoutTest, StructuresAndNumbersMatchThePlatform) {
  EXPECT_EQ(sizeof(D3DCAPS9), 304u);
  EXPECT_EQ(offsetof(D3DCAPS9, MaxTextureAspectRatio), 104u);
  EXPECT_EQ(offsetof(D3DCAPS9, MaxSimultaneousTextures), 152u);
  EXPECT_EQ(offsetof(D3DCAPS9, PS20Caps), 264u);
  EXPECT_EQ(offsetof(D3DCAPS9, MaxPixelShader30InstructionSlots), 300u);
  EXPECT_EQ(offsetof(D3DLOCKED_RECT, pBits), sizeof(void *) == 8 ? 8u : 4u);
  EXPECT_EQ(sizeof(D3DDEVICE_CREATION_PARAMETERS), sizeof(void *) == 8 ? 24u : 16u);
  EXPECT_EQ(offsetof(D3DMATRIX, _41), 48u);
  EXPECT_EQ(offsetof(D3DADAPTER_IDENTIFIER9, DriverVersion), 1056u);

  EXPECT_EQ(DWORD(D3DFMT_DXT1), 827611204u);
  EXPECT_EQ(DWORD(D3DFMT_YUY2), 844715353u);
  EXPECT_EQ(DWORD(D3DFMT_MULTI2_ARGB8), 827606349u);
  EXPECT_EQ(DWORD(D3DTS_WORLD), 256u);
  EXPECT_EQ(D3DFVF_XYZ | D3DFVF_TEX2, 0x202);
  EXPECT_EQ(D3DERR_DEVICELOST, HRESULT(0x88760868));
  EXPECT_EQ(D3DERR_DEVICENOTRESET, HRESULT(0x88760869));
  EXPECT_EQ(D3DERR_NOTAVAILABLE, HRESULT(0x8876086A));
  EXPECT_EQ(D3DERR_WASSTILLDRAWING, HRESULT(0x8876021C));
  EXPECT_EQ(IID_IDirect3DTexture9.Data1, 0x85c31227u);
  EXPECT_EQ(IID_IDirect3DSurface9.Data4[7], 0x9b);
}

}  // namespace
}  // namespace kvd3d_test
