// Geometry the view volume cuts: the near plane, vertices behind the eye, coordinates far
// beyond the guard band, and random garbage. Nothing is written outside the viewport.
#include <cmath>
#include <random>

#include "raster_fixture.h"

namespace kvtest {
namespace {

struct ColorVertex {
  float x, y, z;
  DWORD color;
};
constexpr DWORD kColorFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

// Perspective with near 1 and far 100 (w = view z).
D3DMATRIX perspective() {
  D3DMATRIX m{};
  const float q = 100.0f / 99.0f;
  m._11 = 1, m._22 = 1, m._33 = q, m._34 = 1, m._43 = -q;
  return m;
}

// A canvas with a sub-rectangle viewport, so writes outside it are visible.
struct Framed {
  Canvas canvas{48, 40};
  DrawState state = plainState(48, 40, kColorFvf);
  Rasterizer r;
  Framed() {
    useDiffuseOnly(state);
    state.viewport = D3DVIEWPORT9{8, 6, 32, 28, 0.0f, 1.0f};
    state.projection = perspective();
    canvas.fill(0xDEADBEEF);
  }
  bool outsideUntouched() const {
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 48; ++x)
        if ((x < 8 || x >= 40 || y < 6 || y >= 34) && canvas.at(x, y) != 0xDEADBEEF) return false;
    return true;
  }
  HRESULT draw(const std::vector<ColorVertex> &v) {
    return r.drawPrimitiveUP(state, canvas.target(), D3DPT_TRIANGLELIST, static_cast<UINT>(v.size() / 3), v.data(),
                             sizeof(ColorVertex));
  }
};

TEST(RasterClipping, TriangleCrossingTheNearPlaneKeepsOnlyItsVisiblePart) {
  Framed f;
  // A floor reaching from behind the eye to far ahead: the part in front fills the lower half.
  ASSERT_EQ(f.draw({{-50, -1, -5, 0xFF00FF00}, {50, -1, -5, 0xFF00FF00}, {0, -1, 50, 0xFF00FF00}}), D3D_OK);
  EXPECT_TRUE(f.outsideUntouched());
  EXPECT_EQ(f.canvas.at(24, 32), 0xFF00FF00u);  // near the bottom of the viewport
  EXPECT_EQ(f.canvas.at(24, 8), 0xDEADBEEFu);   // above the horizon
}

TEST(RasterClipping, ClippedVerticesTakeTheColourWhereThePlaneCutsTheEdge) {
  // With identity transforms w is 1 everywhere, so red and z both grow linearly from the left
  // edge (red 0, z -1) to the right (red 255, z 1). The near plane z = 0 cuts the square at
  // x = 0, the middle of the 8-pixel row: pixel centre sx keeps red 255 * sx / 8.
  Canvas canvas(8, 2);
  canvas.fill(0xDEADBEEF);
  Rasterizer r;
  DrawState s = plainState(8, 2, kColorFvf);
  useDiffuseOnly(s);
  s.renderState[D3DRS_ZENABLE] = D3DZB_FALSE;
  const DWORD left = 0xFF000000, right = 0xFFFF0000;
  const std::vector<ColorVertex> v = {{-1, -1, -1, left}, {1, -1, 1, right}, {1, 1, 1, right},
                                      {-1, -1, -1, left}, {1, 1, 1, right},  {-1, 1, -1, left}};
  ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLELIST, 2, v.data(), sizeof(ColorVertex)), D3D_OK);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(canvas.at(x, y), 0xDEADBEEFu) << x << "," << y << " lies behind";
    for (int x = 5; x < 8; ++x)
      EXPECT_LE(channelDifference(canvas.at(x, y), 0xFF000000u | uint32_t(255.0 * x / 8 + 0.5) << 16), 1)
          << x << "," << y << std::hex << " got " << canvas.at(x, y);
  }
}

