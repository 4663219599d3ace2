// Drawing one frame of the scene and copying it into the host's image.
#pragma once

#include <cstdint>
#include <functional>

#include "scene/kv_polygon_set.h"

namespace kv {

// Draws every live polygon into the back buffer and copies the frame into pixels (width x
// height, bottom row first). S_OK, E_FAIL (device lost, reset or read-back failed) or
// E_OUTOFMEMORY. The host's pixels are touched only when the frame succeeds.
HRESULT drawPaint(KvPolygonSet &scene, uint32_t *pixels, int width, int height);

// The same, with the host's pixels asked for only once the scene has been drawn and before
// the frame is read back: hostPixels returns them, or null to fail the frame (E_FAIL). A
// device that draws on several threads is still at work on the scene while it is asked.
HRESULT drawPaint(KvPolygonSet &scene, int width, int height, const std::function<uint32_t *()> &hostPixels);

}  // namespace kv
