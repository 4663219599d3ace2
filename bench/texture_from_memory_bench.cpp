// createTextureFromImageInMemory with the texture list's arguments (explicit size, the
// full chain, A8R8G8B8, managed pool, linear filters, no key) on 32-bit bitmap file
// images, beside a memcpy of the same bytes in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "gfx/com_ref.h"
#include "pixel/convert/filter_flags.h"
#include "scene/texture_loading.h"
#include "testing/d3d9_control.h"
#include "texload/texture_from_memory.h"

namespace {

// The texture list's own bitmap file image of a width x height picture.
std::vector<uint8_t> bitmapFile(uint32_t width, uint32_t height) {
  std::vector<uint32_t> pixels(size_t(width) * height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      pixels[size_t(y) * width + x] = 0xFF000000u | (x & 0xFF) << 16 | (y & 0xFF) << 8 | ((x ^ y) & 0xFF);
  size_t size = 0;
  const auto file = kv::buildBmpImage(pixels.data(), int(width), int(height), &size);
  return file ? std::vector<uint8_t>(file.get(), file.get() + size) : std::vector<uint8_t>();
}

IDirect3DDevice9 *device() {
  static IDirect3DDevice9 *made = [] {
    IDirect3D9 *d3d = Direct3DCreate9(D3D_SDK_VERSION);
    static int window;
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 64;
    pp.BackBufferHeight = 64;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    IDirect3DDevice9 *dev = nullptr;
    if (d3d) d3d->CreateDevice(0, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(&window), D3DCREATE_MIXED_VERTEXPROCESSING,
                               &pp, &dev);
    return dev;
  }();
  return made;
}

void BM_CreateTextureFromImage(benchmark::State &state) {
  const auto width = static_cast<uint32_t>(state.range(0)), height = static_cast<uint32_t>(state.range(1));
  const std::vector<uint8_t> file = bitmapFile(width, height);
  if (!device()) {
    state.SkipWithError("no device");
    return;
  }
  for (auto _ : state) {
    kv::ComRef<IDirect3DTexture9> texture;
    const HRESULT hr = kv::createTextureFromImageInMemory(
        device(), file.data(), UINT(file.size()), width, height, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
        kv::FilterLinear, kv::FilterLinear, 0, nullptr, nullptr, texture.put());
    if (FAILED(hr)) {
      state.SkipWithError("createTextureFromImageInMemory failed");
      break;
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
BENCHMARK(BM_CreateTextureFromImage)->Args({2048, 2048})->Args({256, 256})->Args({300, 200})->Unit(benchmark::kMillisecond);

void BM_ImageMemcpyBaseline(benchmark::State &state) {
  const size_t bytes = 54 + size_t(state.range(0)) * size_t(state.range(1)) * 4;
  std::vector<uint8_t> a(bytes, 1), b(bytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_ImageMemcpyBaseline)->Args({2048, 2048})->Args({256, 256})->Args({300, 200})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
