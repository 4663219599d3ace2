#include "pixel/formats/packed_simd.h"

#include <cmath>
#include <cstring>

#include "gfx/platform.h"
#include "pixel/formats/pixel_codec_test_hooks.h"

#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
#define KV_PIXEL_HAS_SSE2 1
#include <emmintrin.h>
#include "math/table/processor_detection.h"
#if defined(__GNUC__)
#define KV_PIXEL_SSE2 __attribute__((target("sse2")))
#else
#define KV_PIXEL_SSE2
#endif
#else
#define KV_PIXEL_HAS_SSE2 0
#endif

namespace kv {

namespace {

bool gSimdEnabled = true;

#if KV_PIXEL_HAS_SSE2

bool sse2Present() {
#if defined(__x86_64__) || defined(_M_X64) || defined(__SSE2__)
  return true;
#else
  // 32-bit builds may run on processors without SSE2; ask once.
  static const bool present = (detectSimdSupport() & 8) != 0;
  return present;
#endif
}

// Four bytes B, G, R, A of one pixel word (in lanes 0..3) to floats R, G, B, A.
KV_PIXEL_SSE2 inline __m128 bgraToRgba(__m128i bgra, __m128 scale) {
  const __m128 f = _mm_mul_ps(_mm_cvtepi32_ps(bgra), scale);
  return _mm_shuffle_ps(f, f, _MM_SHUFFLE(3, 0, 1, 2));
}

KV_PIXEL_SSE2 void unpack8888(const uint8_t *in, uint32_t width, float *row, bool opaque) {
  const __m128 scale = _mm_set1_ps(1.0f / 255.0f);
  const __m128i zero = _mm_setzero_si128();
  const __m128 rgbMask = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
  const __m128 alphaOne = _mm_set_ps(opaque ? 1.0f : 0.0f, 0.0f, 0.0f, 0.0f);
  const __m128 keepMask = opaque ? rgbMask : _mm_castsi128_ps(_mm_set1_epi32(-1));
  uint32_t x = 0;
  for (; x + 4 <= width; x += 4) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + 4 * x));
    const __m128i lo = _mm_unpacklo_epi8(bytes, zero), hi = _mm_unpackhi_epi8(bytes, zero);
    const __m128i p[4] = {_mm_unpacklo_epi16(lo, zero), _mm_unpackhi_epi16(lo, zero), _mm_unpacklo_epi16(hi, zero),
                          _mm_unpackhi_epi16(hi, zero)};
    for (int i = 0; i < 4; ++i) {
      const __m128 v = _mm_or_ps(_mm_and_ps(bgraToRgba(p[i], scale), keepMask), alphaOne);
      _mm_storeu_ps(row + 4 * (x + i), v);
    }
  }
  for (; x < width; ++x) {
    const int32_t word = static_cast<int32_t>(in[4 * x] | in[4 * x + 1] << 8 | in[4 * x + 2] << 16 |
                                              static_cast<uint32_t>(in[4 * x + 3]) << 24);
    const __m128i one = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero);
    _mm_storeu_ps(row + 4 * x, _mm_or_ps(_mm_and_ps(bgraToRgba(one, scale), keepMask), alphaOne));
  }
}

// One floating pixel R, G, B, A to integer lanes B, G, R, A, rounded half up and clamped
// to [0, 255]. Clamping before truncation gives what truncating and then clamping gives;
// max() turns a not-a-number into 0 as the reference does.
KV_PIXEL_SSE2 inline __m128i rgbaToBgraLevels(__m128 v, __m128 scale, __m128 half, __m128 top) {
  __m128 s = _mm_add_ps(_mm_mul_ps(v, scale), half);
  s = _mm_min_ps(_mm_max_ps(s, _mm_setzero_ps()), top);
  const __m128i q = _mm_cvttps_epi32(s);
  return _mm_shuffle_epi32(q, _MM_SHUFFLE(3, 0, 1, 2));
}

