// The benchmark scene through the exports, shared by the frame benchmarks: the library
// loaded as a host loads it, the 256 x 256 checker, and N quads placed about the box.
#pragma once
#include <dlfcn.h>

#include <cmath>
#include <cstdint>

#include "kvhost.h"
#include "kvpolygon.h"

namespace kvbench {

constexpr int kW = 544, kH = 416;

// Typed from the header, so the exports are called with their own calling conventions.
struct Exports {
  decltype(&::create) create;
  decltype(&::dispose) dispose;
  decltype(&::loadTexture) loadTexture;
  decltype(&::clearTextures) clearTextures;
  decltype(&::makePolygon) makePolygon;
  decltype(&::setupTextures) setupTextures;
  decltype(&::setupTranslate) setupTranslate;
  decltype(&::setupRotX) setupRotX;
  decltype(&::setupRotY) setupRotY;
  decltype(&::setupRotZ) setupRotZ;
  decltype(&::clearPolygons) clearPolygons;
  decltype(&::drawPaint) drawPaint;
};

inline const Exports *library() {
  static Exports e{};
  static bool loaded = false;
  if (!loaded) {
    void *lib = dlopen(KV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!lib) return nullptr;
    e.create = reinterpret_cast<decltype(e.create)>(dlsym(lib, "create"));
    e.dispose = reinterpret_cast<decltype(e.dispose)>(dlsym(lib, "dispose"));
    e.loadTexture = reinterpret_cast<decltype(e.loadTexture)>(dlsym(lib, "loadTexture"));
    e.clearTextures = reinterpret_cast<decltype(e.clearTextures)>(dlsym(lib, "clearTextures"));
    e.makePolygon = reinterpret_cast<decltype(e.makePolygon)>(dlsym(lib, "makePolygon"));
    e.setupTextures = reinterpret_cast<decltype(e.setupTextures)>(dlsym(lib, "setupTextures"));
    e.setupTranslate = reinterpret_cast<decltype(e.setupTranslate)>(dlsym(lib, "setupTranslate"));
    e.setupRotX = reinterpret_cast<decltype(e.setupRotX)>(dlsym(lib, "setupRotX"));
    e.setupRotY = reinterpret_cast<decltype(e.setupRotY)>(dlsym(lib, "setupRotY"));
    e.setupRotZ = reinterpret_cast<decltype(e.setupRotZ)>(dlsym(lib, "setupRotZ"));
    e.clearPolygons = reinterpret_cast<decltype(e.clearPolygons)>(dlsym(lib, "clearPolygons"));
    e.drawPaint = reinterpret_cast<decltype(e.drawPaint)>(dlsym(lib, "drawPaint"));
    loaded = true;
  }
  return &e;
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
// checker repeated twice across it.
inline bool buildScene(const Exports &kv, int count) {
  kv.clearPolygons();
  kv.clearTextures();
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
