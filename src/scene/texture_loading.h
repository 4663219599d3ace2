// loadTexture: the host's pixels become a named texture of the scene.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "scene/kv_polygon_set.h"

namespace kv {

constexpr size_t kBmpHeaderSize = 54;

// The in-memory BMP file image of width x height 32-bit pixels (bottom row first):
// width * height * 4 + 54 bytes; null for a bad size or when memory runs out.
PixelBlock buildBmpImage(const uint32_t *pixels, int width, int height, size_t *size);

// Wraps the pixels in a BMP file image, keeps a copy in a new texture-list entry, makes its
// texture and lists it. 1 on success; 0 (and the list unchanged) otherwise.
int loadTexture(KvPolygonSet &scene, const char *name, const uint32_t *pixels, int width, int height);

}  // namespace kv
