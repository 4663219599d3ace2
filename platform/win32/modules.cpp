// Module look-up by name. The only modules are the stand-in Direct3D 9 runtime, "d3d9.dll",
// and its debug twin "d3d9d.dll"; both live inside this library, so "loading" one only
// makes it visible to GetModuleHandleA and adds a reference.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "d3d9/debug_set_mute.h"
#include "testing/win32_control.h"

namespace {

// Entries are handed out as FARPROC, as the platform does; the caller casts back.
template <typename F>
FARPROC asProc(F *f) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f));
}

struct Module {
  const char *name;
  bool loadedByDefault;
  FARPROC debugSetMute;
  bool loaded;
  int references;
};

Module g_modules[] = {
    {"d3d9.dll", true, asProc(&kvd3d::debugSetMuteRetail), true, 1},
    {"d3d9d.dll", false, asProc(&kvd3d::debugSetMuteDebug), false, 0},
};

char g_mainModule;  // the address stands for the host program's own module

Module *find(const char *name) {
  if (!name) return nullptr;
  std::string n = name;
  std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (n.find('.') == std::string::npos) n += ".dll";
  for (Module &m : g_modules)
    if (n == m.name) return &m;
  return nullptr;
}

HMODULE handleOf(Module *m) { return reinterpret_cast<HMODULE>(m); }

Module *moduleOf(HMODULE handle) {
  for (Module &m : g_modules)
    if (handleOf(&m) == handle) return &m;
  return nullptr;
}

}  // namespace

extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  if (!lpModuleName) return reinterpret_cast<HMODULE>(&g_mainModule);
  Module *m = find(lpModuleName);
  return m && m->loaded ? handleOf(m) : nullptr;
}

extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  Module *m = find(lpLibFileName);
  if (!m) return nullptr;
  m->loaded = true;
  ++m->references;
  return handleOf(m);
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  Module *m = moduleOf(hLibModule);
  if (!m || m->references == 0) return FALSE;
  if (--m->references == 0) m->loaded = false;
  return TRUE;
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  Module *m = moduleOf(hModule);
  if (!m || !m->loaded || !lpProcName) return nullptr;
  if (std::strcmp(lpProcName, "DebugSetMute") == 0) return m->debugSetMute;
  return nullptr;
}

extern "C" DWORD WINAPI GetLastError(void) { return 0; }

namespace kvtest {

void setModuleLoaded(const char *name, bool loaded) {
  if (Module *m = find(name)) {
    m->loaded = loaded;
    m->references = loaded ? std::max(m->references, 1) : 0;
  }
}

void resetModules() {
  for (Module &m : g_modules) {
    m.loaded = m.loadedByDefault;
    m.references = m.loaded ? 1 : 0;
  }
}

}  // namespace kvtest