KV_PIXEL_SSE2 void pack8888(const float *values, uint32_t width, uint8_t *out, bool opaque) {
  const __m128 scale = _mm_set1_ps(255.0f), half = _mm_set1_ps(0.5f), top = _mm_set1_ps(255.0f);
  const __m128i keep = opaque ? _mm_set1_epi32(0x00FFFFFF) : _mm_set1_epi32(-1);
  uint32_t x = 0;
  for (; x + 4 <= width; x += 4) {
    const float *p = values + 4 * x;
    const __m128i a = rgbaToBgraLevels(_mm_loadu_ps(p), scale, half, top);
    const __m128i b = rgbaToBgraLevels(_mm_loadu_ps(p + 4), scale, half, top);
    const __m128i c = rgbaToBgraLevels(_mm_loadu_ps(p + 8), scale, half, top);
    const __m128i d = rgbaToBgraLevels(_mm_loadu_ps(p + 12), scale, half, top);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 4 * x), _mm_and_si128(bytes, keep));
  }
  for (; x < width; ++x) {
    const __m128i a = rgbaToBgraLevels(_mm_loadu_ps(values + 4 * x), scale, half, top);
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(a, a), _mm_packs_epi32(a, a));
    const uint32_t word = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_and_si128(packed, keep)));
    out[4 * x] = static_cast<uint8_t>(word);
    out[4 * x + 1] = static_cast<uint8_t>(word >> 8);
    out[4 * x + 2] = static_cast<uint8_t>(word >> 16);
    out[4 * x + 3] = static_cast<uint8_t>(word >> 24);
  }
}

// Four 16-bit words (zero-extended in 32-bit lanes) to four floating pixels.
KV_PIXEL_SSE2 inline void unpack565Four(__m128i w, float *row) {
  const __m128 r = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(w, 11)), _mm_set1_ps(1.0f / 31.0f));
  const __m128 g = _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(w, 5), _mm_set1_epi32(63))),
                              _mm_set1_ps(1.0f / 63.0f));
  const __m128 b = _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(w, _mm_set1_epi32(31))), _mm_set1_ps(1.0f / 31.0f));
  __m128 c0 = r, c1 = g, c2 = b, c3 = _mm_set1_ps(1.0f);
  _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
  _mm_storeu_ps(row, c0);
  _mm_storeu_ps(row + 4, c1);
  _mm_storeu_ps(row + 8, c2);
  _mm_storeu_ps(row + 12, c3);
}

KV_PIXEL_SSE2 void unpack565(const uint8_t *in, uint32_t width, float *row) {
  const __m128i zero = _mm_setzero_si128();
  uint32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + 2 * x));
    unpack565Four(_mm_unpacklo_epi16(words, zero), row + 4 * x);
    unpack565Four(_mm_unpackhi_epi16(words, zero), row + 4 * x + 16);
  }
  for (; x < width; x += 4) {
    alignas(16) uint32_t words[4] = {0, 0, 0, 0};
    const uint32_t n = width - x < 4 ? width - x : 4;
    for (uint32_t i = 0; i < n; ++i) words[i] = in[2 * (x + i)] | in[2 * (x + i) + 1] << 8;
    alignas(16) float pixels[16];
    unpack565Four(_mm_load_si128(reinterpret_cast<const __m128i *>(words)), pixels);
    for (uint32_t i = 0; i < 4 * n; ++i) row[4 * x + i] = pixels[i];
  }
}

KV_PIXEL_SSE2 inline __m128i quantiseLanes(__m128 v, float maximum) {
  __m128 s = _mm_add_ps(_mm_mul_ps(v, _mm_set1_ps(maximum)), _mm_set1_ps(0.5f));
  s = _mm_min_ps(_mm_max_ps(s, _mm_setzero_ps()), _mm_set1_ps(maximum));
  return _mm_cvttps_epi32(s);
}

// Four floating pixels to four R5G6B5 words in 32-bit lanes.
KV_PIXEL_SSE2 inline __m128i pack565Four(const float *p) {
  __m128 r = _mm_loadu_ps(p), g = _mm_loadu_ps(p + 4), b = _mm_loadu_ps(p + 8), a = _mm_loadu_ps(p + 12);
  _MM_TRANSPOSE4_PS(r, g, b, a);
  const __m128i qr = quantiseLanes(r, 31.0f), qg = quantiseLanes(g, 63.0f), qb = quantiseLanes(b, 31.0f);
  return _mm_or_si128(_mm_or_si128(_mm_slli_epi32(qr, 11), _mm_slli_epi32(qg, 5)), qb);
}

// Eight 32-bit lanes holding 16-bit values to eight 16-bit words; the signed saturating
// pack needs the values shifted into its range first.
KV_PIXEL_SSE2 inline __m128i packWords(__m128i lo, __m128i hi) {
  const __m128i bias = _mm_set1_epi32(0x8000);
  const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(lo, bias), _mm_sub_epi32(hi, bias));
  return _mm_add_epi16(packed, _mm_set1_epi16(static_cast<short>(0x8000)));
}

