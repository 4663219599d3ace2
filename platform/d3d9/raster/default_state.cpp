// Creation and Reset defaults of every state a draw depends on.
#include "rasterizer.h"

#include <cstring>

namespace kvd3d::raster {
namespace {

DWORD floatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, sizeof d);
  return d;
}

void setIdentity(D3DMATRIX &m) {
  std::memset(&m, 0, sizeof m);
  m._11 = m._22 = m._33 = m._44 = 1.0f;
}

void setRenderStateDefaults(DWORD *rs, bool autoDepth) {
  rs[D3DRS_ZENABLE] = autoDepth ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_ALPHATESTENABLE] = FALSE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAREF] = 0;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_FOGEND] = floatBits(1.0f);
  rs[D3DRS_FOGDENSITY] = floatBits(1.0f);
  rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_STENCILMASK] = 0xFFFFFFFF;
  rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
  rs[D3DRS_CLIPPING] = TRUE;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORVERTEX] = TRUE;
  rs[D3DRS_LOCALVIEWER] = TRUE;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_POINTSIZE] = floatBits(1.0f);
  rs[D3DRS_POINTSIZE_MIN] = floatBits(1.0f);
  rs[D3DRS_POINTSCALE_A] = floatBits(1.0f);
  rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
  rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
  rs[D3DRS_POINTSIZE_MAX] = floatBits(64.0f);
  rs[D3DRS_COLORWRITEENABLE] = 0x0000000F;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  rs[D3DRS_CCW_STENCILFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_CCW_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_CCW_STENCILPASS] = D3DSTENCILOP_KEEP;
  rs[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_COLORWRITEENABLE1] = 0x0000000F;
  rs[D3DRS_COLORWRITEENABLE2] = 0x0000000F;
  rs[D3DRS_COLORWRITEENABLE3] = 0x0000000F;
  rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFF;
  rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
  rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
}

void setStageDefaults(DWORD *ss, int stage) {
  ss[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
  ss[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  ss[D3DTSS_COLORARG2] = D3DTA_CURRENT;
  ss[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
  ss[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
  ss[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
  ss[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(stage);
  ss[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
  ss[D3DTSS_COLORARG0] = D3DTA_CURRENT;
  ss[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
  ss[D3DTSS_RESULTARG] = D3DTA_CURRENT;
  ss[D3DTSS_CONSTANT] = 0xFFFFFFFF;
}

void setSamplerDefaults(DWORD *sa) {
  sa[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
  sa[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
  sa[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
  sa[D3DSAMP_BORDERCOLOR] = 0;
  sa[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
  sa[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
  sa[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
  sa[D3DSAMP_MAXANISOTROPY] = 1;
}

}  // namespace

void setDefaultState(DrawState &state, bool autoDepth, UINT targetWidth, UINT targetHeight) {
  state = DrawState{};
  setRenderStateDefaults(state.renderState, autoDepth);
  for (int s = 0; s < kMaxStages; ++s) setStageDefaults(state.stageState[s], s);
  for (int s = 0; s < kMaxSamplers; ++s) setSamplerDefaults(state.samplerState[s]);
  for (TextureView &t : state.texture) t = TextureView{};
  setIdentity(state.world);
  setIdentity(state.view);
  setIdentity(state.projection);
  state.viewport = D3DVIEWPORT9{0, 0, targetWidth, targetHeight, 0.0f, 1.0f};
  state.fvf = 0;
}

}  // namespace kvd3d::raster
