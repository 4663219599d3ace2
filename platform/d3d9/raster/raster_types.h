#pragma once
// Shapes that travel between the stages of the pipeline: clip-space vertices, screen
// vertices and the colour type of the pixel stages.
#include "rasterizer.h"

#include <cstdint>

namespace kvd3d::raster {

// Interpolated attributes, in this order: diffuse RGBA, specular RGBA, then (u, v) for every
// texture stage that takes part in the draw.
constexpr int kDiffuseAttr = 0;
constexpr int kSpecularAttr = 4;
constexpr int kTexCoordAttr = 8;
constexpr int kMaxAttributes = kTexCoordAttr + 2 * kMaxStages;

// Sub-pixel precision of the edge functions: 8 fractional bits.
constexpr int kSubPixelBits = 8;
constexpr int kSubPixelScale = 1 << kSubPixelBits;

struct ClipVertex {
  float pos[4];  // homogeneous clip-space position
  float attr[kMaxAttributes];
};

// A vertex after division by w and the viewport mapping; attributes are premultiplied by q.
struct ScreenVertex {
  int32_t x, y;  // fixed point, kSubPixelBits fractional bits
  float z;       // depth in [0, 1] before quantisation
  float q;       // 1 / w
  float attrQ[kMaxAttributes];
};

struct Color4 {
  float r, g, b, a;
};

inline Color4 colorFromArgb(DWORD argb) {
  constexpr float k = 1.0f / 255.0f;
  return Color4{static_cast<float>((argb >> 16) & 0xFF) * k, static_cast<float>((argb >> 8) & 0xFF) * k,
                static_cast<float>(argb & 0xFF) * k, static_cast<float>(argb >> 24) * k};
}

}  // namespace kvd3d::raster
