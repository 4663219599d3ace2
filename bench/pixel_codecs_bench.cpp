// Row throughput of the pixel codecs in MPix/s, each beside a memcpy of the same bytes in
// the same run: readRow and writeRow of A8R8G8B8, R5G6B5, A1R5G5B5 (the general field
// routine) and L8, readRow of X8R8G8B8 with a colour key, and block-compressed rows. The
// Plain variants switch the vector routines off to show what they gain.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "gfx/platform.h"
#include "pixel/formats/pixel_codec.h"
#include "pixel/formats/pixel_codec_test_hooks.h"

namespace {

constexpr uint32_t kWidth = 1024;
constexpr uint32_t kHeight = 64;

// Bytes of one row of kWidth pixels; block formats hold four pixel rows in a block row.
uint32_t rowBytes(uint32_t format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      return kWidth * 4;
    case D3DFMT_R5G6B5:
      return kWidth * 2;
    case D3DFMT_L8:
      return kWidth;
    case D3DFMT_DXT1:
      return kWidth / 4 * 8;
    default:
      return kWidth / 4 * 16;
  }
}

bool isBlock(uint32_t format) { return format == D3DFMT_DXT1 || format == D3DFMT_DXT5; }

struct Fixture {
  std::vector<uint8_t> memory;
  std::vector<float> row;
  std::unique_ptr<kv::PixelCodec> codec;

  Fixture(uint32_t format, uint32_t colorKey) : row(kWidth * 4) {
    const uint32_t pitch = rowBytes(format);
    const uint32_t memoryRows = isBlock(format) ? kHeight / 4 : kHeight;
    memory.resize(static_cast<size_t>(pitch) * memoryRows);
    std::mt19937 random(3);
    for (uint8_t &b : memory) b = static_cast<uint8_t>(random());
    kv::PixelBox box;
    box.data = memory.data();
    box.format = format;
    box.rowPitch = pitch;
    box.slicePitch = pitch * memoryRows;
    const uint32_t extent[6] = {0, 0, kWidth, kHeight, 0, 1};
    std::memcpy(box.bounds, extent, sizeof extent);
    std::memcpy(box.box, extent, sizeof extent);
    box.colorKey = colorKey;
    kv::createPixelCodec(box, codec);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    for (float &v : row) v = value(random);
  }
};

void setRate(benchmark::State &state) {
  state.counters["MPix/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kWidth * kHeight / 1e6, benchmark::Counter::kIsRate);
}

void readRows(benchmark::State &state, uint32_t format, uint32_t colorKey, bool vector) {
  kv::setPixelCodecSimdEnabled(vector);
  Fixture f(format, colorKey);
  for (auto _ : state) {
    for (uint32_t y = 0; y < kHeight; ++y) f.codec->readRow(y, 0, f.row.data());
    benchmark::DoNotOptimize(f.row.data());
  }
  setRate(state);
  kv::setPixelCodecSimdEnabled(true);
}

void writeRows(benchmark::State &state, uint32_t format, bool vector) {
  kv::setPixelCodecSimdEnabled(vector);
  Fixture f(format, 0);
  std::vector<float> source = f.row;
  for (auto _ : state) {
    for (uint32_t y = 0; y < kHeight; ++y) {
      std::memcpy(f.row.data(), source.data(),
                  source.size() * sizeof(float));  // writers may change the row
      f.codec->writeRow(y, 0, f.row.data());
    }
    benchmark::ClobberMemory();
  }
  setRate(state);
  kv::setPixelCodecSimdEnabled(true);
}

// The baseline: copying the same surface bytes.
void memcpyRows(benchmark::State &state, uint32_t format) {
  Fixture f(format, 0);
  std::vector<uint8_t> target(f.memory.size());
  for (auto _ : state) {
    std::memcpy(target.data(), f.memory.data(), f.memory.size());
    benchmark::ClobberMemory();
  }
  setRate(state);
}

constexpr uint32_t kKey = 0xFF808080;

BENCHMARK_CAPTURE(memcpyRows, A8R8G8B8, D3DFMT_A8R8G8B8);
BENCHMARK_CAPTURE(readRows, A8R8G8B8, D3DFMT_A8R8G8B8, 0, true);
BENCHMARK_CAPTURE(readRows, A8R8G8B8Plain, D3DFMT_A8R8G8B8, 0, false);
BENCHMARK_CAPTURE(writeRows, A8R8G8B8, D3DFMT_A8R8G8B8, true);
BENCHMARK_CAPTURE(writeRows, A8R8G8B8Plain, D3DFMT_A8R8G8B8, false);
BENCHMARK_CAPTURE(readRows, X8R8G8B8ColorKey, D3DFMT_X8R8G8B8, kKey, true);
BENCHMARK_CAPTURE(readRows, X8R8G8B8ColorKeyPlain, D3DFMT_X8R8G8B8, kKey, false);
BENCHMARK_CAPTURE(memcpyRows, R5G6B5, D3DFMT_R5G6B5);
BENCHMARK_CAPTURE(readRows, R5G6B5, D3DFMT_R5G6B5, 0, true);
BENCHMARK_CAPTURE(readRows, R5G6B5Plain, D3DFMT_R5G6B5, 0, false);
BENCHMARK_CAPTURE(writeRows, R5G6B5, D3DFMT_R5G6B5, true);
BENCHMARK_CAPTURE(writeRows, R5G6B5Plain, D3DFMT_R5G6B5, false);
// A format on the general field routine.
BENCHMARK_CAPTURE(readRows, A1R5G5B5, D3DFMT_A1R5G5B5, 0, true);
BENCHMARK_CAPTURE(readRows, A1R5G5B5Plain, D3DFMT_A1R5G5B5, 0, false);
BENCHMARK_CAPTURE(writeRows, A1R5G5B5, D3DFMT_A1R5G5B5, true);
BENCHMARK_CAPTURE(writeRows, A1R5G5B5Plain, D3DFMT_A1R5G5B5, false);
BENCHMARK_CAPTURE(memcpyRows, L8, D3DFMT_L8);
BENCHMARK_CAPTURE(readRows, L8, D3DFMT_L8, 0, true);
BENCHMARK_CAPTURE(readRows, L8Plain, D3DFMT_L8, 0, false);
BENCHMARK_CAPTURE(writeRows, L8, D3DFMT_L8, true);
BENCHMARK_CAPTURE(writeRows, L8Plain, D3DFMT_L8, false);
BENCHMARK_CAPTURE(memcpyRows, DXT1, D3DFMT_DXT1);
BENCHMARK_CAPTURE(readRows, DXT1, D3DFMT_DXT1, 0, true);
BENCHMARK_CAPTURE(memcpyRows, DXT5, D3DFMT_DXT5);
BENCHMARK_CAPTURE(readRows, DXT5, D3DFMT_DXT5, 0, true);

}  // namespace

BENCHMARK_MAIN();
