// Drawing one frame of the scene and copying it into the host's image.
#pragma once

#include <cstdint>

#include "scene/kv_polygon_set.h"

namespace kv {

// Draws every live polygon into the back buffer and copies the frame into pixels (width x
// height, bottom row first). S_OK, E_FAIL (device lost, reset or read-back failed) or
// E_OUTOFMEMORY. The host's pixels are touched only when the frame succeeds. Null pixels
// or a non-positive size fail the frame before any device call.
HRESULT drawPaint(KvPolygonSet &scene, uint32_t *pixels, int width, int height);

}  // namespace kv
