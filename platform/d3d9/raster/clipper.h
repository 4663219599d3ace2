#pragma once
// Clipping of triangles against the view volume in homogeneous clip space.
#include "raster_types.h"

namespace kvd3d::raster {

// A plane a*x + b*y + c*z + d*w + e >= 0 keeps the inside; at most one of a, b, c is non-zero.
struct ClipPlane {
  float a, b, c, d, e;
  float distance(const float p[4]) const { return a * p[0] + b * p[1] + c * p[2] + d * p[3] + e; }
};

constexpr int kMaxClipPlanes = 7;
// Bit set in an outcode for a vertex that has a non-finite coordinate: its triangles are dropped.
constexpr unsigned kOutcodeInvalid = 1u << kMaxClipPlanes;
// A triangle clipped by every plane grows by at most one vertex per plane; the room beyond
// that only matters for polygons made slightly non-convex by rounding.
constexpr int kMaxClippedVertices = 2 * (3 + kMaxClipPlanes);

struct ClipVolume {
  ClipPlane plane[kMaxClipPlanes];
  int planeCount = 0;
};

// Which planes the vertex is outside of (bit i = plane i), plus kOutcodeInvalid.
unsigned computeOutcode(const ClipVolume &volume, const ClipVertex &v);

// Clips the triangle (a, b, c) against the planes named in `planes`; returns the number of
// polygon vertices written to out (0 when nothing is left).
int clipTriangle(const ClipVolume &volume, unsigned planes, const ClipVertex &a, const ClipVertex &b,
                 const ClipVertex &c, int attrCount, ClipVertex out[kMaxClippedVertices]);

}  // namespace kvd3d::raster