KV_PIXEL_SSE2 void pack565(const float *values, uint32_t width, uint8_t *out) {
  uint32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m128i words = packWords(pack565Four(values + 4 * x), pack565Four(values + 4 * x + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * x), words);
  }
  for (; x < width; x += 4) {
    const uint32_t n = width - x < 4 ? width - x : 4;
    alignas(16) float pixels[16] = {};
    for (uint32_t i = 0; i < 4 * n; ++i) pixels[i] = values[4 * x + i];
    alignas(16) uint32_t words[4];
    _mm_store_si128(reinterpret_cast<__m128i *>(words), pack565Four(pixels));
    for (uint32_t i = 0; i < n; ++i) {
      out[2 * (x + i)] = static_cast<uint8_t>(words[i]);
      out[2 * (x + i) + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
  }
}

KV_PIXEL_SSE2 void unpackL8(const uint8_t *in, uint32_t width, float *row) {
  const __m128 scale = _mm_set1_ps(1.0f / 255.0f);
  const __m128 rgbMask = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
  const __m128 alphaOne = _mm_set_ps(1.0f, 0.0f, 0.0f, 0.0f);
  const __m128i zero = _mm_setzero_si128();
  uint32_t x = 0;
  for (; x + 4 <= width; x += 4) {
    const int32_t four = static_cast<int32_t>(in[x] | in[x + 1] << 8 | in[x + 2] << 16 |
                                              static_cast<uint32_t>(in[x + 3]) << 24);
    const __m128i lanes = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(four), zero), zero);
    const __m128 l = _mm_mul_ps(_mm_cvtepi32_ps(lanes), scale);
    float *p = row + 4 * x;
    _mm_storeu_ps(p, _mm_or_ps(_mm_and_ps(_mm_shuffle_ps(l, l, _MM_SHUFFLE(0, 0, 0, 0)), rgbMask), alphaOne));
    _mm_storeu_ps(p + 4, _mm_or_ps(_mm_and_ps(_mm_shuffle_ps(l, l, _MM_SHUFFLE(1, 1, 1, 1)), rgbMask), alphaOne));
    _mm_storeu_ps(p + 8, _mm_or_ps(_mm_and_ps(_mm_shuffle_ps(l, l, _MM_SHUFFLE(2, 2, 2, 2)), rgbMask), alphaOne));
    _mm_storeu_ps(p + 12, _mm_or_ps(_mm_and_ps(_mm_shuffle_ps(l, l, _MM_SHUFFLE(3, 3, 3, 3)), rgbMask), alphaOne));
  }
  for (; x < width; ++x) {
    const float l = static_cast<float>(in[x]) * (1.0f / 255.0f);
    float *p = row + 4 * x;
    p[0] = p[1] = p[2] = l;
    p[3] = 1.0f;
  }
}

KV_PIXEL_SSE2 void packL8(const float *values, uint32_t width, uint8_t *out) {
  uint32_t x = 0;
  for (; x + 4 <= width; x += 4) {
    __m128 r = _mm_loadu_ps(values + 4 * x), g = _mm_loadu_ps(values + 4 * x + 4);
    __m128 b = _mm_loadu_ps(values + 4 * x + 8), a = _mm_loadu_ps(values + 4 * x + 12);
    _MM_TRANSPOSE4_PS(r, g, b, a);
    const __m128i q = quantiseLanes(r, 255.0f);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q, q), _mm_packs_epi32(q, q));
    const uint32_t four = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
    out[x] = static_cast<uint8_t>(four);
    out[x + 1] = static_cast<uint8_t>(four >> 8);
    out[x + 2] = static_cast<uint8_t>(four >> 16);
    out[x + 3] = static_cast<uint8_t>(four >> 24);
  }
  for (; x < width; ++x) {
    const __m128i q = quantiseLanes(_mm_set1_ps(values[4 * x]), 255.0f);
    out[x] = static_cast<uint8_t>(_mm_cvtsi128_si32(q));
  }
}

// The general routine: four pixel words in 32-bit lanes, each field taken out with its
// shift and mask, converted in one channel vector and transposed to four pixels.
// Four fixed channels, so the loops unroll: a channel that is not stored reads through a
// zero mask and scale plus its constant; a field that is not there packs with maximum 0.
struct FieldConstants {
  __m128i readShift[4];
  __m128i readMask[4];
  __m128 readScale[4];
  __m128 readConstant[4];
  __m128i packShift[4];
  __m128 packMaximum[4];
  int packChannel[4];
};

