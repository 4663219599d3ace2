// The benchmark scene through the exports, shared by the frame benchmarks: the library
// loaded as a host loads it, the 256 x 256 checker, and N quads placed about the box.
#pragma once
#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "kvhost.h"
#include "kvpolygon_exports.h"

namespace kvbench {

constexpr int kW = 544, kH = 416;

using Exports = KvPolygonExports;

inline const Exports *library() {
  static Exports e{};
  static const bool loaded = [] {
    void *lib = dlopen(KV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    return lib && bindKvPolygonExports(lib, e, [](const char *) {});
  }();
  return loaded ? &e : nullptr;
}

constexpr int kTextureSize = 256;

// The scene's checker, as a host image: 32-texel cells, opaque ones and ones whose alpha
// runs along a gradient (the device-level benchmark's texture, rows in host order).
inline uint32_t checkerImage(int size) {
  const uint32_t image = kvhost_image_create(size, size);
  if (!image) return 0;
  uint32_t *p = kvhost_image_pixels(image);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const bool opaque = ((x / 32) + (y / 32)) % 2 == 0;
      const uint32_t alpha = opaque ? 255 : 40 + (x % 32) * 6;
      p[static_cast<size_t>(size - 1 - y) * size + x] =
          alpha << 24 | uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 | uint32_t((x + y) & 0xFF);
    }
  return image;
}

// Quad i: its turns about x, y and z, then its offset.
struct QuadPlacement {
  float ax, ay, az, move[3];
};
inline QuadPlacement placement(int i) {
  return {0.35f * std::sin(1.3f * i),
          0.45f * std::sin(0.7f * i + 0.5f),
          0.6f * std::sin(0.37f * i),
          {static_cast<float>(((37 * i + 5) % 11 - 5) * 40), static_cast<float>(((53 * i + 4) % 9 - 4) * 40),
           static_cast<float>(((29 * i + 3) % 7 - 3) * 40)}};
}

// Quad i of the benchmark scene: turned a little about each axis, spread over a box, the
// checker repeated twice across it. texturesBefore small textures of other names are
// loaded ahead of the checker, so that it is the last of that many + 1.
inline bool buildScene(const Exports &kv, int count, int texturesBefore = 0) {
  kv.clearPolygons();
  kv.clearTextures();
  if (texturesBefore > 0) {
    const uint32_t small = checkerImage(4);
    bool ok = small != 0;
    for (int i = 0; ok && i < texturesBefore; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "other%d", i);
      ok = kv.loadTexture(name, small, 4, 4) == 1;
    }
    kvhost_image_destroy(small);
    if (!ok) return false;
  }
  const uint32_t checker = checkerImage(kTextureSize);
  const bool loaded = checker && kv.loadTexture("checker", checker, kTextureSize, kTextureSize) == 1;
  kvhost_image_destroy(checker);
  if (!loaded) return false;
  const float corners[8] = {-128, -128, -128, 128, 128, -128, 128, 128};
  const float uv[8] = {0, 0, 0, 2, 2, 0, 2, 2};
  for (int i = 0; i < count; ++i) {
    const uint32_t n = kv.makePolygon(1, corners);
    kv.setupTextures(n, "checker", 0, uv);
    const QuadPlacement q = placement(i);
    kv.setupRotX(n, &q.ax, 0);
    kv.setupRotY(n, &q.ay, 0);
    kv.setupRotZ(n, &q.az, 0);
    kv.setupTranslate(n, q.move, 0);
  }
  return true;
}

}  // namespace kvbench
