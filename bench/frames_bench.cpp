// The whole library through the exports, as a host calls it, with host images on ordinary
// 4 KiB-page memory (kvhost's huge-page images reported separately): frames of N quads of
// the benchmark scene (drawPaint with read-back), big frames beside a memset and a memcpy of
// their bytes, the range check of a frame beside the frame, many polygons per polygon, and
// loadTexture beside a memcpy of the image's bytes. Every case is repeated, the
// repetitions run in random order, and the ratios at the end compare the best run of each
// case with baselines from the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "api/host_image.h"
#include "exports_scene.h"

namespace {

using namespace kvbench;

constexpr int kRepetitions = 3;
const int kSizes[][2] = {{544, 416}, {1920, 1080}, {3840, 2160}};

// Makes the scene of count quads in a back buffer of width x height; false (and the case
// skipped) when the library, the scene or its texture is unavailable.
bool openScene(benchmark::State &state, int width, int height, int count, int texturesBefore = 0, float scale = 1) {
  const Exports *kv = library();
  if (!kv) {
    state.SkipWithError("library unavailable");
    return false;
  }
  kv->setWindowSize(static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (!kv->create() || !buildScene(*kv, count, texturesBefore, scale)) {
    state.SkipWithError("scene unavailable");
    kv->dispose();
    return false;
  }
  return true;
}

void closeScene() {
  library()->dispose();
  library()->setWindowSize(kW, kH);
}

// Two frames first: the device's queues grow to the scene's size in the first one, which a
// host drawing frame after frame pays once.
void drawFrames(benchmark::State &state, const HostImage &image, int width, int height) {
  for (int i = 0; i < 2; ++i)
    if (library()->drawPaint(image.handle(), width, height) != 0) {
      state.SkipWithError("drawPaint failed");
      return;
    }
  for (auto _ : state)
    if (library()->drawPaint(image.handle(), width, height) != 0) {
      state.SkipWithError("drawPaint failed");
      break;
    }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// N quads at 544 x 416, the frame in an image of the given memory.
void BM_DrawPaint(benchmark::State &state, HostMemory memory) {
  if (!openScene(state, kW, kH, static_cast<int>(state.range(0)))) return;
  const HostImage image(kW, kH, memory);
  drawFrames(state, image, kW, kH);
  closeScene();
}

// One quad in frames of the three sizes: clear and read-back dominate.
void BM_DrawPaintFrame(benchmark::State &state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  if (!openScene(state, width, height, 1)) return;
  const HostImage image(width, height);
  drawFrames(state, image, width, height);
  closeScene();
}

// Baseline of a frame's clear and read-back: one memset and one memcpy of its bytes (into
// an ordinary host image).
void BM_FrameMemsetMemcpy(benchmark::State &state) {
  const size_t pixels = static_cast<size_t>(state.range(0)) * static_cast<size_t>(state.range(1));
  std::vector<uint32_t> frame(pixels, 1);
  const HostImage image(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    std::memset(frame.data(), 0, pixels * 4);
    benchmark::ClobberMemory();
    std::memcpy(image.pixels(), frame.data(), pixels * 4);
    benchmark::ClobberMemory();
  }
}

// The check drawPaint makes of the host's frame before its first device call.
void BM_RangeCheck(benchmark::State &state, HostMemory memory) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  const HostImage image(width, height, memory);
  std::memset(image.pixels(), 0, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  for (auto _ : state)
    if (!kv::hostPixelsReachable(image.pixels(), width, height, kv::PixelAccess::ReadWrite)) {
      state.SkipWithError("the range check refused the image");
      break;
    }
}

// A frame of 100 quads with 1 or 4096 textures loaded, the quads' own loaded last: finding
// a polygon's texture must not cost more the more textures there are.
void BM_DrawPaintTexturesLoaded(benchmark::State &state) {
  if (!openScene(state, kW, kH, 100, static_cast<int>(state.range(0)) - 1)) return;
  const HostImage image(kW, kH);
  drawFrames(state, image, kW, kH);
  closeScene();
}

// Frames of many quads, each scaled to a 32nd of its size (a few pixels), so that what a
// frame costs per polygon apart from its pixels shows: it should not grow with their number.
void BM_DrawPaintPolygons(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  if (!openScene(state, kW, kH, count, 0, 1.0f / 32)) return;
  const HostImage image(kW, kH);
  drawFrames(state, image, kW, kH);
  closeScene();
}

// loadTexture of a size x size host image: the bitmap image, the entry's copy, decoding and
// every level of the chain.
void BM_LoadTexture(benchmark::State &state) {
  const Exports *kv = library();
  if (!kv || !kv->create()) {
    state.SkipWithError("library or scene unavailable");
    return;
  }
  const int size = static_cast<int>(state.range(0));
  const HostImage image(size, size);
  fillChecker(image.pixels(), size);
  for (auto _ : state) {
    if (kv->loadTexture("load", image.handle(), size, size) != 1) {
      state.SkipWithError("loadTexture failed");
      break;
    }
    state.PauseTiming();
    kv->clearTextures();
    state.ResumeTiming();
  }
  kv->dispose();
}

// Baseline of the loads: a memcpy of the image's bytes.
void BM_ImageMemcpy(benchmark::State &state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) * static_cast<size_t>(state.range(0)) * 4;
  std::vector<uint8_t> a(bytes, 1), b(bytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
  }
}

// Best (least) real time per iteration of each case, in microseconds, for the ratios.
std::map<std::string, double> gBest;

class BestReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const double us = 1e6 * run.real_accumulated_time / static_cast<double>(run.iterations);
      double &best = gBest[run.run_name.function_name + "/" + run.run_name.args];
      best = best == 0 ? us : std::min(best, us);
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

double best(const std::string &name) {
  const auto it = gBest.find(name);
  return it == gBest.end() ? 0 : it->second;
}

std::string sizeArgs(int width, int height) { return std::to_string(width) + "/" + std::to_string(height); }

void printRatios() {
  auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
  std::printf("\nbest of %d runs each, microseconds; ratios within this run\n", kRepetitions);
  std::printf("range check of the frame (ordinary / kvhost memory) against an N = 1 frame (ordinary)\n");
  for (const auto &s : kSizes) {
    const std::string args = sizeArgs(s[0], s[1]);
    const double ordinary = best("BM_RangeCheck/ordinary/" + args), huge = best("BM_RangeCheck/kvhost/" + args);
    const double frame = best("BM_DrawPaintFrame/" + args);
    std::printf("  %4d x %4d: check %8.2f / %8.2f, frame %9.1f, check / frame %5.2f %%\n", s[0], s[1], ordinary, huge,
                frame, 100 * ratio(ordinary, frame));
  }
  std::printf("N = 1 frame against one memset and one memcpy of its bytes\n");
  for (const auto &s : kSizes) {
    const std::string args = sizeArgs(s[0], s[1]);
    const double frame = best("BM_DrawPaintFrame/" + args), base = best("BM_FrameMemsetMemcpy/" + args);
    std::printf("  %4d x %4d: frame %9.1f, memset + memcpy %9.1f, ratio %5.2f\n", s[0], s[1], frame, base,
                ratio(frame, base));
  }
  std::printf("loadTexture against a memcpy of the image's bytes\n");
  for (int size : {256, 1024, 2048}) {
    const double load = best("BM_LoadTexture/" + std::to_string(size)), copy = best("BM_ImageMemcpy/" + std::to_string(size));
    std::printf("  %4d^2: load %9.1f, memcpy %8.1f, ratio %6.1f\n", size, load, copy, ratio(load, copy));
  }
  std::printf("time per polygon of a frame of small quads (544 x 416, with read-back), against 1,000 polygons\n");
  const double per1000 = best("BM_DrawPaintPolygons/1000") / 1000;
  for (int count : {1000, 3000, 10000, 30000}) {
    const double per = best("BM_DrawPaintPolygons/" + std::to_string(count)) / count;
    std::printf("  %5d: %6.3f us per polygon, ratio %5.2f\n", count, per, ratio(per, per1000));
  }
}

void registerAll() {
  auto common = [](benchmark::internal::Benchmark *b) {
    b->Repetitions(kRepetitions)->Unit(benchmark::kMicrosecond)->UseRealTime();
  };
  for (HostMemory memory : {HostMemory::Ordinary, HostMemory::Kvhost}) {
    auto *frames = benchmark::RegisterBenchmark((std::string("BM_DrawPaint/") + memoryName(memory)).c_str(),
                                                BM_DrawPaint, memory);
    for (int n : memory == HostMemory::Ordinary ? std::vector<int>{1, 10, 100, 1000} : std::vector<int>{1, 100})
      frames->Arg(n);
    common(frames);
    auto *check = benchmark::RegisterBenchmark((std::string("BM_RangeCheck/") + memoryName(memory)).c_str(),
                                               BM_RangeCheck, memory);
    for (const auto &s : kSizes) check->Args({s[0], s[1]});
    common(check);
  }
  auto *frame = benchmark::RegisterBenchmark("BM_DrawPaintFrame", BM_DrawPaintFrame);
  auto *baseline = benchmark::RegisterBenchmark("BM_FrameMemsetMemcpy", BM_FrameMemsetMemcpy);
  for (const auto &s : kSizes) {
    frame->Args({s[0], s[1]});
    baseline->Args({s[0], s[1]});
  }
  common(frame);
  common(baseline);
  common(benchmark::RegisterBenchmark("BM_DrawPaintTexturesLoaded", BM_DrawPaintTexturesLoaded)->Arg(1)->Arg(4096));
  common(benchmark::RegisterBenchmark("BM_DrawPaintPolygons", BM_DrawPaintPolygons)->Arg(1000)->Arg(3000)->Arg(10000)->Arg(30000));
  common(benchmark::RegisterBenchmark("BM_LoadTexture", BM_LoadTexture)->Arg(256)->Arg(1024)->Arg(2048));
  common(benchmark::RegisterBenchmark("BM_ImageMemcpy", BM_ImageMemcpy)->Arg(256)->Arg(1024)->Arg(2048));
}

}  // namespace

int main(int argc, char **argv) {
  registerAll();
  // Repetitions in random order unless the command line says otherwise: a stretch of
  // disturbance from the machine's neighbours then spreads over several cases.
  std::vector<char *> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  bool chosen = false;
  for (int i = 1; i < argc; ++i) chosen = chosen || std::strstr(argv[i], "random_interleaving") != nullptr;
  if (!chosen) args.push_back(interleave);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());
  BestReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  printRatios();
  return 0;
}
