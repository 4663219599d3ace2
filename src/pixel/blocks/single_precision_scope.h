// Builds whose float arithmetic runs on the x87 unit (the 32-bit Windows build has no
// SSE2) would otherwise carry 64-bit significands between operations, and the encoders'
// rounding decisions would depend on register allocation. For the length of one block
// the x87 precision control is set to 24 bits, so that every operation rounds as single
// precision does; the caller's setting is restored afterwards.
#pragma once

#include <cstdint>

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__)) && !defined(__SSE_MATH__)
#define KV_X87_FLOAT_MATH 1
#else
#define KV_X87_FLOAT_MATH 0
#endif

namespace kv {

class SinglePrecisionScope {
 public:
#if KV_X87_FLOAT_MATH
  SinglePrecisionScope() {
    asm volatile("fnstcw %0" : "=m"(saved_));
    const uint16_t single = static_cast<uint16_t>(saved_ & ~0x0300u);
    asm volatile("fldcw %0" : : "m"(single));
  }
  ~SinglePrecisionScope() { asm volatile("fldcw %0" : : "m"(saved_)); }

 private:
  uint16_t saved_;
#else
  SinglePrecisionScope() = default;
#endif
  SinglePrecisionScope(const SinglePrecisionScope &) = delete;
  SinglePrecisionScope &operator=(const SinglePrecisionScope &) = delete;
};

}  // namespace kv
