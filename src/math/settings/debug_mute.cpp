// The Direct3D debug runtime's output mute, switched around Direct3D calls that may fail
// in normal operation (format queries, surface copies).
#include "math/direct3d_settings.h"
#include "math/math_test_hooks.h"

namespace kv {

namespace {

using DebugSetMuteFunction = int(WINAPI *)(DWORD mute);

struct DebugMuteState {
  DWORD mute = 0;
  DebugSetMuteFunction retail = nullptr;  // from "d3d9.dll"
  DebugSetMuteFunction debug = nullptr;   // from "d3d9d.dll"
  int doNotMute = -1;                     // -1 not read yet, else 0 or 1
};

DebugMuteState g_state;

// Only a runtime that is already loaded is used; the reference taken here is kept for
// the life of the process, so the entry stays valid.
DebugSetMuteFunction findEntry(const char *module) {
  if (!GetModuleHandleA(module)) return nullptr;
  const HMODULE handle = LoadLibraryA(module);
  if (!handle) return nullptr;
  const FARPROC entry = GetProcAddress(handle, "DebugSetMute");
  // Through the generic function type, the customary route from FARPROC to the real type.
  return reinterpret_cast<DebugSetMuteFunction>(reinterpret_cast<void (*)()>(entry));
}

}  // namespace

DWORD setDebugMute(DWORD mute) {
  const DWORD previous = g_state.mute;
  g_state.mute = mute;
  if (!g_state.retail && !g_state.debug) {
    g_state.retail = findEntry("d3d9.dll");
    g_state.debug = findEntry("d3d9d.dll");
  }
  if (g_state.doNotMute < 0) {
    DWORD value = 0;
    g_state.doNotMute = readDirect3DSetting(REG_DWORD, "KvDoNotMute", &value, sizeof value) && value != 0 ? 1 : 0;
  }
  if (g_state.doNotMute == 0) {
    if (g_state.retail) g_state.retail(mute);
    if (g_state.debug) g_state.debug(mute);
  }
  return previous;
}

namespace test_hooks {

void resetDebugMuteState() { g_state = DebugMuteState{}; }

}  // namespace test_hooks

}  // namespace kv
