// The description of every pixel format the texture pipeline knows: its class, bit depth
// and channel widths, and whether it may stand in for a format the device lacks.
#pragma once

#include <cstdint>

#include "pixel/formats/private_formats.h"

namespace kv {

enum class FormatClass : uint32_t {
  Rgb = 0,
  Palette = 1,
  Luminance = 2,
  Signed = 3,
  DepthStencil = 4,
};

constexpr uint32_t kFormatClassCount = 5;

// One row of the format table: nine 32-bit values.
struct PixelFormatInfo {
  uint32_t format;            // D3DFORMAT number or four-character code
  FormatClass formatClass;
  uint32_t bitsPerPixel;      // 16 for the block formats (a placeholder, they have no pixel word)
  uint32_t extraBits;         // unsigned bits inside a signed format; depth formats: 1 = lockable
  uint32_t alphaBits;
  uint32_t redBits;           // signed formats: W; depth formats: 0
  uint32_t greenBits;         // signed formats: V; depth formats: stencil bits
  uint32_t blueBits;          // signed formats: U; depth formats: depth bits
  uint32_t candidate;         // 1 = may be chosen as a substitute format
};

constexpr uint32_t kPixelFormatCount = 57;

// The table in its fixed order (kPixelFormatCount rows).
const PixelFormatInfo *pixelFormatTable();

// The row of `format`, searched in table order; a format not in the table gets the
// unknown-format row {0, Rgb, 32, 0, 8, 8, 8, 8, 0}. Never null.
const PixelFormatInfo &lookupFormatInfo(uint32_t format);

// Which classes may replace which: row = class of the wanted format, column = class of
// a candidate, 1 = allowed.
extern const uint8_t kFormatClassCompatibility[kFormatClassCount][kFormatClassCount];

inline bool formatClassesCompatible(FormatClass wanted, FormatClass candidate) {
  const auto w = static_cast<uint32_t>(wanted), c = static_cast<uint32_t>(candidate);
  return w < kFormatClassCount && c < kFormatClassCount && kFormatClassCompatibility[w][c] != 0;
}

}  // namespace kv
