#include "d3d9/swap_chain.h"

#include "d3d9/device.h"

namespace kvd3d {

HRESULT SwapChain::QueryInterface(REFIID riid, void **ppvObj) {
  if (!ppvObj) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirect3DSwapChain9) {
    *ppvObj = static_cast<IDirect3DSwapChain9 *>(this);
    AddRef();
    return S_OK;
  }
  *ppvObj = nullptr;
  return E_NOINTERFACE;
}

ULONG SwapChain::AddRef() {
  if (refs_++ == 0) device_->AddRef();
  return refs_;
}

ULONG SwapChain::Release() {
  if (refs_ == 0) return 0;  // an unbalanced Release must not wrap the count
  if (--refs_ == 0) {
    device_->Release();  // may destroy the device and this swap chain with it
    return 0;
  }
  return refs_;
}

HRESULT SwapChain::Present(const RECT *pSourceRect, const RECT *pDestRect, HWND hDestWindowOverride,
                           const RGNDATA *pDirtyRegion, DWORD) {
  return device_->Present(pSourceRect, pDestRect, hDestWindowOverride, pDirtyRegion);
}

HRESULT SwapChain::GetFrontBufferData(IDirect3DSurface9 *pDestSurface) {
  return device_->GetFrontBufferData(0, pDestSurface);
}

HRESULT SwapChain::GetBackBuffer(UINT iBackBuffer, D3DBACKBUFFER_TYPE Type, IDirect3DSurface9 **ppBackBuffer) {
  return device_->GetBackBuffer(0, iBackBuffer, Type, ppBackBuffer);
}

HRESULT SwapChain::GetRasterStatus(D3DRASTER_STATUS *pRasterStatus) {
  return device_->GetRasterStatus(0, pRasterStatus);
}

HRESULT SwapChain::GetDisplayMode(D3DDISPLAYMODE *pMode) { return device_->GetDisplayMode(0, pMode); }

HRESULT SwapChain::GetDevice(IDirect3DDevice9 **ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *ppDevice = device_;
  return D3D_OK;
}

HRESULT SwapChain::GetPresentParameters(D3DPRESENT_PARAMETERS *pPresentationParameters) {
  if (!pPresentationParameters) return D3DERR_INVALIDCALL;
  *pPresentationParameters = device_->presentParameters();
  return D3D_OK;
}

}  // namespace kvd3d
