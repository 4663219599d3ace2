// Frames per second of the scene the library draws: N textured quads, each a two-triangle
// strip with its own world matrix, drawn with the library's per-polygon states into a
// 544x416 A8R8G8B8 target with a 16-bit depth buffer. A frame is Clear(target + depth) plus
// N draws. Measured straight on the rasterizer and, when the stand-in device is present,
// through IDirect3DDevice9. A memset of the frame's bytes is the baseline.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <d3d9.h>

#include "d3d9/raster/rasterizer.h"

namespace {

using kvd3d::raster::DrawState;
using kvd3d::raster::Rasterizer;
using kvd3d::raster::RenderTarget;
using kvd3d::raster::SpanWidth;

constexpr UINT kWidth = 544, kHeight = 416, kTextureSize = 256;

struct Vertex {
  float x, y, z, u0, v0, u1, v1;
};

D3DMATRIX multiply(const D3DMATRIX &a, const D3DMATRIX &b) {
  D3DMATRIX r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
  return r;
}

D3DMATRIX identity() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

D3DMATRIX rotationX(float a) {
  D3DMATRIX m = identity();
  m._22 = std::cos(a), m._23 = std::sin(a), m._32 = -std::sin(a), m._33 = std::cos(a);
  return m;
}
D3DMATRIX rotationY(float a) {
  D3DMATRIX m = identity();
  m._11 = std::cos(a), m._13 = -std::sin(a), m._31 = std::sin(a), m._33 = std::cos(a);
  return m;
}
D3DMATRIX rotationZ(float a) {
  D3DMATRIX m = identity();
  m._11 = std::cos(a), m._12 = std::sin(a), m._21 = -std::sin(a), m._22 = std::cos(a);
  return m;
}

D3DMATRIX worldOf(int i) {
  const float ax = 0.35f * std::sin(1.3f * i), ay = 0.45f * std::sin(0.7f * i + 0.5f), az = 0.6f * std::sin(0.37f * i);
  D3DMATRIX t = identity();
  t._41 = static_cast<float>(((37 * i + 5) % 11) - 5) * 40.0f;
  t._42 = static_cast<float>(((53 * i + 4) % 9) - 4) * 40.0f;
  t._43 = static_cast<float>(((29 * i + 3) % 7) - 3) * 40.0f;
  return multiply(multiply(multiply(rotationX(ax), rotationY(ay)), rotationZ(az)), t);
}

D3DMATRIX sceneView() {
  D3DMATRIX m = identity();
  m._43 = 580.0f;
  return m;
}

D3DMATRIX sceneProjection() {
  const float ys = 1.0f / std::tan(3.14159265f / 8.0f), xs = ys / (static_cast<float>(kWidth) / kHeight);
  const float q = 100000.0f / (100000.0f - 0.1f);
  D3DMATRIX m{};
  m._11 = xs, m._22 = ys, m._33 = q, m._34 = 1.0f, m._43 = -0.1f * q;
  return m;
}

// 32-texel checker: opaque cells, and cells whose alpha runs along a gradient.
std::vector<uint32_t> sceneTexture() {
  std::vector<uint32_t> t(kTextureSize * kTextureSize);
  for (UINT y = 0; y < kTextureSize; ++y)
    for (UINT x = 0; x < kTextureSize; ++x) {
      const bool opaque = ((x / 32) + (y / 32)) % 2 == 0;
      const uint32_t alpha = opaque ? 255 : 40 + (x % 32) * 6;
      t[y * kTextureSize + x] = alpha << 24 | (x & 0xFF) << 16 | (y & 0xFF) << 8 | ((x + y) & 0xFF);
    }
  return t;
}

const Vertex kQuad[4] = {{-128, -128, 0, 0, 0, 0, 0}, {-128, 128, 0, 0, 2, 0, 2}, {128, -128, 0, 2, 0, 2, 0},
                         {128, 128, 0, 2, 2, 2, 2}};

void applySceneStates(DrawState &s) {
  DWORD *rs = s.renderState;
  rs[D3DRS_ZENABLE] = TRUE;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_CULLMODE] = D3DCULL_NONE;
  rs[D3DRS_LIGHTING] = FALSE;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_GREATEREQUAL;
  rs[D3DRS_ALPHABLENDENABLE] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
  rs[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
  DWORD *s0 = s.stageState[0], *s1 = s.stageState[1];
  s0[D3DTSS_COLOROP] = D3DTOP_SELECTARG1, s0[D3DTSS_COLORARG1] = D3DTA_TEXTURE, s0[D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
  s0[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1, s0[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE, s0[D3DTSS_ALPHAARG2] = D3DTA_DIFFUSE;
  s1[D3DTSS_COLOROP] = D3DTOP_MODULATE, s1[D3DTSS_COLORARG1] = D3DTA_CURRENT, s1[D3DTSS_COLORARG2] = D3DTA_TEXTURE;
  s1[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1, s1[D3DTSS_ALPHAARG1] = D3DTA_CURRENT, s1[D3DTSS_ALPHAARG2] = D3DTA_TEXTURE;
  s.fvf = D3DFVF_XYZ | D3DFVF_TEX2;
}

struct RasterScene {
  std::vector<uint32_t> color = std::vector<uint32_t>(kWidth * kHeight);
  std::vector<uint16_t> depth = std::vector<uint16_t>(kWidth * kHeight);
  std::vector<uint32_t> texture = sceneTexture();
  std::vector<D3DMATRIX> worlds;
  DrawState state;
  Rasterizer rasterizer;

  explicit RasterScene(int n) {
    kvd3d::raster::setDefaultState(state, true, kWidth, kHeight);
    state.view = sceneView();
    state.projection = sceneProjection();
    state.texture[0] = {D3DFMT_A8R8G8B8, kTextureSize, kTextureSize, kTextureSize * 4,
                        reinterpret_cast<const BYTE *>(texture.data())};
    for (int i = 0; i < n; ++i) worlds.push_back(worldOf(i));
  }
  RenderTarget target() {
    return RenderTarget{reinterpret_cast<BYTE *>(color.data()), kWidth * 4, D3DFMT_A8R8G8B8, kWidth, kHeight,
                        reinterpret_cast<BYTE *>(depth.data()), kWidth * 2, D3DFMT_D16};
  }
  void frame() {
    const RenderTarget t = target();
    rasterizer.clear(t, state.viewport, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    for (const D3DMATRIX &w : worlds) {
      applySceneStates(state);
      state.world = w;
      rasterizer.drawPrimitiveUP(state, t, D3DPT_TRIANGLESTRIP, 2, kQuad, sizeof(Vertex));
    }
  }
};

void rasterizerScene(benchmark::State &st, bool specialised, SpanWidth widest = SpanWidth::Avx512) {
  RasterScene scene(static_cast<int>(st.range(0)));
  scene.rasterizer.setSpecialisedRoutines(specialised, widest);
  for (auto _ : st) {
    scene.frame();
    benchmark::DoNotOptimize(scene.color.data());
  }
  st.counters["frames/s"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}

void BM_RasterizerScene(benchmark::State &st) { rasterizerScene(st, true); }
void BM_RasterizerSceneAvx2(benchmark::State &st) { rasterizerScene(st, true, SpanWidth::Avx2); }
void BM_RasterizerSceneSse2(benchmark::State &st) { rasterizerScene(st, true, SpanWidth::Sse2); }
void BM_RasterizerSceneGeneric(benchmark::State &st) { rasterizerScene(st, false); }
BENCHMARK(BM_RasterizerScene)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RasterizerSceneAvx2)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RasterizerSceneSse2)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RasterizerSceneGeneric)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

// The same frame through the stand-in device, as the library drives it: states, texture,
// world matrix and FVF per polygon, DrawPrimitiveUP from the polygon's own vertices.
struct DeviceScene {
  IDirect3D9 *d3d = nullptr;
  IDirect3DDevice9 *device = nullptr;
  IDirect3DTexture9 *texture = nullptr;
  std::vector<D3DMATRIX> worlds;

  explicit DeviceScene(int n) {
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) return;
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = kWidth;
    pp.BackBufferHeight = kHeight;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = GetForegroundWindow();
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, pp.hDeviceWindow,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device)))
      return;
    if (FAILED(device->CreateTexture(kTextureSize, kTextureSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                     nullptr)))
      return;
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(texture->LockRect(0, &locked, nullptr, 0))) {
      const std::vector<uint32_t> texels = sceneTexture();
      for (UINT y = 0; y < kTextureSize; ++y)
        std::memcpy(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch, &texels[y * kTextureSize], kTextureSize * 4);
      texture->UnlockRect(0);
    }
    for (int i = 0; i < n; ++i) worlds.push_back(worldOf(i));
  }
  ~DeviceScene() {
    if (texture) texture->Release();
    if (device) device->Release();
    if (d3d) d3d->Release();
  }
  bool ready() const { return texture != nullptr; }

  void frame() {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->BeginScene();
    const D3DMATRIX view = sceneView(), projection = sceneProjection();
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    for (const D3DMATRIX &w : worlds) {
      device->SetRenderState(D3DRS_ZENABLE, TRUE);
      device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
      device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
      device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
      device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
      device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
      device->SetRenderState(D3DRS_LIGHTING, FALSE);
      device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
      device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
      device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
      device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
      device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
      device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
      device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
      device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
      device->SetTextureStageState(1, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
      device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
      device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
      device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
      device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
      device->SetTexture(0, texture);
      device->SetTransform(D3DTS_WORLD, &w);
      device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX2);
      device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, kQuad, sizeof(Vertex));
    }
    device->EndScene();
  }
};

void BM_DeviceScene(benchmark::State &st) {
  DeviceScene scene(static_cast<int>(st.range(0)));
  if (!scene.ready()) {
    st.SkipWithError("the stand-in device could not be created");
    return;
  }
  for (auto _ : st) scene.frame();
  st.counters["frames/s"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DeviceScene)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Baseline: writing the frame's colour and depth bytes once.
void BM_BaselineFrameMemset(benchmark::State &st) {
  std::vector<uint8_t> bytes(kWidth * kHeight * 6);
  for (auto _ : st) {
    std::memset(bytes.data(), static_cast<int>(st.iterations() & 0xFF), bytes.size());
    benchmark::DoNotOptimize(bytes.data());
  }
  st.counters["frames/s"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BaselineFrameMemset)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
