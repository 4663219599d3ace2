#pragma once
// Texture addressing and filtering of level 0.
#include <cstdint>

#include "raster_types.h"
#include "texel_formats.h"

namespace kvd3d::raster {

struct SamplerSetup {
  const TextureView *view = nullptr;
  TexelFetch fetch = nullptr;
  int width = 0, height = 0;
  DWORD addressU = D3DTADDRESS_WRAP, addressV = D3DTADDRESS_WRAP;
  float border[4] = {};
  bool linear = false;
};

// False when the view cannot be sampled (unknown format, empty, inconsistent pitch).
bool prepareSampler(const TextureView &view, const DWORD *samplerState, SamplerSetup &setup);

// floor(t) as an integer, for any float: the argument is first clamped to +-2^30 (NaN to the
// low end), so the result is the same in the scalar and the vector routines.
inline int32_t floorToTexel(float t) {
  constexpr float kLimit = 1073741824.0f;
  t = t > -kLimit ? t : -kLimit;
  t = t < kLimit ? t : kLimit;
  int32_t i = static_cast<int32_t>(t);
  if (static_cast<float>(i) > t) --i;
  return i;
}

// Applies an address mode to a texel index; -1 means "outside" (border colour).
int32_t addressTexel(int32_t i, int32_t size, DWORD mode);

// The filtered texel at (u, v): texel i = floor(u * width) for point sampling.
void sampleTexture(const SamplerSetup &s, float u, float v, float out[4]);

}  // namespace kvd3d::raster