KV_PIXEL_SSE2 void prepareFields(const PackedLayout &layout, FieldConstants &k) {
  for (int c = 0; c < 4; ++c) {
    const int8_t f = layout.channelField[c];
    const uint32_t maximum = f >= 0 ? fieldMaximum(layout.fields[f]) : 0;
    k.readShift[c] = _mm_cvtsi32_si128(f >= 0 ? layout.fields[f].shift : 0);
    k.readMask[c] = _mm_set1_epi32(static_cast<int>(maximum));
    k.readScale[c] = _mm_set1_ps(f >= 0 ? 1.0f / static_cast<float>(maximum) : 0.0f);
    k.readConstant[c] = _mm_set1_ps(f >= 0 ? 0.0f : layout.constants[c]);
  }
  for (uint32_t f = 0; f < 4; ++f) {
    const bool present = f < layout.fieldCount;
    k.packShift[f] = _mm_cvtsi32_si128(present ? layout.fields[f].shift : 0);
    k.packMaximum[f] = _mm_set1_ps(present ? static_cast<float>(fieldMaximum(layout.fields[f])) : 0.0f);
    k.packChannel[f] = present ? layout.fields[f].channel : 0;
  }
}

// Up to four pixel words of `bytes` bytes into 32-bit lanes (missing ones are 0).
KV_PIXEL_SSE2 inline __m128i loadWords(const uint8_t *in, uint32_t bytes, uint32_t count) {
  const __m128i zero = _mm_setzero_si128();
  if (count == 4) {
    if (bytes == 4) return _mm_loadu_si128(reinterpret_cast<const __m128i *>(in));
    if (bytes == 2) return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(in)), zero);
    int32_t four;
    std::memcpy(&four, in, 4);
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(four), zero), zero);
  }
  alignas(16) uint8_t buffer[16] = {};
  std::memcpy(buffer, in, static_cast<size_t>(count) * bytes);
  return loadWords(buffer, bytes, 4);
}

KV_PIXEL_SSE2 inline void unpackFour(const FieldConstants &k, __m128i words, float *out) {
  __m128 channel[4];
  for (int c = 0; c < 4; ++c) {
    const __m128i raw = _mm_and_si128(_mm_srl_epi32(words, k.readShift[c]), k.readMask[c]);
    channel[c] = _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(raw), k.readScale[c]), k.readConstant[c]);
  }
  _MM_TRANSPOSE4_PS(channel[0], channel[1], channel[2], channel[3]);
  for (int i = 0; i < 4; ++i) _mm_storeu_ps(out + 4 * i, channel[i]);
}

KV_PIXEL_SSE2 void unpackFields(const PackedLayout &layout, const uint8_t *in, uint32_t width, float *row) {
  FieldConstants k;
  prepareFields(layout, k);
  const uint32_t bytes = layout.bytesPerPixel;
  uint32_t x = 0;
  for (; x + 4 <= width; x += 4) unpackFour(k, loadWords(in + x * bytes, bytes, 4), row + 4 * x);
  if (x < width) {
    alignas(16) float pixels[16];
    unpackFour(k, loadWords(in + x * bytes, bytes, width - x), pixels);
    std::memcpy(row + 4 * x, pixels, (width - x) * 4 * sizeof(float));
  }
}

// Four floating pixels to four pixel words in 32-bit lanes. Clamping before truncation
// gives what flooring and then clamping gives; max() turns a not-a-number into 0 as the
// reference does.
KV_PIXEL_SSE2 inline __m128i packFour(const FieldConstants &k, const float *p) {
  __m128 channel[4] = {_mm_loadu_ps(p), _mm_loadu_ps(p + 4), _mm_loadu_ps(p + 8), _mm_loadu_ps(p + 12)};
  _MM_TRANSPOSE4_PS(channel[0], channel[1], channel[2], channel[3]);
  __m128i words = _mm_setzero_si128();
  for (int f = 0; f < 4; ++f) {
    __m128 s = _mm_add_ps(_mm_mul_ps(channel[k.packChannel[f]], k.packMaximum[f]), _mm_set1_ps(0.5f));
    s = _mm_min_ps(_mm_max_ps(s, _mm_setzero_ps()), k.packMaximum[f]);
    words = _mm_or_si128(words, _mm_sll_epi32(_mm_cvttps_epi32(s), k.packShift[f]));
  }
  return words;
}

