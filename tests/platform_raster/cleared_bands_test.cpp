// Clears that rewrite only what was drawn since the last clear to the same value, against
// clears done by hand here: random runs of whole and partial clears (rectangles, the
// viewport, colour only, depth only, the same value or another) and triangles with every
// depth mode, on one and two threads, colour and depth compared bit for bit after each step.
#include <algorithm>
#include <cmath>
#include <random>

#include "raster_fixture.h"

namespace kvtest {
namespace {

using kvd3d::raster::notePixelWrite;

// Big enough for two threads to share a whole clear out; the last band of 32 rows is partial.
constexpr UINT kW = 403, kH = 330;

uint16_t quantised(float z) { return static_cast<uint16_t>(std::floor(z * 65535.f + 0.5f)); }

// What a clear writes, worked out here: the rectangle (or all) inside the viewport.
void clearByHand(Canvas &c, const D3DVIEWPORT9 &vp, const D3DRECT *rect, DWORD flags, uint32_t colour, float z) {
  long x0 = vp.X, y0 = vp.Y, x1 = long(vp.X + vp.Width), y1 = long(vp.Y + vp.Height);
  if (rect) {
    x0 = std::max<long>(x0, rect->x1);
    y0 = std::max<long>(y0, rect->y1);
    x1 = std::min<long>(x1, rect->x2);
    y1 = std::min<long>(y1, rect->y2);
  }
  for (long y = y0; y < y1; ++y)
    for (long x = x0; x < x1; ++x) {
      if (flags & D3DCLEAR_TARGET) c.color[size_t(y) * kW + size_t(x)] = colour;
      if (flags & D3DCLEAR_ZBUFFER) c.depth[size_t(y) * kW + size_t(x)] = quantised(z);
    }
}

class ClearedBandsTest : public ::testing::TestWithParam<int> {};

TEST_P(ClearedBandsTest, RandomClearsAndDrawsMatchClearsDoneByHand) {
  const uint32_t palette[3] = {0x00000000u, 0xffff0000u, 0x800000ffu};
  const float depths[3] = {1.f, 0.5f, 0.f};
  const DWORD funcs[4] = {D3DCMP_LESSEQUAL, D3DCMP_LESS, D3DCMP_GREATER, D3DCMP_ALWAYS};
  for (unsigned seed = 1; seed <= 12; ++seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    Canvas tested(kW, kH), byHand(kW, kH);
    Rasterizer r, drawer;  // drawer only draws into byHand; its clears are done by hand
    r.setThreads(GetParam());
    drawer.setThreads(GetParam());
    DrawState s = plainState(kW, kH);
    useDiffuseOnly(s);
    const D3DVIEWPORT9 whole{0, 0, kW, kH, 0.f, 1.f};
    for (int step = 0; step < 60; ++step) {
      const int kind = pick(10);
      s.viewport = whole;
      if (kind < 5) {
        // Mostly whole clears, so that bands are kept and then trusted.
        const DWORD flags = kind < 3 ? D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER : kind == 3 ? D3DCLEAR_TARGET : D3DCLEAR_ZBUFFER;
        const uint32_t colour = palette[pick(2)];
        const float z = depths[pick(2)];
        D3DRECT rect{pick(int(kW)), pick(int(kH)), 0, 0};
        rect.x2 = rect.x1 + 1 + pick(int(kW));
        rect.y2 = rect.y1 + 1 + pick(40);
        // 0: a rectangle, 1: a smaller viewport, 2: whole rows, not whole bands; else all.
        const int shape = pick(7);
        if (shape == 2) {
          rect.x1 = 0;
          rect.x2 = LONG(kW);
        }
        if (shape == 1) s.viewport = D3DVIEWPORT9{DWORD(pick(50)), DWORD(pick(50)), DWORD(1 + pick(150)), DWORD(1 + pick(100)), 0.f, 1.f};
        s.viewport.Width = std::min<DWORD>(s.viewport.Width, kW - s.viewport.X);
        s.viewport.Height = std::min<DWORD>(s.viewport.Height, kH - s.viewport.Y);
        const D3DRECT *rects = shape == 0 || shape == 2 ? &rect : nullptr;
        r.clear(tested.target(), s.viewport, rects ? 1 : 0, rects, flags, colour, z, 0);
        drawer.finish();
        clearByHand(byHand, s.viewport, rects, flags, colour, z);
      } else {
        s.renderState[D3DRS_ZENABLE] = pick(4) != 0;
        s.renderState[D3DRS_ZWRITEENABLE] = pick(3) != 0;
        s.renderState[D3DRS_ZFUNC] = funcs[pick(4)];
        std::vector<TlVertex> v;
        for (int t = 0; t < 1 + pick(3); ++t) {
          const DWORD colour = 0xff000000u | (rng() & 0xffffffu);
          const float z = float(pick(1000)) / 1000.f;
          for (int k = 0; k < 3; ++k)
            v.push_back(TlVertex{float(pick(int(kW) + 40) - 20), float(pick(int(kH) + 40) - 20), z, 1, colour, 0, 0});
        }
        ASSERT_EQ(drawList(r, s, tested, v), D3D_OK);
        ASSERT_EQ(drawList(drawer, s, byHand, v), D3D_OK);
      }
      r.finish();
      drawer.finish();
      ASSERT_EQ(tested.color, byHand.color) << "seed " << seed << " step " << step;
      ASSERT_EQ(tested.depth, byHand.depth) << "seed " << seed << " step " << step;
    }
  }
}

// Memory written from outside the rasterizer, and said so, is cleared whole again.
TEST_P(ClearedBandsTest, AWriteFromOutsideIsClearedAway) {
  Canvas c(kW, kH);
  Rasterizer r;
  r.setThreads(GetParam());
  const D3DVIEWPORT9 whole{0, 0, kW, kH, 0.f, 1.f};
  r.clear(c.target(), whole, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xffff0000u, 1.f, 0);
  r.finish();
  notePixelWrite();
  c.fill(0xffffffffu);
  std::fill(c.depth.begin(), c.depth.end(), uint16_t(0));
  r.clear(c.target(), whole, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xffff0000u, 1.f, 0);
  r.finish();
  EXPECT_EQ(c.count(0xffff0000u), int(kW * kH));
  EXPECT_EQ(std::count(c.depth.begin(), c.depth.end(), uint16_t(0xFFFF)), long(kW * kH));
}

// What is known of one buffer says nothing of another: a clear of a second target to the
// same value writes all of it.
TEST_P(ClearedBandsTest, AnotherTargetIsClearedWhole) {
  Canvas a(kW, kH), b(kW, kH);
  b.fill(0xffffffffu);
  std::fill(b.depth.begin(), b.depth.end(), uint16_t(0));
  notePixelWrite();
  Rasterizer r;
  r.setThreads(GetParam());
  const D3DVIEWPORT9 whole{0, 0, kW, kH, 0.f, 1.f};
  r.clear(a.target(), whole, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xffff0000u, 1.f, 0);
  r.clear(b.target(), whole, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xffff0000u, 1.f, 0);
  r.finish();
  EXPECT_EQ(b.count(0xffff0000u), int(kW * kH));
  EXPECT_EQ(std::count(b.depth.begin(), b.depth.end(), uint16_t(0xFFFF)), long(kW * kH));
}

INSTANTIATE_TEST_SUITE_P(Threads, ClearedBandsTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int> &info) {
                           return std::to_string(info.param) + "threads";
                         });

}  // namespace
}  // namespace kvtest
