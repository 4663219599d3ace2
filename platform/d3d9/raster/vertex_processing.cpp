// Untransformed vertices go through world * view * projection; pre-transformed (XYZRHW)
// vertices are lifted back to homogeneous form (x*w, y*w, z*w, w) in pixel units, so that one
// clipper and one projection serve both. Lighting without lights and with a zero material
// leaves emissive + ambient: black unless the vertex colour feeds those material sources.
#include "vertex_processing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kvd3d::raster {
namespace {

void multiply(const D3DMATRIX &a, const D3DMATRIX &b, double out[4][4]) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += static_cast<double>(a.m[r][k]) * b.m[k][c];
      out[r][c] = sum;
    }
}

Color4 readColor(const BYTE *src, int offset) {
  DWORD argb;
  std::memcpy(&argb, src + offset, sizeof argb);
  return colorFromArgb(argb);
}

float clamp01(float f) { return f > 0.0f ? (f < 1.0f ? f : 1.0f) : 0.0f; }

void addPlane(ClipVolume &v, float a, float b, float c, float d, float e) {
  v.plane[v.planeCount++] = ClipPlane{a, b, c, d, e};
}

void buildVolume(const DrawState &state, bool pretransformed, VertexSetup &s) {
  const D3DVIEWPORT9 &vp = state.viewport;
  ClipVolume &volume = s.volume;
  volume.planeCount = 0;
  if (!pretransformed) {
    addPlane(volume, 0, 0, 1, 0, 0);   // near: z >= 0
    addPlane(volume, 0, 0, -1, 1, 0);  // far: z <= w
  }
  addPlane(volume, 0, 0, 0, 1, -kMinClipW);
  const float left = static_cast<float>(vp.X) - kGuardBandPixels;
  const float right = static_cast<float>(vp.X) + static_cast<float>(vp.Width) + kGuardBandPixels;
  const float top = static_cast<float>(vp.Y) - kGuardBandPixels;
  const float bottom = static_cast<float>(vp.Y) + static_cast<float>(vp.Height) + kGuardBandPixels;
  const ScreenMapping &m = s.mapping;
  float x0 = (left - m.offsetX) / m.scaleX, x1 = (right - m.offsetX) / m.scaleX;
  float y0 = (top - m.offsetY) / m.scaleY, y1 = (bottom - m.offsetY) / m.scaleY;
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  addPlane(volume, 1, 0, 0, -x0, 0);
  addPlane(volume, -1, 0, 0, x1, 0);
  addPlane(volume, 0, 1, 0, -y0, 0);
  addPlane(volume, 0, -1, 0, y1, 0);
}

}  // namespace

void prepareVertexSetup(const DrawState &state, const VertexLayout &layout, int stageCount, VertexSetup &s) {
  s.layout = layout;
  double wv[4][4], wvp[4][4];
  multiply(state.world, state.view, wv);
  D3DMATRIX wvMatrix;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) wvMatrix.m[r][c] = static_cast<float>(wv[r][c]);
  multiply(wvMatrix, state.projection, wvp);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) s.transform[r][c] = static_cast<float>(wvp[r][c]);

  const DWORD *rs = state.renderState;
  s.lit = !layout.pretransformed && rs[D3DRS_LIGHTING];
  const bool colorVertex = rs[D3DRS_COLORVERTEX] != 0;
  s.emissiveSource = colorVertex ? rs[D3DRS_EMISSIVEMATERIALSOURCE] : DWORD{D3DMCS_MATERIAL};
  s.ambientSource = colorVertex ? rs[D3DRS_AMBIENTMATERIALSOURCE] : DWORD{D3DMCS_MATERIAL};
  s.diffuseSource = colorVertex ? rs[D3DRS_DIFFUSEMATERIALSOURCE] : DWORD{D3DMCS_MATERIAL};
  s.litAmbient = colorFromArgb(rs[D3DRS_AMBIENT]);
  s.litEmissive = Color4{0, 0, 0, 0};

  s.stageCount = stageCount;
  for (int i = 0; i < kMaxStages; ++i)
    s.texCoordSet[i] = i < stageCount ? static_cast<int>(state.stageState[i][D3DTSS_TEXCOORDINDEX] & 0xFFFF) : 0;
  s.attrCount = kTexCoordAttr + 2 * stageCount;

  const D3DVIEWPORT9 &vp = state.viewport;
  if (layout.pretransformed) {
    s.mapping = ScreenMapping{0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f};
  } else {
    const float halfW = static_cast<float>(vp.Width) * 0.5f, halfH = static_cast<float>(vp.Height) * 0.5f;
    s.mapping = ScreenMapping{static_cast<float>(vp.X) + halfW, halfW, static_cast<float>(vp.Y) + halfH, -halfH,
                              vp.MinZ, vp.MaxZ - vp.MinZ};
  }
  buildVolume(state, layout.pretransformed, s);
}

