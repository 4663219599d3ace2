#pragma once
// Everything the pixel routines read during one draw, derived once from the DrawState.
#include "output_merger.h"
#include "texture_stages.h"
#include "triangle_setup.h"

namespace kvd3d::raster {

// A 32-bit texture the specialised routines read directly (power-of-two, wrap, point).
struct DirectTexture {
  const BYTE *bits;
  int pitch;
  int32_t maskU, maskV;
  float width, height;
  uint32_t alphaOr;  // 0xFF000000 for X8R8G8B8: the texture has no alpha
};

class DepthBounds;
class ClearedBands;

struct DrawContext {
  RenderTarget target;
  DepthBounds *bounds;  // of the depth buffer, when the draw tests depth; may be null
  bool depthTest;   // ZENABLE on and a depth buffer bound
  bool depthWrite;  // and ZWRITEENABLE
  DWORD depthFunc;
  CascadeSetup cascade;
  OutputSetup output;
  DirectTexture direct[2];
};

using SpanRoutine = void (*)(const DrawContext &ctx, const TriangleSetup &tri, const SpanRow &row, int x0, int x1);

// Any state: the texture cascade and output merger run per pixel.
void genericSpan(const DrawContext &ctx, const TriangleSetup &tri, const SpanRow &row, int x0, int x1);

// One rectangle of a Clear, inside the target.
struct ClearBox {
  int left, top, right, bottom;  // right and bottom exclusive
};
struct ClearJob {
  RenderTarget target;
  bool color, depth;
  uint32_t colorValue;
  uint16_t depthValue;
  ClearBox box;
  DepthBounds *bounds;  // kept up to date by a depth clear; may be null
  ClearedBands *colorBands, *depthBands;  // what the buffers' bands hold; may be null
};
// Fills the box's part of rows [y0, y1).
void runClear(const ClearJob &job, int y0, int y1);

inline uint32_t *colorRow(const RenderTarget &t, int y) {
  return reinterpret_cast<uint32_t *>(t.color + static_cast<ptrdiff_t>(y) * t.colorPitch);
}
inline uint16_t *depthRow(const RenderTarget &t, int y) {
  return reinterpret_cast<uint16_t *>(t.depth + static_cast<ptrdiff_t>(y) * t.depthPitch);
}

}  // namespace kvd3d::raster
