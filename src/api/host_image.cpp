#include "api/host_image.h"

#include <cstring>

namespace kv {

namespace {

// Reads the 32-bit pointer word at byte offset of the record at address; 0 for none.
uintptr_t wordAt(uintptr_t address, uintptr_t offset) {
  if (address == 0) return 0;
  uint32_t word = 0;
  std::memcpy(&word, reinterpret_cast<const void *>(address + offset), sizeof word);
  return word;
}

}  // namespace

uint32_t *hostImagePixels(uint32_t handle) {
  if (handle == 0) return nullptr;
  const uint64_t object = uint64_t(handle) * 2;
  if (object > UINTPTR_MAX) return nullptr;
  const uintptr_t bitmap = wordAt(static_cast<uintptr_t>(object), 16);
  const uintptr_t info = wordAt(bitmap, 8);
  const uintptr_t pixels = wordAt(info, 16);
  return reinterpret_cast<uint32_t *>(pixels);
}

}  // namespace kv
