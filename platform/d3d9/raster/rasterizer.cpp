// Draw orchestration: validate, derive the per-draw context once, transform every vertex
// once, then clip, set up and fill each triangle of the list, strip or fan.
#include "rasterizer.h"

#include <algorithm>
#include <new>
#include <vector>

#include "clipper.h"
#include "draw_context.h"
#include "pipeline_key.h"
#include "triangle_setup.h"
#include "vertex_layout.h"
#include "vertex_processing.h"

namespace kvd3d::raster {

struct Rasterizer::Impl {
  // Reused from draw to draw: no allocation once they have grown to the largest draw.
  std::vector<ClipVertex> clip;
  std::vector<ScreenVertex> screen;
  std::vector<unsigned> outcode;
  DrawContext ctx;
  VertexSetup vertexSetup;
  SpanRoutine routine = nullptr;
  DWORD cullMode = D3DCULL_NONE;
  bool flatShading = false;
  bool specialisedEnabled = true;
  bool avx2Allowed = true;
  bool lastSpecialised = false;
  ScissorRect scissor{};

  void drawTriangle(const ScreenVertex &a, const ScreenVertex &b, const ScreenVertex &c, const float *raw[3]) {
    TriangleSetup tri;
    if (!setupTriangle(a, b, c, raw, vertexSetup.attrCount, cullMode, scissor, tri)) return;
    walkTriangle(tri, [&](const SpanRow &row, int x0, int x1) { routine(ctx, tri, row, x0, x1); });
  }

  void flatten(ScreenVertex &v, float raw[kMaxAttributes], const ClipVertex &provoking) {
    for (int i = 0; i < kTexCoordAttr; ++i) {
      raw[i] = provoking.attr[i];
      v.attrQ[i] = provoking.attr[i] * v.q;
    }
  }

  void drawClipped(UINT i0, UINT i1, UINT i2, UINT provoking);
};

namespace {

bool isDepth16(D3DFORMAT f) { return f == D3DFMT_D16 || f == D3DFMT_D16_LOCKABLE; }

bool usableColorTarget(const RenderTarget &t) {
  if (!t.color || (t.colorFormat != D3DFMT_A8R8G8B8 && t.colorFormat != D3DFMT_X8R8G8B8)) return false;
  if (t.width == 0 || t.height == 0 || t.width > 0x8000 || t.height > 0x8000) return false;
  return t.colorPitch >= static_cast<INT>(t.width) * 4;
}

bool usableDepthTarget(const RenderTarget &t) {
  return t.depth && isDepth16(t.depthFormat) && t.depthPitch >= static_cast<INT>(t.width) * 2;
}

// The viewport clipped to the target; pixels outside are never written.
ScissorRect viewportRect(const D3DVIEWPORT9 &vp, const RenderTarget &t) {
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(vp.X) + vp.Width, t.width);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(vp.Y) + vp.Height, t.height);
  ScissorRect r;
  r.left = static_cast<int>(std::min<int64_t>(vp.X, t.width));
  r.top = static_cast<int>(std::min<int64_t>(vp.Y, t.height));
  r.right = static_cast<int>(std::max<int64_t>(right, r.left));
  r.bottom = static_cast<int>(std::max<int64_t>(bottom, r.top));
  return r;
}

}  // namespace

void Rasterizer::Impl::drawClipped(UINT i0, UINT i1, UINT i2, UINT provoking) {
  const unsigned o0 = outcode[i0], o1 = outcode[i1], o2 = outcode[i2];
  if (((o0 | o1 | o2) & kOutcodeInvalid) || (o0 & o1 & o2)) return;
  const ClipVertex &pv = clip[provoking];
  if ((o0 | o1 | o2) == 0) {
    if (!flatShading) {
      const float *raw[3] = {clip[i0].attr, clip[i1].attr, clip[i2].attr};
      drawTriangle(screen[i0], screen[i1], screen[i2], raw);
      return;
    }
    ScreenVertex v[3] = {screen[i0], screen[i1], screen[i2]};
    float rawStore[3][kMaxAttributes];
    const UINT idx[3] = {i0, i1, i2};
    for (int k = 0; k < 3; ++k) {
      std::copy(clip[idx[k]].attr, clip[idx[k]].attr + kMaxAttributes, rawStore[k]);
      flatten(v[k], rawStore[k], pv);
    }
    const float *raw[3] = {rawStore[0], rawStore[1], rawStore[2]};
    drawTriangle(v[0], v[1], v[2], raw);
    return;
  }
  ClipVertex polygon[kMaxClippedVertices];
  const int count = clipTriangle(vertexSetup.volume, o0 | o1 | o2, clip[i0], clip[i1], clip[i2],
                                 vertexSetup.attrCount, polygon);
  if (count < 3) return;
  ScreenVertex projected[kMaxClippedVertices];
  for (int k = 0; k < count; ++k) {
    projectVertex(vertexSetup, polygon[k], projected[k]);
    if (flatShading) flatten(projected[k], polygon[k].attr, pv);
  }
  for (int k = 1; k + 1 < count; ++k) {
    const float *raw[3] = {polygon[0].attr, polygon[k].attr, polygon[k + 1].attr};
    drawTriangle(projected[0], projected[k], projected[k + 1], raw);
  }
}

