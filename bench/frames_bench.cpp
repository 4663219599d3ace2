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

#include "exports_scene.h"
#include "kvhost.h"

namespace {

using namespace kvbench;

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
