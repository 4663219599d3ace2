// The pair formats: YUY2 and UYVY (4:2:2 luma and chroma) and R8G8_B8G8 / G8R8_G8B8 (two
// pixels sharing R and B). Two pixels share one 32-bit pair, so the codec works on whole
// rows of pairs: it keeps one decoded row, widened to even edges, and writes it back when
// another row is wanted or the codec is destroyed.
#include <cmath>
#include <new>

#include "pixel/formats/codec_rows.h"

namespace kv {

namespace {

constexpr uint32_t kFormatYuy2 = MAKEFOURCC('Y', 'U', 'Y', '2');
constexpr uint32_t kFormatUyvy = MAKEFOURCC('U', 'Y', 'V', 'Y');
constexpr uint32_t kFormatRgbg = MAKEFOURCC('R', 'G', 'B', 'G');
constexpr uint32_t kFormatGrgb = MAKEFOURCC('G', 'R', 'G', 'B');

inline float clampUnit(float x) { return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; }

// A level 0..255 from a float already scaled; not-a-numbers give 0.
inline uint8_t clampByte(float x) { return static_cast<uint8_t>(x > 0.0f ? (x < 255.0f ? x : 255.0f) : 0.0f); }

// The odd pixel after pair j takes the chroma of the neighbouring pairs through the taps
// (-1, 9, 9, -1) / 16; pairs missing at the edges are stood in for by the nearest one.
int interpolateChroma(const int *c, uint32_t j, uint32_t pairs) {
  if (pairs == 1) return c[0];
  if (j == 0 && pairs == 2) return (8 * (c[0] + c[1]) + 8) >> 4;
  if (j == pairs - 1) return (17 * c[j] - c[j - 1] + 8) >> 4;
  if (j == 0) return (9 * (c[0] + c[1]) - c[2] - c[0] + 8) >> 4;
  if (j == pairs - 2) return (9 * c[j] + 8 * c[j + 1] - c[j - 1] + 8) >> 4;
  return (9 * (c[j] + c[j + 1]) - c[j - 1] - c[j + 2] + 8) >> 4;
}

void yuvToRgb(int luma, int cb, int cr, float *p) {
  const float l = static_cast<float>(luma - 16) * 0.00456621f;
  const float u = static_cast<float>(cb - 128), v = static_cast<float>(cr - 128);
  p[0] = clampUnit(l + v * 0.00625893f);
  p[1] = clampUnit(l - u * 0.00153632f - v * 0.00318811f);
  p[2] = clampUnit(l + u * 0.00791071f);
  p[3] = 1.0f;
}

class PairCodec final : public PixelCodec {
 public:
  explicit PairCodec(const PixelBox &box) : PixelCodec(box, ValueRange::Unorm, 0) {
    lumaLow_ = format_ == kFormatYuy2 || format_ == kFormatRgbg;
    yuv_ = format_ == kFormatYuy2 || format_ == kFormatUyvy;
    alignedLeft_ = box_[kBoxLeft] & ~1u;
    const uint64_t right = box_[kBoxRight] > box_[kBoxLeft] ? box_[kBoxRight] : box_[kBoxLeft];
    alignedWidth_ = static_cast<uint32_t>(((right + 1) & ~uint64_t{1}) - alignedLeft_);
    offset_ = box_[kBoxLeft] - alignedLeft_;
  }

  ~PairCodec() override { writeBack(); }

  bool allocateCache() {
    cache_ = allocateFloats(static_cast<size_t>(alignedWidth_) * 4 + 8);
    words_ = std::unique_ptr<uint16_t[]>(new (std::nothrow) uint16_t[alignedWidth_ + 2]);
    chroma_ = std::unique_ptr<int[]>(new (std::nothrow) int[alignedWidth_ + 2]);
    return cache_ && words_ && chroma_;
  }

  void readRow(uint32_t y, uint32_t z, float *row) override {
    if (rowOutsideBox(y, z, row)) return;
    if (width_ == 0) return;
    holdRow(y, z, true);
    const float *from = cache_.get() + 4 * static_cast<size_t>(offset_);
    for (uint32_t i = 0; i < width_ * 4; ++i) row[i] = from[i];
    finishReadRow(row);
  }

  void writeRow(uint32_t y, uint32_t z, float *row) override {
    if (rowOutsideBox(y, z, nullptr)) return;
    if (width_ == 0) return;
    const float *values = prepareRowForPacking(row);
    // A pair only partly inside the box keeps its outside pixel: decode the row first.
    const bool partial = offset_ != 0 || alignedWidth_ != width_ + offset_;
    holdRow(y, z, partial);
    float *to = cache_.get() + 4 * static_cast<size_t>(offset_);
    for (uint32_t i = 0; i < width_ * 4; ++i) to[i] = values[i];
    pending_ = true;
  }

  // The key goes through one pair of two equal pixels and back.
  void prepareColorKey() override {
    if (colorKey_ == 0) return;
    const float *key = colorKeyFloat_;
    float pair[8] = {key[0], key[1], key[2], key[3], key[0], key[1], key[2], key[3]};
    uint16_t words[2];
    encodePairs(pair, 2, words);
    int chroma[2];
    float decoded[8];
    decodeWords(words, 2, chroma, decoded);
    for (int c = 0; c < 4; ++c) colorKeyFloat_[c] = decoded[c];
  }

 private:
  uint8_t *pairRowAddress(uint32_t y, uint32_t z) const {
    return data_ + static_cast<size_t>(box_[kBoxTop] + y) * rowPitch_ +
           static_cast<size_t>(box_[kBoxFront] + z) * slicePitch_ + static_cast<size_t>(alignedLeft_) * 2;
  }

