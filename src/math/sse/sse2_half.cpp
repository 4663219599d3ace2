// The half-float conversions with SSE2 integer vectors, eight elements per step and the
// remaining zero to seven one at a time. Both give the baseline's bit patterns exactly.
#include "math/half_float.h"
#include "math/sse/simd_routines.h"

#if KV_MATH_HAS_SIMD
#include <emmintrin.h>

namespace kv {

namespace {

// Four halves (zero-extended in 32-bit lanes) to floats: significand times a signed
// power of two, both exact.
KV_TARGET_SSE2 __m128 halvesToFloats(__m128i h) {
  const __m128i fraction = _mm_and_si128(h, _mm_set1_epi32(0x3FF));
  const __m128i exponent = _mm_and_si128(_mm_srli_epi32(h, 10), _mm_set1_epi32(0x1F));
  const __m128i isZeroExponent = _mm_cmpeq_epi32(exponent, _mm_setzero_si128());
  const __m128i significand = _mm_or_si128(fraction, _mm_andnot_si128(isZeroExponent, _mm_set1_epi32(0x400)));
  const __m128i scaleExponent =
      _mm_add_epi32(_mm_add_epi32(exponent, _mm_and_si128(isZeroExponent, _mm_set1_epi32(1))), _mm_set1_epi32(102));
  const __m128i sign = _mm_slli_epi32(_mm_and_si128(h, _mm_set1_epi32(0x8000)), 16);
  const __m128i scale = _mm_or_si128(_mm_slli_epi32(scaleExponent, 23), sign);
  return _mm_mul_ps(_mm_cvtepi32_ps(significand), _mm_castsi128_ps(scale));
}

// Four floats to halves without their sign, in 32-bit lanes (0 to 0x7FFF).
KV_TARGET_SSE2 __m128i floatsToUnsignedHalves(__m128i bits) {
  const __m128i magnitude = _mm_and_si128(bits, _mm_set1_epi32(0x7FFFFFFF));
  const __m128i saturates = _mm_cmpgt_epi32(magnitude, _mm_set1_epi32(0x47FFEFFF));
  const __m128i isNormal = _mm_cmpgt_epi32(magnitude, _mm_set1_epi32(0x387FFFFF));
  // Normal: rebias the exponent by 112 and round at bit 13, ties to even.
  const __m128i odd = _mm_and_si128(_mm_srli_epi32(magnitude, 13), _mm_set1_epi32(1));
  const __m128i normal = _mm_srli_epi32(
      _mm_add_epi32(_mm_add_epi32(magnitude, _mm_set1_epi32(static_cast<int>(0xC8000FFFu))), odd), 13);
  // Denormal: |x| * 2^24 is exact; its integer part plus a round-to-nearest-even step
  // done by hand, so the result does not depend on the processor's rounding mode.
  const __m128 scaled = _mm_mul_ps(_mm_castsi128_ps(magnitude), _mm_set1_ps(16777216.0f));
  const __m128i whole = _mm_cvttps_epi32(scaled);
  const __m128 fraction = _mm_sub_ps(scaled, _mm_cvtepi32_ps(whole));  // exact
  const __m128 half = _mm_set1_ps(0.5f);
  const __m128i wholeIsOdd = _mm_cmpeq_epi32(_mm_and_si128(whole, _mm_set1_epi32(1)), _mm_set1_epi32(1));
  const __m128i roundsUp = _mm_or_si128(_mm_castps_si128(_mm_cmpgt_ps(fraction, half)),
                                        _mm_and_si128(_mm_castps_si128(_mm_cmpeq_ps(fraction, half)), wholeIsOdd));
  const __m128i denormal = _mm_sub_epi32(whole, roundsUp);  // roundsUp is -1 where set
  __m128i result = _mm_or_si128(_mm_and_si128(isNormal, normal), _mm_andnot_si128(isNormal, denormal));
  result = _mm_or_si128(_mm_and_si128(saturates, _mm_set1_epi32(0x7FFF)), _mm_andnot_si128(saturates, result));
  return result;
}

}  // namespace

KV_TARGET_SSE2 float *sse2Float16To32Array(float *out, const uint16_t *in, unsigned count) {
  const __m128i zero = _mm_setzero_si128();
  unsigned i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i halves = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
    _mm_storeu_ps(out + i, halvesToFloats(_mm_unpacklo_epi16(halves, zero)));
    _mm_storeu_ps(out + i + 4, halvesToFloats(_mm_unpackhi_epi16(halves, zero)));
  }
  for (; i < count; ++i) out[i] = _mm_cvtss_f32(halvesToFloats(_mm_cvtsi32_si128(in[i])));
  return out;
}

KV_TARGET_SSE2 uint16_t *sse2Float32To16Array(uint16_t *out, const float *in, unsigned count) {
  unsigned i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i low = _mm_castps_si128(_mm_loadu_ps(in + i));
    const __m128i high = _mm_castps_si128(_mm_loadu_ps(in + i + 4));
    const __m128i magnitudes = _mm_packs_epi32(floatsToUnsignedHalves(low), floatsToUnsignedHalves(high));
    // The top half of each float, packed with signed saturation, keeps its sign bit.
    const __m128i signs = _mm_and_si128(_mm_packs_epi32(_mm_srai_epi32(low, 16), _mm_srai_epi32(high, 16)),
                                        _mm_set1_epi16(static_cast<short>(0x8000)));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_or_si128(magnitudes, signs));
  }
  for (; i < count; ++i) out[i] = float32To16(in[i]);
  return out;
}

}  // namespace kv
#endif
