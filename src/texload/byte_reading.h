// Little-endian field reads from file data whose bounds the caller has already checked.
#pragma once

#include <cstdint>

namespace kv {

inline uint32_t readLe16(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

inline uint32_t readLe32(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Byte counts that come from headers are worked out in 64 bits and must stay within what
// a 32-bit process can hold and a signed 32-bit pitch can name before anything is
// allocated or pointed at.
constexpr uint64_t kMaxImageBytes = 0x7FFFFFFFu;

// Whether count items of unitBytes each fit that limit; asked before multiplying, so that
// a product of two 32-bit header fields and a unit size can never wrap.
constexpr bool fitsImageBytes(uint64_t count, uint64_t unitBytes) {
  return count <= kMaxImageBytes / unitBytes;
}

}  // namespace kv
