// Sutherland-Hodgman clipping, one plane at a time, interpolating every attribute linearly
// in clip space (which keeps them perspective-correct).
#include "clipper.h"

#include <cmath>

namespace kvd3d::raster {
namespace {

void lerpVertex(const ClipPlane &plane, const ClipVertex &a, const ClipVertex &b, float t, int attrCount,
                ClipVertex &out) {
  for (int i = 0; i < 4; ++i) out.pos[i] = a.pos[i] + (b.pos[i] - a.pos[i]) * t;
  for (int i = 0; i < attrCount; ++i) out.attr[i] = a.attr[i] + (b.attr[i] - a.attr[i]) * t;
  // Put the new vertex exactly on the plane: along an edge with huge ends the interpolated
  // coordinate loses all its precision to cancellation, while the plane pins it down. Every
  // plane constrains a single one of x, y, z (against w).
  if (plane.a != 0.0f)
    out.pos[0] = -(plane.d * out.pos[3] + plane.e) / plane.a;
  else if (plane.b != 0.0f)
    out.pos[1] = -(plane.d * out.pos[3] + plane.e) / plane.b;
  else if (plane.c != 0.0f)
    out.pos[2] = -(plane.d * out.pos[3] + plane.e) / plane.c;
  else
    out.pos[3] = -plane.e / plane.d;
}

int clipAgainstPlane(const ClipPlane &plane, const ClipVertex *in, int count, int attrCount, ClipVertex *out) {
  int written = 0;
  for (int i = 0; i < count; ++i) {
    const ClipVertex &current = in[i];
    const ClipVertex &next = in[(i + 1) % count];
    const float dc = plane.distance(current.pos);
    const float dn = plane.distance(next.pos);
    if (written + 2 > kMaxClippedVertices) return 0;  // rounding gone wild: drop the triangle
    if (dc >= 0.0f) out[written++] = current;
    if ((dc >= 0.0f) != (dn >= 0.0f)) {
      // Always interpolate from the inside vertex so that shared edges clip identically.
      if (dc >= 0.0f)
        lerpVertex(plane, current, next, dc / (dc - dn), attrCount, out[written++]);
      else
        lerpVertex(plane, next, current, dn / (dn - dc), attrCount, out[written++]);
    }
  }
  return written;
}

}  // namespace

unsigned computeOutcode(const ClipVolume &volume, const ClipVertex &v) {
  for (float p : v.pos)
    if (!std::isfinite(p)) return kOutcodeInvalid;
  unsigned code = 0;
  for (int i = 0; i < volume.planeCount; ++i)
    if (volume.plane[i].distance(v.pos) < 0.0f) code |= 1u << i;
  return code;
}

int clipTriangle(const ClipVolume &volume, unsigned planes, const ClipVertex &a, const ClipVertex &b,
                 const ClipVertex &c, int attrCount, ClipVertex out[kMaxClippedVertices]) {
  ClipVertex scratch[kMaxClippedVertices];
  ClipVertex *src = out, *dst = scratch;
  src[0] = a;
  src[1] = b;
  src[2] = c;
  int count = 3;
  for (int i = 0; i < volume.planeCount && count >= 3; ++i) {
    if (!(planes & (1u << i))) continue;
    count = clipAgainstPlane(volume.plane[i], src, count, attrCount, dst);
    ClipVertex *t = src;
    src = dst;
    dst = t;
  }
  if (count < 3) return 0;
  if (src != out)
    for (int i = 0; i < count; ++i) out[i] = src[i];
  return count;
}

}  // namespace kvd3d::raster
