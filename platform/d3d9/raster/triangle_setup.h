#pragma once
// Triangle setup (fixed-point edges with the top-left fill rule, attribute planes) and the
// walk over the rows of pixels whose centres the triangle covers.
#include <cmath>
#include <cstdint>

#include "raster_types.h"

namespace kvd3d::raster {

// Pixels outside this rectangle are never touched: the viewport clipped to the target.
struct ScissorRect {
  int left, top, right, bottom;  // right and bottom exclusive
};

// A value that varies linearly over the screen: ref at (xRef, yStart), plus dx and dy per pixel.
struct Gradient {
  float ref, dx, dy;
};

struct EdgeFunction {
  int64_t rowBase;  // edge value at pixel column 0 of row 0, minus the fill-rule bias
  int64_t rowStep;  // change per row
  int64_t colStep;  // change per column, never zero unless the edge is horizontal
  double invColStep;
};

// The first column x with c + step * x >= 0 (step > 0), or the last one (step < 0). A
// floating-point estimate, then corrected with exact integer arithmetic.
inline int64_t edgeCrossing(int64_t c, int64_t step, double invStep) {
  int64_t x = static_cast<int64_t>(std::floor(static_cast<double>(-c) * invStep));
  if (step > 0) {
    while (c + step * x < 0) ++x;
    while (c + step * (x - 1) >= 0) --x;
  } else {
    while (c + step * x < 0) --x;
    while (c + step * (x + 1) >= 0) ++x;
  }
  return x;
}

struct TriangleSetup {
  int yStart, yEnd;  // rows [yStart, yEnd)
  int xRef;          // column of the reference point of the gradients
  int clipLeft, clipRight;
  EdgeFunction edge[3];
  Gradient z, q;
  int attrCount;
  Gradient attrQ[kMaxAttributes];      // attribute * q
  bool attrConstant[kMaxAttributes];   // constant over the triangle: the value is attrQ[i].ref
};

// Values at the start (column xRef) of one row.
struct SpanRow {
  int y;
  float z, q;
  float attrQ[kMaxAttributes];
};

// Culls by winding (D3DCULL_*) and by empty area; false when nothing is to be drawn.
bool setupTriangle(const ScreenVertex &a, const ScreenVertex &b, const ScreenVertex &c, const float *rawAttr[3],
                   int attrCount, DWORD cullMode, const ScissorRect &scissor, TriangleSetup &setup);

// Calls span(row, x0, x1) for every row of [yBegin, yEnd) with covered pixels [x0, x1),
// except rows for which hidden(y, z at column xRef) says every pixel would fail anyway.
// Each row's values depend only on the row, so any split of the rows between threads draws
// exactly the pixels of one walk over all of them.
template <typename SpanFn, typename HiddenFn>
void walkTriangleRows(const TriangleSetup &t, int yBegin, int yEnd, SpanFn &&span, HiddenFn &&hidden) {
  for (int y = yBegin; y < yEnd; ++y) {
    const float fy = static_cast<float>(y - t.yStart);
    const float rowZ = t.z.ref + t.z.dy * fy;
    if (hidden(y, rowZ)) continue;
    int64_t lo = t.clipLeft, hi = static_cast<int64_t>(t.clipRight) - 1;
    bool empty = false;
    for (const EdgeFunction &e : t.edge) {
      const int64_t c = e.rowBase + e.rowStep * y;  // inside when c + colStep * x >= 0
      if (e.colStep > 0) {
        const int64_t q = edgeCrossing(c, e.colStep, e.invColStep);
        if (q > lo) lo = q;
      } else if (e.colStep < 0) {
        const int64_t q = edgeCrossing(c, e.colStep, e.invColStep);
        if (q < hi) hi = q;
      } else if (c < 0) {
        empty = true;
      }
    }
    if (empty || lo > hi) continue;
    SpanRow row;
    row.y = y;
    row.z = rowZ;
    row.q = t.q.ref + t.q.dy * fy;
    for (int i = 0; i < t.attrCount; ++i) row.attrQ[i] = t.attrQ[i].ref + t.attrQ[i].dy * fy;
    span(row, static_cast<int>(lo), static_cast<int>(hi) + 1);
  }
}

template <typename SpanFn>
void walkTriangleRows(const TriangleSetup &t, int yBegin, int yEnd, SpanFn &&span) {
  walkTriangleRows(t, yBegin, yEnd, span, [](int, float) { return false; });
}

// Every row of the triangle.
template <typename SpanFn>
void walkTriangle(const TriangleSetup &t, SpanFn &&span) {
  walkTriangleRows(t, t.yStart, t.yEnd, span);
}

}  // namespace kvd3d::raster
