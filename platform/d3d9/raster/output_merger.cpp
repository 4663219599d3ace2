// Blending works on floats in [0, 1] and rounds once at the end; alpha is blended like the
// colour channels unless separate alpha blending is on.
#include "output_merger.h"

namespace kvd3d::raster {
namespace {

struct Factors {
  float r, g, b, a;
};

Factors factor(DWORD blend, const Color4 &s, const Color4 &d, const Color4 &k, bool forSource) {
  switch (blend) {
    case D3DBLEND_ZERO: return {0, 0, 0, 0};
    case D3DBLEND_ONE: return {1, 1, 1, 1};
    case D3DBLEND_SRCCOLOR: return {s.r, s.g, s.b, s.a};
    case D3DBLEND_INVSRCCOLOR: return {1 - s.r, 1 - s.g, 1 - s.b, 1 - s.a};
    case D3DBLEND_SRCALPHA: return {s.a, s.a, s.a, s.a};
    case D3DBLEND_INVSRCALPHA: return {1 - s.a, 1 - s.a, 1 - s.a, 1 - s.a};
    case D3DBLEND_DESTALPHA: return {d.a, d.a, d.a, d.a};
    case D3DBLEND_INVDESTALPHA: return {1 - d.a, 1 - d.a, 1 - d.a, 1 - d.a};
    case D3DBLEND_DESTCOLOR: return {d.r, d.g, d.b, d.a};
    case D3DBLEND_INVDESTCOLOR: return {1 - d.r, 1 - d.g, 1 - d.b, 1 - d.a};
    case D3DBLEND_SRCALPHASAT: {
      const float f = s.a < 1 - d.a ? s.a : 1 - d.a;
      return {f, f, f, 1};
    }
    // Obsolete pair: the source gets As (or 1 - As) and the destination the opposite.
    case D3DBLEND_BOTHSRCALPHA:
      return forSource ? Factors{s.a, s.a, s.a, s.a} : Factors{1 - s.a, 1 - s.a, 1 - s.a, 1 - s.a};
    case D3DBLEND_BOTHINVSRCALPHA:
      return forSource ? Factors{1 - s.a, 1 - s.a, 1 - s.a, 1 - s.a} : Factors{s.a, s.a, s.a, s.a};
    case D3DBLEND_BLENDFACTOR: return {k.r, k.g, k.b, k.a};
    case D3DBLEND_INVBLENDFACTOR: return {1 - k.r, 1 - k.g, 1 - k.b, 1 - k.a};
    default: return forSource ? Factors{1, 1, 1, 1} : Factors{0, 0, 0, 0};
  }
}

float combine(DWORD op, float s, float fs, float d, float fd) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return s * fs - d * fd;
    case D3DBLENDOP_REVSUBTRACT: return d * fd - s * fs;
    case D3DBLENDOP_MIN: return s < d ? s : d;
    case D3DBLENDOP_MAX: return s > d ? s : d;
    default: return s * fs + d * fd;
  }
}

}  // namespace

void prepareOutput(const DrawState &state, D3DFORMAT targetFormat, OutputSetup &o) {
  const DWORD *rs = state.renderState;
  o.alphaTest = rs[D3DRS_ALPHATESTENABLE] != 0;
  o.alphaFunc = rs[D3DRS_ALPHAFUNC];
  o.alphaRef = rs[D3DRS_ALPHAREF] & 0xFF;
  o.blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
  o.srcColor = rs[D3DRS_SRCBLEND];
  o.destColor = rs[D3DRS_DESTBLEND];
  o.opColor = rs[D3DRS_BLENDOP];
  // The obsolete pair, as the source blend, sets the destination's factor too, whatever the
  // destination blend says.
  auto bothFactors = [](DWORD blend) { return blend == D3DBLEND_BOTHSRCALPHA || blend == D3DBLEND_BOTHINVSRCALPHA; };
  if (bothFactors(o.srcColor)) o.destColor = o.srcColor;
  if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
    o.srcAlpha = rs[D3DRS_SRCBLENDALPHA];
    o.destAlpha = bothFactors(o.srcAlpha) ? o.srcAlpha : rs[D3DRS_DESTBLENDALPHA];
    o.opAlpha = rs[D3DRS_BLENDOPALPHA];
  } else {
    o.srcAlpha = o.srcColor;
    o.destAlpha = o.destColor;
    o.opAlpha = o.opColor;
  }
  o.blendFactor = colorFromArgb(rs[D3DRS_BLENDFACTOR]);
  const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
  uint32_t write = 0;
  if (mask & D3DCOLORWRITEENABLE_RED) write |= 0x00FF0000;
  if (mask & D3DCOLORWRITEENABLE_GREEN) write |= 0x0000FF00;
  if (mask & D3DCOLORWRITEENABLE_BLUE) write |= 0x000000FF;
  if (mask & D3DCOLORWRITEENABLE_ALPHA) write |= 0xFF000000;
  o.targetHasAlpha = targetFormat == D3DFMT_A8R8G8B8;
  o.keepMask = ~write;
}

uint32_t mergePixel(const OutputSetup &o, const Color4 &src, uint32_t dst) {
  uint32_t out;
  if (o.blend) {
    Color4 d = colorFromArgb(dst);
    if (!o.targetHasAlpha) d.a = 1.0f;
    const Factors fs = factor(o.srcColor, src, d, o.blendFactor, true);
    const Factors fd = factor(o.destColor, src, d, o.blendFactor, false);
    const float r = combine(o.opColor, src.r, fs.r, d.r, fd.r);
    const float g = combine(o.opColor, src.g, fs.g, d.g, fd.g);
    const float b = combine(o.opColor, src.b, fs.b, d.b, fd.b);
    float a;
    if (o.srcAlpha == o.srcColor && o.destAlpha == o.destColor && o.opAlpha == o.opColor) {
      a = combine(o.opAlpha, src.a, fs.a, d.a, fd.a);
    } else {
      const Factors fsa = factor(o.srcAlpha, src, d, o.blendFactor, true);
      const Factors fda = factor(o.destAlpha, src, d, o.blendFactor, false);
      a = combine(o.opAlpha, src.a, fsa.a, d.a, fda.a);
    }
    out = toByte(a) << 24 | toByte(r) << 16 | toByte(g) << 8 | toByte(b);
  } else {
    out = toByte(src.a) << 24 | toByte(src.r) << 16 | toByte(src.g) << 8 | toByte(src.b);
  }
  out = (out & ~o.keepMask) | (dst & o.keepMask);
  if (!o.targetHasAlpha) out |= 0xFF000000;
  return out;
}

}  // namespace kvd3d::raster
