// Golden frames of the whole frame path (scene -> device -> rasterizer -> host rows), with
// textures made directly in the stand-in device, and of two rasterization rules drawn on
// the device itself. The PNG files live in tests/golden; tolerance 1 per channel.
#include "render/textured_scene.h"
#include "support/golden_frame.h"

namespace {

constexpr float kQuad[8] = {-100, 100, -100, -100, 100, 100, 100, -100};
constexpr float kUv[8] = {0, 0, 0, 1, 1, 0, 1, 1};

class GoldenFrames : public kvtest::TexturedScene {
 protected:
  uint32_t quad(const char *texture, float x, float y, float z, float ax = 0, float ay = 0) {
    const uint32_t n = scene->makePolygon(true, kQuad);
    EXPECT_EQ(scene->setupTextures(n, texture, 0, kUv), 1);
    const float move[3] = {x, y, z};
    scene->setupTranslate(n, move, 0);
    scene->setupRotX(n, &ax, 0);
    scene->setupRotY(n, &ay, 0);
    return n;
  }

  // The frame drawn on the caller's thread alone must equal the one drawn by several.
  kvtest::Frame draw() {
    kvtest::d3d9SetDrawingThreads(1);
    const std::vector<uint32_t> single = drawHostRows();
    kvtest::d3d9SetDrawingThreads(3);
    const std::vector<uint32_t> shared = drawHostRows();
    EXPECT_TRUE(single == shared) << "the threads drew another frame";
    return kvtest::frameFromHost(shared.data(), kW, kH);
  }

  static uint32_t at(const kvtest::Frame &f, int x, int y) { return f.pixels[static_cast<size_t>(y) * f.width + x]; }
};

TEST_F(GoldenFrames, OverlappingQuadsAreSortedByDepthNotByDrawingOrder) {
  solid("red", 0xFFFF0000u);
  solid("green", 0xFF00FF00u);
  solid("blue", 0xFF0000FFu);
  // Three quads that cut through one another: each is in front somewhere.
  quad("red", -60, 0, 0, 0, 0.9f);
  quad("green", 0, 40, 0, 0.9f, 0);
  quad("blue", 60, -20, 0, 0, -0.9f);
  const kvtest::Frame f = draw();
  EXPECT_TRUE(kvtest::matchesGolden("render_overlapping_depth", f));
  EXPECT_EQ(at(f, 5, 5), 0u);  // background: black, alpha 0
}

TEST_F(GoldenFrames, ATranslucentQuadBlendsColourAndDestinationAlpha) {
  solid("white", 0xFFFFFFFFu);
  solid("glass", 0x800000FFu);  // blue, alpha 128
  quad("white", -50, 0, 20);
  quad("glass", 50, 0, -20);  // nearer, half over the white one
  const kvtest::Frame f = draw();
  EXPECT_TRUE(kvtest::matchesGolden("render_translucent", f));
  // Over white: rgb = 0.502 * blue + 0.498 * white; alpha = 0.502^2 + 1 * 0.498.
  const uint32_t overWhite = at(f, kW / 2, kH / 2);
  EXPECT_NEAR(static_cast<int>(overWhite >> 24), 191, 1);
  EXPECT_NEAR(static_cast<int>((overWhite >> 16) & 0xFF), 127, 1);
  EXPECT_EQ(overWhite & 0xFF, 0xFFu);
  // Over the cleared background (alpha 0): alpha = 0.502^2.
  const uint32_t overBlack = at(f, kW / 2 + 100, kH / 2);
  EXPECT_NEAR(static_cast<int>(overBlack >> 24), 64, 1);
  EXPECT_NEAR(static_cast<int>(overBlack & 0xFF), 128, 1);
}

TEST_F(GoldenFrames, PointSamplingWrapsTextureCoordinates) {
  // 4x4 checker of two colours; coordinates 0..2.5 repeat it two and a half times.
  addTexture("checker", 4, [](int x, int y) { return ((x + y) & 1) ? 0xFFFFC000u : 0xFF2040A0u; });
  const uint32_t n = scene->makePolygon(true, kQuad);
  const float uv[8] = {0, 0, 0, 2.5f, 2.5f, 0, 2.5f, 2.5f};
  ASSERT_EQ(scene->setupTextures(n, "checker", 0, uv), 1);
  EXPECT_TRUE(kvtest::matchesGolden("render_point_wrap", draw()));
}

// Drawn on the device directly with pre-transformed vertices: the fill-rule example.
TEST(DeviceGoldenFrames, TheFillRuleSplitsAFiveByFiveSquareFifteenAndTen) {
  kvtest::d3d9Reset();
  IDirect3D9 *d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d, nullptr);
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 8;
  pp.BackBufferHeight = 8;
  pp.BackBufferFormat = D3DFMT_A8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  IDirect3DDevice9 *device = nullptr;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, kvtest::defaultForegroundWindow(), D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                              &pp, &device),
            D3D_OK);
  struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
  };
  const Vertex first[3] = {{0, 0, 0, 1, 0xFFFF0000u}, {5, 0, 0, 1, 0xFFFF0000u}, {5, 5, 0, 1, 0xFFFF0000u}};
  const Vertex second[3] = {{0, 5, 0, 1, 0xFF00FF00u}, {0, 0, 0, 1, 0xFF00FF00u}, {5, 5, 0, 1, 0xFF00FF00u}};
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, first, sizeof(Vertex)), D3D_OK);
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, second, sizeof(Vertex)), D3D_OK);
  device->EndScene();

  IDirect3DSurface9 *back = nullptr;
  ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  D3DLOCKED_RECT locked;
  ASSERT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  kvtest::Frame f{8, 8, std::vector<uint32_t>(64)};
  for (int y = 0; y < 8; ++y)
    std::memcpy(&f.pixels[static_cast<size_t>(y) * 8], static_cast<uint8_t *>(locked.pBits) + y * locked.Pitch, 32);
  back->UnlockRect();
  back->Release();
  device->Release();
  d3d->Release();

  int red = 0, green = 0;
  for (uint32_t p : f.pixels) {
    red += p == 0xFFFF0000u;
    green += p == 0xFF00FF00u;
  }
  EXPECT_EQ(red, 15);
  EXPECT_EQ(green, 10);
  EXPECT_TRUE(kvtest::matchesGolden("device_fill_rule", f, 0));
}

}  // namespace
