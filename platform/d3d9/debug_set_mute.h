// The runtimes' debug-output mute entries, reached by name through GetProcAddress.
#pragma once

#include <windows.h>

namespace kvd3d {

// The entry of "d3d9.dll" and the one of its debug twin "d3d9d.dll".
int WINAPI debugSetMuteRetail(DWORD mute);
int WINAPI debugSetMuteDebug(DWORD mute);

// Whether the runtime's debug output is muted now (the last value either entry received).
bool debugOutputMuted();

}  // namespace kvd3d
