// What the codecs share inside the formats folder: the dither and gamma tables, the row
// steps common to every format (colour key, gamma, range conversion), and the makers of
// each codec family.
#pragma once

#include <cstdint>
#include <memory>
#include <new>

#include "pixel/formats/pixel_codec.h"

namespace kv {

// Two tables of 4 rows x 8 offsets added before truncation: plain (all 0.5, rounding
// half up) and ordered (a 4x4 pattern, each row written twice so that a column phase of
// 0..3 plus a pixel phase of 0..3 stays inside the row).
extern const float kPlainDitherTable[32];
extern const float kOrderedDitherTable[32];

// The power-curve tables of the one-sided gamma mode: D[i] = (i/254)^1.1 and
// E[i] = (i/254)^(1/1.1), both with 1.0 at index 255.
const float *gammaDecodeTable();
const float *gammaEncodeTable();

// Which channels gamma conversion touches.
enum class GammaChannels { Rgb, AlphaOnly };

float gammaDecode(float x, bool bothGamma);
float gammaEncode(float x, bool bothGamma);
void gammaDecodeRow(float *row, uint32_t width, GammaChannels channels, bool bothGamma);
void gammaEncodeRow(const float *in, float *out, uint32_t width, GammaChannels channels, bool bothGamma);

// Converts `width` pixels from the range `other` to the range `own` (in and out may be
// the same buffer).
void convertRange(const float *in, float *out, uint32_t width, ValueRange own, ValueRange other);

// Pixels whose four floats equal `key` exactly become (0, 0, 0, 0).
void applyColorKey(float *row, uint32_t width, const float key[4]);

// The ARGB colour key as floating R, G, B, A (each byte times 1/255).
void colorKeyToFloats(uint32_t key, float out[4]);

// Luminance of a floating pixel, in single precision, in this order of operations.
inline float luminanceOf(const float *pixel) { return 0.2125f * pixel[0] + 0.7154f * pixel[1] + 0.0721f * pixel[2]; }

// The makers of each family: null when the format is not theirs or memory runs out
// (`outOfMemory` tells which).
std::unique_ptr<PixelCodec> makePackedCodec(const PixelBox &box, bool &outOfMemory);
std::unique_ptr<PixelCodec> makeFloatCodec(const PixelBox &box, bool &outOfMemory);
std::unique_ptr<PixelCodec> makePaletteCodec(const PixelBox &box, bool &outOfMemory);
std::unique_ptr<PixelCodec> makePairCodec(const PixelBox &box, bool &outOfMemory);
std::unique_ptr<PixelCodec> makeBlockCodec(const PixelBox &box, bool &outOfMemory);

// Zeroed floats from the non-throwing heap; null when memory runs out.
std::unique_ptr<float[]> allocateFloats(size_t count);

// Makes a codec of class Codec from the non-throwing heap and runs its own allocation
// step `allocate` (a member returning false when memory runs out).
template <typename Codec>
std::unique_ptr<PixelCodec> constructCodec(const PixelBox &box, bool (Codec::*allocate)(), bool &outOfMemory) {
  std::unique_ptr<Codec> codec(new (std::nothrow) Codec(box));
  if (!codec || !((*codec).*allocate)()) {
    outOfMemory = true;
    return nullptr;
  }
  return codec;
}

}  // namespace kv
