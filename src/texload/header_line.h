// Text header lines of the float map and Radiance readers, copied out of the file data
// (which has no terminating zero) so that the runtime's formatted scan can read them.
#pragma once

#include <cstdint>

namespace kv {

struct HeaderLine {
  static constexpr uint32_t kCapacity = 256;
  char text[kCapacity];  // the line without its line feed, zero-terminated
  uint32_t length;       // characters before the line feed
};

// Copies the line that starts at data when its line feed lies within the first
// min(remaining, 256) bytes, so at most 255 characters come before it. The next line
// starts length + 1 bytes on. Returns false when no such line feed exists.
bool copyHeaderLine(const uint8_t *data, uint64_t remaining, HeaderLine &line);

}  // namespace kv
