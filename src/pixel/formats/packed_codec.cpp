// The packed integer formats: RGB, alpha, luminance, the signed formats and the 16-bit
// integer formats, all through one table of bit layouts. The unsigned layouts of 1, 2 and
// 4 bytes have vector routines for the common case (no dithering, no diffusion); the
// loops here are the reference they agree with.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "pixel/formats/codec_rows.h"
#include "pixel/formats/packed_layouts.h"
#include "pixel/formats/packed_simd.h"
#include "pixel/formats/private_formats.h"

namespace kv {

namespace {

constexpr PackedField u(uint8_t shift, uint8_t bits, uint8_t channel) { return {shift, bits, false, channel}; }
constexpr PackedField s(uint8_t shift, uint8_t bits, uint8_t channel) { return {shift, bits, true, channel}; }

constexpr ValueRange kU = ValueRange::Unorm;
constexpr ValueRange kSR = ValueRange::SignedRgb;
constexpr ValueRange kSN = ValueRange::Snorm;

// fields are listed in the order of channelField's indices; constants of read-only
// channels are 1 unless stated (A8 reads black).
constexpr PackedLayout kLayouts[] = {
    {D3DFMT_R8G8B8, 3, kU, 3, {u(0, 8, 2), u(8, 8, 1), u(16, 8, 0)}, {2, 1, 0, -1}, {1, 1, 1, 1}, false, false},
    {D3DFMT_A8R8G8B8, 4, kU, 4, {u(0, 8, 2), u(8, 8, 1), u(16, 8, 0), u(24, 8, 3)}, {2, 1, 0, 3}, {1, 1, 1, 1}, false, false},
    {D3DFMT_X8R8G8B8, 4, kU, 3, {u(0, 8, 2), u(8, 8, 1), u(16, 8, 0)}, {2, 1, 0, -1}, {1, 1, 1, 1}, false, false},
    {D3DFMT_R5G6B5, 2, kU, 3, {u(0, 5, 2), u(5, 6, 1), u(11, 5, 0)}, {2, 1, 0, -1}, {1, 1, 1, 1}, false, false},
    {D3DFMT_X1R5G5B5, 2, kU, 3, {u(0, 5, 2), u(5, 5, 1), u(10, 5, 0)}, {2, 1, 0, -1}, {1, 1, 1, 1}, false, false},
    {D3DFMT_A1R5G5B5, 2, kU, 4, {u(0, 5, 2), u(5, 5, 1), u(10, 5, 0), u(15, 1, 3)}, {2, 1, 0, 3}, {1, 1, 1, 1}, false, false},
    {D3DFMT_A4R4G4B4, 2, kU, 4, {u(0, 4, 2), u(4, 4, 1), u(8, 4, 0), u(12, 4, 3)}, {2, 1, 0, 3}, {1, 1, 1, 1}, false, false},
    {D3DFMT_X4R4G4B4, 2, kU, 3, {u(0, 4, 2), u(4, 4, 1), u(8, 4, 0)}, {2, 1, 0, -1}, {1, 1, 1, 1}, false, false},
    {D3DFMT_R3G3B2, 1, kU, 3, {u(0, 2, 2), u(2, 3, 1), u(5, 3, 0)}, {2, 1, 0, -1}, {1, 1, 1, 1}, false, false},
    {D3DFMT_A8R3G3B2, 2, kU, 4, {u(0, 2, 2), u(2, 3, 1), u(5, 3, 0), u(8, 8, 3)}, {2, 1, 0, 3}, {1, 1, 1, 1}, false, false},
    {D3DFMT_A8, 1, kU, 1, {u(0, 8, 3)}, {-1, -1, -1, 0}, {0, 0, 0, 1}, false, false},
    {D3DFMT_A2B10G10R10, 4, kU, 4, {u(0, 10, 0), u(10, 10, 1), u(20, 10, 2), u(30, 2, 3)}, {0, 1, 2, 3}, {1, 1, 1, 1}, false, false},
    {D3DFMT_A2R10G10B10, 4, kU, 4, {u(0, 10, 2), u(10, 10, 1), u(20, 10, 0), u(30, 2, 3)}, {2, 1, 0, 3}, {1, 1, 1, 1}, false, false},
    {D3DFMT_A8B8G8R8, 4, kU, 4, {u(0, 8, 0), u(8, 8, 1), u(16, 8, 2), u(24, 8, 3)}, {0, 1, 2, 3}, {1, 1, 1, 1}, false, false},
    {D3DFMT_X8B8G8R8, 4, kU, 3, {u(0, 8, 0), u(8, 8, 1), u(16, 8, 2)}, {0, 1, 2, -1}, {1, 1, 1, 1}, false, false},
    {D3DFMT_G16R16, 4, kU, 2, {u(0, 16, 0), u(16, 16, 1)}, {0, 1, -1, -1}, {1, 1, 1, 1}, false, false},
    {D3DFMT_A16B16G16R16, 8, kU, 4, {u(0, 16, 0), u(16, 16, 1), u(32, 16, 2), u(48, 16, 3)}, {0, 1, 2, 3}, {1, 1, 1, 1}, false, false},
    {D3DFMT_L8, 1, kU, 1, {u(0, 8, 0)}, {0, 0, 0, -1}, {1, 1, 1, 1}, true, false},
    {D3DFMT_A8L8, 2, kU, 2, {u(0, 8, 0), u(8, 8, 3)}, {0, 0, 0, 1}, {1, 1, 1, 1}, true, false},
    {D3DFMT_A4L4, 1, kU, 2, {u(0, 4, 0), u(4, 4, 3)}, {0, 0, 0, 1}, {1, 1, 1, 1}, true, false},
    {D3DFMT_L16, 2, kU, 1, {u(0, 16, 0)}, {0, 0, 0, -1}, {1, 1, 1, 1}, true, false},
    // A lockable depth buffer reads like L16 but stores its one channel as it comes.
    {D3DFMT_D16_LOCKABLE, 2, kU, 1, {u(0, 16, 0)}, {0, 0, 0, -1}, {1, 1, 1, 1}, false, false},
    {FMT_A16L16, 4, kU, 2, {u(0, 16, 0), u(16, 16, 3)}, {0, 0, 0, 1}, {1, 1, 1, 1}, true, false},
    {FMT_R16G16B16, 6, kU, 3, {u(0, 16, 2), u(16, 16, 1), u(32, 16, 0)}, {2, 1, 0, -1}, {1, 1, 1, 1}, false, false},
    {D3DFMT_V8U8, 2, kSR, 2, {s(0, 8, 0), s(8, 8, 1)}, {0, 1, -1, -1}, {1, 1, 1, 1}, false, false},
    {D3DFMT_L6V5U5, 2, kSR, 3, {s(0, 5, 0), s(5, 5, 1), u(10, 6, 3)}, {0, 1, -1, 2}, {1, 1, 1, 1}, false, false},
    {D3DFMT_X8L8V8U8, 4, kSR, 3, {s(0, 8, 0), s(8, 8, 1), u(16, 8, 3)}, {0, 1, -1, 2}, {1, 1, 1, 1}, false, false},
    {D3DFMT_V16U16, 4, kSR, 2, {s(0, 16, 0), s(16, 16, 1)}, {0, 1, -1, -1}, {1, 1, 1, 1}, false, false},
    {D3DFMT_A2W10V10U10, 4, kSR, 4, {s(0, 10, 0), s(10, 10, 1), s(20, 10, 2), u(30, 2, 3)}, {0, 1, 2, 3}, {1, 1, 1, 1}, false, false},
    {D3DFMT_CxV8U8, 2, kSR, 2, {s(0, 8, 0), s(8, 8, 1)}, {0, 1, -1, -1}, {1, 1, 1, 1}, false, true},
    {D3DFMT_Q8W8V8U8, 4, kSN, 4, {s(0, 8, 0), s(8, 8, 1), s(16, 8, 2), s(24, 8, 3)}, {0, 1, 2, 3}, {1, 1, 1, 1}, false, false},
    {D3DFMT_Q16W16V16U16, 8, kSN, 4, {s(0, 16, 0), s(16, 16, 1), s(32, 16, 2), s(48, 16, 3)}, {0, 1, 2, 3}, {1, 1, 1, 1}, false, false},
};

// Pixel words are little-endian, as on every processor this library builds for. The
// size is a template argument so that the copies become plain loads and stores.
template <uint32_t Bytes>
inline uint64_t loadWord(const uint8_t *p) {
  uint64_t word = 0;
  std::memcpy(&word, p, Bytes);
  return word;
}

template <uint32_t Bytes>
inline void storeWord(uint8_t *p, uint64_t word) {
  std::memcpy(p, &word, Bytes);
}

// Runs body.operator()<Bytes>() for the pixel size of a layout.
template <typename Body>
void withPixelBytes(uint32_t bytes, Body &&body) {
  switch (bytes) {
    case 1: body.template operator()<1>(); break;
    case 2: body.template operator()<2>(); break;
    case 3: body.template operator()<3>(); break;
    case 4: body.template operator()<4>(); break;
    case 6: body.template operator()<6>(); break;
    default: body.template operator()<8>(); break;
  }
}

inline uint64_t fieldMask(const PackedField &field) { return (uint64_t{1} << field.bits) - 1; }

// Copies the pixel words of `columns` from `in` to `out`, packed; fixed-size copies for
// the common sizes, which compile to single moves.
template <uint32_t Bytes>
void gatherFixed(uint8_t *out, const uint8_t *in, const uint32_t *columns, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) std::memcpy(out + i * Bytes, in + size_t(columns[i]) * Bytes, Bytes);
}

void gatherWords(uint8_t *out, const uint8_t *in, const uint32_t *columns, uint32_t count, uint32_t bytes) {
  switch (bytes) {
    case 4: gatherFixed<4>(out, in, columns, count); return;
    case 2: gatherFixed<2>(out, in, columns, count); return;
    case 1: gatherFixed<1>(out, in, columns, count); return;
    default:
      for (uint32_t i = 0; i < count; ++i) std::memcpy(out + i * bytes, in + size_t(columns[i]) * bytes, bytes);
  }
}

class PackedCodec final : public PixelCodec {
 public:
  PackedCodec(const PixelBox &box, const PackedLayout &layout)
      : PixelCodec(box, layout.range, layout.bytesPerPixel * 8u), layout_(layout), fast_(fastPackedKindOf(layout)) {}

