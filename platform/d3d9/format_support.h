// The adapter's answers to "can this device type / format / usage be used": the rules of
// CheckDeviceType and CheckDeviceFormat, shared by the device's own creation checks.
#pragma once

#include <d3d9.h>

namespace kvd3d {

constexpr D3DFORMAT kDisplayFormat = D3DFMT_X8R8G8B8;

// D3D_OK for adapter 0 with a HAL or REF device; D3DERR_INVALIDCALL otherwise.
HRESULT checkAdapterAndType(UINT adapter, D3DDEVTYPE type);

HRESULT checkDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                        BOOL windowed);

HRESULT checkDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                          D3DRESOURCETYPE resourceType, D3DFORMAT format);

// Formats the rasterizer draws into, and the depth formats it tests against.
bool isRenderTargetFormat(D3DFORMAT format);
bool isDrawableDepthFormat(D3DFORMAT format);

}  // namespace kvd3d
