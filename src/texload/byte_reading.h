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

// Byte counts that come from headers are worked out in 64 bits and must fit the 32-bit
// fields (and the 32-bit address space) of the record before anything is allocated.
constexpr uint64_t kMaxImageBytes = 0xFFFFFFFFu;

}  // namespace kv
