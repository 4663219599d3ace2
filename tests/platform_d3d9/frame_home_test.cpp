// Where a frame read back goes when the read-back surface is freed: a small frame is set
// aside while the back buffer draws on in other memory, a big one (over 2 MB) comes home at
// once. Either way everything after it sees the frame as it was.
#include <cstring>
#include <vector>

#include "d3d9_test_support.h"

namespace kvd3d_test {
namespace {

struct FrameCase {
  UINT width, height;
  int threads;
};

class FrameHomeTest : public D3D9Test, public ::testing::WithParamInterface<FrameCase> {
 protected:
  void SetUp() override {
    D3D9Test::SetUp();
    makeDevice(libraryParameters(width(), height()));
    kvtest::d3d9SetDrawingThreads(GetParam().threads);
  }
  UINT width() const { return GetParam().width; }
  UINT height() const { return GetParam().height; }
  int pixels() const { return int(width() * height()); }

  // The frame as the library reads it; the read-back surface is freed on return.
  std::vector<DWORD> readBack() {
    std::vector<DWORD> frame;
    Ref<IDirect3DSurface9> back, copy;
    if (device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()) != D3D_OK) return frame;
    if (device_->CreateOffscreenPlainSurface(width(), height(), D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.out(),
                                             nullptr) != D3D_OK)
      return frame;
    if (device_->GetRenderTargetData(back.get(), copy.get()) != D3D_OK) return frame;
    D3DLOCKED_RECT locked{};
    if (copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return frame;
    frame.resize(size_t(pixels()));
    for (UINT y = 0; y < height(); ++y)
      std::memcpy(&frame[size_t(y) * width()], static_cast<BYTE *>(locked.pBits) + size_t(y) * size_t(locked.Pitch),
                  size_t(width()) * 4);
    copy->UnlockRect();
    return frame;
  }
};

// Counts worked out from the rectangles: the left half cleared blue over a red frame, a
// triangle over the top-left corner, a whole clear, a lock of the back buffer, a reset.
TEST_P(FrameHomeTest, WhatFollowsAReadBackSeesTheFrame) {
  const DWORD red = 0xffff0000, green = 0xff00ff00, blue = 0xff0000ff;
  const int half = int(width() / 2) * int(height());
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, red, 1.f, 0), D3D_OK);
  EXPECT_EQ(countOf(readBack(), red), pixels());
  EXPECT_EQ(countOf(readBack(), red), pixels()) << "read back again untouched";

  const D3DVIEWPORT9 left{0, 0, width() / 2, height(), 0.f, 1.f}, whole{0, 0, width(), height(), 0.f, 1.f};
  ASSERT_EQ(device_->SetViewport(&left), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, blue, 1.f, 0), D3D_OK);
  ASSERT_EQ(device_->SetViewport(&whole), D3D_OK);
  std::vector<DWORD> frame = readBack();
  EXPECT_EQ(countOf(frame, blue), half);
  EXPECT_EQ(countOf(frame, red), pixels() - half);

  // Pixel centres lie on whole coordinates; the top and left edges are inside, the long edge
  // is not: the pixels with x + y < 64, 64 + 63 + ... + 1 of them.
  const ScreenVertex tri[3] = {{0, 0, 0.5f, 1, green}, {64, 0, 0.5f, 1, green}, {0, 64, 0.5f, 1, green}};
  ASSERT_EQ(device_->SetFVF(kScreenFvf), D3D_OK);
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ScreenVertex)), D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
  frame = readBack();
  const int inside = 64 * 65 / 2;
  EXPECT_EQ(countOf(frame, green), inside);
  EXPECT_EQ(countOf(frame, blue), half - inside);
  EXPECT_EQ(countOf(frame, red), pixels() - half);

  // The back buffer locked directly after a read-back.
  Ref<IDirect3DSurface9> back;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  const auto *rows = static_cast<const BYTE *>(locked.pBits);
  EXPECT_EQ(reinterpret_cast<const DWORD *>(rows)[0], green);
  EXPECT_EQ(reinterpret_cast<const DWORD *>(rows + size_t(locked.Pitch) * (height() - 1))[width() - 1], red);
  back->UnlockRect();
  back.reset();

  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, green, 1.f, 0), D3D_OK);
  EXPECT_EQ(countOf(readBack(), green), pixels());
  const D3DRECT corner{0, 0, 1, 1};
  ASSERT_EQ(device_->Clear(1, &corner, D3DCLEAR_TARGET, red, 1.f, 0), D3D_OK);
  frame = readBack();
  EXPECT_EQ(countOf(frame, green), pixels() - 1);
  EXPECT_EQ(frame.empty() ? 0 : frame[0], red);

  // A reset frees the back buffer after a read-back.
  D3DPRESENT_PARAMETERS pp = libraryParameters(width(), height());
  ASSERT_EQ(device_->Reset(&pp), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, blue, 1.f, 0), D3D_OK);
  EXPECT_EQ(countOf(readBack(), blue), pixels());
}

// 724 x 724 x 4 bytes is just under 2 MB (set aside), 1024 x 520 x 4 just over (home at once).
INSTANTIATE_TEST_SUITE_P(Sizes, FrameHomeTest,
                         ::testing::Values(FrameCase{724, 724, 1}, FrameCase{724, 724, 2}, FrameCase{1024, 520, 1},
                                           FrameCase{1024, 520, 2}),
                         [](const ::testing::TestParamInfo<FrameCase> &info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) + "_" +
                                  std::to_string(info.param.threads) + "threads";
                         });

}  // namespace
}  // namespace kvd3d_test
