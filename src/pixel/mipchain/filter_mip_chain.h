// Fills the lower mipmap levels of a texture, cube texture or volume texture from one of
// its levels.
#pragma once

#include "gfx/platform.h"

namespace kv {

// sourceLevel -1 means 0; filter -1 means the box filter for power-of-two sizes (each
// level from the one above) and triangle with dither otherwise (each level from the
// source level). Cube faces never blend across their edges.
HRESULT filterMipChain(IDirect3DBaseTexture9 *texture, const PALETTEENTRY *palette, UINT sourceLevel, DWORD filter);

}  // namespace kv
