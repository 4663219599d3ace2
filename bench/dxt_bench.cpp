// Block compression of whole 1024 x 1024 float images: our DXT1 and DXT5 encoders (with
// the SSE2 loops where built, and with the plain loops), our decoders, and the encoder of
// stb_dxt.h on the same pixels in the same run. Speeds are pixels per second; each
// encoder's RMSE against the float source (decoded with our decoder) is a counter.
// Ends with each encoder's speed relative to stb_dxt.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "pixel/blocks/block_compression.h"
#include "pixel/blocks/block_compression_kernels.h"

#if __has_include(<stb/stb_dxt.h>)
#define KV_HAVE_STB_DXT 1
#define STB_DXT_IMPLEMENTATION
#include <stb/stb_dxt.h>
#else
#define KV_HAVE_STB_DXT 0
#endif

namespace {

constexpr int kSize = 1024;
constexpr int kBlocksPerRow = kSize / 4;
constexpr int kBlocks = kBlocksPerRow * kBlocksPerRow;
constexpr int64_t kPixels = int64_t{kSize} * kSize;

struct Image {
  std::vector<float> rgba;     // kSize x kSize x 4
  std::vector<uint8_t> bytes;  // the same, rounded to 8 bits for stb_dxt
};

float clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }

void finish(Image &image) {
  image.bytes.resize(image.rgba.size());
  for (size_t i = 0; i < image.rgba.size(); ++i) {
    image.rgba[i] = clamp01(image.rgba[i]);
    image.bytes[i] = static_cast<uint8_t>(image.rgba[i] * 255.0f + 0.5f);
  }
}

// Smooth shading, a few hard-edged shapes and sensor-like noise, alpha included.
Image photoLike() {
  Image image;
  image.rgba.resize(static_cast<size_t>(kPixels) * 4);
  std::mt19937 rng(1);
  std::normal_distribution<float> noise(0.0f, 0.015f);
  struct Disc {
    float x, y, r, colour[4];
  };
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::vector<Disc> discs(40);
  for (Disc &d : discs) d = {unit(rng) * kSize, unit(rng) * kSize, 20 + unit(rng) * 120, {unit(rng), unit(rng), unit(rng), unit(rng)}};
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const float fx = static_cast<float>(x) / kSize, fy = static_cast<float>(y) / kSize;
      float c[4] = {0.5f + 0.4f * std::sin(fx * 5.0f + fy * 2.0f), 0.5f + 0.35f * std::cos(fy * 6.0f - fx),
                    0.4f + 0.3f * std::sin((fx + fy) * 4.0f), 0.6f + 0.4f * std::sin(fx * 3.0f - fy * 4.0f)};
      for (const Disc &d : discs) {
        const float dx = static_cast<float>(x) - d.x, dy = static_cast<float>(y) - d.y;
        if (dx * dx + dy * dy < d.r * d.r) {
          for (int k = 0; k < 4; ++k) c[k] = 0.6f * d.colour[k] + 0.4f * c[k];
        }
      }
      float *out = &image.rgba[(static_cast<size_t>(y) * kSize + x) * 4];
      for (int k = 0; k < 4; ++k) out[k] = c[k] + noise(rng);
    }
  }
  finish(image);
  return image;
}

// Linear ramps across the whole image, a different direction per channel.
Image gradient() {
  Image image;
  image.rgba.resize(static_cast<size_t>(kPixels) * 4);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const float fx = static_cast<float>(x) / (kSize - 1), fy = static_cast<float>(y) / (kSize - 1);
      float *out = &image.rgba[(static_cast<size_t>(y) * kSize + x) * 4];
      out[0] = fx;
      out[1] = fy;
      out[2] = 1.0f - 0.5f * (fx + fy);
      out[3] = 0.5f * (fx + 1.0f - fy);
    }
  }
  finish(image);
  return image;
}

Image opaque(Image image) {
  for (size_t i = 3; i < image.rgba.size(); i += 4) {
    image.rgba[i] = 1.0f;
    image.bytes[i] = 255;
  }
  return image;
}

// DXT1 gets the images without their alpha, so that no pixel turns transparent.
const Image &imageFor(uint32_t format, int which) {
  static const Image photo = photoLike(), ramp = gradient();
  static const Image opaquePhoto = opaque(photo), opaqueRamp = opaque(ramp);
  if (format == D3DFMT_DXT1) return which == 0 ? opaquePhoto : opaqueRamp;
  return which == 0 ? photo : ramp;
}

void gatherBlock(const float *rgba, int bx, int by, float block[16][4]) {
  for (int row = 0; row < 4; ++row) {
    std::memcpy(block[4 * row], rgba + ((static_cast<size_t>(by) * 4 + row) * kSize + bx * 4) * 4, 16 * sizeof(float));
  }
}

void scatterBlock(const float block[16][4], int bx, int by, float *rgba) {
  for (int row = 0; row < 4; ++row) {
    std::memcpy(rgba + ((static_cast<size_t>(by) * 4 + row) * kSize + bx * 4) * 4, block[4 * row], 16 * sizeof(float));
  }
}

void decodeImage(uint32_t format, const std::vector<uint8_t> &blocks, float *rgba) {
  const uint32_t bytes = kv::dxtBlockBytes(format);
  float block[16][4];
  for (int by = 0; by < kBlocksPerRow; ++by) {
    for (int bx = 0; bx < kBlocksPerRow; ++bx) {
      kv::decodeDxtBlock(format, &blocks[(static_cast<size_t>(by) * kBlocksPerRow + bx) * bytes], block);
      scatterBlock(block, bx, by, rgba);
    }
  }
}