void fetchVertex(const VertexSetup &s, const BYTE *src, ClipVertex &out) {
  const VertexLayout &l = s.layout;
  float p[4];
  std::memcpy(p, src, (l.pretransformed ? 4 : 3) * sizeof(float));
  if (l.pretransformed) {
    // Non-positive or non-finite rhw makes w non-finite: the clipper drops such triangles.
    const float w = p[3] > 0.0f ? 1.0f / p[3] : NAN;
    out.pos[0] = p[0] * w;
    out.pos[1] = p[1] * w;
    out.pos[2] = p[2] * w;
    out.pos[3] = w;
  } else {
    for (int c = 0; c < 4; ++c)
      out.pos[c] = p[0] * s.transform[0][c] + p[1] * s.transform[1][c] + p[2] * s.transform[2][c] + s.transform[3][c];
  }

  const Color4 white{1, 1, 1, 1}, zero{0, 0, 0, 0};
  const Color4 vertexDiffuse = l.diffuseOffset >= 0 ? readColor(src, l.diffuseOffset) : white;
  const Color4 vertexSpecular = l.specularOffset >= 0 ? readColor(src, l.specularOffset) : white;
  Color4 diffuse = vertexDiffuse, specular = vertexSpecular;
  if (s.lit) {
    auto source = [&](DWORD which) {
      if (which == D3DMCS_COLOR1 && l.diffuseOffset >= 0) return vertexDiffuse;
      if (which == D3DMCS_COLOR2 && l.specularOffset >= 0) return vertexSpecular;
      return zero;  // the material, which is all zero
    };
    const Color4 emissive = source(s.emissiveSource), ambient = source(s.ambientSource);
    diffuse.r = clamp01(emissive.r + s.litAmbient.r * ambient.r);
    diffuse.g = clamp01(emissive.g + s.litAmbient.g * ambient.g);
    diffuse.b = clamp01(emissive.b + s.litAmbient.b * ambient.b);
    diffuse.a = source(s.diffuseSource).a;
    specular = zero;  // no lights, no highlights
  }
  float *a = out.attr;
  a[kDiffuseAttr + 0] = diffuse.r;
  a[kDiffuseAttr + 1] = diffuse.g;
  a[kDiffuseAttr + 2] = diffuse.b;
  a[kDiffuseAttr + 3] = diffuse.a;
  a[kSpecularAttr + 0] = specular.r;
  a[kSpecularAttr + 1] = specular.g;
  a[kSpecularAttr + 2] = specular.b;
  a[kSpecularAttr + 3] = specular.a;
  for (int stage = 0; stage < s.stageCount; ++stage) {
    const int set = s.texCoordSet[stage];
    float uv[2] = {0.0f, 0.0f};  // a set the vertex does not have reads as (0, 0)
    if (set < l.texCoordCount) std::memcpy(uv, src + l.texCoordOffset[set], (l.texCoordSize[set] >= 2 ? 2 : 1) * 4);
    a[kTexCoordAttr + 2 * stage] = uv[0];
    a[kTexCoordAttr + 2 * stage + 1] = uv[1];
  }
}

void projectVertex(const VertexSetup &s, const ClipVertex &in, ScreenVertex &out) {
  const float q = 1.0f / in.pos[3];
  const ScreenMapping &m = s.mapping;
  const float sx = m.offsetX + m.scaleX * (in.pos[0] * q);
  const float sy = m.offsetY + m.scaleY * (in.pos[1] * q);
  // The guard band keeps sx, sy far inside the fixed-point range; clamp anyway for rounding.
  constexpr float kLimit = 4.0e6f;
  auto toFixed = [](float f) {
    f = f > -kLimit ? (f < kLimit ? f : kLimit) : -kLimit;
    return static_cast<int32_t>(std::lrint(f * kSubPixelScale));
  };
  out.x = toFixed(sx);
  out.y = toFixed(sy);
  out.z = m.offsetZ + m.scaleZ * (in.pos[2] * q);
  out.q = q;
  for (int i = 0; i < s.attrCount; ++i) out.attrQ[i] = in.attr[i] * q;
}

}  // namespace kvd3d::raster
