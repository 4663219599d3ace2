// An image file lying whole in memory becomes a Direct3D 9 texture with every level filled.
#pragma once

#include "gfx/platform.h"
#include "texload/image_info.h"

#include <cstdint>

namespace kv {

// Decodes the file, settles size, levels and format against the device and fills every
// level. width/height/levels/format take the special values VALUE_DEFAULT,
// VALUE_DEFAULT_NONPOW2 and VALUE_FROM_FILE; filter and mipFilter are FilterFlags (-1 for
// the defaults); colorKey is A8R8G8B8, 0 for none. info and palette (256 entries of red,
// green, blue, alpha) are optional outputs. The caller owns the texture it receives.
HRESULT createTextureFromImageInMemory(IDirect3DDevice9 *device, const void *data, UINT size, UINT width,
                                       UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                       DWORD filter, DWORD mipFilter, D3DCOLOR colorKey, ImageInfo *info,
                                       PALETTEENTRY *palette, IDirect3DTexture9 **texture);

}  // namespace kv
