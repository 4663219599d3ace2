// Exact halving: each destination pixel is the mean of 2x2 (2x2x2) source pixels. Packed
// formats of the same kind on both sides are averaged as integers without unpacking.
#include <cstring>

#include "math/direct3d_settings.h"
#include "math/sse/simd_routines.h"
#include "pixel/convert/conversion_job.h"
#include "pixel/convert/raw_pixels.h"

#if KV_MATH_HAS_SIMD
#include <emmintrin.h>
#endif

namespace kv {
namespace {

// The channel fields of a packed format averaged by the integer path; fields not listed
// (the X bits of X1R5G5B5 and X4R4G4B4) become 0.
struct PackedLayout {
  uint32_t format;
  uint32_t bytes;
  uint32_t fieldCount;
  uint8_t shift[4], bits[4];
};

constexpr PackedLayout kPackedLayouts[] = {
    {D3DFMT_A8R8G8B8, 4, 4, {0, 8, 16, 24}, {8, 8, 8, 8}},
    {D3DFMT_A8B8G8R8, 4, 4, {0, 8, 16, 24}, {8, 8, 8, 8}},
    {D3DFMT_X8R8G8B8, 4, 4, {0, 8, 16, 24}, {8, 8, 8, 8}},
    {D3DFMT_X8B8G8R8, 4, 4, {0, 8, 16, 24}, {8, 8, 8, 8}},
    {D3DFMT_R5G6B5, 2, 3, {0, 5, 11}, {5, 6, 5}},
    {D3DFMT_X1R5G5B5, 2, 3, {0, 5, 10}, {5, 5, 5}},
    {D3DFMT_A1R5G5B5, 2, 4, {0, 5, 10, 15}, {5, 5, 5, 1}},
    {D3DFMT_A4R4G4B4, 2, 4, {0, 4, 8, 12}, {4, 4, 4, 4}},
    {D3DFMT_X4R4G4B4, 2, 3, {0, 4, 8}, {4, 4, 4}},
    {D3DFMT_R3G3B2, 1, 3, {0, 2, 5}, {2, 3, 3}},
    {D3DFMT_A8, 1, 1, {0}, {8}},
    {D3DFMT_L8, 1, 1, {0}, {8}},
    {D3DFMT_A8R3G3B2, 2, 4, {0, 2, 5, 8}, {2, 3, 3, 8}},
    {D3DFMT_A8L8, 2, 2, {0, 8}, {8, 8}},
    {D3DFMT_A4L4, 1, 2, {0, 4}, {4, 4}},
};

const PackedLayout *packedLayout(uint32_t format) {
  for (const PackedLayout &layout : kPackedLayouts)
    if (layout.format == format) return &layout;
  return nullptr;
}

uint32_t loadPixel(const uint8_t *p, uint32_t bytes) {
  uint32_t value = 0;
  std::memcpy(&value, p, bytes);  // little-endian pixel words
  return value;
}

// One destination row from two source rows: (a + b + c + d + 2) >> 2 per field.
void averageRowPlain(const PackedLayout &layout, const uint8_t *row0, const uint8_t *row1, uint8_t *out,
                     uint32_t width) {
  const uint32_t n = layout.bytes;
  for (uint32_t x = 0; x < width; ++x) {
    const uint32_t a = loadPixel(row0 + size_t(2 * x) * n, n), b = loadPixel(row0 + size_t(2 * x + 1) * n, n);
    const uint32_t c = loadPixel(row1 + size_t(2 * x) * n, n), d = loadPixel(row1 + size_t(2 * x + 1) * n, n);
    uint32_t result = 0;
    for (uint32_t f = 0; f < layout.fieldCount; ++f) {
      const uint32_t shift = layout.shift[f], mask = (1u << layout.bits[f]) - 1;
      const uint32_t sum =
          ((a >> shift) & mask) + ((b >> shift) & mask) + ((c >> shift) & mask) + ((d >> shift) & mask) + 2;
      result |= (sum >> 2) << shift;
    }
    std::memcpy(out + size_t(x) * n, &result, n);
  }
}

using AverageRow32 = void (*)(const uint8_t *row0, const uint8_t *row1, uint8_t *out, uint32_t width);

void averageRow32Plain(const uint8_t *row0, const uint8_t *row1, uint8_t *out, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x) {
    uint32_t a, b, c, d;
    std::memcpy(&a, row0 + 8 * size_t(x), 4);
    std::memcpy(&b, row0 + 8 * size_t(x) + 4, 4);
    std::memcpy(&c, row1 + 8 * size_t(x), 4);
    std::memcpy(&d, row1 + 8 * size_t(x) + 4, 4);
    // Two bytes at a time in 16-bit lanes: the sums of four bytes plus 2 fit in 10 bits.
    const uint32_t low = (a & 0x00ff00ff) + (b & 0x00ff00ff) + (c & 0x00ff00ff) + (d & 0x00ff00ff) + 0x00020002;
    const uint32_t high = ((a >> 8) & 0x00ff00ff) + ((b >> 8) & 0x00ff00ff) + ((c >> 8) & 0x00ff00ff) +
                          ((d >> 8) & 0x00ff00ff) + 0x00020002;
    const uint32_t result = ((low >> 2) & 0x00ff00ff) | (((high >> 2) & 0x00ff00ff) << 8);
    std::memcpy(out + 4 * size_t(x), &result, 4);
  }
}

#if KV_MATH_HAS_SIMD
// Four destination pixels from eight source pixels of each row per step, in 16-bit lanes;
// the rest of the row through the plain routine. Both give the same bytes.
KV_TARGET_SSE2 void averageRow32Sse2(const uint8_t *row0, const uint8_t *row1, uint8_t *out, uint32_t width) {
  const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
  uint32_t x = 0;
  for (; x + 4 <= width; x += 4) {
    __m128i halves[2];
    for (int half = 0; half < 2; ++half) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row0 + 8 * size_t(x) + 16 * half));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row1 + 8 * size_t(x) + 16 * half));
      const __m128i low = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
      const __m128i high = _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
      const __m128i pairs = _mm_add_epi16(_mm_unpacklo_epi64(low, high), _mm_unpackhi_epi64(low, high));
      halves[half] = _mm_srli_epi16(_mm_add_epi16(pairs, two), 2);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 4 * size_t(x)), _mm_packus_epi16(halves[0], halves[1]));
  }
  averageRow32Plain(row0 + 8 * size_t(x), row1 + 8 * size_t(x), out + 4 * size_t(x), width - x);
}
#endif