  void readRow(uint32_t y, uint32_t z, float *row) override {
    if (rowOutsideBox(y, z, row)) return;
    if (width_ == 0) return;
    const uint8_t *in = rowAddress(y, z);
    if (fast_ == FastPackedKind::None || !fastUnpackRow(fast_, layout_, in, width_, row)) unpackFieldsRow(layout_, in, width_, row);
    finishReadRow(row);
  }

  // The listed pixel words gathered into a small buffer and unpacked by the row routines,
  // a chunk at a time (no allocation, so this never fails).
  bool readColumns(uint32_t y, uint32_t z, const uint32_t *columns, uint32_t count, float *row) override {
    if (y >= height_ || z >= depth_) {
      std::fill(row, row + size_t(count) * 4, 0.0f);
      return true;
    }
    const uint8_t *in = rowAddress(y, z);
    const uint32_t bytes = bytesPerPixel_;
    alignas(16) uint8_t gathered[2048];
    const uint32_t chunk = uint32_t(sizeof gathered) / std::max(bytes, 1u);
    for (uint32_t done = 0; done < count;) {
      const uint32_t n = std::min(chunk, count - done);
      gatherWords(gathered, in, columns + done, n, bytes);
      float *out = row + size_t(done) * 4;
      if (fast_ == FastPackedKind::None || !fastUnpackRow(fast_, layout_, gathered, n, out))
        unpackFieldsRow(layout_, gathered, n, out);
      done += n;
    }
    finishReadPixels(row, count);
    return true;
  }

