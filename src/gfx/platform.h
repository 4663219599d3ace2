// The one place the library reaches the platform: Win32 and Direct3D 9. On Windows these
// are the system's headers; elsewhere the stand-in platform provides the same names.
#pragma once

#include <windows.h>
#include <d3d9.h>