// Stores the low `count` of four pixel words of `bytes` bytes.
KV_PIXEL_SSE2 inline void storeWords(uint8_t *out, __m128i words, uint32_t bytes, uint32_t count) {
  alignas(16) uint8_t buffer[16];
  if (bytes == 4) {
    _mm_store_si128(reinterpret_cast<__m128i *>(buffer), words);
  } else {
    // 16-bit words through the signed saturating pack, shifted into its range first.
    const __m128i bias = _mm_set1_epi32(0x8000);
    const __m128i halves = _mm_add_epi16(_mm_packs_epi32(_mm_sub_epi32(words, bias), bias),
                                         _mm_set1_epi16(static_cast<short>(0x8000)));
    if (bytes == 2) {
      _mm_storel_epi64(reinterpret_cast<__m128i *>(buffer), halves);
    } else {
      const __m128i low = _mm_and_si128(halves, _mm_set1_epi16(0xFF));
      const int32_t four = _mm_cvtsi128_si32(_mm_packus_epi16(low, low));
      std::memcpy(buffer, &four, 4);
    }
  }
  std::memcpy(out, buffer, static_cast<size_t>(count) * bytes);
}

KV_PIXEL_SSE2 void packFields(const PackedLayout &layout, const float *values, uint32_t width, uint8_t *out) {
  FieldConstants k;
  prepareFields(layout, k);
  const uint32_t bytes = layout.bytesPerPixel;
  uint32_t x = 0;
  for (; x + 4 <= width; x += 4) storeWords(out + x * bytes, packFour(k, values + 4 * x), bytes, 4);
  if (x < width) {
    alignas(16) float pixels[16] = {};
    std::memcpy(pixels, values + 4 * x, (width - x) * 4 * sizeof(float));
    storeWords(out + x * bytes, packFour(k, pixels), bytes, width - x);
  }
}

#endif

}  // namespace

bool pixelCodecSimdAvailable() {
#if KV_PIXEL_HAS_SSE2
  return sse2Present();
#else
  return false;
#endif
}

void setPixelCodecSimdEnabled(bool enabled) { gSimdEnabled = enabled; }

bool packedSimdActive() { return gSimdEnabled && pixelCodecSimdAvailable(); }

bool processorHasAvx2() {
#if KV_PIXEL_HAS_SSE2 && defined(__GNUC__)
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
#else
  return false;
#endif
}

FastPackedKind fastPackedKindOf(const PackedLayout &layout) {
  if (layout.format == D3DFMT_A8R8G8B8) return FastPackedKind::A8R8G8B8;
  if (layout.format == D3DFMT_X8R8G8B8) return FastPackedKind::X8R8G8B8;
  if (layout.format == D3DFMT_R5G6B5) return FastPackedKind::R5G6B5;
  if (layout.format == D3DFMT_L8) return FastPackedKind::L8;
  if (layout.bytesPerPixel != 1 && layout.bytesPerPixel != 2 && layout.bytesPerPixel != 4) return FastPackedKind::None;
  if (layout.derivedBlue) return FastPackedKind::None;
  for (uint32_t f = 0; f < layout.fieldCount; ++f) {
    if (layout.fields[f].isSigned) return FastPackedKind::None;
  }
  return FastPackedKind::Fields;
}

bool fastUnpackRow(FastPackedKind kind, const PackedLayout &layout, const uint8_t *in, uint32_t width, float *row) {
#if KV_PIXEL_HAS_SSE2
  if (!gSimdEnabled || !sse2Present()) return false;
  switch (kind) {
    case FastPackedKind::A8R8G8B8: unpack8888(in, width, row, false); return true;
    case FastPackedKind::X8R8G8B8: unpack8888(in, width, row, true); return true;
    case FastPackedKind::R5G6B5: unpack565(in, width, row); return true;
    case FastPackedKind::L8: unpackL8(in, width, row); return true;
    case FastPackedKind::Fields: unpackFields(layout, in, width, row); return true;
    default: return false;
  }
#else
  (void)kind, (void)layout, (void)in, (void)width, (void)row;
  return false;
#endif
}

bool fastPackRow(FastPackedKind kind, const PackedLayout &layout, const float *values, uint32_t width, uint8_t *out) {
#if KV_PIXEL_HAS_SSE2
  if (!gSimdEnabled || !sse2Present()) return false;
  switch (kind) {
    case FastPackedKind::A8R8G8B8: pack8888(values, width, out, false); return true;
    case FastPackedKind::X8R8G8B8: pack8888(values, width, out, true); return true;
    case FastPackedKind::R5G6B5: pack565(values, width, out); return true;
    case FastPackedKind::L8: packL8(values, width, out); return true;
    case FastPackedKind::Fields: packFields(layout, values, width, out); return true;
    default: return false;
  }
#else
  (void)kind, (void)layout, (void)values, (void)width, (void)out;
  return false;
#endif
}

}  // namespace kv