  void writeRow(uint32_t y, uint32_t z, float *row) override {
    if (rowOutsideBox(y, z, nullptr)) return;
    if (width_ == 0) return;
    float *values = prepareRowForPacking(row);
    if (layout_.luminance) {
      for (uint32_t x = 0; x < width_; ++x) values[4 * x] = luminanceOf(values + 4 * x);
    }
    uint8_t *out = rowAddress(y, z);
    const bool plain = ditherTable_ == kPlainDitherTable && !diffusionRow_;
    if (plain && fast_ != FastPackedKind::None && fastPackRow(fast_, layout_, values, width_, out)) return;
    packFieldsRow(layout_, values, width_, y, ditherOffsets(y, z), diffusionRow_.get(), out);
  }

  void prepareColorKey() override { prepareColorKeyThroughRows(); }

  bool writesRowsApart() const override { return !diffusionRow_ && !scratch_; }

 private:
  const PackedLayout &layout_;
  const FastPackedKind fast_;
};

}  // namespace

const PackedLayout *findPackedLayout(uint32_t format) {
  for (const PackedLayout &layout : kLayouts) {
    if (layout.format == format) return &layout;
  }
  return nullptr;
}

void unpackFieldsRow(const PackedLayout &layout, const uint8_t *in, uint32_t width, float *row) {
  float reciprocal[4];
  uint64_t mask[4];
  for (uint32_t f = 0; f < layout.fieldCount; ++f) {
    reciprocal[f] = 1.0f / static_cast<float>(fieldMaximum(layout.fields[f]));
    mask[f] = fieldMask(layout.fields[f]);
  }
  withPixelBytes(layout.bytesPerPixel, [&]<uint32_t Bytes>() {
    const uint8_t *at = in;
    for (uint32_t x = 0; x < width; ++x, at += Bytes) {
      const uint64_t word = loadWord<Bytes>(at);
      float fieldValue[4];
      for (uint32_t f = 0; f < layout.fieldCount; ++f) {
        const PackedField &field = layout.fields[f];
        const uint64_t raw = (word >> field.shift) & mask[f];
        if (field.isSigned) {
          const int64_t half = int64_t{1} << (field.bits - 1);
          int64_t v = raw >= static_cast<uint64_t>(half) ? static_cast<int64_t>(raw) - 2 * half : static_cast<int64_t>(raw);
          // The most negative value reads like its neighbour, so the range is symmetric.
          if (v == -half) v = -(half - 1);
          fieldValue[f] = static_cast<float>(v) * reciprocal[f];
        } else {
          fieldValue[f] = static_cast<float>(raw) * reciprocal[f];
        }
      }
      float *p = row + 4 * x;
      for (int c = 0; c < 4; ++c) {
        const int8_t f = layout.channelField[c];
        p[c] = f >= 0 ? fieldValue[f] : layout.constants[c];
      }
      if (layout.derivedBlue) {
        const float t = 1.0f - p[0] * p[0] - p[1] * p[1];
        p[2] = t > 0.0f ? std::sqrt(t) : 0.0f;
      }
    }
  });
}

