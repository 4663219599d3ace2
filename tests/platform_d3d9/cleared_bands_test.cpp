// A clear rewrites only what was drawn since the last clear to the same value. Whatever
// else writes the back buffer or the depth buffer in between (a lock, a device copy, a
// read-back surface written through its lock, a reset) must not leave its pixels behind a
// later clear. Every step is checked against a model of the frame kept here, pixel for
// pixel: clears fill rectangles, quads with whole-pixel corners cover [x0, x1) x [y0, y1).
#include <cstring>
#include <vector>

#include "d3d9_test_support.h"

namespace kvd3d_test {
namespace {

// Big enough that two threads share the work out, and that a frame read back comes home at
// once (over 2 MB), so that the back buffer clears the same memory frame after frame.
constexpr int kW = 1024, kH = 520;
constexpr DWORD kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff, kWhite = 0xffffffff;

uint16_t depthOf(float z) { return static_cast<uint16_t>(z * 65535.f + 0.5f); }

class ClearedBandsTest : public D3D9Test, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    D3D9Test::SetUp();
    D3DPRESENT_PARAMETERS pp = libraryParameters(kW, kH);
    pp.AutoDepthStencilFormat = D3DFMT_D16_LOCKABLE;
    makeDevice(pp);
    kvtest::d3d9SetDrawingThreads(GetParam());
    ASSERT_EQ(device_->SetFVF(kScreenFvf), D3D_OK);
    colour_.assign(size_t(kW) * kH, 0);
    depth_.assign(size_t(kW) * kH, 0);
  }

