// Lost, resettable and reset devices; state defaults restored by Reset.
#include <cstring>

#include "d3d9_test_support.h"

namespace kvd3d_test {
namespace {

class DeviceLifecycleTest : public D3D9Test {};

TEST_F(DeviceLifecycleTest, LostThenResettableThenResetBackToOperational) {
  makeDevice();
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  kvtest::d3d9LoseDevice();
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
  D3DPRESENT_PARAMETERS pp = libraryParameters();
  EXPECT_EQ(device_->Reset(&pp), D3DERR_DEVICELOST);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  kvtest::d3d9MakeResettable();
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  ASSERT_EQ(device_->Reset(&pp), D3D_OK);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(DeviceLifecycleTest, ResetIsRefusedWhileTheApplicationHoldsDefaultPoolResources) {
  makeDevice();
  Ref<IDirect3DTexture9> managed, dynamic;
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, managed.out(), nullptr), D3D_OK);
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, dynamic.out(),
                                   nullptr),
            D3D_OK);
  kvtest::d3d9LoseDevice();
  kvtest::d3d9MakeResettable();
  D3DPRESENT_PARAMETERS pp = libraryParameters();
  EXPECT_EQ(device_->Reset(&pp), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  dynamic.reset();
  // A back buffer the application still holds counts as well.
  Ref<IDirect3DSurface9> back;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  EXPECT_EQ(device_->Reset(&pp), D3DERR_INVALIDCALL);
  back.reset();
  ASSERT_EQ(device_->Reset(&pp), D3D_OK);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  // Managed resources survive with their contents.
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(managed->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_NE(locked.pBits, nullptr);
  EXPECT_EQ(managed->UnlockRect(0), D3D_OK);
}

TEST_F(DeviceLifecycleTest, FailedResetOnAWorkingDeviceLeavesItNeedingAReset) {
  makeDevice();
  D3DPRESENT_PARAMETERS bad = libraryParameters();
  bad.BackBufferFormat = D3DFMT_R5G6B5;
  EXPECT_EQ(device_->Reset(&bad), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(device_->Reset(nullptr), D3DERR_INVALIDCALL);
  D3DPRESENT_PARAMETERS good = libraryParameters();
  ASSERT_EQ(device_->Reset(&good), D3D_OK);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
}

TEST_F(DeviceLifecycleTest, ResetTakesTheNewSizeForBuffersAndViewport) {
  makeDevice();
  D3DPRESENT_PARAMETERS pp = libraryParameters(320, 200);
  ASSERT_EQ(device_->Reset(&pp), D3D_OK);
  D3DVIEWPORT9 viewport{};
  ASSERT_EQ(device_->GetViewport(&viewport), D3D_OK);
  EXPECT_EQ(viewport.Width, 320u);
  EXPECT_EQ(viewport.Height, 200u);
  EXPECT_EQ(viewport.MaxZ, 1.f);
  Ref<IDirect3DSurface9> back, depth;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  ASSERT_EQ(device_->GetDepthStencilSurface(depth.out()), D3D_OK);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Width, 320u);
  EXPECT_EQ(desc.Height, 200u);
  ASSERT_EQ(depth->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Width, 320u);
  EXPECT_EQ(desc.Format, D3DFMT_D16);
  D3DPRESENT_PARAMETERS last{};
  ASSERT_TRUE(kvtest::d3d9LastPresentParameters(&last));
  EXPECT_EQ(last.BackBufferWidth, 320u);
}

TEST_F(DeviceLifecycleTest, ResetRestoresEveryDefaultState) {
  makeDevice();
  Ref<IDirect3DTexture9> texture;
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.out(), nullptr), D3D_OK);
  D3DMATRIX scaled{};
  scaled._11 = scaled._22 = scaled._33 = 2.f;
  scaled._44 = 1.f;
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device_->SetTransform(D3DTS_WORLD, &scaled);
  device_->SetTransform(D3DTS_TEXTURE2, &scaled);
  device_->SetFVF(D3DFVF_XYZ | D3DFVF_TEX2);
  device_->SetTexture(0, texture.get());

  D3DPRESENT_PARAMETERS pp = libraryParameters();
  pp.EnableAutoDepthStencil = FALSE;
  ASSERT_EQ(device_->Reset(&pp), D3D_OK);

  DWORD value = 0;
  device_->GetRenderState(D3DRS_LIGHTING, &value);
  EXPECT_EQ(value, DWORD(TRUE));
  device_->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, DWORD(D3DCULL_CCW));
  device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, DWORD(FALSE));
  device_->GetRenderState(D3DRS_SRCBLEND, &value);
  EXPECT_EQ(value, DWORD(D3DBLEND_ONE));
  device_->GetRenderState(D3DRS_ZENABLE, &value);
  EXPECT_EQ(value, DWORD(D3DZB_FALSE)) << "no automatic depth buffer after this Reset";
  device_->GetTextureStageState(0, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, DWORD(D3DTOP_MODULATE));
  device_->GetTextureStageState(1, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, DWORD(D3DTOP_DISABLE));
  device_->GetTextureStageState(3, D3DTSS_TEXCOORDINDEX, &value);
  EXPECT_EQ(value, 3u);
  device_->GetSamplerState(0, D3DSAMP_MAGFILTER, &value);
  EXPECT_EQ(value, DWORD(D3DTEXF_POINT));
  device_->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
  EXPECT_EQ(value, DWORD(D3DTADDRESS_WRAP));
  device_->GetFVF(&value);
  EXPECT_EQ(value, 0u);
  D3DMATRIX world{};
  device_->GetTransform(D3DTS_WORLD, &world);
  EXPECT_EQ(world._11, 1.f);
  // Every texture transform is back to the identity, each of its sixteen entries.
  const D3DMATRIX identity{{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};
  for (DWORD stage = 0; stage < 8; ++stage) {
    D3DMATRIX texture{};
    ASSERT_EQ(device_->GetTransform(D3DTRANSFORMSTATETYPE(D3DTS_TEXTURE0 + stage), &texture), D3D_OK);
    EXPECT_EQ(std::memcmp(&texture, &identity, sizeof identity), 0) << "stage " << stage;
  }
  Ref<IDirect3DBaseTexture9> bound;
  ASSERT_EQ(device_->GetTexture(0, bound.out()), D3D_OK);
  EXPECT_FALSE(bound);
  Ref<IDirect3DSurface9> depth;
  EXPECT_EQ(device_->GetDepthStencilSurface(depth.out()), D3DERR_NOTFOUND);
}

