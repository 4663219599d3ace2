// Which pixels a triangle covers: centres at integer coordinates, the top-left rule, the
// viewport as a scissor, winding and culling.
#include "raster_fixture.h"

namespace kvtest {
namespace {

constexpr DWORD kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

struct ColorVertex {
  float x, y, z;
  DWORD color;
};

TEST(RasterCoverage, SplitRectangleFollowsTopLeftRule) {
  Canvas canvas(8, 8);
  Rasterizer r;
  DrawState s = plainState(8, 8);
  useDiffuseOnly(s);
  const std::vector<TlVertex> v = {{0, 0, 0, 1, kRed, 0, 0},   {5, 0, 0, 1, kRed, 0, 0},   {5, 5, 0, 1, kRed, 0, 0},
                                   {0, 5, 0, 1, kGreen, 0, 0}, {0, 0, 0, 1, kGreen, 0, 0}, {5, 5, 0, 1, kGreen, 0, 0}};
  ASSERT_EQ(drawList(r, s, canvas, v), D3D_OK);
  int red = 0, green = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const uint32_t c = canvas.at(x, y);
      red += c == kRed;
      green += c == kGreen;
      if (x >= 5 || y >= 5) EXPECT_EQ(c, 0u) << x << "," << y;
      else if (y <= x) EXPECT_EQ(c, kRed) << x << "," << y;  // the diagonal is the first triangle's left edge
      else EXPECT_EQ(c, kGreen) << x << "," << y;
    }
  EXPECT_EQ(red, 15);
  EXPECT_EQ(green, 10);
}

TEST(RasterCoverage, AdjacentTrianglesNeitherOverlapNorLeaveGaps) {
  // A fan around an off-grid centre, drawn additively: every pixel is touched at most once.
  Canvas canvas(40, 40);
  Rasterizer r;
  DrawState s = plainState(40, 40);
  useDiffuseOnly(s);
  s.renderState[D3DRS_ZENABLE] = D3DZB_FALSE;
  s.renderState[D3DRS_ALPHABLENDENABLE] = TRUE;
  s.renderState[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  s.renderState[D3DRS_DESTBLEND] = D3DBLEND_ONE;
  const DWORD one = 0x01010101;
  std::vector<TlVertex> fan = {{19.3f, 20.7f, 0, 1, one, 0, 0}};
  const float ring[][2] = {{2.5f, 3.1f}, {20.0f, 1.0f}, {37.9f, 2.2f}, {38.4f, 20.5f},
                           {36.0f, 37.5f}, {20.25f, 38.0f}, {1.5f, 36.6f}, {3.0f, 19.0f}, {2.5f, 3.1f}};
  for (auto &p : ring) fan.push_back({p[0], p[1], 0, 1, one, 0, 0});
  ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLEFAN, 8, fan.data(), sizeof(TlVertex)), D3D_OK);
  int covered = 0;
  for (uint32_t c : canvas.color) {
    EXPECT_TRUE(c == 0 || c == one) << std::hex << c;
    covered += c == one;
  }
  EXPECT_GT(covered, 1000);
}

TEST(RasterCoverage, FullViewportQuadCoversEveryPixelOnce) {
  for (const auto &[w, h] : {std::pair{64u, 48u}, std::pair{37u, 11u}}) {
    Canvas canvas(w, h);
    Rasterizer r;
    DrawState s = plainState(w, h, D3DFVF_XYZ | D3DFVF_DIFFUSE);
    useDiffuseOnly(s);
    s.renderState[D3DRS_ALPHABLENDENABLE] = TRUE;
    s.renderState[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    s.renderState[D3DRS_DESTBLEND] = D3DBLEND_ONE;
    s.renderState[D3DRS_ZENABLE] = D3DZB_FALSE;
    const ColorVertex quad[] = {{-1, 1, 0.5f, 0x01010101}, {1, 1, 0.5f, 0x01010101}, {-1, -1, 0.5f, 0x01010101},
                                {1, -1, 0.5f, 0x01010101}};
    ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColorVertex)), D3D_OK);
    for (uint32_t c : canvas.color) ASSERT_EQ(c, 0x01010101u);
  }
}

TEST(RasterCoverage, ViewportIsAScissor) {
  Canvas canvas(32, 32);
  Rasterizer r;
  DrawState s = plainState(32, 32, D3DFVF_XYZ | D3DFVF_DIFFUSE);
  useDiffuseOnly(s);
  s.viewport = D3DVIEWPORT9{5, 7, 10, 6, 0.0f, 1.0f};
  // Far larger than the viewport: clipped to it, and to nothing else.
  const ColorVertex quad[] = {{-30, 30, 0.5f, kBlue}, {30, 30, 0.5f, kBlue}, {-30, -30, 0.5f, kBlue},
                              {30, -30, 0.5f, kBlue}};
  ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColorVertex)), D3D_OK);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const bool inside = x >= 5 && x < 15 && y >= 7 && y < 13;
      ASSERT_EQ(canvas.at(x, y), inside ? kBlue : 0u) << x << "," << y;
    }

  // Pre-transformed vertices are scissored too, and a viewport beyond the target is cut to it.
  Canvas small(16, 16);
  DrawState tl = plainState(16, 16);
  useDiffuseOnly(tl);
  tl.viewport = D3DVIEWPORT9{12, 12, 100, 100, 0.0f, 1.0f};
  ASSERT_EQ(drawList(r, tl, small, tlRect(-50, -50, 500, 500, 0, kRed)), D3D_OK);
  EXPECT_EQ(small.countNot(0), 16);
  EXPECT_EQ(small.at(15, 15), kRed);
}

