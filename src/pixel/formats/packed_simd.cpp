#include "pixel/formats/packed_simd.h"

#include <cmath>

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

FastPackedKind fastPackedKindOf(uint32_t format) {
  switch (format) {
    case D3DFMT_A8R8G8B8: return FastPackedKind::A8R8G8B8;
    case D3DFMT_X8R8G8B8: return FastPackedKind::X8R8G8B8;
    case D3DFMT_R5G6B5: return FastPackedKind::R5G6B5;
    case D3DFMT_L8: return FastPackedKind::L8;
    default: return FastPackedKind::None;
  }
}

bool fastUnpackRow(FastPackedKind kind, const uint8_t *in, uint32_t width, float *row) {
#if KV_PIXEL_HAS_SSE2
  if (!gSimdEnabled || !sse2Present()) return false;
  switch (kind) {
    case FastPackedKind::A8R8G8B8: unpack8888(in, width, row, false); return true;
    case FastPackedKind::X8R8G8B8: unpack8888(in, width, row, true); return true;
    case FastPackedKind::R5G6B5: unpack565(in, width, row); return true;
    case FastPackedKind::L8: unpackL8(in, width, row); return true;
    default: return false;
  }
#else
  (void)kind, (void)in, (void)width, (void)row;
  return false;
#endif
}

bool fastPackRow(FastPackedKind kind, const float *values, uint32_t width, uint8_t *out) {
#if KV_PIXEL_HAS_SSE2
  if (!gSimdEnabled || !sse2Present()) return false;
  switch (kind) {
    case FastPackedKind::A8R8G8B8: pack8888(values, width, out, false); return true;
    case FastPackedKind::X8R8G8B8: pack8888(values, width, out, true); return true;
    case FastPackedKind::R5G6B5: pack565(values, width, out); return true;
    case FastPackedKind::L8: packL8(values, width, out); return true;
    default: return false;
  }
#else
  (void)kind, (void)values, (void)width, (void)out;
  return false;
#endif
}

}  // namespace kv
