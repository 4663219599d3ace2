// The specialised routines cover polygons the way the scene draws them: stage 0 selects a
// 32-bit texture (colour and alpha; no texture reads as a white one), stage 1 optionally modulates by a second one,
// point sampling with wrap on power-of-two textures, optional source-alpha blending, and a
// LESSEQUAL or LESS depth test. Anything else takes the generic routine.
#include "pipeline_key.h"

namespace kvd3d::raster {
namespace {

bool isPowerOfTwo(UINT v) { return v != 0 && (v & (v - 1)) == 0; }

// A stage without a texture reads opaque white: a one-texel white texture gives the
// specialised routines exactly that, whatever the coordinates and sampler states.
const uint32_t kWhiteTexel = 0xFFFFFFFFu;
const DirectTexture kWhiteTexture = {reinterpret_cast<const BYTE *>(&kWhiteTexel), 4, 0, 0, 1.0f, 1.0f, 0u};

bool directTexture(const DrawState &state, int stage, DirectTexture &out) {
  const TextureView &t = state.texture[stage];
  const DWORD *sampler = state.samplerState[stage];
  if (!t.bits) {
    out = kWhiteTexture;
    return true;
  }
  if ((t.format != D3DFMT_A8R8G8B8 && t.format != D3DFMT_X8R8G8B8)) return false;
  if (!isPowerOfTwo(t.width) || !isPowerOfTwo(t.height) || t.pitch < static_cast<INT>(t.width) * 4) return false;
  // The routines address texels as 16-bit row and column times a 16-bit row length.
  if (t.pitch % 4 != 0 || t.pitch / 4 > 0x7FFF || t.height > 0x8000) return false;
  if (sampler[D3DSAMP_ADDRESSU] != D3DTADDRESS_WRAP || sampler[D3DSAMP_ADDRESSV] != D3DTADDRESS_WRAP) return false;
  if (sampler[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR) return false;
  out = DirectTexture{t.bits,
                      t.pitch,
                      static_cast<int32_t>(t.width - 1),
                      static_cast<int32_t>(t.height - 1),
                      static_cast<float>(t.width),
                      static_cast<float>(t.height),
                      t.format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u};
  return true;
}

bool selectsTexture(const DWORD *ss) {
  return ss[D3DTSS_COLOROP] == D3DTOP_SELECTARG1 && ss[D3DTSS_COLORARG1] == D3DTA_TEXTURE &&
         ss[D3DTSS_ALPHAOP] == D3DTOP_SELECTARG1 && ss[D3DTSS_ALPHAARG1] == D3DTA_TEXTURE &&
         ss[D3DTSS_RESULTARG] == D3DTA_CURRENT;
}

bool modulatesByTexture(const DWORD *ss) {
  const DWORD a1 = ss[D3DTSS_COLORARG1], a2 = ss[D3DTSS_COLORARG2];
  const bool colorOk = ss[D3DTSS_COLOROP] == D3DTOP_MODULATE &&
                       ((a1 == D3DTA_CURRENT && a2 == D3DTA_TEXTURE) || (a1 == D3DTA_TEXTURE && a2 == D3DTA_CURRENT));
  const bool alphaKeeps = (ss[D3DTSS_ALPHAOP] == D3DTOP_SELECTARG1 && ss[D3DTSS_ALPHAARG1] == D3DTA_CURRENT) ||
                          (ss[D3DTSS_ALPHAOP] == D3DTOP_SELECTARG2 && ss[D3DTSS_ALPHAARG2] == D3DTA_CURRENT);
  return colorOk && alphaKeeps && ss[D3DTSS_RESULTARG] == D3DTA_CURRENT;
}

bool blendKey(const OutputSetup &o, bool &blend) {
  if (!o.blend) {
    blend = false;
    return true;
  }
  const bool srcAlpha = o.srcColor == D3DBLEND_SRCALPHA && o.destColor == D3DBLEND_INVSRCALPHA &&
                        o.opColor == D3DBLENDOP_ADD;
  const bool sameAlpha = o.srcAlpha == o.srcColor && o.destAlpha == o.destColor && o.opAlpha == o.opColor;
  blend = true;
  return srcAlpha && sameAlpha;
}

}  // namespace

PipelineKey derivePipelineKey(const DrawState &state, DrawContext &ctx) {
  PipelineKey key;
  const CascadeSetup &c = ctx.cascade;
  const OutputSetup &o = ctx.output;
  if (c.stageCount < 1 || c.stageCount > 2 || c.addSpecular) return key;
  if (o.alphaTest || o.keepMask != 0) return key;
  if (!selectsTexture(state.stageState[0]) || !directTexture(state, 0, ctx.direct[0])) return key;
  if (c.stageCount == 2) {
    if (!modulatesByTexture(state.stageState[1])) return key;
    // A stage without a texture modulates by opaque white: an exact no-op.
    if (state.texture[1].bits) {
      if (!directTexture(state, 1, ctx.direct[1])) return key;
      key.twoTextures = true;
    }
  }
  if (!blendKey(o, key.blend)) return key;
  if (ctx.depthTest) {
    if (ctx.depthFunc == D3DCMP_LESSEQUAL)
      key.depth = DepthMode::LessEqual;
    else if (ctx.depthFunc == D3DCMP_LESS)
      key.depth = DepthMode::Less;
    else
      return key;
    key.depthWrite = ctx.depthWrite;
  }
  key.specialised = true;
  return key;
}

}  // namespace kvd3d::raster
