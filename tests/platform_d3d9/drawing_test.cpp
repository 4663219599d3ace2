// Scenes, Clear, drawing, texture binding and the frame read-back (GetRenderTargetData).
#include <algorithm>
#include <cstring>
#include <vector>

#include "d3d9_test_support.h"

namespace kvd3d_test {
namespace {

class DrawingTest : public D3D9Test {
 protected:
  void SetUp() override {
    D3D9Test::SetUp();
    makeDevice(libraryParameters(32, 16));
  }

  // The frame as the library reads it: through a system-memory copy of the back buffer.
  std::vector<DWORD> readBack() {
    std::vector<DWORD> pixels;
    Ref<IDirect3DSurface9> back, copy;
    if (device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()) != D3D_OK) return pixels;
    if (device_->CreateOffscreenPlainSurface(32, 16, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.out(), nullptr) !=
        D3D_OK)
      return pixels;
    if (device_->GetRenderTargetData(back.get(), copy.get()) != D3D_OK) return pixels;
    D3DLOCKED_RECT locked{};
    if (copy->LockRect(&locked, nullptr, D3DLOCK_READONLY | D3DLOCK_DONOTWAIT) != D3D_OK) return pixels;
    pixels.resize(32 * 16);
    for (int y = 0; y < 16; ++y)
      std::memcpy(&pixels[y * 32], static_cast<BYTE *>(locked.pBits) + y * locked.Pitch, 32 * 4);
    copy->UnlockRect();
    return pixels;
  }
};

TEST_F(DrawingTest, ClearChecksItsArgumentsAndFillsTheTarget) {
  const D3DRECT rect{0, 0, 4, 4};
  EXPECT_EQ(device_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->Clear(0, &rect, D3DCLEAR_TARGET, 0, 1.f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->Clear(0, nullptr, 0, 0, 1.f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.f, 0), D3DERR_INVALIDCALL) << "D16 has no stencil";
  EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.5f, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff336699, 1.f, 0), D3D_OK);
  ASSERT_EQ(device_->Clear(1, &rect, D3DCLEAR_TARGET, 0x80000000, 1.f, 0), D3D_OK);
  const std::vector<DWORD> pixels = readBack();
  ASSERT_EQ(pixels.size(), 32u * 16u);
  EXPECT_EQ(pixels[0], 0x80000000u);
  EXPECT_EQ(pixels[3 * 32 + 3], 0x80000000u);
  EXPECT_EQ(pixels[4 * 32 + 4], 0xff336699u);
  EXPECT_EQ(pixels[15 * 32 + 31], 0xff336699u);

  // Rectangles reaching outside the target, or inside out, are clipped, never written past.
  const D3DRECT odd[3] = {{-50, -50, 2, 1}, {30, 14, 5000, 5000}, {10, 10, 2, 2}};
  ASSERT_EQ(device_->Clear(3, odd, D3DCLEAR_TARGET, 0xff0000ffu, 1.f, 0), D3D_OK);
  const std::vector<DWORD> clipped = readBack();
  ASSERT_EQ(clipped.size(), 32u * 16u);
  EXPECT_EQ(clipped[0], 0xff0000ffu);
  EXPECT_EQ(clipped[15 * 32 + 31], 0xff0000ffu);
  EXPECT_EQ(clipped[5 * 32 + 5], 0xff336699u);

  D3DPRESENT_PARAMETERS pp = libraryParameters(32, 16);
  pp.EnableAutoDepthStencil = FALSE;
  ASSERT_EQ(device_->Reset(&pp), D3D_OK);
  EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3D_OK);
}

