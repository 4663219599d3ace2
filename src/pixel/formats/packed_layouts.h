// The bit layouts of the packed integer formats: where each stored field sits in the
// little-endian pixel word, which floating channel it comes from, and what each floating
// channel reads.
#pragma once

#include <cstdint>

#include "pixel/formats/pixel_codec.h"

namespace kv {

struct PackedField {
  uint8_t shift;
  uint8_t bits;
  bool isSigned;
  uint8_t channel;  // the floating channel (0 R .. 3 A) that is stored here
};

struct PackedLayout {
  uint32_t format;
  uint8_t bytesPerPixel;
  ValueRange range;
  uint8_t fieldCount;
  PackedField fields[4];
  int8_t channelField[4];  // field each channel reads, or -1 for the constant below
  float constants[4];
  bool luminance;          // the writer stores 0.2125 R + 0.7154 G + 0.0721 B in the R field
  bool derivedBlue;        // CxV8U8: B = sqrt(1 - R^2 - G^2), or 0 when that is not positive
};

// The layout of a packed format, or null.
const PackedLayout *findPackedLayout(uint32_t format);

// Largest field value: 2^n - 1 unsigned, 2^(n-1) - 1 signed.
inline uint32_t fieldMaximum(const PackedField &field) {
  return field.isSigned ? (1u << (field.bits - 1)) - 1 : static_cast<uint32_t>((uint64_t{1} << field.bits) - 1);
}

// The common packer: quantises `width` pixels of `values` into the layout's fields with
// the dither offsets of row y / slice z, error diffusion through `diffusionRow` (width + 2
// pixels, or null), in serpentine order, and stores the words at `out`. Adds the
// diffusion entries into `values` first.
void packFieldsRow(const PackedLayout &layout, float *values, uint32_t width, uint32_t y, const float *ditherOffsets,
                   float *diffusionRow, uint8_t *out);

// The common unpacker: `width` pixel words at `in` to floating pixels.
void unpackFieldsRow(const PackedLayout &layout, const uint8_t *in, uint32_t width, float *row);

}  // namespace kv
