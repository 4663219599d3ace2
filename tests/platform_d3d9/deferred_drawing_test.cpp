// The device with drawing threads: whatever reads or frees pixel memory sees every call
// made before it, and read-back surfaces reuse released memory yet start out zeroed.
#include <algorithm>
#include <cstring>
#include <vector>

#include "d3d9_test_support.h"

namespace kvd3d_test {
namespace {

struct Vertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
  float u, v;
};

class DeferredDrawing : public D3D9Test {
 protected:
  void SetUp() override {
    D3D9Test::SetUp();
    makeDevice();
    kvtest::d3d9SetDrawingThreads(2);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  }

  Ref<IDirect3DTexture9> solidTexture(D3DCOLOR colour) {
    Ref<IDirect3DTexture9> t;
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.out(), nullptr), D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) static_cast<D3DCOLOR *>(locked.pBits)[y * locked.Pitch / 4 + x] = colour;
    t->UnlockRect(0);
    return t;
  }

  // The whole target covered by one textured quad.
  void drawFullQuad() {
    const Vertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                            {544, 0, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                            {0, 416, 0.5f, 1, 0xFFFFFFFF, 0, 1},
                            {544, 416, 0.5f, 1, 0xFFFFFFFF, 1, 1}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
  }

  // The back buffer through GetRenderTargetData into a fresh system-memory surface.
  std::vector<D3DCOLOR> readBack() {
    Ref<IDirect3DSurface9> back, copy;
    EXPECT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(544, 416, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.out(), nullptr),
              D3D_OK);
    EXPECT_EQ(device_->GetRenderTargetData(back.get(), copy.get()), D3D_OK);
    return lockedPixels(copy.get());
  }

  static std::vector<D3DCOLOR> lockedPixels(IDirect3DSurface9 *surface) {
    std::vector<D3DCOLOR> pixels(544 * 416);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < 416; ++y)
      std::memcpy(&pixels[static_cast<size_t>(y) * 544], static_cast<BYTE *>(locked.pBits) + y * locked.Pitch, 544 * 4);
    surface->UnlockRect();
    return pixels;
  }
};

TEST_F(DeferredDrawing, LockAndReadBackSeeEveryCallInOrder) {
  Ref<IDirect3DTexture9> red = solidTexture(0xFFFF0000u);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FFu, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  device_->SetTexture(0, red.get());
  drawFullQuad();
  device_->EndScene();
  const D3DRECT corner{0, 0, 10, 10};
  ASSERT_EQ(device_->Clear(1, &corner, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0), D3D_OK);

  const std::vector<D3DCOLOR> copied = readBack();
  EXPECT_EQ(copied[0], 0xFF00FF00u);
  EXPECT_EQ(copied[200 * 544 + 300], 0xFFFF0000u);
  Ref<IDirect3DSurface9> back;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  EXPECT_TRUE(lockedPixels(back.get()) == copied);
  device_->SetTexture(0, nullptr);
}

TEST_F(DeferredDrawing, ATextureReleasedOrRewrittenAfterTheDrawIsReadAsItWas) {
  {
    Ref<IDirect3DTexture9> green = solidTexture(0xFF00FF00u);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    device_->SetTexture(0, green.get());
    drawFullQuad();
    device_->EndScene();
    device_->SetTexture(0, nullptr);
  }  // the texture is gone while its draw may still be queued
  EXPECT_EQ(readBack()[100 * 544 + 100], 0xFF00FF00u);

  Ref<IDirect3DTexture9> t = solidTexture(0xFF123456u);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  device_->SetTexture(0, t.get());
  drawFullQuad();
  device_->EndScene();
  D3DLOCKED_RECT locked;  // rewritten after the draw: the draw still saw the old texels
  ASSERT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
  std::memset(locked.pBits, 0, 4 * static_cast<size_t>(locked.Pitch));
  t->UnlockRect(0);
  EXPECT_EQ(readBack()[100 * 544 + 100], 0xFF123456u);
  device_->SetTexture(0, nullptr);
}