TEST(RasterCoverage, CullModesFollowScreenWinding) {
  // A strip's second triangle is wound the other way round, so both faces agree.
  const TlVertex strip[] = {{1, 1, 0, 1, kRed, 0, 0}, {9, 1, 0, 1, kRed, 0, 0}, {1, 9, 0, 1, kRed, 0, 0},
                            {9, 9, 0, 1, kRed, 0, 0}};  // clockwise on screen
  const std::pair<DWORD, int> cases[] = {{D3DCULL_NONE, 64}, {D3DCULL_CCW, 64}, {D3DCULL_CW, 0}};
  for (const auto &[cull, expected] : cases) {
    Canvas canvas(12, 12);
    Rasterizer r;
    DrawState s = plainState(12, 12);
    useDiffuseOnly(s);
    s.renderState[D3DRS_CULLMODE] = cull;
    ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLESTRIP, 2, strip, sizeof(TlVertex)), D3D_OK);
    EXPECT_EQ(canvas.countNot(0), expected) << "cull " << cull;
  }
}

TEST(RasterCoverage, RejectsUndrawableInput) {
  Canvas canvas(8, 8);
  Rasterizer r;
  DrawState s = plainState(8, 8);
  const auto v = tlRect(0, 0, 4, 4, 0, kRed);
  s.fvf = D3DFVF_XYZW;
  EXPECT_EQ(drawList(r, s, canvas, v), D3DERR_INVALIDCALL);
  s.fvf = D3DFVF_DIFFUSE;  // no position
  EXPECT_EQ(drawList(r, s, canvas, v), D3DERR_INVALIDCALL);
  s.fvf = kTlFvf;
  EXPECT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLELIST, 2, v.data(), 8), D3DERR_INVALIDCALL);
  RenderTarget bad = canvas.target();
  bad.colorFormat = D3DFMT_R5G6B5;
  EXPECT_EQ(r.drawPrimitiveUP(s, bad, D3DPT_TRIANGLELIST, 2, v.data(), sizeof(TlVertex)), D3DERR_INVALIDCALL);
  EXPECT_EQ(canvas.countNot(0), 0);
}

TEST(RasterCoverage, ClearIsClippedToViewportAndRects) {
  Canvas canvas(16, 16);
  Rasterizer r;
  const D3DVIEWPORT9 vp{2, 2, 10, 10, 0, 1};
  r.clear(canvas.target(), vp, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x80112233, 0.5f, 0);
  EXPECT_EQ(canvas.countNot(0), 100);
  EXPECT_EQ(canvas.at(2, 2), 0x80112233u);
  EXPECT_EQ(canvas.depthAt(11, 11), 32768);  // 0.5 * 65535 rounded to nearest
  EXPECT_EQ(canvas.depthAt(12, 12), 0xFFFF);
  const D3DRECT rects[] = {{-5, -5, 4, 4}, {10, 10, 40, 40}};
  r.clear(canvas.target(), vp, 2, rects, D3DCLEAR_TARGET, 0xFFFFFFFF, 0, 0);
  EXPECT_EQ(canvas.count(0xFFFFFFFF), 4 + 4);
  EXPECT_EQ(canvas.at(1, 1), 0u);
  EXPECT_EQ(canvas.at(12, 12), 0u);

  // Whole rows set in one stroke (black, the far plane) end at the box's last row.
  Canvas rows(16, 16);
  rows.fill(0x12345678);
  std::fill(rows.depth.begin(), rows.depth.end(), uint16_t(0x1234));
  r.clear(rows.target(), D3DVIEWPORT9{0, 3, 16, 5, 0, 1}, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  EXPECT_EQ(rows.count(0), 16 * 5);
  EXPECT_EQ(rows.at(15, 2), 0x12345678u);
  EXPECT_EQ(rows.at(0, 8), 0x12345678u);
  EXPECT_EQ(rows.depthAt(15, 7), 0xFFFF);
  EXPECT_EQ(rows.depthAt(0, 8), 0x1234);
  EXPECT_EQ(std::count(rows.depth.begin(), rows.depth.end(), uint16_t(0xFFFF)), 16 * 5);

  Canvas noAlpha(4, 4, D3DFMT_X8R8G8B8);
  r.clear(noAlpha.target(), D3DVIEWPORT9{0, 0, 4, 4, 0, 1}, 0, nullptr, D3DCLEAR_TARGET, 0x00123456, 1, 0);
  EXPECT_EQ(noAlpha.at(3, 3), 0xFF123456u);
}

}  // namespace
}  // namespace kvtest
