// Pixel regions in plain memory for the conversion-engine tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "pixel/convert/conversion_job.h"

namespace kv_test {

// A width x height x depth image of one format in its own memory, rows padded by `pad`
// bytes so that a pitch mistake shows.
struct Image {
  uint32_t format;
  uint32_t width, height, depth;
  uint32_t bytesPerPixel;
  uint32_t rowPitch, slicePitch;
  std::vector<uint8_t> bytes;

  Image(uint32_t format_, uint32_t bytesPerPixel_, uint32_t w, uint32_t h, uint32_t d = 1, uint32_t pad = 4)
      : format(format_), width(w), height(h), depth(d), bytesPerPixel(bytesPerPixel_) {
    rowPitch = w * bytesPerPixel + pad;
    slicePitch = rowPitch * h;
    bytes.assign(size_t(slicePitch) * d, 0);
  }

  uint8_t *pixel(uint32_t x, uint32_t y, uint32_t z = 0) {
    return bytes.data() + size_t(z) * slicePitch + size_t(y) * rowPitch + size_t(x) * bytesPerPixel;
  }
  uint32_t word(uint32_t x, uint32_t y, uint32_t z = 0) {
    uint32_t value = 0;
    std::memcpy(&value, pixel(x, y, z), bytesPerPixel < 4 ? bytesPerPixel : 4);
    return value;
  }
  void setWord(uint32_t x, uint32_t y, uint32_t value, uint32_t z = 0) {
    std::memcpy(pixel(x, y, z), &value, bytesPerPixel < 4 ? bytesPerPixel : 4);
  }
  float *floats(uint32_t x, uint32_t y, uint32_t z = 0) { return reinterpret_cast<float *>(pixel(x, y, z)); }

  kv::PixelBox box() {
    kv::PixelBox b;
    b.data = bytes.data();
    b.format = format;
    b.rowPitch = rowPitch;
    b.slicePitch = slicePitch;
    const uint32_t region[6] = {0, 0, width, height, 0, depth};
    for (int i = 0; i < 6; ++i) b.bounds[i] = b.box[i] = region[i];
    return b;
  }

  void randomize(uint32_t seed) {
    std::mt19937 random(seed);
    for (auto &b : bytes) b = uint8_t(random());
  }
  // Random floats in [0, 1] for A32B32G32R32F images.
  void randomizeFloats(uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.f, 1.f);
    for (uint32_t z = 0; z < depth; ++z)
      for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
          for (int c = 0; c < 4; ++c) floats(x, y, z)[c] = unit(random);
  }
};

inline Image floatImage(uint32_t w, uint32_t h, uint32_t d = 1) { return Image(D3DFMT_A32B32G32R32F, 16, w, h, d); }
inline Image argbImage(uint32_t w, uint32_t h, uint32_t d = 1) { return Image(D3DFMT_A8R8G8B8, 4, w, h, d); }

inline HRESULT convert(Image &destination, Image &source, uint32_t flags) {
  return kv::convertPixels(destination.box(), source.box(), flags);
}

}  // namespace kv_test
