// Test control surface of the stand-in Windows services. Tests and hosts on Linux use it
// to fill the registry, capture message boxes and debugger output, and override what the
// processor reports. The library itself never includes this header.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace kvtest {

// Registry: values live under (root, key path); key paths compare case-insensitively.
void registryClear();
void registrySetDword(HKEY root, const char *keyPath, const char *valueName, DWORD value);
void registrySetRaw(HKEY root, const char *keyPath, const char *valueName, DWORD type, const void *data,
                    DWORD size);
void registryRemoveKey(HKEY root, const char *keyPath);
// Reads the KVPOLYGON_REG_<ValueName>=<number> variables again (done once at first use).
void registrySeedFromEnvironment();

// Message boxes, debugger output and DebugSetMute calls keep only their most recent
// records, this many of each.
constexpr size_t kRecordsKept = 256;

// Message boxes: every MessageBoxA call is recorded (and still written to standard error).
struct MessageBoxCall {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};
std::vector<MessageBoxCall> messageBoxes();
void clearMessageBoxes();

// Debugger output: every OutputDebugStringA text, in order (also written to standard error
// unless muted with setDebugOutputEcho(false)).
std::vector<std::string> debugOutput();
void clearDebugOutput();
void setDebugOutputEcho(bool echo);

// Processor features reported by IsProcessorFeaturePresent, and the processor level that
// GetSystemInfo reports on x86; by default the real processor's. The reset undoes both.
void setProcessorFeature(DWORD feature, bool present);
void setProcessorLevel(WORD level);
void resetProcessorFeatures();

// The window GetForegroundWindow returns (a fixed non-null handle by default; may be null).
void setForegroundWindow(HWND window);
HWND defaultForegroundWindow();

// Modules that GetModuleHandleA reports as loaded: "d3d9.dll" (the stand-in Direct3D 9
// runtime) is, by default; "d3d9d.dll" (its debug twin) is not. Only these two exist.
void setModuleLoaded(const char *name, bool loaded);
void resetModules();

// Calls of the runtimes' DebugSetMute entries, in order, with the module that received each
// (the most recent kRecordsKept).
struct DebugSetMuteCall {
  std::string module;
  DWORD mute;
};
std::vector<DebugSetMuteCall> debugSetMuteCalls();
void clearDebugSetMuteCalls();

}  // namespace kvtest
