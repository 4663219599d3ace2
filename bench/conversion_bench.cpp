// Speed of the conversion engine on 1024 x 1024 images against baselines measured in the
// same run: memcpy of the same bytes for the copy, the same-size conversions and the
// integer box halving; the system's stb_image_resize triangle filter for the tent filter.
// The linear reductions of a 2048 x 2048 image to every level of its chain are reported
// against a memcpy of the source. Ends with the ratio baseline time / job time.
#include <benchmark/benchmark.h>

#if __has_include(<stb/stb_image_resize.h>)
#define KV_HAVE_STB_RESIZE 1
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "pixel/convert/conversion_job.h"

namespace {

using namespace kv;

struct Buffer {
  uint32_t format, width, height, bytesPerPixel;
  std::vector<uint8_t> bytes;

  Buffer(uint32_t format_, uint32_t w, uint32_t h, uint32_t bpp)
      : format(format_), width(w), height(h), bytesPerPixel(bpp), bytes(size_t(w) * h * bpp) {
    std::mt19937 random(w * 31 + h);
    for (auto &b : bytes) b = uint8_t(random());
  }
  PixelBox box(uint32_t colorKey = 0) {
    PixelBox b;
    b.data = bytes.data();
    b.format = format;
    b.rowPitch = width * bytesPerPixel;
    b.slicePitch = b.rowPitch * height;
    const uint32_t region[6] = {0, 0, width, height, 0, 1};
    for (int i = 0; i < 6; ++i) b.bounds[i] = b.box[i] = region[i];
    b.colorKey = colorKey;
    return b;
  }
};

void memcpyBytes(benchmark::State &state, size_t bytes) {
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

struct Job {
  uint32_t sourceFormat, sourceBytes, destinationFormat, destinationBytes;
  uint32_t width, height, outWidth, outHeight;
  uint32_t flags, colorKey;
};

void convert(benchmark::State &state, Job job) {
  Buffer source(job.sourceFormat, job.width, job.height, job.sourceBytes);
  Buffer destination(job.destinationFormat, job.outWidth, job.outHeight, job.destinationBytes);
  const PixelBox from = source.box(job.colorKey), to = destination.box();
  for (auto _ : state) {
    if (convertPixels(to, from, job.flags) != S_OK) state.SkipWithError("conversion failed");
    benchmark::ClobberMemory();
  }
  state.counters["MPix/s"] =
      benchmark::Counter(double(state.iterations()) * job.width * job.height / 1e6, benchmark::Counter::kIsRate);
}

#ifdef KV_HAVE_STB_RESIZE
void stbTriangle(benchmark::State &state, uint32_t size, uint32_t outSize) {
  Buffer source(D3DFMT_A8R8G8B8, size, size, 4), destination(D3DFMT_A8R8G8B8, outSize, outSize, 4);
  for (auto _ : state) {
    stbir_resize_uint8_generic(source.bytes.data(), int(size), int(size), int(size * 4), destination.bytes.data(),
                               int(outSize), int(outSize), int(outSize * 4), 4, STBIR_ALPHA_CHANNEL_NONE, 0,
                               STBIR_EDGE_WRAP, STBIR_FILTER_TRIANGLE, STBIR_COLORSPACE_LINEAR, nullptr);
    benchmark::ClobberMemory();
  }
}
#endif

// Processor time of each job, and the baseline each job is compared with.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(std::map<std::string, std::string> baselines)
      : ConsoleReporter(OO_Tabular), baselines_(std::move(baselines)) {}

  void ReportRuns(const std::vector<Run> &runs) override {
    // With repetitions the fastest run stands: the one least disturbed by other work.
    for (const Run &run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      const auto [it, fresh] = cpu_.emplace(run.run_name.str(), run.GetAdjustedCPUTime());
      if (!fresh) it->second = std::min(it->second, run.GetAdjustedCPUTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void printRatios() const {
    std::printf("\nspeed relative to the baseline (baseline CPU time / job CPU time):\n");
    for (const auto &[job, baseline] : baselines_) {
      const auto t = cpu_.find(job), b = cpu_.find(baseline);
      if (t == cpu_.end() || b == cpu_.end() || t->second <= 0.0) continue;
      std::printf("  %-44s vs %-26s %6.3fx\n", job.c_str(), baseline.c_str(), b->second / t->second);
    }
  }

 private:
  std::map<std::string, std::string> baselines_;
  std::map<std::string, double> cpu_;
};

}  // namespace

int main(int argc, char **argv) {
  constexpr uint32_t n = 1024;
  const size_t bytes = size_t(n) * n * 4;
  std::map<std::string, std::string> baselines;
  auto add = [&](const std::string &name, Job job, const std::string &baseline) {
    benchmark::RegisterBenchmark(name.c_str(), convert, job)->Unit(benchmark::kMillisecond);
    baselines[name] = baseline;
  };
  benchmark::RegisterBenchmark("memcpy/1024x1024x4", memcpyBytes, bytes)->Unit(benchmark::kMillisecond);
  add("copyIdentical/A8R8G8B8", {D3DFMT_A8R8G8B8, 4, D3DFMT_A8R8G8B8, 4, n, n, n, n, FilterTriangle, 0},
      "memcpy/1024x1024x4");
  add("convertSameSize/A8R8G8B8->R5G6B5", {D3DFMT_A8R8G8B8, 4, D3DFMT_R5G6B5, 2, n, n, n, n, FilterTriangle, 0},
      "memcpy/1024x1024x4");
  add("convertSameSize/X8R8G8B8->A8R8G8B8+key",
      {D3DFMT_X8R8G8B8, 4, D3DFMT_A8R8G8B8, 4, n, n, n, n, FilterTriangle, 0xff00ff00u}, "memcpy/1024x1024x4");
  add("convertSameSize/L8->A8R8G8B8", {D3DFMT_L8, 1, D3DFMT_A8R8G8B8, 4, n, n, n, n, FilterTriangle, 0},
      "memcpy/1024x1024x4");
  add("boxHalve2D/A8R8G8B8-integer", {D3DFMT_A8R8G8B8, 4, D3DFMT_A8R8G8B8, 4, n, n, n / 2, n / 2, FilterBox, 0},
      "memcpy/1024x1024x4");
  add("triangle2D/1024->700", {D3DFMT_A8R8G8B8, 4, D3DFMT_A8R8G8B8, 4, n, n, 700, 700, FilterTriangle, 0},
      "stb_image_resize/1024->700");
#ifdef KV_HAVE_STB_RESIZE
  benchmark::RegisterBenchmark("stb_image_resize/1024->700", stbTriangle, n, 700u)->Unit(benchmark::kMillisecond);
#endif
  benchmark::RegisterBenchmark("memcpy/2048x2048x4", memcpyBytes, bytes * 4)->Unit(benchmark::kMillisecond);
  for (uint32_t out = 2048; out >= 1; out /= 2)
    add("linear2D/2048->" + std::to_string(out),
        {D3DFMT_A8R8G8B8, 4, D3DFMT_A8R8G8B8, 4, 2 * n, 2 * n, out, out, FilterLinear, 0}, "memcpy/2048x2048x4");

  benchmark::Initialize(&argc, argv);
  RatioReporter reporter(baselines);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  benchmark::Shutdown();
  return 0;
}
