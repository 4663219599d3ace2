// The registry: an in-process store of keys and typed values. Tests fill it through the
// control surface; at first use it is seeded from the environment, so that a user on Linux
// can set Direct3D settings: KVPOLYGON_REG_<ValueName>=<number> becomes a REG_DWORD value
// under HKEY_LOCAL_MACHINE "Software\Direct3D".
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "testing/win32_control.h"

extern char **environ;

namespace {

struct Value {
  DWORD type;
  std::vector<BYTE> data;
};

// Keys are named by their root and their lower-cased path; value names are case-insensitive too.
using KeyName = std::pair<uintptr_t, std::string>;
using Key = std::map<std::string, Value>;

struct OpenKey {
  KeyName name;
};

std::string lower(const char *text) {
  std::string s = text ? text : "";
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  // A trailing separator names the same key.
  while (!s.empty() && s.back() == '\\') s.pop_back();
  return s;
}

bool isRoot(HKEY key) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(key);
  return v >= reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT) && v <= reinterpret_cast<uintptr_t>(HKEY_USERS);
}

void seedFromEnvironment(std::map<KeyName, Key> &keys) {
  static const char prefix[] = "KVPOLYGON_REG_";
  const size_t prefixLength = sizeof(prefix) - 1;
  for (char **entry = environ; entry && *entry; ++entry) {
    const char *text = *entry;
    if (std::strncmp(text, prefix, prefixLength) != 0) continue;
    const char *eq = std::strchr(text, '=');
    if (!eq || eq == text + prefixLength) continue;
    std::string name(text + prefixLength, eq);
    char *end = nullptr;
    const unsigned long number = std::strtoul(eq + 1, &end, 0);
    if (end == eq + 1 || *end != '\0') continue;  // not a number: ignored
    const DWORD value = static_cast<DWORD>(number);
    Value v{REG_DWORD, std::vector<BYTE>(4)};
    std::memcpy(v.data.data(), &value, 4);
    keys[{reinterpret_cast<uintptr_t>(HKEY_LOCAL_MACHINE), "software\\direct3d"}][lower(name.c_str())] = v;
  }
}

std::map<KeyName, Key> &store() {
  static std::map<KeyName, Key> keys = [] {
    std::map<KeyName, Key> k;
    seedFromEnvironment(k);
    return k;
  }();
  return keys;
}

KeyName nameOf(HKEY key, const char *subKey, bool *ok) {
  *ok = true;
  if (isRoot(key)) return {reinterpret_cast<uintptr_t>(key), lower(subKey)};
  if (!key) {
    *ok = false;
    return {};
  }
  const OpenKey *open = reinterpret_cast<const OpenKey *>(key);
  std::string path = open->name.second;
  const std::string sub = lower(subKey);
  if (!sub.empty()) path = path.empty() ? sub : path + "\\" + sub;
  return {open->name.first, path};
}

}  // namespace

extern "C" LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_HANDLE;
  *phkResult = nullptr;
  bool ok = false;
  KeyName name = nameOf(hKey, lpSubKey, &ok);
  if (!ok) return ERROR_INVALID_HANDLE;
  if (!store().count(name)) return ERROR_FILE_NOT_FOUND;
  OpenKey *open = new (std::nothrow) OpenKey{name};
  if (!open) return ERROR_FILE_NOT_FOUND;
  *phkResult = reinterpret_cast<HKEY>(open);
  return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  return RegOpenKeyExA(hKey, lpSubKey, 0, KEY_READ, phkResult);
}

extern "C" LONG WINAPI RegCloseKey(HKEY hKey) {
  if (!hKey || isRoot(hKey)) return ERROR_INVALID_HANDLE;
  delete reinterpret_cast<OpenKey *>(hKey);
  return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                                        LPDWORD lpcbData) {
  bool ok = false;
  const KeyName name = nameOf(hKey, nullptr, &ok);
  if (!ok) return ERROR_INVALID_HANDLE;
  auto key = store().find(name);
  if (key == store().end()) return ERROR_FILE_NOT_FOUND;
  auto value = key->second.find(lower(lpValueName));
  if (value == key->second.end()) return ERROR_FILE_NOT_FOUND;
  const Value &v = value->second;
  if (lpType) *lpType = v.type;
  const DWORD size = static_cast<DWORD>(v.data.size());
  if (lpData) {
    if (!lpcbData) return ERROR_INVALID_HANDLE;
    if (*lpcbData < size) {
      *lpcbData = size;
      return ERROR_MORE_DATA;
    }
    if (size) std::memcpy(lpData, v.data.data(), size);
  }
  if (lpcbData) *lpcbData = size;
  return ERROR_SUCCESS;
}

namespace kvtest {

void registryClear() { store().clear(); }

void registrySetRaw(HKEY root, const char *keyPath, const char *valueName, DWORD type, const void *data, DWORD size) {
  Value v{type, std::vector<BYTE>(size)};
  if (size) std::memcpy(v.data.data(), data, size);
  store()[{reinterpret_cast<uintptr_t>(root), lower(keyPath)}][lower(valueName)] = std::move(v);
}

void registrySetDword(HKEY root, const char *keyPath, const char *valueName, DWORD value) {
  registrySetRaw(root, keyPath, valueName, REG_DWORD, &value, sizeof value);
}

void registrySeedFromEnvironment() { seedFromEnvironment(store()); }

void registryRemoveKey(HKEY root, const char *keyPath) {
  store().erase({reinterpret_cast<uintptr_t>(root), lower(keyPath)});
}

}  // namespace kvtest
