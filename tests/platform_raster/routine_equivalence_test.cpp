// The specialised routines and the generic one produce the same pixels for the same state.
#include <cmath>
#include <random>

#include "raster_fixture.h"

namespace kvtest {
namespace {

struct Scene {
  std::vector<uint32_t> texels[2];
  DrawState state = plainState(96, 80, kSceneFvf);
  std::vector<std::vector<SceneVertex>> quads;

  explicit Scene(uint32_t seed) {
    std::mt19937 rng(seed);
    for (int t = 0; t < 2; ++t) {
      texels[t].resize(64 * 32);
      for (uint32_t &c : texels[t]) c = rng();
    }
    state.texture[0] = {D3DFMT_A8R8G8B8, 64, 32, 64 * 4, reinterpret_cast<const BYTE *>(texels[0].data())};
    DWORD *s0 = state.stageState[0], *s1 = state.stageState[1];
    s0[D3DTSS_COLOROP] = D3DTOP_SELECTARG1, s0[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    s0[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1, s0[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    s1[D3DTSS_COLOROP] = D3DTOP_MODULATE, s1[D3DTSS_COLORARG1] = D3DTA_CURRENT, s1[D3DTSS_COLORARG2] = D3DTA_TEXTURE;
    s1[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1, s1[D3DTSS_ALPHAARG1] = D3DTA_CURRENT;
    state.renderState[D3DRS_ALPHABLENDENABLE] = TRUE;
    state.renderState[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
    state.renderState[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
    // Camera at z = -3 looking down +z, 90 degree field of view.
    state.view._43 = 3.0f;
    state.projection = D3DMATRIX{};
    state.projection._11 = 0.8f, state.projection._22 = 1.0f, state.projection._33 = 1.001f;
    state.projection._34 = 1.0f, state.projection._43 = -0.01f;
    std::uniform_real_distribution<float> pos(-2.5f, 2.5f), depth(-1.0f, 3.0f), uv(-3.0f, 3.0f);
    for (int q = 0; q < 12; ++q) {
      std::vector<SceneVertex> v(4);
      for (SceneVertex &p : v) p = {pos(rng), pos(rng), depth(rng), uv(rng), uv(rng), uv(rng), uv(rng)};
      quads.push_back(v);
    }
  }

  Canvas render(bool specialised, SpanWidth widest, D3DFORMAT format, bool &usedSpecialised) {
    Canvas canvas(96, 80, format);
    canvas.fill(0x80402010);
    Rasterizer r;
    r.setSpecialisedRoutines(specialised, widest);
    r.clear(canvas.target(), state.viewport, 0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    usedSpecialised = true;
    for (const auto &quad : quads) {
      EXPECT_EQ(r.drawPrimitiveUP(state, canvas.target(), D3DPT_TRIANGLESTRIP, 2, quad.data(), sizeof(SceneVertex)),
                D3D_OK);
      usedSpecialised = usedSpecialised && r.lastDrawSpecialised();
    }
    return canvas;
  }
};

// Every specialised width the processor runs against the generic routine.
void expectSame(Scene &scene, D3DFORMAT format, int tolerance) {
  bool slow = true;
  const Canvas b = scene.render(false, SpanWidth::Avx512, format, slow);
  EXPECT_FALSE(slow);
  for (SpanWidth width : {SpanWidth::Sse2, SpanWidth::Avx2, SpanWidth::Avx512}) {
    if (width > widestSpanWidth()) continue;
    bool fast = false;
    const Canvas a = scene.render(true, width, format, fast);
    EXPECT_TRUE(fast);
    int worst = 0, drawn = 0;
    for (size_t i = 0; i < a.color.size(); ++i) {
      worst = std::max(worst, channelDifference(a.color[i], b.color[i]));
      drawn += a.color[i] != 0x80402010;
    }
    EXPECT_LE(worst, tolerance) << "width " << static_cast<int>(width);
    EXPECT_GT(drawn, 1000);
    EXPECT_EQ(a.depth, b.depth) << "width " << static_cast<int>(width);
  }
}

TEST(RasterRoutines, SceneStateWithOneTextureMatchesGenericExactly) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    Scene scene(seed);
    expectSame(scene, D3DFMT_A8R8G8B8, 0);
    expectSame(scene, D3DFMT_X8R8G8B8, 0);
    scene.state.renderState[D3DRS_ALPHABLENDENABLE] = FALSE;
    scene.state.renderState[D3DRS_ZFUNC] = D3DCMP_LESS;
    expectSame(scene, D3DFMT_A8R8G8B8, 0);
    scene.state.renderState[D3DRS_ZWRITEENABLE] = FALSE;
    scene.state.renderState[D3DRS_ALPHABLENDENABLE] = TRUE;
    expectSame(scene, D3DFMT_A8R8G8B8, 0);
  }
}

// Coordinates far beyond the texture (past what an int holds, and tiny ones) wrap alike.
TEST(RasterRoutines, ExtremeCoordinatesWrapAlikeInEveryRoutine) {
  Scene scene(5);
  const float extremes[] = {3.0e9f, -3.0e9f, 1.0e20f, -1.0e20f, 1.0e-30f, -2.5e7f, 65536.5f, -0.0f};
  int k = 0;
  for (auto &quad : scene.quads)
    for (SceneVertex &p : quad) {
      p.u0 = extremes[k++ % 8];
      p.v0 = extremes[(k * 3) % 8];
    }
  expectSame(scene, D3DFMT_A8R8G8B8, 0);
}

TEST(RasterRoutines, SecondTextureModulatesWithinOneStep) {
  Scene scene(7);
  scene.state.texture[1] = {D3DFMT_X8R8G8B8, 64, 32, 64 * 4, reinterpret_cast<const BYTE *>(scene.texels[1].data())};
  // The specialised routine rounds the modulated colour to 8 bits before blending.
  expectSame(scene, D3DFMT_A8R8G8B8, 1);
}

TEST(RasterRoutines, StagesWithoutATextureReadWhiteInBothRoutines) {
  Scene scene(11);
  scene.state.texture[0] = {};  // untextured polygons: opaque white
  expectSame(scene, D3DFMT_A8R8G8B8, 0);
  // No stage-0 texture, but a stage-1 texture from an earlier polygon still bound.
  scene.state.texture[1] = {D3DFMT_A8R8G8B8, 64, 32, 64 * 4, reinterpret_cast<const BYTE *>(scene.texels[1].data())};
  expectSame(scene, D3DFMT_A8R8G8B8, 1);
}

TEST(RasterRoutines, OtherStatesTakeTheGenericRoutine) {
  Scene scene(9);
  Canvas canvas(96, 80);
  Rasterizer r;
  scene.state.renderState[D3DRS_ALPHATESTENABLE] = TRUE;
  r.drawPrimitiveUP(scene.state, canvas.target(), D3DPT_TRIANGLESTRIP, 2, scene.quads[0].data(), sizeof(SceneVertex));
  EXPECT_FALSE(r.lastDrawSpecialised());
  scene.state.renderState[D3DRS_ALPHATESTENABLE] = FALSE;
  scene.state.samplerState[0][D3DSAMP_ADDRESSU] = D3DTADDRESS_CLAMP;
  r.drawPrimitiveUP(scene.state, canvas.target(), D3DPT_TRIANGLESTRIP, 2, scene.quads[0].data(), sizeof(SceneVertex));
  EXPECT_FALSE(r.lastDrawSpecialised());
}

}  // namespace
}  // namespace kvtest