TEST(RasterClipping, GeometryBehindTheEyeOrBeyondFarDrawsNothing) {
  Framed f;
  ASSERT_EQ(f.draw({{-5, -5, -2, 0xFF00FF00}, {5, -5, -2, 0xFF00FF00}, {0, 5, -3, 0xFF00FF00}}), D3D_OK);
  ASSERT_EQ(f.draw({{-5, -5, 200, 0xFF00FF00}, {5, -5, 200, 0xFF00FF00}, {0, 5, 300, 0xFF00FF00}}), D3D_OK);
  // Homogeneous w <= 0 straight from the projection.
  f.state.projection._34 = -1;
  ASSERT_EQ(f.draw({{-5, -5, 5, 0xFF00FF00}, {5, -5, 5, 0xFF00FF00}, {0, 5, 5, 0xFF00FF00}}), D3D_OK);
  EXPECT_EQ(f.canvas.countNot(0xDEADBEEF), 0);
}

TEST(RasterClipping, HugeCoordinatesAreClippedNotOverflowed) {
  Framed f;
  const float big = 1e30f;
  ASSERT_EQ(f.draw({{-big, -big, 10, 0xFF0000FF}, {big, -big, 10, 0xFF0000FF}, {0, big, 10, 0xFF0000FF}}), D3D_OK);
  EXPECT_TRUE(f.outsideUntouched());
  EXPECT_EQ(f.canvas.count(0xFF0000FF), 32 * 28);  // the whole viewport

  // Pre-transformed vertices far outside, and with zero or negative rhw.
  Framed tl;
  tl.state.fvf = kTlFvf;
  ASSERT_EQ(drawList(tl.r, tl.state, tl.canvas, {{-1e9f, -1e9f, 0, 1, 0xFF0000FF, 0, 0},
                                                  {1e9f, 0, 0, 1, 0xFF0000FF, 0, 0},
                                                  {0, 1e9f, 0, 1, 0xFF0000FF, 0, 0},
                                                  {0, 0, 0, 0, 0xFFFF0000, 0, 0},
                                                  {30, 0, 0, -1, 0xFFFF0000, 0, 0},
                                                  {0, 30, 0, 1, 0xFFFF0000, 0, 0}}),
            D3D_OK);
  EXPECT_TRUE(tl.outsideUntouched());
  EXPECT_EQ(tl.canvas.count(0xFF0000FF), 32 * 28);
}

TEST(RasterClipping, RandomTrianglesWithNonFiniteValuesNeverEscapeTheViewport) {
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> coord(-60, 60);
  std::uniform_int_distribution<int> pick(0, 15);
  const float specials[] = {NAN, INFINITY, -INFINITY, 1e38f, -1e38f, 0.0f, -0.0f, 1e-38f};
  for (int round = 0; round < 40; ++round) {
    Framed f;
    f.state.renderState[D3DRS_CULLMODE] = D3DCULL_NONE;
    if (round % 2) {
      f.state.fvf = kTlFvf;
      std::vector<TlVertex> v(30);
      for (TlVertex &p : v) {
        float *fields[] = {&p.x, &p.y, &p.z, &p.rhw, &p.u, &p.v};
        for (float *field : fields) *field = pick(rng) < 3 ? specials[pick(rng) % 8] : coord(rng);
        p.color = rng();
      }
      ASSERT_EQ(drawList(f.r, f.state, f.canvas, v), D3D_OK);
    } else {
      std::vector<ColorVertex> v(30);
      for (ColorVertex &p : v) {
        float *fields[] = {&p.x, &p.y, &p.z};
        for (float *field : fields) *field = pick(rng) < 3 ? specials[pick(rng) % 8] : coord(rng);
        p.color = rng();
      }
      if (round % 4 == 2) f.state.world._44 = NAN;
      ASSERT_EQ(f.draw(v), D3D_OK);
    }
    EXPECT_TRUE(f.outsideUntouched()) << "round " << round;
  }
}

}  // namespace
}  // namespace kvtest
