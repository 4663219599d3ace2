// Depth test and write, alpha test, blending and the colour-write mask.
#include "raster_fixture.h"

namespace kvtest {
namespace {

constexpr uint32_t kStoredDepth = 32768;  // 0.5 quantised

bool expectedPass(DWORD func, uint32_t value, uint32_t stored) {
  switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return value < stored;
    case D3DCMP_EQUAL: return value == stored;
    case D3DCMP_LESSEQUAL: return value <= stored;
    case D3DCMP_GREATER: return value > stored;
    case D3DCMP_NOTEQUAL: return value != stored;
    case D3DCMP_GREATEREQUAL: return value >= stored;
    default: return true;
  }
}

TEST(RasterDepth, EveryCompareFunctionAgainstEqualNearerAndFartherDepth) {
  const std::pair<float, uint32_t> depths[] = {{0.25f, 16384}, {0.5f, kStoredDepth}, {0.75f, 49151}};
  for (DWORD func = D3DCMP_NEVER; func <= D3DCMP_ALWAYS; ++func)
    for (const auto &[z, quantised] : depths)
      for (bool write : {true, false}) {
        Canvas canvas(4, 4);
        Rasterizer r;
        r.clear(canvas.target(), D3DVIEWPORT9{0, 0, 4, 4, 0, 1}, 0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0);
        DrawState s = plainState(4, 4);
        useDiffuseOnly(s);
        s.renderState[D3DRS_ZFUNC] = func;
        s.renderState[D3DRS_ZWRITEENABLE] = write;
        ASSERT_EQ(drawList(r, s, canvas, tlRect(-0.5f, -0.5f, 3.5f, 3.5f, z, 0xFF00FF00)), D3D_OK);
        const bool pass = expectedPass(func, quantised, kStoredDepth);
        SCOPED_TRACE(testing::Message() << "func " << func << " z " << z << " write " << write);
        EXPECT_EQ(canvas.count(0xFF00FF00), pass ? 16 : 0);
        EXPECT_EQ(canvas.depthAt(2, 2), pass && write ? quantised : kStoredDepth);
      }
}

TEST(RasterDepth, NearerQuadWinsWhicheverIsDrawnFirstAndZEnableOffIgnoresDepth) {
  for (bool nearFirst : {true, false}) {
    Canvas canvas(8, 8);
    Rasterizer r;
    r.clear(canvas.target(), D3DVIEWPORT9{0, 0, 8, 8, 0, 1}, 0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawState s = plainState(8, 8);
    useDiffuseOnly(s);
    const auto nearQuad = tlRect(-0.5f, -0.5f, 5.5f, 5.5f, 0.2f, 0xFFFF0000);
    const auto farQuad = tlRect(1.5f, 1.5f, 7.5f, 7.5f, 0.6f, 0xFF0000FF);
    drawList(r, s, canvas, nearFirst ? nearQuad : farQuad);
    drawList(r, s, canvas, nearFirst ? farQuad : nearQuad);
    EXPECT_EQ(canvas.at(3, 3), 0xFFFF0000u);
    EXPECT_EQ(canvas.at(7, 7), 0xFF0000FFu);
    EXPECT_EQ(canvas.depthAt(3, 3), 13107);  // 0.2 * 65535 rounded
  }
  Canvas canvas(8, 8);
  Rasterizer r;
  r.clear(canvas.target(), D3DVIEWPORT9{0, 0, 8, 8, 0, 1}, 0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0);
  DrawState s = plainState(8, 8);
  useDiffuseOnly(s);
  s.renderState[D3DRS_ZENABLE] = D3DZB_FALSE;
  drawList(r, s, canvas, tlRect(-0.5f, -0.5f, 7.5f, 7.5f, 0.9f, 0xFFFF0000));
  EXPECT_EQ(canvas.count(0xFFFF0000), 64);
  EXPECT_EQ(canvas.depthAt(4, 4), 0);  // neither tested nor written
}

// Expected c8 of src * fs + dst * fd with the float rule c8 = floor(clamp(f) * 255 + 0.5).
uint32_t mix(uint32_t s, uint32_t fs, uint32_t d, uint32_t fd) {
  const double f = (s * fs + d * fd) / (255.0 * 255.0);
  return static_cast<uint32_t>(std::min(1.0, f) * 255.0 + 0.5);
}

TEST(RasterBlend, TranslucentOverOpaqueBlendsColourAndDestinationAlpha) {
  Canvas canvas(4, 4);
  canvas.fill(0x402040FF);
  Rasterizer r;
  DrawState s = plainState(4, 4);
  useDiffuseOnly(s);
  s.renderState[D3DRS_ALPHABLENDENABLE] = TRUE;
  s.renderState[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
  s.renderState[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
  drawList(r, s, canvas, tlRect(-0.5f, -0.5f, 3.5f, 3.5f, 0, 0x80FF8000));
  const uint32_t a = 0x80;
  const uint32_t expected = mix(a, a, 0x40, 255 - a) << 24 | mix(0xFF, a, 0x20, 255 - a) << 16 |
                            mix(0x80, a, 0x40, 255 - a) << 8 | mix(0x00, a, 0xFF, 255 - a);
  EXPECT_EQ(canvas.at(1, 1), expected);
  EXPECT_EQ(expected >> 24, 96u);  // 128 * 128/255 + 64 * 127/255
}

TEST(RasterBlend, FactorsOperationsAndWriteMask) {
  const uint32_t src = 0x60C04020, dst = 0xA0306090;
  const uint32_t sa = 0x60, da = 0xA0;
  auto channel = [](uint32_t c, int i) { return (c >> (8 * i)) & 0xFF; };
  // Pixel (x, y) of a 2 x 2 target filled with dst, after a quad of src drawn with the
  // render states `set` gives.
  auto drawnOver = [&](int x, int y, auto set) {
    Canvas canvas(2, 2);
    canvas.fill(dst);
    Rasterizer r;
    DrawState s = plainState(2, 2);
    useDiffuseOnly(s);
    set(s);
    drawList(r, s, canvas, tlRect(-0.5f, -0.5f, 1.5f, 1.5f, 0, src));
    return canvas.at(x, y);
  };
  struct Case {
    DWORD srcBlend, destBlend, op, colorWrite;
    uint32_t (*expect)(uint32_t s, uint32_t d, uint32_t sa, uint32_t da);
  };
  const Case cases[] = {
      {D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0xF, [](uint32_t s, uint32_t, uint32_t, uint32_t) { return s; }},
      {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_ADD, 0xF,
       [](uint32_t s, uint32_t d, uint32_t, uint32_t) { return std::min(255u, s + d); }},
      {D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, D3DBLENDOP_ADD, 0xF,
       [](uint32_t s, uint32_t d, uint32_t, uint32_t a) { return mix(s, a, d, 255 - a); }},
      {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0xF,
       [](uint32_t s, uint32_t d, uint32_t, uint32_t) { return mix(s, d, 0, 0); }},
      // The obsolete pair sets both factors from the source alpha, the destination blend aside.
      {D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0xF,
       [](uint32_t s, uint32_t d, uint32_t a, uint32_t) { return mix(s, a, d, 255 - a); }},
      {D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD, 0xF,
       [](uint32_t s, uint32_t d, uint32_t a, uint32_t) { return mix(s, 255 - a, d, a); }},
      {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_SUBTRACT, 0xF,
       [](uint32_t s, uint32_t d, uint32_t, uint32_t) { return s > d ? s - d : 0u; }},
      {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT, 0xF,
       [](uint32_t s, uint32_t d, uint32_t, uint32_t) { return d > s ? d - s : 0u; }},
      {D3DBLEND_ZERO, D3DBLEND_ZERO, D3DBLENDOP_MIN, 0xF,
       [](uint32_t s, uint32_t d, uint32_t, uint32_t) { return std::min(s, d); }},
      {D3DBLEND_ZERO, D3DBLEND_ZERO, D3DBLENDOP_MAX, 0xF,
       [](uint32_t s, uint32_t d, uint32_t, uint32_t) { return std::max(s, d); }},
      {D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0x0, [](uint32_t, uint32_t d, uint32_t, uint32_t) { return d; }},
  };
  for (const Case &c : cases) {
    const uint32_t drawn = drawnOver(0, 0, [&](DrawState &s) {
      s.renderState[D3DRS_ALPHABLENDENABLE] = TRUE;
      s.renderState[D3DRS_SRCBLEND] = c.srcBlend;
      s.renderState[D3DRS_DESTBLEND] = c.destBlend;
      s.renderState[D3DRS_BLENDOP] = c.op;
      s.renderState[D3DRS_COLORWRITEENABLE] = c.colorWrite;
    });
    for (int i = 0; i < 4; ++i)
      EXPECT_NEAR(static_cast<int>(channel(drawn, i)),
                  static_cast<int>(c.expect(channel(src, i), channel(dst, i), sa, da)), 1)
          << "blend " << c.srcBlend << "/" << c.destBlend << " op " << c.op << " channel " << i;
  }

  // The same pair as the separate alpha blend sets the alpha factors only:
  // alpha = 0x60 * (1 - 0x60/255) + 0xA0 * 0x60/255 = 120.09.
  EXPECT_EQ(drawnOver(0, 0,
                      [](DrawState &s) {
                        s.renderState[D3DRS_ALPHABLENDENABLE] = TRUE;
                        s.renderState[D3DRS_SEPARATEALPHABLENDENABLE] = TRUE;
                        s.renderState[D3DRS_SRCBLEND] = D3DBLEND_ONE;
                        s.renderState[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
                        s.renderState[D3DRS_SRCBLENDALPHA] = D3DBLEND_BOTHINVSRCALPHA;
                        s.renderState[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
                      }),
            0x78C04020u);

  // Only green and alpha written.
  EXPECT_EQ(drawnOver(1, 1,
                      [](DrawState &s) {
                        s.renderState[D3DRS_COLORWRITEENABLE] = D3DCOLORWRITEENABLE_GREEN | D3DCOLORWRITEENABLE_ALPHA;
                      }),
            0x60304090u);
}

TEST(RasterBlend, TargetWithoutAlphaReadsOneAndStoresOpaque) {
  Canvas canvas(2, 2, D3DFMT_X8R8G8B8);
  canvas.fill(0x00000000);
  Rasterizer r;
  DrawState s = plainState(2, 2);
  useDiffuseOnly(s);
  s.renderState[D3DRS_ALPHABLENDENABLE] = TRUE;
  s.renderState[D3DRS_SRCBLEND] = D3DBLEND_INVDESTALPHA;  // 1 - 1 = 0: the source vanishes
  s.renderState[D3DRS_DESTBLEND] = D3DBLEND_ONE;
  drawList(r, s, canvas, tlRect(-0.5f, -0.5f, 1.5f, 1.5f, 0, 0x80FFFFFF));
  EXPECT_EQ(canvas.at(0, 0), 0xFF000000u);
}

TEST(RasterBlend, AlphaTestDiscardsColourAndDepth) {
  Canvas canvas(4, 1);
  Rasterizer r;
  DrawState s = plainState(4, 1);
  useDiffuseOnly(s);
  s.renderState[D3DRS_ALPHATESTENABLE] = TRUE;
  s.renderState[D3DRS_ALPHAFUNC] = D3DCMP_GREATEREQUAL;
  s.renderState[D3DRS_ALPHAREF] = 0x80;
  std::vector<TlVertex> v = tlRect(-0.5f, -0.5f, 1.5f, 0.5f, 0.25f, 0x7FFF0000);
  const auto kept = tlRect(1.5f, -0.5f, 3.5f, 0.5f, 0.25f, 0x80FF0000);
  v.insert(v.end(), kept.begin(), kept.end());
  drawList(r, s, canvas, v);
  EXPECT_EQ(canvas.at(0, 0), 0u);
  EXPECT_EQ(canvas.depthAt(0, 0), 0xFFFF);
  EXPECT_EQ(canvas.at(2, 0), 0x80FF0000u);
  EXPECT_EQ(canvas.depthAt(3, 0), 16384);
}

}  // namespace
}  // namespace kvtest
