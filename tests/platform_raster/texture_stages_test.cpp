// The texture cascade on single pixels: operations, arguments, modifiers, saturation and the
// rules for missing textures, missing colours and lighting.
#include "raster_fixture.h"

namespace kvtest {
namespace {

constexpr DWORD kDiffuse = 0x80402010;
constexpr uint32_t kTexel = 0x40C08040;
constexpr DWORD kFactor = 0xC0204080;

struct Pixel {
  Texture tex{D3DFMT_A8R8G8B8, 1, 1, 4};
  DrawState state = plainState(1, 1);
  Pixel() {
    tex.setArgb(0, 0, kTexel);
    state.texture[0] = tex.view;
    state.renderState[D3DRS_TEXTUREFACTOR] = kFactor;
  }
  void stage(int i, DWORD op, DWORD a1, DWORD a2, DWORD aop = D3DTOP_SELECTARG1, DWORD aa1 = D3DTA_DIFFUSE) {
    DWORD *ss = state.stageState[i];
    ss[D3DTSS_COLOROP] = op, ss[D3DTSS_COLORARG1] = a1, ss[D3DTSS_COLORARG2] = a2;
    ss[D3DTSS_ALPHAOP] = aop, ss[D3DTSS_ALPHAARG1] = aa1;
  }
  uint32_t draw(DWORD diffuse = kDiffuse) {
    Canvas canvas(1, 1);
    Rasterizer r;
    EXPECT_EQ(drawList(r, state, canvas, tlRect(-0.5f, -0.5f, 0.5f, 0.5f, 0, diffuse)), D3D_OK);
    return canvas.at(0, 0);
  }
};

// Per channel (r, g, b) of an 8-bit op result.
uint32_t rgb(uint32_t alpha, int (*f)(int a, int b), uint32_t x, uint32_t y) {
  uint32_t out = alpha << 24;
  for (int shift = 0; shift < 24; shift += 8) {
    int v = f(static_cast<int>((x >> shift) & 0xFF), static_cast<int>((y >> shift) & 0xFF));
    v = v < 0 ? 0 : (v > 255 ? 255 : v);
    out |= static_cast<uint32_t>(v) << shift;
  }
  return out;
}

TEST(RasterStages, ColourOperationsOnTextureAndDiffuse) {
  struct Case {
    DWORD op;
    int (*f)(int t, int d);
  };
  const Case cases[] = {
      {D3DTOP_SELECTARG1, [](int t, int) { return t; }},
      {D3DTOP_SELECTARG2, [](int, int d) { return d; }},
      {D3DTOP_MODULATE, [](int t, int d) { return (t * d + 127) / 255; }},
      {D3DTOP_MODULATE2X, [](int t, int d) { return (2 * t * d + 127) / 255; }},
      {D3DTOP_MODULATE4X, [](int t, int d) { return (4 * t * d + 127) / 255; }},
      {D3DTOP_ADD, [](int t, int d) { return t + d; }},
      {D3DTOP_ADDSIGNED, [](int t, int d) { return t + d - 128; }},
      {D3DTOP_ADDSIGNED2X, [](int t, int d) { return 2 * (t + d) - 255; }},
      {D3DTOP_SUBTRACT, [](int t, int d) { return t - d; }},
      {D3DTOP_ADDSMOOTH, [](int t, int d) { return t + d - (t * d + 127) / 255; }},
      {D3DTOP_BLENDTEXTUREALPHA, [](int t, int d) { return (t * 0x40 + d * (255 - 0x40) + 127) / 255; }},
      {D3DTOP_BLENDDIFFUSEALPHA, [](int t, int d) { return (t * 0x80 + d * (255 - 0x80) + 127) / 255; }},
      {D3DTOP_BLENDFACTORALPHA, [](int t, int d) { return (t * 0xC0 + d * (255 - 0xC0) + 127) / 255; }},
      {D3DTOP_BLENDCURRENTALPHA, [](int t, int d) { return (t * 0x80 + d * (255 - 0x80) + 127) / 255; }},
  };
  for (const Case &c : cases) {
    Pixel p;
    p.stage(0, c.op, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    EXPECT_LE(channelDifference(p.draw(), rgb(0x80, c.f, kTexel, kDiffuse)), 1) << "op " << c.op;
  }
}

TEST(RasterStages, ArgumentsAndModifiers) {
  Pixel p;
  p.stage(0, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TFACTOR);
  EXPECT_EQ(p.draw(), kFactor);
  p.stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, 0, D3DTOP_SELECTARG1,
          D3DTA_TEXTURE | D3DTA_COMPLEMENT);
  EXPECT_EQ(p.draw(), ~kTexel);
  p.stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
  EXPECT_EQ(p.draw(), 0x40404040u);
  // Replicate first, then complement.
  p.stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE | D3DTA_COMPLEMENT, 0, D3DTOP_SELECTARG1,
          D3DTA_TEXTURE);
  EXPECT_EQ(p.draw(), 0x40BFBFBFu);
  // Specular without a specular colour in the vertex reads opaque white.
  p.stage(0, D3DTOP_SELECTARG1, D3DTA_SPECULAR, 0, D3DTOP_SELECTARG1, D3DTA_SPECULAR);
  EXPECT_EQ(p.draw(), 0xFFFFFFFFu);
  // Alpha ops work on alpha only.
  p.stage(0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, 0, D3DTOP_MODULATE, D3DTA_TEXTURE);
  p.state.stageState[0][D3DTSS_ALPHAARG2] = D3DTA_TFACTOR;
  EXPECT_EQ(p.draw(), (((0x40 * 0xC0 + 127) / 255) << 24) | (kDiffuse & 0xFFFFFF));
}

TEST(RasterStages, DotProductSumsEveryChannelAsSignedValues) {
  // 4 * sum of (a - 0.5)(b - 0.5) over red, green and blue, saturated, in every colour channel.
  const uint32_t factor = 0xFFE0C080, diffuse = 0xFFC0A080;
  double dot = 0;
  for (int shift = 0; shift < 24; shift += 8)
    dot += (((factor >> shift) & 0xFF) / 255.0 - 0.5) * (((diffuse >> shift) & 0xFF) / 255.0 - 0.5);
  const uint32_t v = static_cast<uint32_t>(std::min(1.0, std::max(0.0, 4 * dot)) * 255 + 0.5);
  ASSERT_EQ(v, 131u);  // 0.512 of full scale: neither channel alone nor saturated
  Pixel p;
  p.state.renderState[D3DRS_TEXTUREFACTOR] = factor;
  p.stage(0, D3DTOP_DOTPRODUCT3, D3DTA_TFACTOR, D3DTA_DIFFUSE);
  EXPECT_LE(channelDifference(p.draw(diffuse) & 0xFFFFFF, v << 16 | v << 8 | v), 1);
}

TEST(RasterStages, SpecularIsAddedAfterTheCascadeOnlyWhenEnabled) {
  struct Vertex {
    float x, y, z, rhw;
    DWORD diffuse, specular;
  };
  const DWORD diffuse = 0x80402010, specular = 0x55F01010;  // specular alpha is not added
  const Vertex quad[] = {{-0.5f, -0.5f, 0, 1, diffuse, specular}, {0.5f, -0.5f, 0, 1, diffuse, specular},
                         {-0.5f, 0.5f, 0, 1, diffuse, specular}, {0.5f, 0.5f, 0, 1, diffuse, specular}};
  DrawState s = plainState(1, 1, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR);
  useDiffuseOnly(s);
  for (DWORD enabled : {FALSE, TRUE}) {
    s.renderState[D3DRS_SPECULARENABLE] = enabled;
    Canvas canvas(1, 1);
    Rasterizer r;
    ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    EXPECT_EQ(canvas.at(0, 0), enabled ? 0x80FF3020u : diffuse) << "specular " << enabled;  // red saturates
  }
}

TEST(RasterStages, CascadeCarriesCurrentAndStopsAtFirstDisabledStage) {
  Pixel p;
  // Stage 0 CURRENT is the diffuse colour.
  p.stage(0, D3DTOP_SELECTARG1, D3DTA_CURRENT, 0, D3DTOP_SELECTARG1, D3DTA_CURRENT);
  EXPECT_EQ(p.draw(), kDiffuse);
  // Stage 1 adds the factor to stage 0's texture colour; stage 2 is off, stage 3 never runs.
  p.stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
  p.stage(1, D3DTOP_ADD, D3DTA_CURRENT, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_CURRENT);
  p.stage(3, D3DTOP_SELECTARG1, D3DTA_TFACTOR, 0, D3DTOP_SELECTARG1, D3DTA_TFACTOR);
  EXPECT_EQ(p.draw(), rgb(0x40, [](int a, int b) { return a + b; }, kTexel, kFactor));
  // Stage 0 disabled: the diffuse colour, untextured.
  p.stage(0, D3DTOP_DISABLE, D3DTA_TEXTURE, 0);
  EXPECT_EQ(p.draw(), kDiffuse);
}

TEST(RasterStages, MissingTextureAndMissingColourReadOpaqueWhite) {
  Pixel p;
  // The scene's states: stage 1 modulates by a texture that is not there, leaving stage 0 as is.
  p.stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
  p.stage(1, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_CURRENT);
  EXPECT_EQ(p.draw(), kTexel);
  // No texture anywhere: opaque white.
  p.state.texture[0] = TextureView{};
  EXPECT_EQ(p.draw(), 0xFFFFFFFFu);

  // A vertex without a diffuse colour feeds opaque white.
  struct Bare {
    float x, y, z, rhw;
  } quad[] = {{-0.5f, -0.5f, 0, 1}, {0.5f, -0.5f, 0, 1}, {-0.5f, 0.5f, 0, 1}, {0.5f, 0.5f, 0, 1}};
  DrawState s = plainState(1, 1, D3DFVF_XYZRHW);
  useDiffuseOnly(s);
  Canvas canvas(1, 1);
  Rasterizer r;
  ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Bare)), D3D_OK);
  EXPECT_EQ(canvas.at(0, 0), 0xFFFFFFFFu);
}

