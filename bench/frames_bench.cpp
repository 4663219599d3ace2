// Frames per second of the whole library, through the exports as a host calls them:
// N quads of the benchmark scene, drawPaint into a host image each frame. A memcpy of
// the frame's bytes runs in the same program as the baseline.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "kvhost.h"

namespace {

constexpr int kW = 544, kH = 416;

struct Exports {
  int (*create)();
  void (*dispose)();
  uint32_t (*makePolygon)(int, const float *);
  int (*setupTranslate)(uint32_t, const float *, int);
  int (*setupRotX)(uint32_t, const float *, int);
  int (*setupRotY)(uint32_t, const float *, int);
  int (*setupRotZ)(uint32_t, const float *, int);
  int (*clearPolygons)();
  int32_t (*drawPaint)(uint32_t, int, int);
};

const Exports *library() {
  static Exports e{};
  static bool loaded = false;
  if (!loaded) {
    void *lib = dlopen(KV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!lib) return nullptr;
    e.create = reinterpret_cast<int (*)()>(dlsym(lib, "create"));
    e.dispose = reinterpret_cast<void (*)()>(dlsym(lib, "dispose"));
    e.makePolygon = reinterpret_cast<uint32_t (*)(int, const float *)>(dlsym(lib, "makePolygon"));
    e.setupTranslate = reinterpret_cast<int (*)(uint32_t, const float *, int)>(dlsym(lib, "setupTranslate"));
    e.setupRotX = reinterpret_cast<int (*)(uint32_t, const float *, int)>(dlsym(lib, "setupRotX"));
    e.setupRotY = reinterpret_cast<int (*)(uint32_t, const float *, int)>(dlsym(lib, "setupRotY"));
    e.setupRotZ = reinterpret_cast<int (*)(uint32_t, const float *, int)>(dlsym(lib, "setupRotZ"));
    e.clearPolygons = reinterpret_cast<int (*)()>(dlsym(lib, "clearPolygons"));
    e.drawPaint = reinterpret_cast<int32_t (*)(uint32_t, int, int)>(dlsym(lib, "drawPaint"));
    loaded = true;
  }
  return &e;
}

// Quad i of the benchmark scene: turned a little about each axis, spread over a box.
void buildScene(const Exports &kv, int count) {
  kv.clearPolygons();
  const float corners[8] = {-128, -128, -128, 128, 128, -128, 128, 128};
  for (int i = 0; i < count; ++i) {
    const uint32_t n = kv.makePolygon(1, corners);
    const float ax = 0.35f * std::sin(1.3f * i), ay = 0.45f * std::sin(0.7f * i + 0.5f), az = 0.6f * std::sin(0.37f * i);
    const float move[3] = {static_cast<float>(((37 * i + 5) % 11 - 5) * 40), static_cast<float>(((53 * i + 4) % 9 - 4) * 40),
                           static_cast<float>(((29 * i + 3) % 7 - 3) * 40)};
    kv.setupRotX(n, &ax, 0);
    kv.setupRotY(n, &ay, 0);
    kv.setupRotZ(n, &az, 0);
    kv.setupTranslate(n, move, 0);
  }
}

void BM_DrawPaint(benchmark::State &state) {
  const Exports *kv = library();
  if (!kv || !kv->create()) {
    state.SkipWithError("library or scene unavailable");
    return;
  }
  buildScene(*kv, static_cast<int>(state.range(0)));
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