  void clear(DWORD flags, DWORD colour, float z, const D3DRECT *rect = nullptr) {
    ASSERT_EQ(device_->Clear(rect ? 1 : 0, rect, flags, colour, z, 0), D3D_OK);
    D3DVIEWPORT9 vp{};
    ASSERT_EQ(device_->GetViewport(&vp), D3D_OK);
    RECT r{LONG(vp.X), LONG(vp.Y), LONG(vp.X + vp.Width), LONG(vp.Y + vp.Height)};
    if (rect) r = RECT{std::max<LONG>(r.left, rect->x1), std::max<LONG>(r.top, rect->y1),
                       std::min<LONG>(r.right, rect->x2), std::min<LONG>(r.bottom, rect->y2)};
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) {
        if (flags & D3DCLEAR_TARGET) colour_[size_t(y) * kW + size_t(x)] = colour;
        if (flags & D3DCLEAR_ZBUFFER) depth_[size_t(y) * kW + size_t(x)] = depthOf(z);
      }
  }

  // A quad at depth z, tested LESSEQUAL and written.
  void quad(int x0, int y0, int x1, int y1, float z, DWORD colour) {
    const ScreenVertex v[4] = {{float(x0), float(y0), z, 1, colour},
                               {float(x1), float(y0), z, 1, colour},
                               {float(x0), float(y1), z, 1, colour},
                               {float(x1), float(y1), z, 1, colour}};
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex)), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const size_t i = size_t(y) * kW + size_t(x);
        if (depthOf(z) > depth_[i]) continue;
        colour_[i] = colour;
        depth_[i] = depthOf(z);
      }
  }

  // Pixels of the frame read back that differ from the model.
  int wrongPixels() {
    Ref<IDirect3DSurface9> back, copy;
    if (device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()) != D3D_OK) return -1;
    if (device_->CreateOffscreenPlainSurface(kW, kH, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.out(), nullptr) != D3D_OK)
      return -1;
    if (device_->GetRenderTargetData(back.get(), copy.get()) != D3D_OK) return -1;
    return wrongIn(copy.get(), colour_);
  }

  static int wrongIn(IDirect3DSurface9 *surface, const std::vector<DWORD> &expected) {
    D3DLOCKED_RECT locked{};
    if (surface->LockRect(&locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return -1;
    int wrong = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        wrong += reinterpret_cast<const DWORD *>(static_cast<const BYTE *>(locked.pBits) + y * locked.Pitch)[x] !=
                 expected[size_t(y) * kW + size_t(x)];
    surface->UnlockRect();
    return wrong;
  }

  // Writes colour into rect of a locked surface (the model follows when it is the back buffer).
  void paint(IDirect3DSurface9 *surface, const RECT &rect, DWORD colour, bool model) {
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(surface->LockRect(&locked, &rect, 0), D3D_OK);
    for (LONG y = 0; y < rect.bottom - rect.top; ++y)
      for (LONG x = 0; x < rect.right - rect.left; ++x)
        reinterpret_cast<DWORD *>(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch)[x] = colour;
    ASSERT_EQ(surface->UnlockRect(), D3D_OK);
    if (model)
      for (LONG y = rect.top; y < rect.bottom; ++y)
        for (LONG x = rect.left; x < rect.right; ++x) colour_[size_t(y) * kW + size_t(x)] = colour;
  }

  Ref<IDirect3DSurface9> backBuffer() {
    Ref<IDirect3DSurface9> back;
    EXPECT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
    return back;
  }

  std::vector<DWORD> colour_;
  std::vector<uint16_t> depth_;
};

TEST_P(ClearedBandsTest, DrawsAndPartialClearsBetweenWholeClears) {
  const DWORD both = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
  clear(both, kRed, 1.f);
  quad(40, 20, 120, 90, 0.5f, kGreen);  // across the first three bands, part of each
  EXPECT_EQ(wrongPixels(), 0);
  clear(both, kRed, 1.f);
  EXPECT_EQ(wrongPixels(), 0) << "the drawn columns cleared again";
  quad(0, 0, 200, 100, 0.7f, kBlue);  // passes only where the depth was cleared again
  EXPECT_EQ(wrongPixels(), 0);
  clear(both, kRed, 1.f);
  quad(300, 250, 301, 251, 0.5f, kGreen);  // one pixel in the last full band
  clear(D3DCLEAR_TARGET, kBlue, 1.f, std::vector<D3DRECT>{{10, 40, 30, 50}}.data());
  clear(D3DCLEAR_TARGET, kRed, 1.f, std::vector<D3DRECT>{{400, 100, 500, 130}}.data());
  EXPECT_EQ(wrongPixels(), 0);
  clear(D3DCLEAR_TARGET, kRed, 1.f);
  EXPECT_EQ(wrongPixels(), 0);

  // A clear the viewport limits, to another value and to the same one.
  const D3DVIEWPORT9 left{0, 0, kW / 2, kH, 0.f, 1.f}, whole{0, 0, kW, kH, 0.f, 1.f};
  ASSERT_EQ(device_->SetViewport(&left), D3D_OK);
  clear(both, kGreen, 0.2f);
  ASSERT_EQ(device_->SetViewport(&whole), D3D_OK);
  EXPECT_EQ(wrongPixels(), 0);
  clear(D3DCLEAR_TARGET, kRed, 1.f);  // colour only: the left half keeps depth 0.2
  quad(0, 0, kW, kH, 0.5f, kBlue);
  EXPECT_EQ(wrongPixels(), 0);
  clear(D3DCLEAR_ZBUFFER, 0, 1.f);  // depth only
  quad(0, 0, kW, kH, 0.9f, kGreen);
  EXPECT_EQ(wrongPixels(), 0);
}

TEST_P(ClearedBandsTest, WritesFromOutsideDoNotOutliveAClear) {
  const DWORD both = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
  clear(both, kRed, 1.f);
  EXPECT_EQ(wrongPixels(), 0);

  // The back buffer written through its lock.
  paint(backBuffer().get(), RECT{100, 100, 140, 110}, kWhite, true);
  EXPECT_EQ(wrongPixels(), 0);
  clear(both, kRed, 1.f);
  EXPECT_EQ(wrongPixels(), 0);

  // Written through a lock taken before a clear and kept after it. One thread only: with
  // two, the clear is queued and lands when the queue is drawn, after the writes.
  if (GetParam() == 1) {
    D3DLOCKED_RECT locked{};
    Ref<IDirect3DSurface9> back = backBuffer();
    ASSERT_EQ(back->LockRect(&locked, nullptr, 0), D3D_OK);
    clear(both, kRed, 1.f);
    for (int y = 160; y < 170; ++y)
      for (int x = 0; x < kW; ++x)
        reinterpret_cast<DWORD *>(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch)[x] = kWhite;
    ASSERT_EQ(back->UnlockRect(), D3D_OK);
    for (size_t i = size_t(160) * kW; i < size_t(170) * kW; ++i) colour_[i] = kWhite;
  }
  EXPECT_EQ(wrongPixels(), 0);
  clear(both, kRed, 1.f);
  EXPECT_EQ(wrongPixels(), 0);

  // The read-back surface written through its lock, then freed.
  {
    Ref<IDirect3DSurface9> copy;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(kW, kH, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device_->GetRenderTargetData(backBuffer().get(), copy.get()), D3D_OK);
    paint(copy.get(), RECT{0, 200, kW, 230}, kWhite, false);
  }
  EXPECT_EQ(wrongPixels(), 0);
  clear(both, kRed, 1.f);
  EXPECT_EQ(wrongPixels(), 0);

  // ColorFill, UpdateSurface and StretchRect into the back buffer.
  const RECT fill{20, 250, 60, 260};
  ASSERT_EQ(device_->ColorFill(backBuffer().get(), &fill, kWhite), D3D_OK);
  for (LONG y = fill.top; y < fill.bottom; ++y)
    for (LONG x = fill.left; x < fill.right; ++x) colour_[size_t(y) * kW + size_t(x)] = kWhite;
  EXPECT_EQ(wrongPixels(), 0);
  clear(both, kRed, 1.f);
  EXPECT_EQ(wrongPixels(), 0);
  {
    Ref<IDirect3DSurface9> source;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(16, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, source.out(), nullptr),
              D3D_OK);
    paint(source.get(), RECT{0, 0, 16, 8}, kBlue, false);
    const POINT at{300, 70};
    ASSERT_EQ(device_->UpdateSurface(source.get(), nullptr, backBuffer().get(), &at), D3D_OK);
    for (LONG y = 70; y < 78; ++y)
      for (LONG x = 300; x < 316; ++x) colour_[size_t(y) * kW + size_t(x)] = kBlue;
  }
  EXPECT_EQ(wrongPixels(), 0);
  clear(both, kRed, 1.f);
  EXPECT_EQ(wrongPixels(), 0);
  quad(0, 0, 50, 20, 0.5f, kGreen);
  const RECT from{0, 0, 50, 20}, to{400, 270, 450, 290};
  ASSERT_EQ(device_->StretchRect(backBuffer().get(), &from, backBuffer().get(), &to, D3DTEXF_NONE), D3D_OK);
  for (LONG y = 270; y < 290; ++y)
    for (LONG x = 400; x < 450; ++x) colour_[size_t(y) * kW + size_t(x)] = kGreen;
  EXPECT_EQ(wrongPixels(), 0);
  clear(both, kRed, 1.f);
  EXPECT_EQ(wrongPixels(), 0);

  // The depth buffer written through its lock: a band of zeros the next clear must lift.
  {
    Ref<IDirect3DSurface9> depth;
    ASSERT_EQ(device_->GetDepthStencilSurface(depth.out()), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(depth->LockRect(&locked, nullptr, 0), D3D_OK);
    for (int y = 130; y < 140; ++y) std::memset(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch, 0, kW * 2);
    ASSERT_EQ(depth->UnlockRect(), D3D_OK);
  }
  clear(D3DCLEAR_ZBUFFER, 0, 1.f);
  quad(0, 0, kW, kH, 0.9f, kBlue);
  EXPECT_EQ(wrongPixels(), 0);

  // A reset makes new memory for both buffers, zeroed.
  clear(both, kRed, 1.f);
  EXPECT_EQ(wrongPixels(), 0);
  D3DPRESENT_PARAMETERS pp = libraryParameters(kW, kH);
  pp.AutoDepthStencilFormat = D3DFMT_D16_LOCKABLE;
  ASSERT_EQ(device_->Reset(&pp), D3D_OK);
  ASSERT_EQ(device_->SetFVF(kScreenFvf), D3D_OK);
  clear(D3DCLEAR_TARGET, kRed, 1.f);
  EXPECT_EQ(wrongPixels(), 0);
  clear(D3DCLEAR_ZBUFFER, 0, 1.f);
  quad(0, 0, kW, kH, 0.9f, kGreen);
  EXPECT_EQ(wrongPixels(), 0);
}

INSTANTIATE_TEST_SUITE_P(Threads, ClearedBandsTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int> &info) {
                           return std::to_string(info.param) + "threads";
                         });

}  // namespace
}  // namespace kvd3d_test
