// Clear: each rectangle (or the whole viewport) clipped to the viewport and the target.
#include <algorithm>
#include <cstring>

#include "cleared_bands.h"
#include "depth_bounds.h"
#include "draw_context.h"
#include "output_merger.h"
#include "rasterizer.h"

namespace kvd3d::raster {
namespace {

struct Box {
  int64_t left, top, right, bottom;
};

Box intersect(const Box &a, const Box &b) {
  return Box{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
             std::min(a.bottom, b.bottom)};
}

// A value made of one repeated byte (black, the far plane) goes through the library's
// memset: one call for rows that lie back to back, which writes whole lines faster than
// copying a row. Any other value fills the first row element by element and copies it
// into every further row: the library's memcpy moves whole vectors where a loop would not.
template <typename T>
void fillRows(BYTE *base, INT pitch, const ClearBox &b, int top, int bottom, T value) {
  BYTE *first = base + top * static_cast<ptrdiff_t>(pitch) + b.left * static_cast<ptrdiff_t>(sizeof(T));
  auto rowAt = [&](int y) { return first + (y - top) * static_cast<ptrdiff_t>(pitch); };
  const size_t rowBytes = static_cast<size_t>(b.right - b.left) * sizeof(T);
  const auto byte = static_cast<BYTE>(value);
  T repeated;
  std::memset(&repeated, byte, sizeof repeated);
  if (repeated == value) {
    if (rowBytes == static_cast<size_t>(pitch))
      std::memset(first, byte, rowBytes * static_cast<size_t>(bottom - top));
    else
      for (int y = top; y < bottom; ++y) std::memset(rowAt(y), byte, rowBytes);
    return;
  }
  for (size_t i = 0; i < rowBytes; i += sizeof(T)) std::memcpy(first + i, &value, sizeof(T));
  for (int y = top + 1; y < bottom; ++y) std::memcpy(rowAt(y), first, rowBytes);
}

}  // namespace

void runClear(const ClearJob &job, int y0, int y1) {
  const int top = std::max(y0, job.box.top), bottom = std::min(y1, job.box.bottom);
  if (top >= bottom) return;
  // Band by band: a band that still holds the value from the last clear is written only
  // where it has been drawn on since.
  for (int y = top, end; y < bottom; y = end) {
    end = std::min(bottom, (y / kBandRows + 1) * kBandRows);
    auto clearBuffer = [&](BYTE *base, INT pitch, auto value, ClearedBands *bands) {
      auto fill = [&, base, pitch, value](int x0, int x1) {
        fillRows(base, pitch, ClearBox{x0, y, x1, end}, y, end, value);
      };
      if (bands)
        bands->clear(base, y, end, job.box.left, job.box.right, value, fill);
      else
        fill(job.box.left, job.box.right);
    };
    if (job.color) clearBuffer(job.target.color, job.target.colorPitch, job.colorValue, job.colorBands);
    if (job.depth) clearBuffer(job.target.depth, job.target.depthPitch, job.depthValue, job.depthBands);
  }
  if (job.depth && job.bounds)
    for (int y = top; y < bottom; ++y) job.bounds->cleared(y, job.box.left, job.box.right, job.depthValue);
}

namespace {

// What a clear reaches without rects: the viewport, clipped to the target.
Box viewportArea(UINT width, UINT height, const D3DVIEWPORT9 &viewport) {
  return intersect(Box{0, 0, width, height}, Box{viewport.X, viewport.Y, static_cast<int64_t>(viewport.X) + viewport.Width,
                                                 static_cast<int64_t>(viewport.Y) + viewport.Height});
}

bool clearCovers(UINT width, UINT height, const Box &area, DWORD rectCount, const D3DRECT *rects) {
  return (rectCount == 0 || !rects) && area.left == 0 && area.top == 0 && area.right == width && area.bottom == height;
}

// The colour targets a clear writes: 32-bit pixels, rows at least as long as the width.
bool clearsColorOf(D3DFORMAT format, UINT width, INT pitch) {
  return (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) && pitch >= static_cast<INT>(width) * 4;
}

}  // namespace

bool Rasterizer::clearReplacesColor(D3DFORMAT format, UINT width, UINT height, INT pitch,
                                    const D3DVIEWPORT9 &viewport, DWORD rectCount, const D3DRECT *rects) {
  return clearsColorOf(format, width, pitch) && pitch == static_cast<INT>(width) * 4 &&
         clearCovers(width, height, viewportArea(width, height, viewport), rectCount, rects);
}

void Rasterizer::clear(const RenderTarget &target, const D3DVIEWPORT9 &viewport, DWORD rectCount,
                       const D3DRECT *rects, DWORD flags, D3DCOLOR color, float z, DWORD /*stencil*/) {
  const bool colorOk = target.color && clearsColorOf(target.colorFormat, target.width, target.colorPitch);
  const bool depthOk = target.depth && (target.depthFormat == D3DFMT_D16 || target.depthFormat == D3DFMT_D16_LOCKABLE) &&
                       target.depthPitch >= static_cast<INT>(target.width) * 2;
  ClearJob job{};
  job.target = target;
  job.color = (flags & D3DCLEAR_TARGET) && colorOk;
  job.depth = (flags & D3DCLEAR_ZBUFFER) && depthOk;
  if (!job.color && !job.depth) return;
  // An X8R8G8B8 target keeps no alpha; its fourth byte is always 0xFF.
  job.colorValue = target.colorFormat == D3DFMT_X8R8G8B8 ? (color | 0xFF000000u) : color;
  job.depthValue = static_cast<uint16_t>(quantizeDepth(z));
  const Box area = viewportArea(target.width, target.height, viewport);
  if (job.depth) job.bounds = depthBoundsFor(target, clearCovers(target.width, target.height, area, rectCount, rects));
  trackClearedBands(job);
  const DWORD boxes = rects ? rectCount : 0;
  for (DWORD i = 0; i < (boxes ? boxes : 1); ++i) {
    Box b = area;
    if (boxes) b = intersect(area, Box{rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2});
    if (b.left >= b.right || b.top >= b.bottom) continue;
    // Inside the target, so every edge fits an int.
    job.box = ClearBox{static_cast<int>(b.left), static_cast<int>(b.top), static_cast<int>(b.right),
                       static_cast<int>(b.bottom)};
    submitClear(job);
  }
}

}  // namespace kvd3d::raster
