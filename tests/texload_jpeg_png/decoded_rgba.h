// A decoded record's pixels as RGBA samples (8 or 16 bits, by format), to compare readers
// with plain library decodes.
#pragma once

#include <cstdint>
#include <vector>

#include "texload/decoded_image.h"

namespace kvtest {

// Owns a record and releases it, whatever the test does.
struct Decoded {
  kv::DecodedImage image;
  explicit Decoded(bool decodePixels = true) { image.decodePixels = decodePixels ? 1 : 0; }
  ~Decoded() { kv::releaseDecodedImage(image); }
  Decoded(const Decoded &) = delete;
  Decoded &operator=(const Decoded &) = delete;
};

inline uint16_t le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Bits per sample of the RGBA that recordRgba gives for the record's format.
inline int rgbaDepth(const kv::DecodedImage &image) {
  switch (image.format) {
    case D3DFMT_L16:
    case D3DFMT_A16B16G16R16:
    case kv::FMT_R16G16B16:
    case kv::FMT_A16L16: return 16;
    default: return 8;
  }
}

// Four samples a pixel, top row first; empty for a format the PNG and JPEG readers never make.
inline std::vector<uint16_t> recordRgba(const kv::DecodedImage &image) {
  std::vector<uint16_t> out;
  const uint16_t opaque = rgbaDepth(image) == 16 ? 0xFFFF : 0xFF;
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t *row = image.pixels + size_t(y) * image.rowPitch;
    for (uint32_t x = 0; x < image.width; ++x) {
      uint16_t r, g, b, a = opaque;
      switch (image.format) {
        case D3DFMT_L8: r = g = b = row[x]; break;
        case D3DFMT_A8L8: r = g = b = row[2 * x], a = row[2 * x + 1]; break;
        case D3DFMT_L16: r = g = b = le16(row + 2 * x); break;
        case kv::FMT_A16L16: r = g = b = le16(row + 4 * x), a = le16(row + 4 * x + 2); break;
        case D3DFMT_X8R8G8B8: b = row[4 * x], g = row[4 * x + 1], r = row[4 * x + 2]; break;
        case D3DFMT_A8R8G8B8: b = row[4 * x], g = row[4 * x + 1], r = row[4 * x + 2], a = row[4 * x + 3]; break;
        case kv::FMT_R16G16B16: b = le16(row + 6 * x), g = le16(row + 6 * x + 2), r = le16(row + 6 * x + 4); break;
        case D3DFMT_A16B16G16R16:
          r = le16(row + 8 * x), g = le16(row + 8 * x + 2), b = le16(row + 8 * x + 4), a = le16(row + 8 * x + 6);
          break;
        case D3DFMT_P8: {
          const uint8_t *entry = image.palette + 4 * row[x];
          r = entry[0], g = entry[1], b = entry[2], a = entry[3];
          break;
        }
        default: return {};
      }
      out.insert(out.end(), {r, g, b, a});
    }
  }
  return out;
}

}  // namespace kvtest
