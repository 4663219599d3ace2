// 16-bit to 32-bit floats with SSE alone (no integer vector operations): each value is
// its significand (the fraction plus 1024 for a normal value) times a signed power of
// two, 2^(max(e, 1) - 25); both factors are exact floats, so the product is exact.
// Four elements per step, the remaining zero to three one at a time.
#include <bit>

#include "math/sse/simd_routines.h"

#if KV_MATH_HAS_SIMD
#include <xmmintrin.h>

namespace kv {

namespace {

struct HalfFactors {
  float significand;
  float scale;
};

HalfFactors factorsOf(uint16_t half) {
  const uint32_t exponent = (half >> 10) & 0x1Fu;
  const uint32_t fraction = half & 0x3FFu;
  const uint32_t significand = exponent != 0 ? fraction | 0x400u : fraction;
  const uint32_t scaleExponent = (exponent != 0 ? exponent : 1u) + 102u;  // 127 - 25
  const uint32_t sign = static_cast<uint32_t>(half & 0x8000u) << 16;
  return {static_cast<float>(significand), std::bit_cast<float>((scaleExponent << 23) | sign)};
}

}  // namespace

KV_TARGET_SSE float *sseFloat16To32Array(float *out, const uint16_t *in, unsigned count) {
  unsigned i = 0;
  for (; i + 4 <= count; i += 4) {
    // Built in registers: scalar stores followed by a vector load would stall.
    const HalfFactors f0 = factorsOf(in[i]), f1 = factorsOf(in[i + 1]);
    const HalfFactors f2 = factorsOf(in[i + 2]), f3 = factorsOf(in[i + 3]);
    const __m128 significands = _mm_set_ps(f3.significand, f2.significand, f1.significand, f0.significand);
    const __m128 scales = _mm_set_ps(f3.scale, f2.scale, f1.scale, f0.scale);
    _mm_storeu_ps(out + i, _mm_mul_ps(significands, scales));
  }
  for (; i < count; ++i) {
    const HalfFactors f = factorsOf(in[i]);
    out[i] = _mm_cvtss_f32(_mm_mul_ss(_mm_set_ss(f.significand), _mm_set_ss(f.scale)));
  }
  return out;
}

}  // namespace kv
#endif
