// The benchmark scene through the exports, shared by the frame benchmarks: the library
// loaded as a host loads it, host images made as an ordinary host makes them, the 256 x 256
// checker, and N quads placed about the box.
#pragma once
#include <dlfcn.h>
#include <sys/mman.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

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

// Where a host image's memory comes from. An ordinary host allocates plain anonymous memory
// on 4 KiB pages, with the pixels wherever its allocator puts them; kvhost places images of
// half a MiB or more on 2 MiB huge pages, which makes walking their pages cheap. Figures
// for the library come from ordinary images; kvhost's are reported beside them.
enum class HostMemory { Ordinary, Kvhost };

inline const char *memoryName(HostMemory memory) { return memory == HostMemory::Ordinary ? "ordinary" : "kvhost"; }

// A width x height host image in the host's layout. Ordinary: one anonymous mapping below
// 4 GiB (the pointer words are 32 bits wide) kept on 4 KiB pages, the three records first
// and the pixels right after them, 12 bytes past a 16-byte boundary, as a heap block's
// header leaves them.
class HostImage {
 public:
  HostImage(int width, int height, HostMemory memory = HostMemory::Ordinary) : memory_(memory) {
    if (width <= 0 || height <= 0) return;
    if (memory == HostMemory::Kvhost) {
      handle_ = kvhost_image_create(width, height);
      pixels_ = handle_ ? kvhost_image_pixels(handle_) : nullptr;
      return;
    }
    length_ = kPixels + static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
#ifdef MAP_32BIT
    constexpr int kLow = MAP_32BIT;
#else
    constexpr int kLow = 0;
#endif
    void *p = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | kLow, -1, 0);
    if (p == MAP_FAILED) return;
    base_ = static_cast<unsigned char *>(p);
#ifdef MADV_NOHUGEPAGE
    madvise(base_, length_, MADV_NOHUGEPAGE);
#endif
    putWord(16, base_ + 32);      // object -> bitmap record
    putWord(32 + 8, base_ + 48);  // bitmap record -> bitmap-information record
    putWord(48 + 16, base_ + kPixels);
    pixels_ = reinterpret_cast<uint32_t *>(base_ + kPixels);
    handle_ = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base_) / 2);
  }
  ~HostImage() {
    if (memory_ == HostMemory::Kvhost)
      kvhost_image_destroy(handle_);
    else if (base_)
      munmap(base_, length_);
  }
  HostImage(const HostImage &) = delete;
  HostImage &operator=(const HostImage &) = delete;
  uint32_t handle() const { return handle_; }
  uint32_t *pixels() const { return pixels_; }

 private:
  static constexpr size_t kPixels = 76;  // 12 past a 16-byte boundary
  void putWord(size_t offset, const void *target) {
    const uint32_t word = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target));
    std::memcpy(base_ + offset, &word, 4);
  }
  HostMemory memory_;
  unsigned char *base_ = nullptr;
  size_t length_ = 0;
  uint32_t handle_ = 0;
  uint32_t *pixels_ = nullptr;
};

constexpr int kTextureSize = 256;

// Fills a size x size host image with the scene's checker: 32-texel cells, opaque ones and
// ones whose alpha runs along a gradient (the device-level benchmark's texture, rows in
// host order).
inline void fillChecker(uint32_t *p, int size) {
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const bool opaque = ((x / 32) + (y / 32)) % 2 == 0;
      const uint32_t alpha = opaque ? 255 : 40 + (x % 32) * 6;
      p[static_cast<size_t>(size - 1 - y) * size + x] =
          alpha << 24 | uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 | uint32_t((x + y) & 0xFF);
    }
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
// checker repeated twice across it, scaled by scale. texturesBefore small textures of
// other names are loaded ahead of the checker, so that it is the last of that many + 1.
inline bool buildScene(const Exports &kv, int count, int texturesBefore = 0, float scale = 1) {
  kv.clearPolygons();
  kv.clearTextures();
  if (texturesBefore > 0) {
    const HostImage small(4, 4);
    bool ok = small.pixels() != nullptr;
    if (ok) fillChecker(small.pixels(), 4);
    for (int i = 0; ok && i < texturesBefore; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "other%d", i);
      ok = kv.loadTexture(name, small.handle(), 4, 4) == 1;
    }
    if (!ok) return false;
  }
  const HostImage checker(kTextureSize, kTextureSize);
  if (!checker.pixels()) return false;
  fillChecker(checker.pixels(), kTextureSize);
  if (kv.loadTexture("checker", checker.handle(), kTextureSize, kTextureSize) != 1) return false;
  const float corners[8] = {-128, -128, -128, 128, 128, -128, 128, 128};
  const float uv[8] = {0, 0, 0, 2, 2, 0, 2, 2};
  for (int i = 0; i < count; ++i) {
    const uint32_t n = kv.makePolygon(1, corners);
    kv.setupTextures(n, "checker", 0, uv);
    const QuadPlacement q = placement(i);
    if (scale != 1) {
      const float xyz[3] = {scale, scale, scale};
      kv.setupScale(n, xyz, 0);
    }
    kv.setupRotX(n, &q.ax, 0);
    kv.setupRotY(n, &q.ay, 0);
    kv.setupRotZ(n, &q.az, 0);
    kv.setupTranslate(n, q.move, 0);
  }
  return true;
}

}  // namespace kvbench
