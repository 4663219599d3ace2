#pragma once
// Alpha test, depth quantisation and comparison, blending and the colour-write mask.
#include <cstdint>

#include "raster_types.h"

namespace kvd3d::raster {

struct OutputSetup {
  bool alphaTest;
  DWORD alphaFunc;
  uint32_t alphaRef;
  bool blend;
  DWORD srcColor, destColor, opColor;  // D3DBLEND_* / D3DBLENDOP_* for red, green, blue
  DWORD srcAlpha, destAlpha, opAlpha;  // and for alpha
  Color4 blendFactor;
  uint32_t keepMask;    // bits of the destination that the colour-write mask protects
  bool targetHasAlpha;  // X8R8G8B8 targets read alpha as 1 and store 0xFF
};

void prepareOutput(const DrawState &state, D3DFORMAT targetFormat, OutputSetup &out);

// The kept-when-true comparison of D3DCMP_* (unknown values compare as ALWAYS).
inline bool passes(DWORD func, uint32_t value, uint32_t reference) {
  switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return value < reference;
    case D3DCMP_EQUAL: return value == reference;
    case D3DCMP_LESSEQUAL: return value <= reference;
    case D3DCMP_GREATER: return value > reference;
    case D3DCMP_NOTEQUAL: return value != reference;
    case D3DCMP_GREATEREQUAL: return value >= reference;
    default: return true;
  }
}

// Round to nearest after clamping to [0, 1] (NaN reads as 0).
inline uint32_t toByte(float f) {
  f = f > 0.0f ? f : 0.0f;
  f = f < 1.0f ? f : 1.0f;
  return static_cast<uint32_t>(f * 255.0f + 0.5f);
}

// Depth stored in a 16-bit buffer: clamp to [0, 1] (NaN to 1), then round to nearest of 65535
// steps. The same expression is used by clear and by every draw routine.
inline uint32_t quantizeDepth(float z) {
  z = z < 1.0f ? z : 1.0f;
  z = z > 0.0f ? z : 0.0f;
  return static_cast<uint32_t>(z * 65535.0f + 0.5f);
}

// Blends src over the A8R8G8B8 value dst and applies the write mask.
uint32_t mergePixel(const OutputSetup &o, const Color4 &src, uint32_t dst);

}  // namespace kvd3d::raster
