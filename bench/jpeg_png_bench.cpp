// Decoding a 2048 x 2048 colour JPEG and a 2048 x 2048 RGBA PNG through the readers, each
// beside a plain decode of the same file by the same library in the same run (the baseline:
// the library's own memory source for JPEG, a plain png_read_image for PNG).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "../tests/texload_jpeg_png/jpeg_png_files.h"
#include "texload/image_readers.h"

namespace {

constexpr int kSize = 2048;

const std::vector<uint8_t> &jpegFile() {
  static const std::vector<uint8_t> file = [] {
    kvtest::JpegLayout layout;
    layout.width = layout.height = kSize;
    layout.components = 3;
    layout.quality = 90;
    return kvtest::encodeJpeg(layout, kvtest::testSamples(kSize, kSize, 3));
  }();
  return file;
}

const std::vector<uint8_t> &pngFile() {
  static const std::vector<uint8_t> file = [] {
    kvtest::PngLayout layout;
    layout.width = layout.height = kSize;
    layout.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    return kvtest::encodePng(layout, kvtest::testSamples(kSize, kSize, 4));
  }();
  return file;
}

void readerDecode(benchmark::State &state, HRESULT (*reader)(kv::DecodedImage &, const uint8_t *, uint32_t),
                  const std::vector<uint8_t> &file) {
  for (auto _ : state) {
    kv::DecodedImage image;
    image.decodePixels = 1;
    if (reader(image, file.data(), static_cast<uint32_t>(file.size())) != S_OK) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image.pixels);
    kv::releaseDecodedImage(image);
  }
  state.counters["MPix/s"] = benchmark::Counter(double(kSize) * kSize, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_JpegReader(benchmark::State &state) { readerDecode(state, kv::readJpeg, jpegFile()); }

void BM_JpegPlainLibrary(benchmark::State &state) {
  const std::vector<uint8_t> &file = jpegFile();
  for (auto _ : state) {
    kvtest::PlainJpeg plain;
    if (!kvtest::plainJpegDecode(file.data(), file.size(), plain)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(plain.samples.data());
  }
  state.counters["MPix/s"] = benchmark::Counter(double(kSize) * kSize, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_PngReader(benchmark::State &state) { readerDecode(state, kv::readPng, pngFile()); }

void BM_PngPlainLibrary(benchmark::State &state) {
  const std::vector<uint8_t> &file = pngFile();
  std::vector<uint8_t> pixels(size_t(kSize) * kSize * 4);
  std::vector<png_bytep> rows(kSize);
  for (int y = 0; y < kSize; ++y) rows[size_t(y)] = pixels.data() + size_t(y) * kSize * 4;
  for (auto _ : state) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    kvtest::PngSource source{file.data(), file.size()};
    if (setjmp(png_jmpbuf(png))) {
      state.SkipWithError("decode failed");
    } else {
      png_set_read_fn(png, &source, kvtest::readSource);
      png_read_info(png, info);
      png_read_update_info(png, info);
      png_read_image(png, rows.data());
    }
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.counters["MPix/s"] = benchmark::Counter(double(kSize) * kSize, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_JpegPlainLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngPlainLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngReader)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
