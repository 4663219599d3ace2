// Point sampling picks the texel whose square contains (u, v); bilinear filtering weighs the
// four texels around u * width - 0.5. Magnification decides the filter (see docs).
#include "sampler.h"

namespace kvd3d::raster {
namespace {

int32_t positiveModulo(int32_t i, int32_t n) {
  const int32_t m = i % n;
  return m < 0 ? m + n : m;
}

void fetchAddressed(const SamplerSetup &s, int32_t x, int32_t y, float out[4]) {
  x = addressTexel(x, s.width, s.addressU);
  y = addressTexel(y, s.height, s.addressV);
  if (x < 0 || y < 0) {
    for (int c = 0; c < 4; ++c) out[c] = s.border[c];
    return;
  }
  s.fetch(*s.view, x, y, out);
}

}  // namespace

bool prepareSampler(const TextureView &view, const DWORD *samplerState, SamplerSetup &setup) {
  setup = SamplerSetup{};
  if (!isUsableTexture(view)) return false;
  setup.view = &view;
  setup.fetch = findTexelFormat(view.format)->fetch;
  setup.width = static_cast<int>(view.width);
  setup.height = static_cast<int>(view.height);
  setup.addressU = samplerState[D3DSAMP_ADDRESSU];
  setup.addressV = samplerState[D3DSAMP_ADDRESSV];
  const Color4 border = colorFromArgb(samplerState[D3DSAMP_BORDERCOLOR]);
  setup.border[0] = border.r;
  setup.border[1] = border.g;
  setup.border[2] = border.b;
  setup.border[3] = border.a;
  setup.linear = samplerState[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR;
  return true;
}

int32_t addressTexel(int32_t i, int32_t size, DWORD mode) {
  switch (mode) {
    case D3DTADDRESS_MIRROR: {
      const int32_t m = positiveModulo(i, 2 * size);
      return m < size ? m : 2 * size - 1 - m;
    }
    case D3DTADDRESS_CLAMP:
      return i < 0 ? 0 : (i >= size ? size - 1 : i);
    case D3DTADDRESS_BORDER:
      return (i < 0 || i >= size) ? -1 : i;
    case D3DTADDRESS_MIRRORONCE: {
      const int32_t m = i < 0 ? -1 - i : i;
      return m >= size ? size - 1 : m;
    }
    default:  // WRAP, and any unknown mode
      return positiveModulo(i, size);
  }
}

void sampleTexture(const SamplerSetup &s, float u, float v, float out[4]) {
  const float tu = u * static_cast<float>(s.width);
  const float tv = v * static_cast<float>(s.height);
  if (!s.linear) {
    fetchAddressed(s, floorToTexel(tu), floorToTexel(tv), out);
    return;
  }
  const float su = tu - 0.5f, sv = tv - 0.5f;
  const int32_t x0 = floorToTexel(su), y0 = floorToTexel(sv);
  float fu = su - static_cast<float>(x0), fv = sv - static_cast<float>(y0);
  // Coordinates beyond the clamp range (or NaN) degrade to the texel at the clamp edge.
  if (!(fu >= 0.0f && fu <= 1.0f)) fu = 0.0f;
  if (!(fv >= 0.0f && fv <= 1.0f)) fv = 0.0f;
  float t00[4], t10[4], t01[4], t11[4];
  fetchAddressed(s, x0, y0, t00);
  fetchAddressed(s, x0 + 1, y0, t10);
  fetchAddressed(s, x0, y0 + 1, t01);
  fetchAddressed(s, x0 + 1, y0 + 1, t11);
  for (int c = 0; c < 4; ++c) {
    const float top = t00[c] + (t10[c] - t00[c]) * fu;
    const float bottom = t01[c] + (t11[c] - t01[c]) * fu;
    out[c] = top + (bottom - top) * fv;
  }
}

}  // namespace kvd3d::raster
