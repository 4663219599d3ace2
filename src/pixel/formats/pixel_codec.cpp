#include "pixel/formats/pixel_codec.h"

#include <cmath>
#include <cstring>
#include <new>

#include "math/reciprocal_sqrt.h"
#include "pixel/formats/codec_rows.h"

namespace kv {

const float kPlainDitherTable[32] = {
    0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
    0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
};

const float kOrderedDitherTable[32] = {
    31 / 32.0f, 15 / 32.0f, 27 / 32.0f, 11 / 32.0f, 31 / 32.0f, 15 / 32.0f, 27 / 32.0f, 11 / 32.0f,
    7 / 32.0f,  23 / 32.0f, 3 / 32.0f,  19 / 32.0f, 7 / 32.0f,  23 / 32.0f, 3 / 32.0f,  19 / 32.0f,
    25 / 32.0f, 9 / 32.0f,  29 / 32.0f, 13 / 32.0f, 25 / 32.0f, 9 / 32.0f,  29 / 32.0f, 13 / 32.0f,
    1 / 32.0f,  17 / 32.0f, 5 / 32.0f,  21 / 32.0f, 1 / 32.0f,  17 / 32.0f, 5 / 32.0f,  21 / 32.0f,
};

namespace {

struct GammaTables {
  float decode[256];
  float encode[256];
  GammaTables() {
    for (int i = 0; i < 255; ++i) {
      decode[i] = static_cast<float>(std::pow(i / 254.0, 1.1));
      encode[i] = static_cast<float>(std::pow(i / 254.0, 1.0 / 1.1));
    }
    decode[255] = 1.0f;
    encode[255] = 1.0f;
  }
};

const GammaTables &gammaTables() {
  static const GammaTables tables;
  return tables;
}

// Interpolates a table at t = 254 x. Values beyond 1, which floating formats can carry,
// continue the last segment, which is flat (entries 254 and 255 are both 1), so they come
// out as 1; values below 0 (and not-a-numbers) take entry 0.
float interpolateGamma(const float *table, float t) {
  if (!(t > 0.0f)) return table[0];
  float index = std::trunc(t);
  if (index > 254.0f) index = 254.0f;
  const int i = static_cast<int>(index);
  return table[i] + (table[i + 1] - table[i]) * (t - index);
}

}  // namespace

const float *gammaDecodeTable() { return gammaTables().decode; }
const float *gammaEncodeTable() { return gammaTables().encode; }

float gammaDecode(float x, bool bothGamma) {
  if (bothGamma) return x * x;
  return interpolateGamma(gammaTables().decode, x * x * 254.0f);
}

float gammaEncode(float x, bool bothGamma) {
  // The table square root is only defined for non-negative input.
  const float root = x > 0.0f ? x * tableReciprocalSqrt(x) : 0.0f;
  if (bothGamma) return root;
  return interpolateGamma(gammaTables().encode, root * 254.0f);
}

void gammaDecodeRow(float *row, uint32_t width, GammaChannels channels, bool bothGamma) {
  for (uint32_t x = 0; x < width; ++x) {
    float *p = row + 4 * x;
    if (channels == GammaChannels::AlphaOnly) {
      p[3] = gammaDecode(p[3], bothGamma);
    } else {
      for (int c = 0; c < 3; ++c) p[c] = gammaDecode(p[c], bothGamma);
    }
  }
}

void gammaEncodeRow(const float *in, float *out, uint32_t width, GammaChannels channels, bool bothGamma) {
  for (uint32_t x = 0; x < width; ++x) {
    const float *p = in + 4 * x;
    float *q = out + 4 * x;
    if (channels == GammaChannels::AlphaOnly) {
      q[0] = p[0], q[1] = p[1], q[2] = p[2];
      q[3] = gammaEncode(p[3], bothGamma);
    } else {
      for (int c = 0; c < 3; ++c) q[c] = gammaEncode(p[c], bothGamma);
      q[3] = p[3];
    }
  }
}

namespace {

inline float toUnsigned(float x) { return (x + 1.0f) * 0.5f; }
inline float toSigned(float x) { return 2.0f * x - 1.0f; }
inline float clampTo(float x, float lo, float hi) { return x < lo ? lo : (x > hi ? hi : x); }

}  // namespace

void convertRange(const float *in, float *out, uint32_t width, ValueRange own, ValueRange other) {
  for (uint32_t x = 0; x < width; ++x) {
    const float *p = in + 4 * x;
    float *q = out + 4 * x;
    float v[4] = {p[0], p[1], p[2], p[3]};
    switch (own) {
      case ValueRange::Unorm:
        if (other == ValueRange::SignedRgb) {
          for (int c = 0; c < 3; ++c) v[c] = toUnsigned(v[c]);
        } else if (other == ValueRange::Snorm) {
          for (float &c : v) c = toUnsigned(c);
        } else if (other == ValueRange::Float) {
          for (float &c : v) c = clampTo(c, 0.0f, 1.0f);
        }
        break;
      case ValueRange::SignedRgb:
        if (other == ValueRange::Unorm) {
          for (int c = 0; c < 3; ++c) v[c] = toSigned(v[c]);
        } else if (other == ValueRange::Snorm) {
          v[3] = toUnsigned(v[3]);
        } else if (other == ValueRange::Float) {
          for (int c = 0; c < 3; ++c) v[c] = clampTo(v[c], -1.0f, 1.0f);
          v[3] = clampTo(v[3], 0.0f, 1.0f);
        }
        break;
      case ValueRange::Snorm:
        if (other == ValueRange::Unorm) {
          for (float &c : v) c = toSigned(c);
        } else if (other == ValueRange::SignedRgb) {
          v[3] = toSigned(v[3]);
        } else if (other == ValueRange::Float) {
          for (float &c : v) c = clampTo(c, -1.0f, 1.0f);
        }
        break;
      default:
        break;
    }
    q[0] = v[0], q[1] = v[1], q[2] = v[2], q[3] = v[3];
  }
}

void applyColorKey(float *row, uint32_t width, const float key[4]) {
  for (uint32_t x = 0; x < width; ++x) {
    float *p = row + 4 * x;
    if (p[0] == key[0] && p[1] == key[1] && p[2] == key[2] && p[3] == key[3]) p[0] = p[1] = p[2] = p[3] = 0.0f;
  }
}

void colorKeyToFloats(uint32_t key, float out[4]) {
  constexpr float kByte = 1.0f / 255.0f;
  out[0] = static_cast<float>((key >> 16) & 0xFF) * kByte;
  out[1] = static_cast<float>((key >> 8) & 0xFF) * kByte;
  out[2] = static_cast<float>(key & 0xFF) * kByte;
  out[3] = static_cast<float>(key >> 24) * kByte;
}

std::unique_ptr<float[]> allocateFloats(size_t count) {
  std::unique_ptr<float[]> buffer(new (std::nothrow) float[count]);
  if (buffer) std::memset(buffer.get(), 0, count * sizeof(float));
  return buffer;
}

PixelCodec::PixelCodec(const PixelBox &box, ValueRange range, uint32_t bitsPerPixel)
    : format_(box.format),
      range_(range),
      bytesPerPixel_(bitsPerPixel / 8),
      hasBitCount_(bitsPerPixel != 0),
      data_(box.data),
      rowPitch_(box.rowPitch),
      slicePitch_(box.slicePitch),
      dither_(box.dither),
      diffusion_(box.diffusion),
      colorKey_(box.colorKey),
      sourcePalette_(box.palette),
      ditherTable_(box.dither ? kOrderedDitherTable : kPlainDitherTable) {
  std::memcpy(bounds_, box.bounds, sizeof bounds_);
  std::memcpy(box_, box.box, sizeof box_);
  // Signed values have no gamma; L6V5U5 keeps it for its unsigned luminance.
  const bool signedFormat = range == ValueRange::Snorm || range == ValueRange::SignedRgb;
  gammaAlphaOnly_ = box.format == D3DFMT_L6V5U5;
  gamma_ = box.gamma && (!signedFormat || gammaAlphaOnly_);
  // An inverted box converts nothing.
  width_ = box_[kBoxRight] > box_[kBoxLeft] ? box_[kBoxRight] - box_[kBoxLeft] : 0;
  height_ = box_[kBoxBottom] > box_[kBoxTop] ? box_[kBoxBottom] - box_[kBoxTop] : 0;
  depth_ = box_[kBoxBack] > box_[kBoxFront] ? box_[kBoxBack] - box_[kBoxFront] : 0;
  rowBytes_ = width_ * bytesPerPixel_;
  if (hasBitCount_) {
    data_ += static_cast<size_t>(box_[kBoxLeft]) * bytesPerPixel_ + static_cast<size_t>(box_[kBoxTop]) * rowPitch_ +
             static_cast<size_t>(box_[kBoxFront]) * slicePitch_;
    box_[kBoxLeft] = 0, box_[kBoxTop] = 0, box_[kBoxFront] = 0;
    box_[kBoxRight] = width_, box_[kBoxBottom] = height_, box_[kBoxBack] = depth_;
  }
  colorKeyToFloats(colorKey_, colorKeyFloat_);
}

PixelCodec::~PixelCodec() = default;

bool PixelCodec::allocateBuffers() {
  if (diffusion_) {
    diffusionRow_ = allocateFloats((static_cast<size_t>(width_) + 2) * 4);
    if (!diffusionRow_) return false;
  }
  return true;
}

float *PixelCodec::prepareRowForPacking(float *row) {
  float *out = scratch_ ? scratch_.get() : row;
  const float *in = row;
  if (otherRange_ != ValueRange::None) {
    convertRange(in, out, width_, range_, otherRange_);
    in = out;
  }
  if (gamma_) {
    gammaEncodeRow(in, out, width_, gammaAlphaOnly_ ? GammaChannels::AlphaOnly : GammaChannels::Rgb, bothGamma_);
    in = out;
  }
  return const_cast<float *>(in);
}

void PixelCodec::finishReadRow(float *row) { finishReadPixels(row, width_); }

// Key and gamma work pixel by pixel, so any run of unpacked pixels takes them alike.
void PixelCodec::finishReadPixels(float *row, uint32_t count) {
  if (colorKey_ != 0) applyColorKey(row, count, colorKeyFloat_);
  if (gamma_) gammaDecodeRow(row, count, gammaAlphaOnly_ ? GammaChannels::AlphaOnly : GammaChannels::Rgb, bothGamma_);
}

bool PixelCodec::readColumns(uint32_t, uint32_t, const uint32_t *, uint32_t, float *) { return false; }

void PixelCodec::prepareColorKeyThroughRows() {
  if (colorKey_ == 0) return;
  // One pixel packed into a private buffer and read back. The key describes stored pixel
  // values, which is where readRow compares, so gamma stays out of the round trip; error
  // diffusion stays out too, so the key leaves nothing behind for the first real row.
  alignas(16) uint8_t pixel[16] = {};
  uint8_t *const savedData = data_;
  const uint32_t savedWidth = width_, savedHeight = height_, savedDepth = depth_, savedKey = colorKey_;
  const float *const savedDither = ditherTable_;
  const bool savedGamma = gamma_;
  const ValueRange savedOther = otherRange_;
  std::unique_ptr<float[]> savedScratch = std::move(scratch_);
  std::unique_ptr<float[]> savedDiffusion = std::move(diffusionRow_);

  data_ = pixel;
  width_ = height_ = depth_ = 1;
  colorKey_ = 0;
  ditherTable_ = kPlainDitherTable;
  gamma_ = false;
  const bool unsignedOrFloat = range_ == ValueRange::Unorm || range_ == ValueRange::Float;
  otherRange_ = unsignedOrFloat ? ValueRange::None : ValueRange::Unorm;

  float key[4] = {colorKeyFloat_[0], colorKeyFloat_[1], colorKeyFloat_[2], colorKeyFloat_[3]};
  writeRow(0, 0, key);
  readRow(0, 0, key);
  std::memcpy(colorKeyFloat_, key, sizeof key);

  data_ = savedData;
  width_ = savedWidth;
  height_ = savedHeight;
  depth_ = savedDepth;
  colorKey_ = savedKey;
  ditherTable_ = savedDither;
  gamma_ = savedGamma;
  otherRange_ = savedOther;
  scratch_ = std::move(savedScratch);
  diffusionRow_ = std::move(savedDiffusion);
}

HRESULT createPixelCodec(const PixelBox &box, std::unique_ptr<PixelCodec> &codec) {
  codec.reset();
  using Maker = std::unique_ptr<PixelCodec> (*)(const PixelBox &, bool &);
  static constexpr Maker kMakers[] = {makePackedCodec, makeFloatCodec, makePaletteCodec, makePairCodec,
                                      makeBlockCodec};
  for (Maker maker : kMakers) {
    bool outOfMemory = false;
    std::unique_ptr<PixelCodec> made = maker(box, outOfMemory);
    if (outOfMemory) return E_OUTOFMEMORY;
    if (!made) continue;
    if (!made->allocateBuffers()) return E_OUTOFMEMORY;
    if (made->colorKey_ != 0) made->prepareColorKey();
    codec = std::move(made);
    return S_OK;
  }
  return E_FAIL;
}

bool hasPixelCodec(uint32_t format) {
  PixelBox box;
  box.format = format;
  std::unique_ptr<PixelCodec> codec;
  return SUCCEEDED(createPixelCodec(box, codec));
}

HRESULT connectCodecs(PixelCodec &destination, PixelCodec &source) {
  const bool convert = destination.range_ != source.range_ && destination.range_ != ValueRange::Float;
  destination.otherRange_ = convert ? source.range_ : ValueRange::None;
  if ((convert || destination.gamma_) && !destination.scratch_) {
    destination.scratch_ = allocateFloats(static_cast<size_t>(destination.width_) * 4);
    if (!destination.scratch_) return E_OUTOFMEMORY;
  }
  if (destination.gamma_ && source.gamma_) {
    destination.bothGamma_ = true;
    source.bothGamma_ = true;
  }
  return S_OK;
}

}  // namespace kv
