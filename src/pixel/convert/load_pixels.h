// Pixels in memory into a rectangle of a Direct3D 9 surface or a box of a volume, through
// the conversion engine: any format with a codec, any size, any filter.
#pragma once

#include <cstdint>

#include "gfx/platform.h"

namespace kv {

// Loads `sourceRect` of the source pixels (rows `sourcePitch` bytes apart) into
// `destinationRect` of `destination` (null = the whole surface). `filter` is a FilterFlags
// word, -1 (0xFFFFFFFF) for the default triangle filter with dithering. S_OK; an error of
// the lock, of convertPixels, or of writing a temporary copy back. D3DERR_INVALIDCALL for
// a missing surface, data or rectangle, and for an inverted or empty source rectangle.
HRESULT loadSurfaceFromMemory(IDirect3DSurface9 *destination, const PALETTEENTRY *destinationPalette,
                              const RECT *destinationRect, const void *sourceData, uint32_t sourceFormat,
                              uint32_t sourcePitch, const PALETTEENTRY *sourcePalette, const RECT *sourceRect,
                              uint32_t filter, uint32_t colorKey);

// The same for volumes, with the source's slice pitch and box.
HRESULT loadVolumeFromMemory(IDirect3DVolume9 *destination, const PALETTEENTRY *destinationPalette,
                             const D3DBOX *destinationBox, const void *sourceData, uint32_t sourceFormat,
                             uint32_t sourceRowPitch, uint32_t sourceSlicePitch, const PALETTEENTRY *sourcePalette,
                             const D3DBOX *sourceBox, uint32_t filter, uint32_t colorKey);

}  // namespace kv
