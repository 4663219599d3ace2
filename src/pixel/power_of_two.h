// Power-of-two tests and rounding for texture sizes.
#pragma once

#include <cstdint>

namespace kv {

// True for 0 as well, as the sizes' bit test (n & (n - 1)) has it.
inline bool isPowerOfTwo(uint32_t n) { return (n & (n - 1)) == 0; }

// The smallest power of two not below n; n itself when no 32-bit power of two is.
inline uint32_t roundUpToPowerOfTwo(uint32_t n) {
  uint32_t p = 1;
  while (p < n && p < 0x80000000u) p <<= 1;
  return p < n ? n : p;
}

}  // namespace kv
