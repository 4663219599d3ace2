// Frames per second of the whole library, through the exports as a host calls them:
// N quads of the benchmark scene textured with the 256 x 256 checker (loaded with
// loadTexture, bound with setupTextures), drawPaint into a host image each frame; and
// loadTexture itself for small and large images. Memcpy of the same bytes runs in the
// same program as the baseline.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sys/mman.h>

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

// A frame of 100 quads with 1 or 4096 textures loaded, the quads' own loaded last: finding
// a polygon's texture must not cost more the more textures there are.
void BM_DrawPaintTexturesLoaded(benchmark::State &state) {
  const Exports *kv = library();
  if (!kv || !kv->create()) {
    state.SkipWithError("library or scene unavailable");
    return;
  }
  if (!buildScene(*kv, 100, static_cast<int>(state.range(0)) - 1)) {
    state.SkipWithError("the textures could not be loaded");
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
  kvhost_image_destroy(image);
  kv->dispose();
}
BENCHMARK(BM_DrawPaintTexturesLoaded)->Arg(1)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime();

// A host image of kW x kH pixels on ordinary 4 KiB pages (kvhost puts frames on huge
// pages), in the host's layout: the object and its records on the first page, the pixels
// from the second on. The range check before each frame walks every one of those pages.
class SmallPageImage {
 public:
  SmallPageImage() {
#ifdef MAP_32BIT
    constexpr int kLow = MAP_32BIT;  // the pointer words are 32 bits wide
#else
    constexpr int kLow = 0;
#endif
    void *p = mmap(nullptr, kLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | kLow, -1, 0);
    if (p == MAP_FAILED) return;
    base_ = static_cast<unsigned char *>(p);
    madvise(base_, kLength, MADV_NOHUGEPAGE);
    const uint32_t bitmap = word(base_ + 32), info = word(base_ + 48), pixels = word(base_ + 4096);
    std::memcpy(base_ + 16, &bitmap, 4);
    std::memcpy(base_ + 32 + 8, &info, 4);
    std::memcpy(base_ + 48 + 16, &pixels, 4);
  }
  ~SmallPageImage() {
    if (base_) munmap(base_, kLength);
  }
  SmallPageImage(const SmallPageImage &) = delete;
  SmallPageImage &operator=(const SmallPageImage &) = delete;
  uint32_t handle() const { return base_ ? word(base_) / 2 : 0; }

 private:
  static constexpr size_t kLength = 4096 + size_t(kW) * kH * 4;
  static uint32_t word(const void *p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }
  unsigned char *base_ = nullptr;
};

void BM_DrawPaintSmallPages(benchmark::State &state) {
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
  SmallPageImage image;
  for (auto _ : state) {
    if (kv->drawPaint(image.handle(), kW, kH) != 0) {
      state.SkipWithError("drawPaint failed");
      break;
    }
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  kv->dispose();
}
BENCHMARK(BM_DrawPaintSmallPages)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

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
