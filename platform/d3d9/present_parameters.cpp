#include "d3d9/present_parameters.h"

#include "d3d9/format_support.h"

namespace kvd3d {
namespace {

bool intervalSupported(UINT interval, const D3DCAPS9 &caps) {
  if (interval == D3DPRESENT_INTERVAL_DEFAULT) return true;
  switch (interval) {
    case D3DPRESENT_INTERVAL_ONE:
    case D3DPRESENT_INTERVAL_TWO:
    case D3DPRESENT_INTERVAL_THREE:
    case D3DPRESENT_INTERVAL_FOUR:
    case D3DPRESENT_INTERVAL_IMMEDIATE:
      return (caps.PresentationIntervals & interval) != 0;
    default:
      return false;
  }
}

}  // namespace

HRESULT resolvePresentParameters(const D3DPRESENT_PARAMETERS &in, HWND focusWindow, const D3DCAPS9 &caps,
                                 D3DPRESENT_PARAMETERS &resolved) {
  D3DPRESENT_PARAMETERS out = in;
  if (!out.hDeviceWindow && !focusWindow) return D3DERR_INVALIDCALL;
  if (out.BackBufferCount > D3DPRESENT_BACK_BUFFERS_MAX) return D3DERR_INVALIDCALL;
  if (out.BackBufferCount == 0) out.BackBufferCount = 1;
  if (out.SwapEffect < D3DSWAPEFFECT_DISCARD || out.SwapEffect > D3DSWAPEFFECT_COPY) return D3DERR_INVALIDCALL;
  if (out.SwapEffect == D3DSWAPEFFECT_COPY && out.BackBufferCount != 1) return D3DERR_INVALIDCALL;
  // No multisampling: CheckDeviceMultiSampleType reports only D3DMULTISAMPLE_NONE.
  if (out.MultiSampleType != D3DMULTISAMPLE_NONE || out.MultiSampleQuality != 0) return D3DERR_INVALIDCALL;

  if (out.Windowed) {
    if (out.FullScreen_RefreshRateInHz != 0) return D3DERR_INVALIDCALL;
    if (out.BackBufferFormat == D3DFMT_UNKNOWN) out.BackBufferFormat = kDisplayFormat;
    if (out.BackBufferWidth == 0) out.BackBufferWidth = kDefaultWindowedWidth;
    if (out.BackBufferHeight == 0) out.BackBufferHeight = kDefaultWindowedHeight;
  } else if (out.BackBufferWidth == 0 || out.BackBufferHeight == 0) {
    return D3DERR_INVALIDCALL;
  }
  if (!isRenderTargetFormat(out.BackBufferFormat)) return D3DERR_INVALIDCALL;
  if (out.BackBufferWidth > kMaxBackBufferSide || out.BackBufferHeight > kMaxBackBufferSide)
    return D3DERR_OUTOFVIDEOMEMORY;

  if (out.EnableAutoDepthStencil) {
    // The rasterizer tests against 16-bit depth only.
    if (!isDrawableDepthFormat(out.AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;
    if ((out.Flags & D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL) && out.AutoDepthStencilFormat == D3DFMT_D16_LOCKABLE)
      return D3DERR_INVALIDCALL;
  }
  if (!intervalSupported(out.PresentationInterval, caps)) return D3DERR_INVALIDCALL;
  resolved = out;
  return D3D_OK;
}

}  // namespace kvd3d
