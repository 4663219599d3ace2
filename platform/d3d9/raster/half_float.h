#pragma once
// Half-precision (s10e5) to single precision, for the 16-bit float texture formats.
#include <cstdint>
#include <cstring>

namespace kvd3d::raster {

inline float halfToFloat(uint16_t h) {
  const uint32_t sign = static_cast<uint32_t>(h & 0x8000) << 16;
  const uint32_t exponent = (h >> 10) & 0x1F;
  uint32_t mantissa = h & 0x3FF;
  uint32_t bits;
  if (exponent == 0) {
    if (mantissa == 0) {
      bits = sign;
    } else {  // subnormal: renormalise
      int e = -1;
      do {
        ++e;
        mantissa <<= 1;
      } while ((mantissa & 0x400) == 0);
      bits = sign | static_cast<uint32_t>(127 - 15 - e) << 23 | (mantissa & 0x3FF) << 13;
    }
  } else if (exponent == 31) {
    bits = sign | 0x7F800000 | mantissa << 13;  // infinity or NaN
  } else {
    bits = sign | (exponent + 127 - 15) << 23 | mantissa << 13;
  }
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

}  // namespace kvd3d::raster