// A read-back hands the frame itself to the system-memory surface and takes it back when
// that surface goes. Whatever touches either side first (a clear of the target, a lock
// for writing, a second read-back, a reset) leaves both with the contents they should have.
TEST_F(DrawingTest, AReadBackFrameChangesHandsAndComesBackIntact) {
  Ref<IDirect3DSurface9> back;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  auto readInto = [&](Ref<IDirect3DSurface9> &copy) {
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(32, 16, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device_->GetRenderTargetData(back.get(), copy.get()), D3D_OK);
  };
  // How many pixels of the surface hold colour, read through a lock with those flags.
  auto count = [](IDirect3DSurface9 *surface, DWORD colour, DWORD flags = D3DLOCK_READONLY) {
    D3DLOCKED_RECT locked{};
    if (surface->LockRect(&locked, nullptr, flags) != D3D_OK) return -1;
    int n = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x) n += reinterpret_cast<const DWORD *>(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch)[x] == colour;
    surface->UnlockRect();
    return n;
  };
  auto backCount = [&](DWORD colour) {
    const std::vector<DWORD> pixels = readBack();
    return static_cast<int>(std::count(pixels.begin(), pixels.end(), colour));
  };
  const DWORD red = 0xffff0000, green = 0xff00ff00, blue = 0xff0000ff, white = 0xffffffff;
  const D3DRECT corner{0, 0, 4, 4};

  // Freed untouched: the frame is back in the target, and stays there under a partial clear.
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, red, 1.f, 0), D3D_OK);
  Ref<IDirect3DSurface9> a;
  readInto(a);
  EXPECT_EQ(count(a.get(), red), 32 * 16);
  a.reset();
  ASSERT_EQ(device_->Clear(1, &corner, D3DCLEAR_TARGET, blue, 1.f, 0), D3D_OK);
  EXPECT_EQ(backCount(red), 32 * 16 - 16);
  EXPECT_EQ(backCount(blue), 16);

  // The target drawn on while the copy lives, and while the copy is locked for reading.
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, red, 1.f, 0), D3D_OK);
  readInto(a);
  D3DLOCKED_RECT held{};
  ASSERT_EQ(a->LockRect(&held, nullptr, D3DLOCK_READONLY), D3D_OK);
  ASSERT_EQ(device_->Clear(1, &corner, D3DCLEAR_TARGET, green, 1.f, 0), D3D_OK);
  EXPECT_EQ(static_cast<const DWORD *>(held.pBits)[0], red);  // the lock still shows the frame read back
  a->UnlockRect();
  EXPECT_EQ(count(a.get(), red), 32 * 16);
  EXPECT_EQ(backCount(green), 16);
  EXPECT_EQ(backCount(red), 32 * 16 - 16);
  a.reset();
  EXPECT_EQ(backCount(green), 16);
  EXPECT_EQ(backCount(red), 32 * 16 - 16);

  // The copy written through a lock: the target keeps the frame.
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, red, 1.f, 0), D3D_OK);
  readInto(a);
  D3DLOCKED_RECT written{};
  ASSERT_EQ(a->LockRect(&written, nullptr, 0), D3D_OK);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) reinterpret_cast<DWORD *>(static_cast<BYTE *>(written.pBits) + y * written.Pitch)[x] = white;
  a->UnlockRect();
  EXPECT_EQ(count(a.get(), white), 32 * 16);
  EXPECT_EQ(backCount(red), 32 * 16);
  a.reset();
  EXPECT_EQ(backCount(red), 32 * 16);

  // Two copies alive at once, freed in either order.
  Ref<IDirect3DSurface9> b;
  readInto(a);
  readInto(b);
  EXPECT_EQ(count(a.get(), red), 32 * 16);
  EXPECT_EQ(count(b.get(), red), 32 * 16);
  a.reset();
  EXPECT_EQ(backCount(red), 32 * 16);
  b.reset();
  EXPECT_EQ(backCount(red), 32 * 16);

  // The target reset away while a copy holds its frame: the copy keeps it.
  readInto(a);
  back.reset();
  D3DPRESENT_PARAMETERS pp = libraryParameters(32, 16);
  ASSERT_EQ(device_->Reset(&pp), D3D_OK);
  EXPECT_EQ(count(a.get(), red), 32 * 16);
  a.reset();
}