Rasterizer::Rasterizer() : impl_(new Impl) {}
Rasterizer::~Rasterizer() { delete impl_; }

void Rasterizer::setSpecialisedRoutines(bool enabled, bool allowAvx2) {
  impl_->specialisedEnabled = enabled;
  impl_->avx2Allowed = allowAvx2;
}
bool Rasterizer::lastDrawSpecialised() const { return impl_->lastSpecialised; }

HRESULT Rasterizer::drawPrimitiveUP(const DrawState &state, const RenderTarget &target, D3DPRIMITIVETYPE type,
                                    UINT primitiveCount, const void *vertices, UINT stride) {
  Impl &m = *impl_;
  VertexLayout layout;
  if (!vertices || !parseFvf(state.fvf, layout) || stride < static_cast<UINT>(layout.size))
    return D3DERR_INVALIDCALL;
  if (!usableColorTarget(target)) return D3DERR_INVALIDCALL;
  const bool zEnable = state.renderState[D3DRS_ZENABLE] != D3DZB_FALSE;
  if (zEnable && target.depth && !usableDepthTarget(target)) return D3DERR_INVALIDCALL;

  uint64_t vertexCount;
  switch (type) {
    case D3DPT_TRIANGLELIST: vertexCount = 3ull * primitiveCount; break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: vertexCount = primitiveCount + 2ull; break;
    default: return D3D_OK;  // points and lines are not rasterised
  }
  if (primitiveCount == 0) return D3D_OK;
  if (vertexCount > 0x7FFFFFFF / sizeof(ClipVertex)) return E_OUTOFMEMORY;

  DrawContext &ctx = m.ctx;
  ctx.target = target;
  ctx.depthTest = zEnable && target.depth != nullptr;
  ctx.depthWrite = ctx.depthTest && state.renderState[D3DRS_ZWRITEENABLE] != 0;
  ctx.depthFunc = state.renderState[D3DRS_ZFUNC];
  if (!prepareCascade(state, ctx.cascade)) return D3DERR_INVALIDCALL;
  // Adding specular needs a specular colour: a vertex without one adds nothing.
  ctx.cascade.addSpecular = ctx.cascade.addSpecular && layout.specularOffset >= 0;
  prepareOutput(state, target.colorFormat, ctx.output);

  m.scissor = viewportRect(state.viewport, target);
  if (m.scissor.left >= m.scissor.right || m.scissor.top >= m.scissor.bottom) return D3D_OK;

  const PipelineKey key = derivePipelineKey(state, ctx);
  const SpanRoutine special = m.specialisedEnabled ? specialisedSpan(key, m.avx2Allowed) : nullptr;
  m.routine = special ? special : genericSpan;
  m.lastSpecialised = special != nullptr;
  m.cullMode = state.renderState[D3DRS_CULLMODE];
  m.flatShading = state.renderState[D3DRS_SHADEMODE] == D3DSHADE_FLAT;

  prepareVertexSetup(state, layout, ctx.cascade.stageCount, m.vertexSetup);
  const size_t count = static_cast<size_t>(vertexCount);
  try {
    if (m.clip.size() < count) {
      m.clip.resize(count);
      m.screen.resize(count);
      m.outcode.resize(count);
    }
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  const BYTE *src = static_cast<const BYTE *>(vertices);
  for (size_t i = 0; i < count; ++i) {
    fetchVertex(m.vertexSetup, src + i * stride, m.clip[i]);
    m.outcode[i] = computeOutcode(m.vertexSetup.volume, m.clip[i]);
    if (m.outcode[i] == 0) projectVertex(m.vertexSetup, m.clip[i], m.screen[i]);
  }

  for (UINT p = 0; p < primitiveCount; ++p) {
    switch (type) {
      case D3DPT_TRIANGLELIST: m.drawClipped(3 * p, 3 * p + 1, 3 * p + 2, 3 * p); break;
      case D3DPT_TRIANGLESTRIP:
        // Every other triangle of a strip is wound the other way round.
        if (p & 1)
          m.drawClipped(p + 1, p, p + 2, p);
        else
          m.drawClipped(p, p + 1, p + 2, p);
        break;
      default: m.drawClipped(0, p + 1, p + 2, p + 1); break;
    }
  }
  return D3D_OK;
}

}  // namespace kvd3d::raster