void packFieldsRow(const PackedLayout &layout, float *values, uint32_t width, uint32_t y, const float *ditherOffsets,
                   float *diffusionRow, uint8_t *out) {
  if (width == 0) return;
  if (diffusionRow) {
    for (uint32_t i = 0; i < width * 4; ++i) values[i] += diffusionRow[4 + i];
    std::memset(diffusionRow, 0, (static_cast<size_t>(width) + 2) * 4 * sizeof(float));
  }
  const uint32_t count = layout.fieldCount;
  float maximum[4], reciprocal[4], minimum[4];
  uint64_t mask[4];
  for (uint32_t f = 0; f < count; ++f) {
    const PackedField &field = layout.fields[f];
    maximum[f] = static_cast<float>(fieldMaximum(field));
    reciprocal[f] = 1.0f / maximum[f];
    minimum[f] = field.isSigned ? -maximum[f] : 0.0f;
    mask[f] = fieldMask(field);
  }
  // Even rows run left to right, odd rows right to left; k counts processed pixels.
  const bool forward = (y & 1) == 0;
  const ptrdiff_t step = forward ? 4 : -4;
  float carry[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  withPixelBytes(layout.bytesPerPixel, [&]<uint32_t Bytes>() {
    for (uint32_t k = 0; k < width; ++k) {
      const uint32_t x = forward ? k : width - 1 - k;
      const float *p = values + 4 * static_cast<size_t>(x);
      const float offset = ditherOffsets[k & 3];
      uint64_t word = 0;
      for (uint32_t f = 0; f < count; ++f) {
        const PackedField &field = layout.fields[f];
        const float scaled = (p[field.channel] + carry[f]) * maximum[f];
        // Rounds down after adding the offset. For non-negative sums this is truncation;
        // negative signed values get the same nearest-level rounding rather than a pull
        // toward zero, so -1 stores -M (not -M + 1) and -0.5 in 8 bits stores -63.
        float q = std::floor(scaled + offset);
        if (diffusionRow) {
          // The error is taken before clamping; the guard entries at both ends take the
          // spill of the first and last pixel.
          const float e = (scaled - q) * reciprocal[f];
          float *here = diffusionRow + 4 * (static_cast<size_t>(x) + 1) + field.channel;
          here[-step] += e * 0.1875f;
          here[0] += e * 0.3125f;
          here[step] += e * 0.0625f;
          carry[f] = e * 0.4375f;
        }
        if (!(q > minimum[f])) q = minimum[f];  // also turns a not-a-number into the minimum
        if (q > maximum[f]) q = maximum[f];
        const int32_t level = static_cast<int32_t>(q);
        word |= (static_cast<uint64_t>(static_cast<uint32_t>(level)) & mask[f]) << field.shift;
      }
      storeWord<Bytes>(out + static_cast<size_t>(x) * Bytes, word);
    }
  });
}

std::unique_ptr<PixelCodec> makePackedCodec(const PixelBox &box, bool &outOfMemory) {
  const PackedLayout *layout = findPackedLayout(box.format);
  if (!layout) return nullptr;
  std::unique_ptr<PixelCodec> codec(new (std::nothrow) PackedCodec(box, *layout));
  if (!codec) outOfMemory = true;
  return codec;
}

}  // namespace kv
