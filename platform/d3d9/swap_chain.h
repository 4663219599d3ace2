// IDirect3DSwapChain9: the device's one implicit swap chain. It lives inside the device;
// like the device's own surfaces, references to it only pin the device.
#pragma once

#include <d3d9.h>

namespace kvd3d {

class Device;

class SwapChain final : public IDirect3DSwapChain9 {
 public:
  explicit SwapChain(Device *device) : device_(device) {}
  SwapChain(const SwapChain &) = delete;
  SwapChain &operator=(const SwapChain &) = delete;
  ~SwapChain() = default;

  STDMETHOD(QueryInterface)(REFIID riid, void **ppvObj) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD(Present)(const RECT *pSourceRect, const RECT *pDestRect, HWND hDestWindowOverride,
                     const RGNDATA *pDirtyRegion, DWORD dwFlags) override;
  STDMETHOD(GetFrontBufferData)(IDirect3DSurface9 *pDestSurface) override;
  STDMETHOD(GetBackBuffer)(UINT iBackBuffer, D3DBACKBUFFER_TYPE Type, IDirect3DSurface9 **ppBackBuffer) override;
  STDMETHOD(GetRasterStatus)(D3DRASTER_STATUS *pRasterStatus) override;
  STDMETHOD(GetDisplayMode)(D3DDISPLAYMODE *pMode) override;
  STDMETHOD(GetDevice)(IDirect3DDevice9 **ppDevice) override;
  STDMETHOD(GetPresentParameters)(D3DPRESENT_PARAMETERS *pPresentationParameters) override;

 private:
  Device *device_;
  ULONG refs_ = 0;
};

}  // namespace kvd3d
