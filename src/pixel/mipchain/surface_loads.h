// Loads from one Direct3D 9 surface (volume) into another through the conversion engine,
// with every filter and colour option of a load from memory.
#pragma once

#include "gfx/platform.h"

namespace kv {

// Rectangles may be null for the whole surface; filter -1 means triangle with dither.
// The device copies directly when it can do exactly what was asked (no box filter, no
// colour key, equal palettes and sizes, a default-pool destination).
HRESULT loadSurfaceFromSurface(IDirect3DSurface9 *destination, const PALETTEENTRY *destinationPalette,
                               const RECT *destinationRect, IDirect3DSurface9 *source,
                               const PALETTEENTRY *sourcePalette, const RECT *sourceRect, DWORD filter,
                               D3DCOLOR colorKey);

HRESULT loadVolumeFromVolume(IDirect3DVolume9 *destination, const PALETTEENTRY *destinationPalette,
                             const D3DBOX *destinationBox, IDirect3DVolume9 *source,
                             const PALETTEENTRY *sourcePalette, const D3DBOX *sourceBox, DWORD filter,
                             D3DCOLOR colorKey);

}  // namespace kv
