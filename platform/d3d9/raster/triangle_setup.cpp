#include "triangle_setup.h"

#include <algorithm>

namespace kvd3d::raster {
namespace {

int64_t floorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int64_t ceilDiv(int64_t a, int64_t b) { return -floorDiv(-a, b); }

// Edge from a to b of a clockwise (on screen, y down) triangle: positive inside. Pixel
// centres sit at integer coordinates; a centre exactly on a top edge (horizontal, interior
// below) or a left edge (going up) belongs to the triangle, on any other edge it does not.
EdgeFunction makeEdge(int32_t ax, int32_t ay, int32_t bx, int32_t by) {
  const int64_t dx = static_cast<int64_t>(bx) - ax, dy = static_cast<int64_t>(by) - ay;
  const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
  EdgeFunction e;
  // E(px, py) = dx * (py * S - ay) - dy * (px * S - ax), S = sub-pixel scale.
  e.rowBase = -dx * ay + dy * ax - (topLeft ? 0 : 1);
  e.rowStep = dx * kSubPixelScale;
  e.colStep = -dy * kSubPixelScale;
  e.invColStep = e.colStep ? 1.0 / static_cast<double>(e.colStep) : 0.0;
  return e;
}

Gradient planeOf(double a0, double a1, double a2, double x0, double y0, double e1x, double e1y, double e2x,
                 double e2y, double invArea, double xRef, double yRef) {
  const double d1 = a1 - a0, d2 = a2 - a0;
  const double dx = (d1 * e2y - d2 * e1y) * invArea;
  const double dy = (d2 * e1x - d1 * e2x) * invArea;
  return Gradient{static_cast<float>(a0 + dx * (xRef - x0) + dy * (yRef - y0)), static_cast<float>(dx),
                  static_cast<float>(dy)};
}

}  // namespace

bool setupTriangle(const ScreenVertex &a, const ScreenVertex &b, const ScreenVertex &c, const float *rawAttr[3],
                   int attrCount, DWORD cullMode, const ScissorRect &scissor, TriangleSetup &t) {
  const int64_t area = (static_cast<int64_t>(b.x) - a.x) * (static_cast<int64_t>(c.y) - a.y) -
                       (static_cast<int64_t>(c.x) - a.x) * (static_cast<int64_t>(b.y) - a.y);
  if (area == 0) return false;
  // Positive area is clockwise on screen; CCW culling drops the others.
  if (cullMode == D3DCULL_CCW && area < 0) return false;
  if (cullMode == D3DCULL_CW && area > 0) return false;
  const ScreenVertex *v[3] = {&a, &b, &c};
  const float *raw[3] = {rawAttr[0], rawAttr[1], rawAttr[2]};
  if (area < 0) {
    std::swap(v[1], v[2]);
    std::swap(raw[1], raw[2]);
  }

  const int32_t minX = std::min({v[0]->x, v[1]->x, v[2]->x}), maxX = std::max({v[0]->x, v[1]->x, v[2]->x});
  const int32_t minY = std::min({v[0]->y, v[1]->y, v[2]->y}), maxY = std::max({v[0]->y, v[1]->y, v[2]->y});
  t.yStart = static_cast<int>(std::max<int64_t>(ceilDiv(minY, kSubPixelScale), scissor.top));
  t.yEnd = static_cast<int>(std::min<int64_t>(floorDiv(maxY, kSubPixelScale) + 1, scissor.bottom));
  t.clipLeft = static_cast<int>(std::max<int64_t>(ceilDiv(minX, kSubPixelScale), scissor.left));
  t.clipRight = static_cast<int>(std::min<int64_t>(floorDiv(maxX, kSubPixelScale) + 1, scissor.right));
  if (t.yStart >= t.yEnd || t.clipLeft >= t.clipRight) return false;
  t.xRef = t.clipLeft;
  for (int i = 0; i < 3; ++i) {
    const ScreenVertex &p = *v[i], &n = *v[(i + 1) % 3];
    t.edge[i] = makeEdge(p.x, p.y, n.x, n.y);
  }

  constexpr double kInvScale = 1.0 / kSubPixelScale;
  const double x0 = v[0]->x * kInvScale, y0 = v[0]->y * kInvScale;
  const double e1x = v[1]->x * kInvScale - x0, e1y = v[1]->y * kInvScale - y0;
  const double e2x = v[2]->x * kInvScale - x0, e2y = v[2]->y * kInvScale - y0;
  const double invArea = 1.0 / (e1x * e2y - e2x * e1y);
  const double xRef = t.xRef, yRef = t.yStart;
  t.z = planeOf(v[0]->z, v[1]->z, v[2]->z, x0, y0, e1x, e1y, e2x, e2y, invArea, xRef, yRef);
  t.q = planeOf(v[0]->q, v[1]->q, v[2]->q, x0, y0, e1x, e1y, e2x, e2y, invArea, xRef, yRef);
  t.attrCount = attrCount;
  for (int i = 0; i < attrCount; ++i) {
    // An attribute equal at all corners stays exact instead of going through a*q / q.
    t.attrConstant[i] = raw[0][i] == raw[1][i] && raw[1][i] == raw[2][i];
    if (t.attrConstant[i])
      t.attrQ[i] = Gradient{raw[0][i], 0.0f, 0.0f};
    else
      t.attrQ[i] = planeOf(v[0]->attrQ[i], v[1]->attrQ[i], v[2]->attrQ[i], x0, y0, e1x, e1y, e2x, e2y, invArea,
                           xRef, yRef);
  }
  return true;
}

}  // namespace kvd3d::raster