// After a read-back copy is recycled the back buffer draws on in other memory and keeps the
// frame aside: anything that needs the old pixels (a second read-back, a clear the viewport
// limits, a draw) gets them back; only a clear of the whole target goes without them.
TEST_F(DrawingTest, AFrameSetAsideComesBackUnlessAWholeClearReplacesIt) {
  const DWORD red = 0xffff0000, green = 0xff00ff00, blue = 0xff0000ff;
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, red, 1.f, 0), D3D_OK);
  EXPECT_EQ(countOf(readBack(), red), 32 * 16);
  EXPECT_EQ(countOf(readBack(), red), 32 * 16) << "read back again untouched";

  const D3DVIEWPORT9 left{0, 0, 16, 16, 0.f, 1.f}, whole{0, 0, 32, 16, 0.f, 1.f};
  ASSERT_EQ(device_->SetViewport(&left), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, blue, 1.f, 0), D3D_OK);
  ASSERT_EQ(device_->SetViewport(&whole), D3D_OK);
  std::vector<DWORD> pixels = readBack();
  EXPECT_EQ(countOf(pixels, blue), 16 * 16);
  EXPECT_EQ(countOf(pixels, red), 16 * 16);

  const ScreenVertex tri[3] = {{0, 0, 0, 1, green}, {4, 0, 0, 1, green}, {0, 4, 0, 1, green}};
  ASSERT_EQ(device_->SetFVF(kScreenFvf), D3D_OK);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ScreenVertex)), D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  pixels = readBack();
  EXPECT_GT(countOf(pixels, green), 0);
  EXPECT_EQ(countOf(pixels, red), 16 * 16);
  EXPECT_EQ(countOf(pixels, blue) + countOf(pixels, green), 16 * 16);

  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, green, 1.f, 0), D3D_OK);
  EXPECT_EQ(countOf(readBack(), green), 32 * 16);
  // A reset frees the back buffer with a frame aside.
  D3DPRESENT_PARAMETERS pp = libraryParameters(32, 16);
  ASSERT_EQ(device_->Reset(&pp), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, blue, 1.f, 0), D3D_OK);
  EXPECT_EQ(countOf(readBack(), blue), 32 * 16);
}

TEST_F(DrawingTest, ScenesDoNotNestAndDrawingNeedsOne) {
  const ScreenVertex tri[3] = {{0, 0, 0, 1, 0xffffffff}, {8, 0, 0, 1, 0xffffffff}, {0, 8, 0, 1, 0xffffffff}};
  device_->SetFVF(kScreenFvf);
  EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ScreenVertex)), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, sizeof(ScreenVertex)), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0, tri, sizeof(ScreenVertex)), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, tri, sizeof(ScreenVertex)), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPRIMITIVETYPE(9), 1, tri, sizeof(ScreenVertex)), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ScreenVertex)), D3D_OK);
  EXPECT_EQ(device_->EndScene(), D3D_OK);
}

TEST_F(DrawingTest, DrawnTriangleReachesTheBackBuffer) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.f, 0);
  const D3DCOLOR red = 0xffff0000;
  const ScreenVertex quad[4] = {{-0.5f, -0.5f, 0.5f, 1, red},
                                {31.5f, -0.5f, 0.5f, 1, red},
                                {-0.5f, 15.5f, 0.5f, 1, red},
                                {31.5f, 15.5f, 0.5f, 1, red}};
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  device_->SetFVF(kScreenFvf);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex)), D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  const std::vector<DWORD> pixels = readBack();
  ASSERT_EQ(pixels.size(), 32u * 16u);
  EXPECT_EQ(pixels[0], red);
  EXPECT_EQ(pixels[8 * 32 + 17], red);
  EXPECT_EQ(pixels[15 * 32 + 31], red);

  // The same quad by index, in a fresh frame.
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.f, 0);
  const WORD indices[6] = {0, 1, 2, 2, 1, 3};
  const WORD outOfRange[3] = {0, 1, 7};
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  EXPECT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 1, outOfRange, D3DFMT_INDEX16, quad,
                                            sizeof(ScreenVertex)),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16, quad, 0),
            D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16, quad,
                                            sizeof(ScreenVertex)),
            D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  EXPECT_EQ(readBack()[8 * 32 + 17], red);
}

TEST_F(DrawingTest, LostDeviceDrawsNothingAndCannotBeReadBack) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00, 1.f, 0);
  Ref<IDirect3DSurface9> back, copy;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(32, 16, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.out(), nullptr),
            D3D_OK);
  kvtest::d3d9LoseDevice();
  EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 1.f, 0), D3D_OK);
  EXPECT_EQ(device_->GetRenderTargetData(back.get(), copy.get()), D3DERR_DEVICELOST);
  back.reset();
  kvtest::d3d9MakeResettable();
  D3DPRESENT_PARAMETERS pp = libraryParameters(32, 16);
  EXPECT_EQ(device_->Reset(&pp), D3D_OK) << "system-memory surfaces do not block Reset";
}

