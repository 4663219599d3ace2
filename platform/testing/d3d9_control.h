// Test control surface of the stand-in Direct3D 9 runtime. Tests and hosts on Linux use it
// to inject failures, change what the adapter reports, lose devices and read a log of the
// calls made into the runtime. The library itself never includes this header.
#pragma once

#include <d3d9.h>

#include <string>
#include <vector>

namespace kvtest {

// Clears every fault, the caps override, every format refusal and the call log, and turns
// logging off. Devices already made keep their lost / not-reset state.
void d3d9Reset();

// Direct3DCreate9 returns null.
void d3d9FailCreate(bool fail);
// CheckDeviceType answers D3DERR_NOTAVAILABLE.
void d3d9FailCheckDeviceType(bool fail);
// CreateDevice with this device type and vertex-processing flag answers D3DERR_NOTAVAILABLE.
void d3d9FailCreateDevice(D3DDEVTYPE type, DWORD vertexProcessingFlag, bool fail);

// Every live device becomes lost: TestCooperativeLevel and Present report
// D3DERR_DEVICELOST, Reset fails with it, drawing does nothing.
void d3d9LoseDevice();
// Every lost device becomes resettable: D3DERR_DEVICENOTRESET until a successful Reset.
void d3d9MakeResettable();

// How many threads every live device draws with (1: each call draws before it returns;
// more: drawing is queued and shared out when the pixels are needed). Devices made later
// read KVPOLYGON_D3D9_THREADS instead.
void d3d9SetDrawingThreads(int threads);

// Capabilities reported by GetDeviceCaps and applied to resource creation.
void d3d9SetCaps(const D3DCAPS9 &caps);
D3DCAPS9 d3d9DefaultCaps();
void d3d9ResetCaps();

// CheckDeviceFormat answers D3DERR_NOTAVAILABLE for this format (any usage or type), and
// resources of the format can no longer be made outside the scratch pool.
void d3d9RefuseFormat(D3DFORMAT format, bool refuse);

// Copy-operation faults: UpdateSurface or StretchRect answers D3DERR_INVALIDCALL.
void d3d9FailUpdateSurface(bool fail);
void d3d9FailStretchRect(bool fail);
// The surface (a texture level, render target or plain surface of the stand-in) refuses its
// next `times` LockRect calls with D3DERR_INVALIDCALL, as a driver that cannot map it would;
// -1 refuses every lock, 0 lifts the refusal.
void d3d9RefuseLockRect(IDirect3DSurface9 *surface, int times);

// Call log: one line per call, "Name(arg, arg, ...)"; integers in decimal, floats with %g,
// pointers as "ptr" or "null". Off by default.
void d3d9EnableCallLog(bool on);
std::vector<std::string> d3d9CallLog();
void d3d9ClearCallLog();
// With the call log on: the world matrix in force at each DrawPrimitiveUP, in draw order.
std::vector<D3DMATRIX> d3d9DrawnWorldMatrices();

// The presentation parameters as passed to the latest CreateDevice or Reset call.
bool d3d9LastPresentParameters(D3DPRESENT_PARAMETERS *out);

// Devices not yet destroyed, and application-made resources (textures and stand-alone
// surfaces) not yet destroyed: both return to 0 when a host releases everything.
int d3d9LiveDevices();
int d3d9LiveResources();

}  // namespace kvtest