TEST_F(DeferredDrawing, RecycledReadBackMemoryStartsZeroedWhenNotOverwritten) {
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFABCDEFu, 1.0f, 0), D3D_OK);
  EXPECT_EQ(readBack()[0], 0xFFABCDEFu);  // its memory goes back to the device
  Ref<IDirect3DSurface9> fresh;
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(544, 416, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, fresh.out(), nullptr),
            D3D_OK);
  const std::vector<D3DCOLOR> pixels = lockedPixels(fresh.get());
  EXPECT_EQ(std::vector<D3DCOLOR>(pixels.size(), 0u), pixels);
}

// A frame set aside after its read-back, at a size whose queue the helpers share out: a
// clear of the depth alone, a clear the viewport limits and a draw all find the old pixels.
TEST_F(DeferredDrawing, AFrameSetAsideComesBackForDepthClearsViewportClearsAndSharedDraws) {
  const D3DCOLOR red = 0xFFFF0000u, blue = 0xFF0000FFu, green = 0xFF00FF00u;
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, red, 1.0f, 0), D3D_OK);
  ASSERT_EQ(countOf(readBack(), red), 544 * 416);  // the copy is gone: the frame is set aside

  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0), D3D_OK);
  EXPECT_EQ(countOf(readBack(), red), 544 * 416) << "a depth clear keeps the colours";

  const D3DVIEWPORT9 left{0, 0, 272, 416, 0.f, 1.f}, whole{0, 0, 544, 416, 0.f, 1.f};
  ASSERT_EQ(device_->SetViewport(&left), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, blue, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device_->SetViewport(&whole), D3D_OK);
  std::vector<D3DCOLOR> pixels = readBack();
  EXPECT_EQ(countOf(pixels, blue), 272 * 416);
  EXPECT_EQ(countOf(pixels, red), 272 * 416);

  // The lower half drawn green, with depth testing against the 0.5 of the depth clear:
  // the quad at 0.25 passes everywhere, so the upper half keeps blue and red.
  Ref<IDirect3DTexture9> texture = solidTexture(green);
  device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device_->SetTexture(0, texture.get());
  const Vertex lower[4] = {{0, 208, 0.25f, 1, 0xFFFFFFFF, 0, 0},
                           {544, 208, 0.25f, 1, 0xFFFFFFFF, 1, 0},
                           {0, 416, 0.25f, 1, 0xFFFFFFFF, 0, 1},
                           {544, 416, 0.25f, 1, 0xFFFFFFFF, 1, 1}};
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lower, sizeof(Vertex)), D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  pixels = readBack();
  EXPECT_EQ(countOf(pixels, green), 544 * 208);
  EXPECT_EQ(countOf(pixels, blue), 272 * 208);
  EXPECT_EQ(countOf(pixels, red), 272 * 208);
  EXPECT_EQ(pixels[0], blue);
  EXPECT_EQ(pixels[543], red);
  device_->SetTexture(0, nullptr);
}

TEST_F(DeferredDrawing, SingleThreadAndThreadsGiveTheSameFrame) {
  Ref<IDirect3DTexture9> t;
  ASSERT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.out(), nullptr), D3D_OK);
  D3DLOCKED_RECT locked;
  ASSERT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
  for (int i = 0; i < 256; ++i) static_cast<D3DCOLOR *>(locked.pBits)[i] = 0x01000000u * (i | 1) + 0x9E3779B1u * i;
  t->UnlockRect(0);
  device_->SetTexture(0, t.get());
  device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  auto frame = [&](int threads) {
    kvtest::d3d9SetDrawingThreads(threads);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x20304050u, 1.0f, 0);
    device_->BeginScene();
    for (int i = 0; i < 30; ++i) {
      const float x = static_cast<float>((i * 37) % 500), y = static_cast<float>((i * 53) % 380), z = (i % 7) / 7.0f;
      const Vertex tri[3] = {{x, y, z, 1, 0, 0, 0}, {x + 200, y + 20, z, 1, 0, 3, 0}, {x + 40, y + 150, 1 - z, 1, 0, 0, 3}};
      device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(Vertex));
    }
    device_->EndScene();
    return readBack();
  };
  const std::vector<D3DCOLOR> one = frame(1);
  EXPECT_TRUE(one == frame(2));
  EXPECT_TRUE(one == frame(4));
  device_->SetTexture(0, nullptr);
}

}  // namespace
}  // namespace kvd3d_test
