// The palettised formats P8 and A8P8. Reading looks the index up in the palette; writing
// picks the nearest palette entry (ties keep the lower index). A8P8 stores its alpha
// byte through the common packer, so dithering and diffusion apply to alpha only.
#include <cfloat>
#include <new>

#include "pixel/formats/codec_rows.h"
#include "pixel/formats/packed_layouts.h"

namespace kv {

namespace {

// A8P8's alpha byte as a packed field; the index byte is filled in afterwards.
constexpr PackedLayout kA8P8Alpha = {
    D3DFMT_A8P8, 2, ValueRange::Unorm, 1, {{8, 8, false, 3}}, {-1, -1, -1, 0}, {1, 1, 1, 1}, false, false};

class PaletteCodec final : public PixelCodec {
 public:
  explicit PaletteCodec(const PixelBox &box) : PixelCodec(box, ValueRange::Unorm, box.format == D3DFMT_P8 ? 8u : 16u) {}

  // The palette as 256 floating entries; without a palette every entry is white, opaque.
  bool convertPalette() {
    palette_ = allocateFloats(256 * 4);
    if (!palette_) return false;
    constexpr float kByte = 1.0f / 255.0f;
    for (int i = 0; i < 256 * 4; ++i) palette_[i] = sourcePalette_ ? static_cast<float>(sourcePalette_[i]) * kByte : 1.0f;
    return true;
  }

  void readRow(uint32_t y, uint32_t z, float *row) override {
    if (rowOutsideBox(y, z, row)) return;
    const uint8_t *in = rowAddress(y, z);
    const bool withAlpha = format_ == D3DFMT_A8P8;
    for (uint32_t x = 0; x < width_; ++x) {
      const float *entry = palette_.get() + 4 * in[x * bytesPerPixel_];
      float *p = row + 4 * x;
      p[0] = entry[0], p[1] = entry[1], p[2] = entry[2];
      p[3] = withAlpha ? static_cast<float>(in[2 * x + 1]) * (1.0f / 255.0f) : entry[3];
    }
    finishReadRow(row);
  }

  void writeRow(uint32_t y, uint32_t z, float *row) override {
    if (rowOutsideBox(y, z, nullptr)) return;
    if (width_ == 0) return;
    float *values = prepareRowForPacking(row);
    uint8_t *out = rowAddress(y, z);
    if (format_ == D3DFMT_P8) {
      for (uint32_t x = 0; x < width_; ++x) out[x] = nearestEntry(values + 4 * x, 4);
      return;
    }
    packFieldsRow(kA8P8Alpha, values, width_, y, ditherOffsets(y, z), diffusionRow_.get(), out);
    for (uint32_t x = 0; x < width_; ++x) out[2 * x] = nearestEntry(values + 4 * x, 3);
  }

  void prepareColorKey() override { prepareColorKeyThroughRows(); }

 private:
  // Smallest sum of squared differences over the first `channels` channels; a later
  // entry wins only when strictly closer.
  uint8_t nearestEntry(const float *pixel, int channels) const {
    float best = FLT_MAX;
    int bestIndex = 0;
    for (int i = 0; i < 256; ++i) {
      const float *entry = palette_.get() + 4 * i;
      float distance = 0.0f;
      for (int c = 0; c < channels; ++c) {
        const float d = pixel[c] - entry[c];
        distance += d * d;
      }
      if (distance < best) {
        best = distance;
        bestIndex = i;
      }
    }
    return static_cast<uint8_t>(bestIndex);
  }
};

}  // namespace

std::unique_ptr<PixelCodec> makePaletteCodec(const PixelBox &box, bool &outOfMemory) {
  if (box.format != D3DFMT_P8 && box.format != D3DFMT_A8P8) return nullptr;
  return constructCodec<PaletteCodec>(box, &PaletteCodec::convertPalette, outOfMemory);
}

}  // namespace kv