// Chosen once, at the first use, as the MMX test allows.
AverageRow32 averageRow32() {
  static const AverageRow32 chosen = [] {
#if KV_MATH_HAS_SIMD
    if (isMmxUsable()) return &averageRow32Sse2;
#endif
    return &averageRow32Plain;
  }();
  return chosen;
}

bool halvesTo(uint32_t source, uint32_t destination) {
  return destination == source / 2 || (destination == 1 && source == 1);
}

void addPixels(float *sum, const float *p) {
  for (int c = 0; c < 4; ++c) sum[c] += p[c];
}

}  // namespace

// The rows of the integer path, exposed for the equivalence test of the two 32-bit routines.
void boxAverageRow32(bool vector, const uint8_t *row0, const uint8_t *row1, uint8_t *out, uint32_t width) {
#if KV_MATH_HAS_SIMD
  if (vector) return averageRow32Sse2(row0, row1, out, width);
#endif
  (void)vector;
  averageRow32Plain(row0, row1, out, width);
}

HRESULT boxHalve2D(ConversionJob &job) {
  if (filterCode(job.flags) != FilterBox) return E_FAIL;
  PixelCodec &src = *job.source, &dst = *job.destination;
  const uint32_t W = src.width(), H = src.height(), w = dst.width(), h = dst.height();
  if (!halvesTo(W, w) || !halvesTo(H, h) || src.depth() != 1 || dst.depth() != 1) return E_FAIL;

  const PackedLayout *layout = packedLayout(src.format());
  if (layout && !(job.flags & Dither) && src.format() == dst.format() && W >= 2 && H >= 2 && !job.sourceBox.gamma &&
      !job.destinationBox.gamma && job.sourceBox.colorKey == 0) {
    // Keyed sources take the floating path, which makes keyed pixels transparent black.
    const RawRegion from = rawRegion(job.sourceBox, layout->bytes), to = rawRegion(job.destinationBox, layout->bytes);
    const AverageRow32 row32 = layout->bytes == 4 ? averageRow32() : nullptr;
    for (uint32_t y = 0; y < h; ++y) {
      if (row32) {
        row32(from.row(2 * y, 0), from.row(2 * y + 1, 0), to.row(y, 0), w);
      } else {
        averageRowPlain(*layout, from.row(2 * y, 0), from.row(2 * y + 1, 0), to.row(y, 0), w);
      }
    }
    return S_OK;
  }

  auto row0 = allocatePixels(W), row1 = allocatePixels(W), out = allocatePixels(w);
  if (!row0 || !row1 || !out) return E_OUTOFMEMORY;
  for (uint32_t y = 0; y < h; ++y) {
    src.readRow(H == 1 ? 0 : 2 * y, 0, row0.get());
    const float *second = row0.get();
    if (H > 1) {
      src.readRow(2 * y + 1, 0, row1.get());
      second = row1.get();
    }
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t x0 = W == 1 ? 0 : 2 * x, x1 = W == 1 ? 0 : 2 * x + 1;
      float *p = out.get() + size_t(x) * 4;
      for (int c = 0; c < 4; ++c)
        p[c] = 0.25f * (((row0[size_t(x0) * 4 + c] + row0[size_t(x1) * 4 + c]) + second[size_t(x0) * 4 + c]) +
                        second[size_t(x1) * 4 + c]);
    }
    dst.writeRow(y, 0, out.get());
  }
  return S_OK;
}