TEST(RasterStages, LightingWithoutLightsBlackensUntransformedVertices) {
  struct Vertex {
    float x, y, z;
    DWORD color;
  } quad[] = {{-1, 1, 0.5f, kDiffuse}, {1, 1, 0.5f, kDiffuse}, {-1, -1, 0.5f, kDiffuse}, {1, -1, 0.5f, kDiffuse}};
  DrawState s = plainState(2, 2, D3DFVF_XYZ | D3DFVF_DIFFUSE);
  useDiffuseOnly(s);
  s.renderState[D3DRS_LIGHTING] = TRUE;
  Canvas canvas(2, 2);
  Rasterizer r;
  ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
  // Colour black; alpha from the vertex colour, the diffuse material source.
  EXPECT_EQ(canvas.at(1, 1), kDiffuse & 0xFF000000);
  // The vertex colour as emissive source shows through.
  s.renderState[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_COLOR1;
  ASSERT_EQ(r.drawPrimitiveUP(s, canvas.target(), D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
  EXPECT_EQ(canvas.at(1, 1), kDiffuse);
}

TEST(RasterStages, FlatShadingUsesTheFirstVertexColour) {
  DrawState s = plainState(8, 8);
  useDiffuseOnly(s);
  s.renderState[D3DRS_SHADEMODE] = D3DSHADE_FLAT;
  const std::vector<TlVertex> v = {{0, 0, 0, 1, 0xFF112233, 0, 0}, {8, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                                   {0, 8, 0, 1, 0xFF000000, 0, 0}};
  Canvas canvas(8, 8);
  Rasterizer r;
  ASSERT_EQ(drawList(r, s, canvas, v), D3D_OK);
  EXPECT_EQ(canvas.count(0xFF112233), 36);
}

}  // namespace
}  // namespace kvtest
