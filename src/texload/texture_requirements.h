// Settling a texture's size, level count and pixel format against what the device can do.
#pragma once

#include "gfx/platform.h"
#include "pixel/formats/pixel_format_info.h"
#include "texload/image_info.h"

#include <cstdint>

namespace kv {

// Special values of the size, level and format arguments of the texture loader.
constexpr UINT VALUE_DEFAULT = 0xFFFFFFFFu;
constexpr UINT VALUE_DEFAULT_NONPOW2 = 0xFFFFFFFEu;
constexpr UINT VALUE_FROM_FILE = 0xFFFFFFFDu;

// How far `candidate` is from `wanted` as a substitute: lower is closer; -1 when the
// candidate cannot stand in at all (forbidden class, or every wanted channel missing).
int64_t formatDistance(const PixelFormatInfo &wanted, const PixelFormatInfo &candidate);

// The format a resource of `resourceType` with `usage` gets for the wanted description:
// the wanted format itself when the device takes it, else the closest candidate (fewer
// bits per pixel on equal distance). Without a device every table row qualifies. 0 when
// none fits.
uint32_t chooseTextureFormat(IDirect3DDevice9 *device, DWORD usage, D3DRESOURCETYPE resourceType,
                             const PixelFormatInfo &wanted);

// Adjusts the requested width, height, level count and format of a 2D texture to the
// device's capabilities. Null in/out pointers count as VALUE_DEFAULT.
HRESULT checkTextureRequirements(IDirect3DDevice9 *device, UINT *width, UINT *height, UINT *levels,
                                 DWORD usage, D3DFORMAT *format, D3DPOOL pool);

}  // namespace kv
