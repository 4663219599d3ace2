// Drawing one polygon with the library's fixed state table.
#pragma once

#include "scene/kv_polygon_set.h"

namespace kv {

// Sets the per-polygon states, binds the polygon's textures (a stage without one keeps
// what an earlier polygon bound), sets its world matrix and draws its corners as a strip.
void drawPolygon(const KvPolygonSet &scene, IDirect3DDevice9 *device, const KvPolygon &polygon);

}  // namespace kv
