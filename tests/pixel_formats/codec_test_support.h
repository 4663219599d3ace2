// Shared by the pixel format tests: a surface in plain memory and the codec over it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "pixel/formats/pixel_codec.h"
#include "pixel/formats/pixel_format_info.h"

namespace kv::test {

// A width x height (x depth) surface of `bytesPerPixel` bytes a pixel, rows padded by a few
// bytes so that pitch mistakes show.
struct Surface {
  uint32_t format;
  uint32_t width, height, depth;
  uint32_t rowPitch, slicePitch;
  std::vector<uint8_t> bytes;

  Surface(uint32_t format_, uint32_t width_, uint32_t height_, uint32_t bytesPerRow, uint32_t depth_ = 1)
      : format(format_), width(width_), height(height_), depth(depth_), rowPitch(bytesPerRow + 4),
        slicePitch((bytesPerRow + 4) * height_), bytes(static_cast<size_t>(slicePitch) * depth_ + 16, 0) {}

  PixelBox box() {
    PixelBox b;
    b.data = bytes.data();
    b.format = format;
    b.rowPitch = rowPitch;
    b.slicePitch = slicePitch;
    const uint32_t extent[6] = {0, 0, width, height, 0, depth};
    std::memcpy(b.bounds, extent, sizeof extent);
    std::memcpy(b.box, extent, sizeof extent);
    return b;
  }

  uint8_t *row(uint32_t y, uint32_t z = 0) { return bytes.data() + static_cast<size_t>(z) * slicePitch + y * rowPitch; }
};

inline std::unique_ptr<PixelCodec> makeCodec(const PixelBox &box) {
  std::unique_ptr<PixelCodec> codec;
  EXPECT_EQ(createPixelCodec(box, codec), S_OK) << "format " << box.format;
  return codec;
}

using FloatRow = std::vector<float>;

inline FloatRow randomRow(uint32_t width, float lo, float hi, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> value(lo, hi);
  FloatRow row(static_cast<size_t>(width) * 4);
  for (float &v : row) v = value(random);
  return row;
}

inline FloatRow constantRow(uint32_t width, float r, float g, float b, float a) {
  FloatRow row;
  for (uint32_t x = 0; x < width; ++x) row.insert(row.end(), {r, g, b, a});
  return row;
}

inline uint32_t fourCc(const char *code) {
  return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) | static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24;
}

}  // namespace kv::test