  // Makes the cache hold row y of slice z, decoded from memory when `decode` is set.
  void holdRow(uint32_t y, uint32_t z, bool decode) {
    if (held_ && heldY_ == y && heldZ_ == z) return;
    writeBack();
    held_ = true, heldY_ = y, heldZ_ = z;
    if (!decode) return;
    const uint8_t *in = pairRowAddress(y, z);
    for (uint32_t i = 0; i < alignedWidth_; ++i) words_[i] = static_cast<uint16_t>(in[2 * i] | in[2 * i + 1] << 8);
    decodeWords(words_.get(), alignedWidth_, chroma_.get(), cache_.get());
  }

  void writeBack() {
    if (!pending_) return;
    pending_ = false;
    encodePairs(cache_.get(), alignedWidth_, words_.get());
    uint8_t *out = pairRowAddress(heldY_, heldZ_);
    for (uint32_t i = 0; i < alignedWidth_; ++i) {
      out[2 * i] = static_cast<uint8_t>(words_[i]);
      out[2 * i + 1] = static_cast<uint8_t>(words_[i] >> 8);
    }
  }

  int lumaOf(uint16_t word) const { return lumaLow_ ? word & 0xFF : word >> 8; }
  int chromaOf(uint16_t word) const { return lumaLow_ ? word >> 8 : word & 0xFF; }

  // `count` words (even) to `count` floating pixels; `chroma` is count ints of room.
  void decodeWords(const uint16_t *words, uint32_t count, int *chroma, float *out) const {
    const uint32_t pairs = count / 2;
    constexpr float kByte = 1.0f / 255.0f;
    if (!yuv_) {
      for (uint32_t j = 0; j < pairs; ++j) {
        const float r = static_cast<float>(chromaOf(words[2 * j])) * kByte;
        const float b = static_cast<float>(chromaOf(words[2 * j + 1])) * kByte;
        float *p = out + 8 * j;
        p[0] = r, p[1] = static_cast<float>(lumaOf(words[2 * j])) * kByte, p[2] = b, p[3] = 1.0f;
        p[4] = r, p[5] = static_cast<float>(lumaOf(words[2 * j + 1])) * kByte, p[6] = b, p[7] = 1.0f;
      }
      return;
    }
    // Cb of pair j at chroma[j], Cr at chroma[pairs + j].
    int *cb = chroma, *cr = chroma + pairs;
    for (uint32_t j = 0; j < pairs; ++j) {
      cb[j] = chromaOf(words[2 * j]);
      cr[j] = chromaOf(words[2 * j + 1]);
    }
    for (uint32_t j = 0; j < pairs; ++j) {
      yuvToRgb(lumaOf(words[2 * j]), cb[j], cr[j], out + 8 * j);
      yuvToRgb(lumaOf(words[2 * j + 1]), interpolateChroma(cb, j, pairs), interpolateChroma(cr, j, pairs),
               out + 8 * j + 4);
    }
  }

  uint16_t makeWord(uint8_t luma, uint8_t chroma) const {
    return static_cast<uint16_t>(lumaLow_ ? luma | chroma << 8 : chroma | luma << 8);
  }

  // `count` floating pixels (even) to `count` words; chroma comes from the first pixel of
  // each pair.
  void encodePairs(const float *pixels, uint32_t count, uint16_t *words) const {
    for (uint32_t j = 0; j < count / 2; ++j) {
      const float *p0 = pixels + 8 * j, *p1 = p0 + 4;
      if (!yuv_) {
        // Out-of-range values are clamped so that they cannot wrap around a byte.
        const uint8_t r = clampByte(std::trunc(p0[0] * 255.0f + 0.5f));
        const uint8_t b = clampByte(std::trunc(p0[2] * 255.0f + 0.5f));
        words[2 * j] = makeWord(clampByte(std::trunc(p0[1] * 255.0f + 0.5f)), r);
        words[2 * j + 1] = makeWord(clampByte(std::trunc(p1[1] * 255.0f + 0.5f)), b);
        continue;
      }
      const uint8_t y0 = clampByte(std::trunc(65.481f * p0[0] + 128.553f * p0[1] + 24.966f * p0[2] + 0.5f) + 16.0f);
      const uint8_t y1 = clampByte(std::trunc(65.481f * p1[0] + 128.553f * p1[1] + 24.966f * p1[2] + 0.5f) + 16.0f);
      const uint8_t cb = clampByte(std::trunc(112.0f * p0[2] - 74.203f * p0[1] - 37.797f * p0[0] + 0.5f) + 128.0f);
      const uint8_t cr = clampByte(std::trunc(112.0f * p0[0] - 93.786f * p0[1] - 18.214f * p0[2] + 0.5f) + 128.0f);
      words[2 * j] = makeWord(y0, cb);
      words[2 * j + 1] = makeWord(y1, cr);
    }
  }

  bool lumaLow_ = true, yuv_ = true;
  uint32_t alignedLeft_ = 0, alignedWidth_ = 0, offset_ = 0;
  std::unique_ptr<float[]> cache_;
  std::unique_ptr<uint16_t[]> words_;
  std::unique_ptr<int[]> chroma_;
  bool held_ = false, pending_ = false;
  uint32_t heldY_ = 0, heldZ_ = 0;
};

}  // namespace

std::unique_ptr<PixelCodec> makePairCodec(const PixelBox &box, bool &outOfMemory) {
  if (box.format != kFormatYuy2 && box.format != kFormatUyvy && box.format != kFormatRgbg && box.format != kFormatGrgb)
    return nullptr;
  return constructCodec<PairCodec>(box, &PairCodec::allocateCache, outOfMemory);
}

}  // namespace kv
