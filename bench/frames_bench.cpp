// Frames per second of the whole library, through the exports as a host calls them:
// N quads of the benchmark scene textured with the 256 x 256 checker (loaded with
// loadTexture, bound with setupTextures), drawPaint into a host image each frame; and
// loadTexture itself for small and large images. Memcpy of the same bytes runs in the
// same program as the baseline.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "kvhost.h"
#include "kvpolygon.h"

namespace {

constexpr int kW = 544, kH = 416;

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

const Exports *library() {
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
uint32_t checkerImage(int size) {
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

// Quad i of the benchmark scene: turned a little about each axis, spread over a box, the
// checker repeated twice across it.
bool buildScene(const Exports &kv, int count) {
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
    const float ax = 0.35f * std::sin(1.3f * i), ay = 0.45f * std::sin(0.7f * i + 0.5f), az = 0.6f * std::sin(0.37f * i);
    const float move[3] = {static_cast<float>(((37 * i + 5) % 11 - 5) * 40), static_cast<float>(((53 * i + 4) % 9 - 4) * 40),
                           static_cast<float>(((29 * i + 3) % 7 - 3) * 40)};
    kv.setupRotX(n, &ax, 0);
    kv.setupRotY(n, &ay, 0);
    kv.setupRotZ(n, &az, 0);
    kv.setupTranslate(n, move, 0);
  }
  return true;
}

void BM_DrawPaint(benchmark::State &state) {
  const Exports *kv = library();
  if (!kv || !kv->create()) {
    state.SkipWithError("library or scene unavailable");
    return;
  }
  if (!buildScene(*kv, static_cast<int>(state.range(0)))) {
    state.SkipWithError("the checker texture could not be loaded");
    kv->dispose();
    return;
  }
  const uint32_t image = kvhost_image_create(kW, kH);
  for (auto _ : state) {
    if (kv->drawPaint(image, kW, kH) != 0) {
      state.SkipWithError("drawPaint failed");
      break;
    }
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  kvhost_image_destroy(image);
  kv->dispose();
}
BENCHMARK(BM_DrawPaint)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// loadTexture of a size x size host image: the BMP image, the entry's copy, decoding and
// every level of the chain.
void BM_LoadTexture(benchmark::State &state) {
  const Exports *kv = library();
  if (!kv || !kv->create()) {
    state.SkipWithError("library or scene unavailable");
    return;
  }
  const int size = static_cast<int>(state.range(0));
  const uint32_t image = checkerImage(size);
  for (auto _ : state) {
    if (kv->loadTexture("load", image, size, size) != 1) {
      state.SkipWithError("loadTexture failed");
      break;
    }
    state.PauseTiming();
    kv->clearTextures();
    state.ResumeTiming();
  }
  kvhost_image_destroy(image);
  kv->dispose();
}
BENCHMARK(BM_LoadTexture)->Arg(256)->Arg(2048)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline of the loads: a memcpy of the image's bytes.
void BM_ImageMemcpyBaseline(benchmark::State &state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) * state.range(0) * 4;
  std::vector<uint8_t> a(bytes, 1), b(bytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
  }
}
BENCHMARK(BM_ImageMemcpyBaseline)->Arg(256)->Arg(2048)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: copying one frame's bytes, as the read-back must do at least once.
void BM_FrameMemcpyBaseline(benchmark::State &state) {
  std::vector<uint32_t> a(kW * kH, 1), b(kW * kH);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size() * 4);
    benchmark::DoNotOptimize(b.data());
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrameMemcpyBaseline)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