TEST_F(DeviceLifecycleTest, ReferenceCountsFollowTheObjectsHandedOut) {
  makeDevice();
  EXPECT_EQ(refCount(device_.get()), 1u);
  Ref<IDirect3D9> parent;
  ASSERT_EQ(device_->GetDirect3D(parent.out()), D3D_OK);
  EXPECT_EQ(parent.get(), d3d_.get());
  EXPECT_EQ(refCount(d3d_.get()), 3u) << "ours, the device's, GetDirect3D's";

  // A held resource holds the device; the device lives on after the application lets go.
  Ref<IDirect3DTexture9> texture;
  ASSERT_EQ(device_->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.out(), nullptr), D3D_OK);
  EXPECT_EQ(refCount(device_.get()), 2u);
  EXPECT_EQ(refCount(texture.get()), 1u);

  Ref<IDirect3DSurface9> level;
  ASSERT_EQ(texture->GetSurfaceLevel(1, level.out()), D3D_OK);
  EXPECT_EQ(refCount(texture.get()), 2u) << "levels share the texture's count";
  EXPECT_EQ(refCount(level.get()), 2u);
  Ref<IDirect3DTexture9> container;
  ASSERT_EQ(level->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void **>(container.out())), D3D_OK);
  EXPECT_EQ(container.get(), texture.get());
  EXPECT_EQ(refCount(texture.get()), 3u);
  void *notCube = reinterpret_cast<void *>(1);
  EXPECT_EQ(level->GetContainer(IID_IDirect3DCubeTexture9, &notCube), E_NOINTERFACE);
  EXPECT_EQ(notCube, nullptr);
  container.reset();

  Ref<IDirect3DDevice9> owner;
  ASSERT_EQ(level->GetDevice(owner.out()), D3D_OK);
  EXPECT_EQ(owner.get(), device_.get());
  EXPECT_EQ(refCount(device_.get()), 3u);
  owner.reset();

  // The back buffer is the device's; a reference to it pins the device.
  Ref<IDirect3DSurface9> back;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  EXPECT_EQ(refCount(back.get()), 1u);
  EXPECT_EQ(refCount(device_.get()), 3u);
  Ref<IDirect3DSurface9> target;
  ASSERT_EQ(device_->GetRenderTarget(0, target.out()), D3D_OK);
  EXPECT_EQ(target.get(), back.get());
  EXPECT_EQ(refCount(back.get()), 2u);
  // Its container is the implicit swap chain, which pins the device the same way.
  Ref<IDirect3DSwapChain9> chain, sameChain;
  ASSERT_EQ(back->GetContainer(IID_IDirect3DSwapChain9, reinterpret_cast<void **>(chain.out())), D3D_OK);
  ASSERT_EQ(device_->GetSwapChain(0, sameChain.out()), D3D_OK);
  EXPECT_EQ(chain.get(), sameChain.get());
  EXPECT_EQ(refCount(chain.get()), 2u);
  EXPECT_EQ(refCount(device_.get()), 4u);
  Ref<IDirect3DSurface9> chainBack;
  ASSERT_EQ(chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, chainBack.out()), D3D_OK);
  EXPECT_EQ(chainBack.get(), back.get());
  D3DPRESENT_PARAMETERS pp{};
  ASSERT_EQ(chain->GetPresentParameters(&pp), D3D_OK);
  EXPECT_EQ(pp.BackBufferWidth, 544u);
  EXPECT_EQ(device_->GetSwapChain(1, sameChain.out()), D3DERR_INVALIDCALL);
  void *none = reinterpret_cast<void *>(1);
  EXPECT_EQ(back->GetContainer(IID_IDirect3DTexture9, &none), E_NOINTERFACE);
  chainBack.reset();
  chain.reset();
  sameChain.reset();
  target.reset();
  back.reset();
  EXPECT_EQ(refCount(device_.get()), 2u);

  device_.reset();
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 1) << "the texture still holds the device";
  level.reset();
  texture.reset();
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 0);
  EXPECT_EQ(kvtest::d3d9LiveResources(), 0);
}

TEST_F(DeviceLifecycleTest, UnbalancedReleasesNeverWrapCounts) {
  makeDevice();
  IDirect3DSurface9 *back = nullptr;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  EXPECT_EQ(back->Release(), 0u);
  EXPECT_EQ(back->Release(), 0u) << "an extra Release of a device-owned surface is ignored";
  EXPECT_EQ(refCount(device_.get()), 1u);
}

}  // namespace
}  // namespace kvd3d_test
