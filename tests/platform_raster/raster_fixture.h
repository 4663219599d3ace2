#pragma once
// A small render target with a depth buffer and a rasterizer, plus vertex helpers, shared by
// the rasterizer tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "d3d9/raster/rasterizer.h"

namespace kvtest {

using kvd3d::raster::DrawState;
using kvd3d::raster::Rasterizer;
using kvd3d::raster::RenderTarget;
using kvd3d::raster::SpanWidth;
using kvd3d::raster::widestSpanWidth;
using kvd3d::raster::TextureView;

// Pre-transformed vertex with a colour and one coordinate set.
struct TlVertex {
  float x, y, z, rhw;
  DWORD color;
  float u, v;
};
constexpr DWORD kTlFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The scene's vertex: position and two coordinate sets.
struct SceneVertex {
  float x, y, z;
  float u0, v0, u1, v1;
};
constexpr DWORD kSceneFvf = D3DFVF_XYZ | D3DFVF_TEX2;

struct Canvas {
  UINT width, height;
  D3DFORMAT format;
  std::vector<uint32_t> color;
  std::vector<uint16_t> depth;

  Canvas(UINT w, UINT h, D3DFORMAT f = D3DFMT_A8R8G8B8, bool withDepth = true)
      : width(w), height(h), format(f), color(static_cast<size_t>(w) * h, 0), depth(withDepth ? static_cast<size_t>(w) * h : 0, 0xFFFF) {}

  RenderTarget target() {
    return RenderTarget{reinterpret_cast<BYTE *>(color.data()), static_cast<INT>(width * 4), format, width, height,
                        depth.empty() ? nullptr : reinterpret_cast<BYTE *>(depth.data()), static_cast<INT>(width * 2),
                        D3DFMT_D16};
  }
  uint32_t at(int x, int y) const { return color[static_cast<size_t>(y) * width + x]; }
  uint16_t depthAt(int x, int y) const { return depth[static_cast<size_t>(y) * width + x]; }
  int count(uint32_t value) const { return static_cast<int>(color.size()) - countNot(value); }
  int countNot(uint32_t value) const {
    int n = 0;
    for (uint32_t c : color) n += c != value;
    return n;
  }
  void fill(uint32_t c) { std::fill(color.begin(), color.end(), c); }
};

// Defaults with lighting and culling off, so coloured vertices show their colour.
inline DrawState plainState(UINT w, UINT h, DWORD fvf = kTlFvf) {
  DrawState s;
  kvd3d::raster::setDefaultState(s, true, w, h);
  s.renderState[D3DRS_LIGHTING] = FALSE;
  s.renderState[D3DRS_CULLMODE] = D3DCULL_NONE;
  s.fvf = fvf;
  return s;
}

// Stage 0 passes the diffuse colour through.
inline void useDiffuseOnly(DrawState &s) {
  s.stageState[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
  s.stageState[0][D3DTSS_COLORARG1] = D3DTA_DIFFUSE;
  s.stageState[0][D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
  s.stageState[0][D3DTSS_ALPHAARG1] = D3DTA_DIFFUSE;
}

// Axis-aligned rectangle of two triangles (list) in screen space.
inline std::vector<TlVertex> tlRect(float x0, float y0, float x1, float y1, float z, DWORD color, float u0 = 0,
                                    float v0 = 0, float u1 = 1, float v1 = 1) {
  return {{x0, y0, z, 1, color, u0, v0}, {x1, y0, z, 1, color, u1, v0}, {x1, y1, z, 1, color, u1, v1},
          {x0, y0, z, 1, color, u0, v0}, {x1, y1, z, 1, color, u1, v1}, {x0, y1, z, 1, color, u0, v1}};
}

inline HRESULT drawList(Rasterizer &r, const DrawState &s, Canvas &c, const std::vector<TlVertex> &v) {
  return r.drawPrimitiveUP(s, c.target(), D3DPT_TRIANGLELIST, static_cast<UINT>(v.size() / 3), v.data(),
                           sizeof(TlVertex));
}

// A texture in memory with its view.
struct Texture {
  std::vector<BYTE> bytes;
  TextureView view;
  Texture(D3DFORMAT f, UINT w, UINT h, int pitch) : bytes(static_cast<size_t>(pitch) * ((h + 3) / 4 * 4), 0) {
    view.format = f;
    view.width = w;
    view.height = h;
    view.pitch = pitch;
    view.bits = bytes.data();
  }
  void setArgb(UINT x, UINT y, uint32_t argb) { std::memcpy(&bytes[y * view.pitch + x * 4], &argb, 4); }
};

inline int channelDifference(uint32_t a, uint32_t b) {
  int worst = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    worst = std::max(worst, d < 0 ? -d : d);
  }
  return worst;
}

}  // namespace kvtest