// RMSE of the decoded blocks against the float source over R, G, B and, separately, A.
void reportError(benchmark::State &state, uint32_t format, const std::vector<uint8_t> &blocks, const Image &image) {
  std::vector<float> decoded(image.rgba.size());
  decodeImage(format, blocks, decoded.data());
  double colour = 0.0, alpha = 0.0;
  for (size_t i = 0; i < decoded.size(); ++i) {
    const double d = static_cast<double>(decoded[i]) - image.rgba[i];
    (i % 4 == 3 ? alpha : colour) += d * d;
  }
  state.counters["rmse"] = std::sqrt(colour / (3.0 * kPixels));
  if (format != D3DFMT_DXT1) state.counters["rmse_alpha"] = std::sqrt(alpha / kPixels);
}

void setPixelRate(benchmark::State &state) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kPixels);
  state.counters["MPix/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kPixels / 1e6,
                                                benchmark::Counter::kIsRate);
}

void encodeImage(const kv::BlockKernels &kernels, uint32_t format, const Image &image, std::vector<uint8_t> &out) {
  const uint32_t bytes = kv::dxtBlockBytes(format);
  float block[16][4];
  for (int by = 0; by < kBlocksPerRow; ++by) {
    for (int bx = 0; bx < kBlocksPerRow; ++bx) {
      gatherBlock(image.rgba.data(), bx, by, block);
      kv::encodeDxtBlockWith(kernels, format, block, false, &out[(static_cast<size_t>(by) * kBlocksPerRow + bx) * bytes]);
    }
  }
}

void ourEncode(benchmark::State &state, uint32_t format, bool plain) {
  const Image &image = imageFor(format, static_cast<int>(state.range(0)));
  const kv::BlockKernels &kernels = plain ? kv::plainBlockKernels() : kv::preferredBlockKernels();
  std::vector<uint8_t> out(static_cast<size_t>(kBlocks) * kv::dxtBlockBytes(format));
  for (auto _ : state) {
    encodeImage(kernels, format, image, out);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  setPixelRate(state);
  reportError(state, format, out, image);
}

void ourDecode(benchmark::State &state, uint32_t format) {
  const Image &image = imageFor(format, static_cast<int>(state.range(0)));
  std::vector<uint8_t> blocks(static_cast<size_t>(kBlocks) * kv::dxtBlockBytes(format));
  encodeImage(kv::preferredBlockKernels(), format, image, blocks);
  std::vector<float> decoded(image.rgba.size());
  for (auto _ : state) {
    decodeImage(format, blocks, decoded.data());
    benchmark::DoNotOptimize(decoded.data());
    benchmark::ClobberMemory();
  }
  setPixelRate(state);
}

#if KV_HAVE_STB_DXT
// stb_dxt reads 8-bit pixels; the image is rounded to bytes once, outside the timing.
void stbEncode(benchmark::State &state, uint32_t format, int mode) {
  const Image &image = imageFor(format, static_cast<int>(state.range(0)));
  const uint32_t bytes = kv::dxtBlockBytes(format);
  std::vector<uint8_t> out(static_cast<size_t>(kBlocks) * bytes);
  for (auto _ : state) {
    uint8_t block[64];
    for (int by = 0; by < kBlocksPerRow; ++by) {
      for (int bx = 0; bx < kBlocksPerRow; ++bx) {
        for (int row = 0; row < 4; ++row) {
          std::memcpy(block + 16 * row, &image.bytes[((static_cast<size_t>(by) * 4 + row) * kSize + bx * 4) * 4], 16);
        }
        stb_compress_dxt_block(&out[(static_cast<size_t>(by) * kBlocksPerRow + bx) * bytes], block,
                               format == D3DFMT_DXT5, mode);
      }
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  setPixelRate(state);
  reportError(state, format, out, image);
}
#endif

// Keeps each run's processor time so that the ratios against stb_dxt can be printed.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      if (run.run_type == Run::RT_Iteration) times_[run.run_name.str()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Names look like "Dxt1Encode/Ours/0"; the baseline is "Dxt1Encode/Stb/0".
  void printRatios() const {
    std::printf("\nencoder speed relative to stb_dxt (stb CPU time / encoder CPU time); image 0 photo-like, 1 gradient:\n");
    for (const auto &[name, time] : times_) {
      const size_t first = name.find('/'), last = name.rfind('/');
      if (first == std::string::npos || name.find("Encode") == std::string::npos) continue;
      const auto stb = times_.find(name.substr(0, first) + "/Stb" + name.substr(last));
      if (stb == times_.end() || stb->first == name) continue;
      std::printf("  %-36s %6.2fx\n", name.c_str(), stb->second / time);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char **argv) {
  struct Format {
    const char *name;
    uint32_t format;
  };
  for (const Format &f : {Format{"Dxt1", D3DFMT_DXT1}, Format{"Dxt5", D3DFMT_DXT5}}) {
    const std::string encode = std::string(f.name) + "Encode/";
    benchmark::RegisterBenchmark((encode + "Ours").c_str(), ourEncode, f.format, false)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((encode + "OursPlain").c_str(), ourEncode, f.format, true)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
#if KV_HAVE_STB_DXT
    benchmark::RegisterBenchmark((encode + "Stb").c_str(), stbEncode, f.format, STB_DXT_NORMAL)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((encode + "StbHighQuality").c_str(), stbEncode, f.format, STB_DXT_HIGHQUAL)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
#endif
    benchmark::RegisterBenchmark((std::string(f.name) + "Decode/Ours").c_str(), ourDecode, f.format)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  benchmark::Shutdown();
  return 0;
}
