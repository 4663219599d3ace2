#include "math/direct3d_settings.h"

#include <cstring>

namespace kv {

namespace {

constexpr const char *kDirect3DKey = "Software\\Direct3D";

// Closes the key on every path.
struct RegistryKey {
  HKEY handle = nullptr;
  ~RegistryKey() {
    if (handle) RegCloseKey(handle);
  }
};

}  // namespace

BOOL readDirect3DSetting(DWORD expectedType, const char *valueName, void *buffer, DWORD size) {
  if (!valueName || !buffer) return 0;
  RegistryKey key;
  if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kDirect3DKey, &key.handle) != ERROR_SUCCESS) return 0;
  // Type and size first, so that a value of another type, or too long for the buffer,
  // never reaches the caller's buffer.
  DWORD type = REG_NONE;
  DWORD storedSize = 0;
  if (RegQueryValueExA(key.handle, valueName, nullptr, &type, nullptr, &storedSize) != ERROR_SUCCESS) return 0;
  if (type != expectedType || storedSize > size) return 0;
  // A shorter value is zero-extended: the whole buffer is cleared before the bytes present
  // land in its low end, so no part of the caller's word is left unset.
  std::memset(buffer, 0, size);
  DWORD copied = size;
  if (RegQueryValueExA(key.handle, valueName, nullptr, &type, static_cast<LPBYTE>(buffer), &copied) !=
      ERROR_SUCCESS)
    return 0;
  return type == expectedType ? 1 : 0;
}

}  // namespace kv
