// The baseline half-float conversions: integer work on the bit patterns.
#include "math/half_float.h"

#include <bit>

#include "math/baseline/baseline_routines.h"

namespace kv {

uint16_t float32To16(float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  const uint32_t sign = (bits >> 16) & 0x8000u;
  const uint32_t magnitude = bits & 0x7FFFFFFFu;
  if (magnitude > 0x47FFEFFFu)  // 131040 and above, infinities, not-a-numbers
    return static_cast<uint16_t>(sign | 0x7FFFu);
  if (magnitude >= 0x38800000u) {  // a normal 16-bit value: rebias by 112, round at bit 13
    const uint32_t rounded = magnitude - 0x38000000u + 0xFFFu + ((magnitude >> 13) & 1u);
    return static_cast<uint16_t>(sign | (rounded >> 13));
  }
  // Denormal or zero: line the significand up with the 16-bit fraction. Bits shifted out
  // below the rounding position are kept as a sticky bit, so that a value just above a
  // tie still rounds up.
  const uint32_t shift = 113u - (magnitude >> 23);
  uint32_t significand = 0;
  if (shift <= 31) {
    const uint32_t full = (magnitude & 0x7FFFFFu) | 0x800000u;
    const uint32_t lost = full & ((1u << shift) - 1u);
    significand = (full >> shift) | (lost != 0 ? 1u : 0u);
  } else if (magnitude != 0) {
    significand = 1;  // far below half the smallest denormal: rounds to zero either way
  }
  const uint32_t rounded = significand + 0xFFFu + ((significand >> 13) & 1u);
  return static_cast<uint16_t>(sign | (rounded >> 13));
}

float float16To32(uint16_t half) {
  const uint32_t sign = static_cast<uint32_t>(half & 0x8000u) << 16;
  const uint32_t exponent = (half >> 10) & 0x1Fu;
  uint32_t fraction = half & 0x3FFu;
  if (exponent != 0)
    return std::bit_cast<float>(sign | ((exponent + 112u) << 23) | (fraction << 13));
  if (fraction == 0) return std::bit_cast<float>(sign);
  // Denormal: normalise the fraction; the value is fraction * 2^-24 exactly.
  uint32_t shifts = 0;
  while ((fraction & 0x400u) == 0) {
    fraction <<= 1;
    ++shifts;
  }
  return std::bit_cast<float>(sign | ((127u - 14u - shifts) << 23) | ((fraction & 0x3FFu) << 13));
}

uint16_t *baselineFloat32To16Array(uint16_t *out, const float *in, unsigned count) {
  for (unsigned i = 0; i < count; ++i) out[i] = float32To16(in[i]);
  return out;
}

float *baselineFloat16To32Array(float *out, const uint16_t *in, unsigned count) {
  for (unsigned i = 0; i < count; ++i) out[i] = float16To32(in[i]);
  return out;
}

}  // namespace kv
