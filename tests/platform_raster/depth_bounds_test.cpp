// Runs of pixels behind what the depth buffer holds are skipped without changing a pixel:
// random scenes with heavy overdraw under every depth function, with and without depth
// writes and the alpha test, partial clears between draws, on one thread and on several;
// and depth written from outside the rasterizer is never hidden behind an old bound.
#include <random>

#include "raster_fixture.h"

namespace kvtest {
namespace {

constexpr UINT kW = 300, kH = 200;  // not a whole number of runs across

struct Layer {
  std::vector<TlVertex> quad;
  DWORD depthFunc;
  bool depthWrite, alphaTest;
  bool clearFirst;
  D3DRECT clearRect;
};

std::vector<Layer> randomLayers(uint32_t seed, int count) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> x(-40.0f, kW + 40.0f), y(-40.0f, kH + 40.0f), z(0.0f, 1.0f);
  std::uniform_int_distribution<int> pick(0, 99);
  const DWORD funcs[] = {D3DCMP_LESSEQUAL, D3DCMP_LESS, D3DCMP_GREATER, D3DCMP_ALWAYS, D3DCMP_EQUAL};
  std::vector<Layer> layers;
  for (int i = 0; i < count; ++i) {
    Layer l;
    const float x0 = x(rng), y0 = y(rng), x1 = x(rng), y1 = y(rng);
    // A quad tilted in depth, so that depth varies along every row.
    const float za = z(rng), zb = z(rng), zc = z(rng), zd = z(rng);
    const DWORD color = static_cast<DWORD>(rng()) | 0x20000000u;
    l.quad = {{x0, y0, za, 1, color, 0, 0}, {x1, y0 + 20, zb, 1, color, 0, 0}, {x0 - 15, y1, zc, 1, color, 0, 0},
              {x1, y1 + 10, zd, 1, color, 0, 0}};
    const int p = pick(rng);
    l.depthFunc = p < 70 ? funcs[p % 2] : funcs[2 + p % 3];  // mostly the functions that skip
    l.depthWrite = pick(rng) < 85;
    l.alphaTest = pick(rng) < 20;
    l.clearFirst = pick(rng) < 5;
    const int cx = static_cast<int>(x(rng)), cy = static_cast<int>(y(rng));
    l.clearRect = D3DRECT{cx, cy, cx + 90, cy + 70};
    layers.push_back(l);
  }
  return layers;
}

Canvas renderLayers(const std::vector<Layer> &layers, bool bounds, int threads, uint64_t *skipped = nullptr) {
  Canvas canvas(kW, kH);
  Rasterizer r;
  r.setThreads(threads);
  r.setDepthBounds(bounds);
  DrawState s = plainState(kW, kH);
  useDiffuseOnly(s);
  s.renderState[D3DRS_ALPHABLENDENABLE] = TRUE;
  s.renderState[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
  s.renderState[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
  s.renderState[D3DRS_ALPHAREF] = 0x80;
  s.renderState[D3DRS_ALPHAFUNC] = D3DCMP_GREATER;
  r.clear(canvas.target(), s.viewport, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  for (const Layer &l : layers) {
    if (l.clearFirst) r.clear(canvas.target(), s.viewport, 1, &l.clearRect, D3DCLEAR_ZBUFFER, 0, 0.3f, 0);
    s.renderState[D3DRS_ZFUNC] = l.depthFunc;
    s.renderState[D3DRS_ZWRITEENABLE] = l.depthWrite;
    s.renderState[D3DRS_ALPHATESTENABLE] = l.alphaTest;
    EXPECT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLESTRIP, 2, l.quad.data(), sizeof(TlVertex)), D3D_OK);
  }
  r.finish();
  if (skipped) *skipped = r.depthRunsSkipped();
  return canvas;
}

TEST(DepthBounds, SkippingRunsChangesNoPixelUnderAnyDepthState) {
  for (uint32_t seed : {3u, 4u, 5u}) {
    const std::vector<Layer> layers = randomLayers(seed, 300);
    const Canvas reference = renderLayers(layers, false, 1);
    for (int threads : {1, 2}) {
      uint64_t skipped = 0;
      const Canvas fast = renderLayers(layers, true, threads, &skipped);
      EXPECT_GT(skipped, 100u) << "seed " << seed;  // the scenes do exercise skipping
      EXPECT_TRUE(reference.color == fast.color) << "seed " << seed << ", " << threads << " threads";
      EXPECT_TRUE(reference.depth == fast.depth) << "seed " << seed << ", " << threads << " threads";
    }
  }
}

TEST(DepthBounds, DepthWrittenFromOutsideIsNeverHiddenBehindAnOldBound) {
  Canvas canvas(kW, kH);
  Rasterizer r;
  DrawState s = plainState(kW, kH);
  useDiffuseOnly(s);
  const RenderTarget t = canvas.target();
  r.clear(t, s.viewport, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  const std::vector<TlVertex> nearQuad = tlRect(0, 0, kW, kH, 0.1f, 0xFF0000FFu);
  const std::vector<TlVertex> farQuad = tlRect(0, 0, kW, kH, 0.9f, 0xFF00FF00u);
  ASSERT_EQ(r.drawPrimitiveUP(s, t, D3DPT_TRIANGLELIST, 2, nearQuad.data(), sizeof(TlVertex)), D3D_OK);
  ASSERT_EQ(r.drawPrimitiveUP(s, t, D3DPT_TRIANGLELIST, 2, farQuad.data(), sizeof(TlVertex)), D3D_OK);
  EXPECT_EQ(canvas.count(0xFF0000FFu), static_cast<int>(kW * kH));  // hidden, and skipped
  EXPECT_GT(r.depthRunsSkipped(), 0u);
  // The host locks the depth buffer and pushes everything back to the far plane.
  kvd3d::raster::finishPendingDrawing();
  std::fill(canvas.depth.begin(), canvas.depth.end(), uint16_t(0xFFFF));
  ASSERT_EQ(r.drawPrimitiveUP(s, t, D3DPT_TRIANGLELIST, 2, farQuad.data(), sizeof(TlVertex)), D3D_OK);
  EXPECT_EQ(canvas.count(0xFF00FF00u), static_cast<int>(kW * kH));
}

}  // namespace
}  // namespace kvtest