TEST_F(DrawingTest, RenderTargetDataNeedsARenderTargetAndAMatchingSystemMemorySurface) {
  Ref<IDirect3DSurface9> back, copy, small, wrongFormat, inDefault, plainSource;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(32, 16, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.out(), nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(16, 16, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, small.out(), nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(32, 16, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, wrongFormat.out(),
                                                 nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(32, 16, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, inDefault.out(), nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(32, 16, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, plainSource.out(),
                                                 nullptr),
            D3D_OK);
  EXPECT_EQ(device_->GetRenderTargetData(back.get(), copy.get()), D3D_OK);
  EXPECT_EQ(device_->GetRenderTargetData(back.get(), small.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetRenderTargetData(back.get(), wrongFormat.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetRenderTargetData(back.get(), inDefault.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetRenderTargetData(plainSource.get(), copy.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetRenderTargetData(back.get(), nullptr), D3DERR_INVALIDCALL);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(copy->LockRect(&locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(device_->GetRenderTargetData(back.get(), copy.get()), D3DERR_INVALIDCALL) << "destination locked";
  copy->UnlockRect();

  // A level of a system-memory texture is a valid destination too.
  Ref<IDirect3DTexture9> texture;
  Ref<IDirect3DSurface9> level;
  ASSERT_EQ(device_->CreateTexture(32, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, texture.out(), nullptr), D3D_OK);
  ASSERT_EQ(texture->GetSurfaceLevel(0, level.out()), D3D_OK);
  EXPECT_EQ(device_->GetRenderTargetData(back.get(), level.get()), D3D_OK);
}

// A surface some other implementation made: every call fails.
struct ForeignSurface : IDirect3DSurface9 {
  STDMETHOD(QueryInterface)(REFIID, void **) override { return E_NOINTERFACE; }
  STDMETHOD_(ULONG, AddRef)() override { return 1; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(GetDevice)(IDirect3DDevice9 **) override { return E_NOTIMPL; }
  STDMETHOD(SetPrivateData)(REFGUID, const void *, DWORD, DWORD) override { return E_NOTIMPL; }
  STDMETHOD(GetPrivateData)(REFGUID, void *, DWORD *) override { return E_NOTIMPL; }
  STDMETHOD(FreePrivateData)(REFGUID) override { return E_NOTIMPL; }
  STDMETHOD_(DWORD, SetPriority)(DWORD) override { return 0; }
  STDMETHOD_(DWORD, GetPriority)() override { return 0; }
  STDMETHOD_(void, PreLoad)() override {}
  STDMETHOD_(D3DRESOURCETYPE, GetType)() override { return D3DRTYPE_SURFACE; }
  STDMETHOD(GetContainer)(REFIID, void **) override { return E_NOTIMPL; }
  STDMETHOD(GetDesc)(D3DSURFACE_DESC *) override { return E_NOTIMPL; }
  STDMETHOD(LockRect)(D3DLOCKED_RECT *, const RECT *, DWORD) override { return E_NOTIMPL; }
  STDMETHOD(UnlockRect)() override { return E_NOTIMPL; }
  STDMETHOD(GetDC)(HDC *) override { return E_NOTIMPL; }
  STDMETHOD(ReleaseDC)(HDC) override { return E_NOTIMPL; }
};

TEST_F(DrawingTest, SurfacesFromElsewhereAreRefusedNotRead) {
  ForeignSurface foreign;
  Ref<IDirect3DSurface9> back, copy, target;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(32, 16, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.out(), nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateRenderTarget(32, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, target.out(), nullptr),
            D3D_OK);
  EXPECT_EQ(device_->GetRenderTargetData(back.get(), &foreign), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetRenderTargetData(&foreign, copy.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateSurface(copy.get(), nullptr, &foreign, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->UpdateSurface(&foreign, nullptr, target.get(), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(&foreign, nullptr, target.get(), nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(target.get(), nullptr, &foreign, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->ColorFill(&foreign, nullptr, 0), D3DERR_INVALIDCALL);
}

TEST_F(DrawingTest, ViewportMustLieInsideTheTarget) {
  D3DVIEWPORT9 viewport{0, 0, 32, 16, 0.f, 1.f};
  EXPECT_EQ(device_->SetViewport(&viewport), D3D_OK);
  viewport = {4, 2, 28, 14, 0.25f, 0.75f};
  EXPECT_EQ(device_->SetViewport(&viewport), D3D_OK);
  D3DVIEWPORT9 read{};
  ASSERT_EQ(device_->GetViewport(&read), D3D_OK);
  EXPECT_EQ(read.X, 4u);
  EXPECT_EQ(read.MinZ, 0.25f);
  for (D3DVIEWPORT9 bad : {D3DVIEWPORT9{1, 0, 32, 16, 0.f, 1.f}, D3DVIEWPORT9{0, 0, 0, 16, 0.f, 1.f},
                           D3DVIEWPORT9{0, 0xffffffffu, 1, 1, 0.f, 1.f}, D3DVIEWPORT9{0, 0, 8, 8, -1.f, 1.f}})
    EXPECT_EQ(device_->SetViewport(&bad), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetViewport(nullptr), D3DERR_INVALIDCALL);
}

TEST_F(DrawingTest, TexturesBindByPoolAndStayAliveWhileBound) {
  Ref<IDirect3DTexture9> managed, scratch, system;
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, managed.out(), nullptr), D3D_OK);
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, scratch.out(), nullptr), D3D_OK);
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, system.out(), nullptr), D3D_OK);
  EXPECT_EQ(device_->SetTexture(0, scratch.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTexture(0, system.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTexture(16, managed.get()), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->SetTexture(1, managed.get()), D3D_OK);

  Ref<IDirect3DBaseTexture9> bound;
  ASSERT_EQ(device_->GetTexture(1, bound.out()), D3D_OK);
  EXPECT_EQ(bound.get(), static_cast<IDirect3DBaseTexture9 *>(managed.get()));
  bound.reset();

  // The application lets go; the binding keeps it until it is replaced.
  const int live = kvtest::d3d9LiveResources();
  managed.reset();
  EXPECT_EQ(kvtest::d3d9LiveResources(), live);
  ASSERT_EQ(device_->GetTexture(1, bound.out()), D3D_OK);
  ASSERT_TRUE(bound);
  EXPECT_EQ(bound->GetLevelCount(), 1u);
  bound.reset();
  ASSERT_EQ(device_->SetTexture(1, nullptr), D3D_OK);
  EXPECT_EQ(kvtest::d3d9LiveResources(), live - 1);

  D3DCAPS9 caps = kvtest::d3d9DefaultCaps();
  caps.DevCaps |= D3DDEVCAPS_TEXTURESYSTEMMEMORY;
  kvtest::d3d9SetCaps(caps);
  EXPECT_EQ(device_->SetTexture(0, system.get()), D3D_OK);
}

TEST_F(DrawingTest, StateSettersRejectOutOfRangeSlots) {
  D3DMATRIX identity{};
  identity._11 = identity._22 = identity._33 = identity._44 = 1.f;
  EXPECT_EQ(device_->SetRenderState(D3DRENDERSTATETYPE(256), 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_DISABLE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTextureStageState(0, D3DTEXTURESTAGESTATETYPE(33), 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetSamplerState(16, D3DSAMP_MAGFILTER, D3DTEXF_POINT), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetSamplerState(0, D3DSAMPLERSTATETYPE(14), 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTransform(D3DTRANSFORMSTATETYPE(1), &identity), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
  Ref<IDirect3DBaseTexture9> bound;
  EXPECT_EQ(device_->GetTexture(15, bound.out()), D3D_OK);
  EXPECT_EQ(device_->GetTexture(16, bound.out()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTexture(16, nullptr), D3DERR_INVALIDCALL);
  DWORD value = 0;
  EXPECT_EQ(device_->GetRenderState(D3DRS_ZENABLE, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetRenderState(D3DRS_ZENABLE, &value), D3D_OK);
  EXPECT_EQ(value, DWORD(D3DZB_TRUE)) << "automatic depth buffer turns depth testing on";

  // MultiplyTransform puts the new matrix on the left.
  D3DMATRIX translate = identity, scale = identity, result{};
  translate._41 = 5.f;
  scale._11 = 2.f;
  device_->SetTransform(D3DTS_WORLD, &translate);
  ASSERT_EQ(device_->MultiplyTransform(D3DTS_WORLD, &scale), D3D_OK);
  device_->GetTransform(D3DTS_WORLD, &result);
  EXPECT_EQ(result._11, 2.f);
  EXPECT_EQ(result._41, 5.f);

  // Every entry is a row of the new matrix times a column of the current one. Small integers
  // keep every product exact.
  D3DMATRIX left{}, right{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      left.m[r][c] = float(r * 4 + c + 1);
      right.m[r][c] = float((r + 2 * c) % 5) - 2.f;
    }
  device_->SetTransform(D3DTS_VIEW, &right);
  ASSERT_EQ(device_->MultiplyTransform(D3DTS_VIEW, &left), D3D_OK);
  device_->GetTransform(D3DTS_VIEW, &result);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double expected = 0;
      for (int k = 0; k < 4; ++k) expected += double(left.m[r][k]) * right.m[k][c];
      EXPECT_EQ(result.m[r][c], float(expected)) << r << "," << c;
    }
}

}  // namespace
}  // namespace kvd3d_test
