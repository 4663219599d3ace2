// The checks and completions CreateDevice and Reset apply to D3DPRESENT_PARAMETERS.
#pragma once

#include <d3d9.h>

namespace kvd3d {

// A windowed device asked for a 0 width or height gets this size: the stand-in's windows
// have no client area to measure.
constexpr UINT kDefaultWindowedWidth = 640;
constexpr UINT kDefaultWindowedHeight = 480;
// Back buffers larger than this on either side fail with D3DERR_OUTOFVIDEOMEMORY.
constexpr UINT kMaxBackBufferSide = 16384;

// D3D_OK with `resolved` completed (count 0 -> 1, windowed UNKNOWN format -> the display
// format, windowed 0 size -> the default), or D3DERR_INVALIDCALL / D3DERR_OUTOFVIDEOMEMORY.
HRESULT resolvePresentParameters(const D3DPRESENT_PARAMETERS &in, HWND focusWindow, const D3DCAPS9 &caps,
                                 D3DPRESENT_PARAMETERS &resolved);

}  // namespace kvd3d
