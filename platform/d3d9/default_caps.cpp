#include "d3d9/default_caps.h"

#include "d3d9/control_state.h"

namespace kvd3d {

D3DCAPS9 defaultCaps() {
  D3DCAPS9 caps{};
  caps.DeviceType = D3DDEVTYPE_HAL;
  caps.AdapterOrdinal = 0;
  caps.Caps2 = D3DCAPS2_DYNAMICTEXTURES;
  caps.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
  // Vertex processing runs on the processor but the device accepts hardware and mixed
  // vertex processing, so it reports transform-and-light support for them. System-memory
  // textures cannot be bound.
  caps.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY | D3DDEVCAPS_TEXTUREVIDEOMEMORY |
                 D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX |
                 D3DDEVCAPS_HWTRANSFORMANDLIGHT;
  caps.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                           D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_CLIPTLVERTS | D3DPMISCCAPS_BLENDOP |
                           D3DPMISCCAPS_TSSARGTEMP | D3DPMISCCAPS_PERSTAGECONSTANT |
                           D3DPMISCCAPS_SEPARATEALPHABLEND;
  caps.RasterCaps = D3DPRASTERCAPS_ZTEST;
  caps.ZCmpCaps = caps.AlphaCmpCaps = 0xff;  // all eight comparison functions
  caps.SrcBlendCaps = caps.DestBlendCaps =
      D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR | D3DPBLENDCAPS_INVSRCCOLOR |
      D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA | D3DPBLENDCAPS_DESTALPHA | D3DPBLENDCAPS_INVDESTALPHA |
      D3DPBLENDCAPS_DESTCOLOR | D3DPBLENDCAPS_INVDESTCOLOR | D3DPBLENDCAPS_SRCALPHASAT |
      D3DPBLENDCAPS_BOTHINVSRCALPHA | D3DPBLENDCAPS_BLENDFACTOR;
  caps.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
  // Any size is allowed, not only powers of two.
  caps.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP |
                     D3DPTEXTURECAPS_CUBEMAP | D3DPTEXTURECAPS_MIPCUBEMAP | D3DPTEXTURECAPS_VOLUMEMAP |
                     D3DPTEXTURECAPS_MIPVOLUMEMAP;
  caps.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                           D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR;
  caps.CubeTextureFilterCaps = caps.VolumeTextureFilterCaps = 0;
  caps.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                            D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_INDEPENDENTUV | D3DPTADDRESSCAPS_MIRRORONCE;
  caps.VolumeTextureAddressCaps = 0;
  caps.LineCaps = 0;  // lines and points are not drawn
  caps.MaxTextureWidth = 4096;
  caps.MaxTextureHeight = 4096;
  caps.MaxVolumeExtent = 256;
  caps.MaxTextureRepeat = 8192;
  caps.MaxTextureAspectRatio = 4096;
  caps.MaxAnisotropy = 1;
  caps.MaxVertexW = 1e10f;
  // Triangles are clipped against the near and far planes only and scissored to the
  // viewport while filling, so a wide band is honest.
  caps.GuardBandLeft = -32768.f;
  caps.GuardBandTop = -32768.f;
  caps.GuardBandRight = 32767.f;
  caps.GuardBandBottom = 32767.f;
  caps.ExtentsAdjust = 0.f;
  caps.StencilCaps = 0;  // no stencil: the only depth buffers drawn into are 16-bit
  caps.FVFCaps = 8 | D3DFVFCAPS_DONOTSTRIPELEMENTS;
  caps.TextureOpCaps = 0x3ffffff & ~(D3DTEXOPCAPS_PREMODULATE | D3DTEXOPCAPS_BUMPENVMAP |
                                     D3DTEXOPCAPS_BUMPENVMAPLUMINANCE);
  caps.MaxTextureBlendStages = 8;
  caps.MaxSimultaneousTextures = 8;
  caps.VertexProcessingCaps = 0;
  caps.MaxActiveLights = 0;
  caps.MaxUserClipPlanes = 0;
  caps.MaxVertexBlendMatrices = 0;
  caps.MaxVertexBlendMatrixIndex = 0;
  caps.MaxPointSize = 1.f;
  caps.MaxPrimitiveCount = 0xfffff;
  caps.MaxVertexIndex = 0xffffff;
  caps.MaxStreams = 1;
  caps.MaxStreamStride = 255;
  caps.VertexShaderVersion = 0;  // fixed function only
  caps.MaxVertexShaderConst = 0;
  caps.PixelShaderVersion = 0;
  caps.PixelShader1xMaxValue = 0.f;
  caps.DevCaps2 = D3DDEVCAPS2_CAN_STRETCHRECT_FROM_TEXTURES;
  caps.MasterAdapterOrdinal = 0;
  caps.AdapterOrdinalInGroup = 0;
  caps.NumberOfAdaptersInGroup = 1;
  caps.DeclTypes = 0;
  caps.NumSimultaneousRTs = 1;
  caps.StretchRectFilterCaps =
      D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
  return caps;
}

D3DCAPS9 currentCaps(D3DDEVTYPE type) {
  const ControlState &state = control();
  D3DCAPS9 caps = state.capsOverride ? *state.capsOverride : defaultCaps();
  caps.DeviceType = type;
  caps.AdapterOrdinal = 0;
  return caps;
}

}  // namespace kvd3d
