#include "texload/header_line.h"

#include <cstring>

namespace kv {

bool copyHeaderLine(const uint8_t *data, uint64_t remaining, HeaderLine &line) {
  const uint32_t limit = remaining < HeaderLine::kCapacity ? static_cast<uint32_t>(remaining)
                                                          : HeaderLine::kCapacity;
  const void *feed = std::memchr(data, '\n', limit);
  if (!feed) return false;
  line.length = static_cast<uint32_t>(static_cast<const uint8_t *>(feed) - data);
  std::memcpy(line.text, data, line.length);
  line.text[line.length] = '\0';
  return true;
}

}  // namespace kv
