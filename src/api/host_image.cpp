#include "api/host_image.h"

#include <cstring>

#if defined(__linux__)
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace kv {

namespace {

// Copies size bytes from address, or reports false where the memory cannot be read. On
// Linux the kernel does the reading, so a bad address from the host is an error, not a
// crash; elsewhere the host's addresses are taken as given.
bool readMemory(uintptr_t address, void *out, size_t size) {
  if (address == 0) return false;
#if defined(__linux__)
  iovec local{out, size};
  iovec remote{reinterpret_cast<void *>(address), size};
  return process_vm_readv(getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size);
#else
  std::memcpy(out, reinterpret_cast<const void *>(address), size);
  return true;
#endif
}

// The 32-bit pointer word at byte offset of the record at address; 0 for none.
uintptr_t wordAt(uintptr_t address, uintptr_t offset) {
  uint32_t word = 0;
  if (!readMemory(address + offset, &word, sizeof word)) return 0;
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

bool hostPixelsReachable(const uint32_t *pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return false;
  const uint64_t count = uint64_t(width) * uint64_t(height);
  const uintptr_t first = reinterpret_cast<uintptr_t>(pixels);
  if (count - 1 > (UINTPTR_MAX - first) / 4) return false;
  uint32_t probe;
  return readMemory(first, &probe, 4) && readMemory(first + static_cast<uintptr_t>((count - 1) * 4), &probe, 4);
}

}  // namespace kv
