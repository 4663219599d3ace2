// The floating formats: 32-bit channels copied as they are, 16-bit channels through the
// math table's half conversions. They are never clamped, dithered or range-converted.
#include <cstring>
#include <new>

#include "math/half_float.h"
#include "pixel/formats/codec_rows.h"

namespace kv {

namespace {

struct FloatLayout {
  uint32_t format;
  uint8_t channels;   // stored channels, R first; the others read as 1
  bool half;
};

constexpr FloatLayout kFloatLayouts[] = {
    {D3DFMT_R16F, 1, true},           {D3DFMT_G16R16F, 2, true},  {D3DFMT_A16B16G16R16F, 4, true},
    {D3DFMT_R32F, 1, false},          {D3DFMT_G32R32F, 2, false}, {D3DFMT_A32B32G32R32F, 4, false},
    {D3DFMT_D32F_LOCKABLE, 1, false},
};

class FloatCodec final : public PixelCodec {
 public:
  FloatCodec(const PixelBox &box, const FloatLayout &layout)
      : PixelCodec(box, ValueRange::Float, layout.channels * (layout.half ? 16u : 32u)), layout_(layout) {}

  void readRow(uint32_t y, uint32_t z, float *row) override {
    if (rowOutsideBox(y, z, row)) return;
    const uint8_t *in = rowAddress(y, z);
    const uint32_t n = layout_.channels;
    for (uint32_t x = 0; x < width_; ++x, in += bytesPerPixel_) {
      float *p = row + 4 * x;
      p[0] = p[1] = p[2] = p[3] = 1.0f;
      if (layout_.half) {
        uint16_t halves[4];
        std::memcpy(halves, in, n * sizeof(uint16_t));
        halvesToChannels(halves, p, n);
      } else {
        std::memcpy(p, in, n * sizeof(float));
      }
    }
    finishReadRow(row);
  }

  void writeRow(uint32_t y, uint32_t z, float *row) override {
    if (rowOutsideBox(y, z, nullptr)) return;
    if (width_ == 0) return;
    const float *values = prepareRowForPacking(row);
    uint8_t *out = rowAddress(y, z);
    const uint32_t n = layout_.channels;
    for (uint32_t x = 0; x < width_; ++x, out += bytesPerPixel_) {
      const float *p = values + 4 * x;
      if (layout_.half) {
        uint16_t halves[4];
        float32To16Array(halves, p, n);
        std::memcpy(out, halves, n * sizeof(uint16_t));
      } else {
        std::memcpy(out, p, n * sizeof(float));
      }
    }
  }

  void prepareColorKey() override { prepareColorKeyThroughRows(); }

 private:
  static void halvesToChannels(const uint16_t *halves, float *p, uint32_t n) { float16To32Array(p, halves, n); }

  const FloatLayout &layout_;
};

}  // namespace

std::unique_ptr<PixelCodec> makeFloatCodec(const PixelBox &box, bool &outOfMemory) {
  for (const FloatLayout &layout : kFloatLayouts) {
    if (layout.format != box.format) continue;
    std::unique_ptr<PixelCodec> codec(new (std::nothrow) FloatCodec(box, layout));
    if (!codec) outOfMemory = true;
    return codec;
  }
  return nullptr;
}

}  // namespace kv