HRESULT boxHalve3D(ConversionJob &job) {
  if (filterCode(job.flags) != FilterBox) return E_FAIL;
  PixelCodec &src = *job.source, &dst = *job.destination;
  const uint32_t W = src.width(), H = src.height(), D = src.depth(), w = dst.width(), h = dst.height();
  if (!halvesTo(W, w) || !halvesTo(H, h) || D < 2 || dst.depth() != D / 2) return E_FAIL;
  std::unique_ptr<float[]> rows[4];
  for (auto &row : rows)
    if (!(row = allocatePixels(W))) return E_OUTOFMEMORY;
  auto out = allocatePixels(w);
  if (!out) return E_OUTOFMEMORY;
  for (uint32_t z = 0; z < dst.depth(); ++z) {
    for (uint32_t y = 0; y < h; ++y) {
      // Rows (2y, 2z), (2y, 2z+1), (2y+1, 2z), (2y+1, 2z+1); with H = 1 the rows 2y + 1 are
      // the rows 2y.
      const uint32_t y0 = H == 1 ? 0 : 2 * y, y1 = H == 1 ? 0 : 2 * y + 1;
      src.readRow(y0, 2 * z, rows[0].get());
      src.readRow(y0, 2 * z + 1, rows[1].get());
      src.readRow(y1, 2 * z, rows[2].get());
      src.readRow(y1, 2 * z + 1, rows[3].get());
      for (uint32_t x = 0; x < w; ++x) {
        const uint32_t x0 = W == 1 ? 0 : 2 * x, x1 = W == 1 ? 0 : 2 * x + 1;
        float sum[4] = {};
        for (const auto &row : rows) {
          addPixels(sum, row.get() + size_t(x0) * 4);
          addPixels(sum, row.get() + size_t(x1) * 4);
        }
        for (int c = 0; c < 4; ++c) out[size_t(x) * 4 + c] = 0.125f * sum[c];
      }
      dst.writeRow(y, z, out.get());
    }
  }
  return S_OK;
}

}  // namespace kv
