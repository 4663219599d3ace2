// Start-up services around the Direct3D settings in the registry
// (HKEY_LOCAL_MACHINE "Software\Direct3D", every value a REG_DWORD).
#pragma once

#include <windows.h>

namespace kv {

// 1 when valueName exists under the Direct3D settings key with the expected type and fits
// the buffer, and has been copied into it (a shorter value zero-extended to the whole
// buffer); else 0 and the buffer is left as it was. The key is opened and closed on every
// call.
BOOL readDirect3DSetting(DWORD expectedType, const char *valueName, void *buffer, DWORD size);

// 1 when MMX code may be used, else 0. "DisableMMX" (non-zero) is honoured on every
// call; the processor is tested only once.
int isMmxUsable();

// Stores the new mute value and returns the previous one. Unless "KvDoNotMute" is set,
// passes the value on to the DebugSetMute entries of whichever Direct3D runtimes are
// loaded ("d3d9.dll" first, then "d3d9d.dll").
DWORD setDebugMute(DWORD mute);

// Once per process: checks that operator new gives distinct non-null blocks for zero
// bytes and that deleting a null pointer is harmless; warns on the debugger if not.
void checkNewDelete();

}  // namespace kv
