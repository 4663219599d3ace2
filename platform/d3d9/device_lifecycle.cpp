// Device creation, destruction, the implicit swap chain, Reset and the lost-device cycle.
#include <algorithm>
#include <new>

#include "d3d9/call_log.h"
#include "d3d9/control_state.h"
#include "d3d9/default_caps.h"
#include "d3d9/device.h"
#include "d3d9/direct3d9.h"
#include "d3d9/pixel_memory.h"
#include "d3d9/present_parameters.h"
#include "d3d9/surface.h"
#include "d3d9/texture_base.h"

namespace kvd3d {

namespace {
// What GetAvailableTextureMem reports: memory is the process heap, so any plausible figure.
constexpr UINT kReportedTextureMemory = 512u << 20;
}  // namespace

HRESULT Device::create(Direct3D9 *direct3d, const D3DDEVICE_CREATION_PARAMETERS &creation,
                       const D3DPRESENT_PARAMETERS &parameters, Device **out) {
  *out = nullptr;
  Device *device = new (std::nothrow) Device(direct3d, creation);
  if (!device) return E_OUTOFMEMORY;
  HRESULT hr = device->buildSwapChain(parameters);
  if (FAILED(hr)) {
    device->Release();
    return hr;
  }
  device->restoreDefaultState();
  *out = device;
  return D3D_OK;
}

Device::Device(Direct3D9 *direct3d, const D3DDEVICE_CREATION_PARAMETERS &creation)
    : direct3d_(direct3d), creation_(creation) {
  direct3d_->AddRef();
  control().liveDevices.push_back(this);
  rasterizer_.setThreads(raster::threadsFromEnvironment());
  for (int i = 0; i < 256; ++i) {
    gamma_.red[i] = gamma_.green[i] = gamma_.blue[i] = WORD(i * 257);
  }
}

Device::~Device() {
  unbindAllTextures();
  releaseSwapChain();
  auto &live = control().liveDevices;
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  direct3d_->Release();
  releaseKeptPixelMemory();
}

void Device::track(TrackedResource *resource) { resources_.push_back(resource); }

void Device::untrack(TrackedResource *resource) {
  resources_.erase(std::remove(resources_.begin(), resources_.end(), resource), resources_.end());
}

HRESULT Device::buildSwapChain(const D3DPRESENT_PARAMETERS &parameters) {
  releaseSwapChain();
  parameters_ = parameters;
  const bool lockable = parameters.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  for (UINT i = 0; i < parameters.BackBufferCount; ++i) {
    const D3DSURFACE_DESC desc{parameters.BackBufferFormat, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET,
                               D3DPOOL_DEFAULT, D3DMULTISAMPLE_NONE, 0, parameters.BackBufferWidth,
                               parameters.BackBufferHeight};
    Surface *surface = nullptr;
    HRESULT hr = Surface::create(this, desc, lockable, Surface::Owner::device, &swapChain_, &surface);
    if (SUCCEEDED(hr)) {
      try {
        backBuffers_.push_back(surface);
      } catch (const std::bad_alloc &) {
        delete surface;
        hr = E_OUTOFMEMORY;
      }
    }
    if (FAILED(hr)) return hr == E_OUTOFMEMORY ? D3DERR_OUTOFVIDEOMEMORY : hr;
  }
  if (parameters.EnableAutoDepthStencil) {
    const D3DFORMAT format = parameters.AutoDepthStencilFormat;
    const D3DSURFACE_DESC desc{format, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT,
                               D3DMULTISAMPLE_NONE, 0, parameters.BackBufferWidth, parameters.BackBufferHeight};
    HRESULT hr = Surface::create(this, desc, format == D3DFMT_D16_LOCKABLE, Surface::Owner::device, nullptr,
                                 &autoDepth_);
    if (FAILED(hr)) return hr == E_OUTOFMEMORY ? D3DERR_OUTOFVIDEOMEMORY : hr;
    autoDepth_->setDiscardable((parameters.Flags & D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL) != 0);
  }
  return D3D_OK;
}

void Device::releaseSwapChain() {
  for (Surface *surface : backBuffers_) delete surface;
  backBuffers_.clear();
  delete autoDepth_;
  autoDepth_ = nullptr;
}

void Device::unbindAllTextures() {
  for (BindableTexture *&slot : bound_) {
    BindableTexture *texture = slot;
    slot = nullptr;
    if (texture) texture->unbind();
  }
  for (raster::TextureView &view : state_.texture) view = {};
}

void Device::restoreDefaultState() {
  const UINT width = parameters_.BackBufferWidth, height = parameters_.BackBufferHeight;
  raster::setDefaultState(state_, parameters_.EnableAutoDepthStencil != FALSE, width, height);
  unbindAllTextures();
  const D3DMATRIX identity{{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};
  for (D3DMATRIX &matrix : textureTransforms_) matrix = identity;
  extraWorld_.clear();
  material_ = {};
  lights_.clear();
  scissor_ = {0, 0, LONG(width), LONG(height)};
  clipStatus_ = {};
  softwareVertexProcessing_ = (creation_.BehaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) ? TRUE : FALSE;
  inScene_ = false;
}

bool Device::holdsApplicationDefaultResources() const {
  for (const TrackedResource *resource : resources_)
    if (resource->trackedPool() == D3DPOOL_DEFAULT && resource->publicRefs() > 0) return true;
  return false;
}

D3DCAPS9 Device::caps() const { return currentCaps(creation_.DeviceType); }

HRESULT Device::QueryInterface(REFIID riid, void **ppvObj) {
  if (!ppvObj) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirect3DDevice9) {
    *ppvObj = static_cast<IDirect3DDevice9 *>(this);
    AddRef();
    return S_OK;
  }
  *ppvObj = nullptr;
  return E_NOINTERFACE;
}

ULONG Device::AddRef() { return ++refs_; }

ULONG Device::Release() {
  if (refs_ == 0) return 0;
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT Device::TestCooperativeLevel() {
  KVD3D_LOG("TestCooperativeLevel");
  switch (health_) {
    case Health::lost:
      return D3DERR_DEVICELOST;
    case Health::notReset:
      return D3DERR_DEVICENOTRESET;
    default:
      return D3D_OK;
  }
}

UINT Device::GetAvailableTextureMem() { return kReportedTextureMemory; }

HRESULT Device::EvictManagedResources() { return D3D_OK; }

HRESULT Device::GetDirect3D(IDirect3D9 **ppD3D9) {
  KVD3D_LOG("GetDirect3D");
  if (!ppD3D9) return D3DERR_INVALIDCALL;
  direct3d_->AddRef();
  *ppD3D9 = direct3d_;
  return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9 *pCaps) {
  KVD3D_LOG("GetDeviceCaps");
  if (!pCaps) return D3DERR_INVALIDCALL;
  *pCaps = caps();
  return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE *pMode) {
  KVD3D_LOG("GetDisplayMode", iSwapChain);
  if (iSwapChain != 0 || !pMode) return D3DERR_INVALIDCALL;
  *pMode = Direct3D9::displayMode();
  return D3D_OK;
}

HRESULT Device::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS *pParameters) {
  KVD3D_LOG("GetCreationParameters");
  if (!pParameters) return D3DERR_INVALIDCALL;
  *pParameters = creation_;
  return D3D_OK;
}

UINT Device::GetNumberOfSwapChains() { return 1; }

HRESULT Device::GetSwapChain(UINT iSwapChain, IDirect3DSwapChain9 **pSwapChain) {
  KVD3D_LOG("GetSwapChain", iSwapChain);
  if (!pSwapChain) return D3DERR_INVALIDCALL;
  *pSwapChain = nullptr;
  if (iSwapChain != 0) return D3DERR_INVALIDCALL;
  swapChain_.AddRef();
  *pSwapChain = &swapChain_;
  return D3D_OK;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS *pPresentationParameters) {
  KVD3D_LOG("Reset");
  if (pPresentationParameters) control().lastPresentParameters = *pPresentationParameters;
  if (!pPresentationParameters) return D3DERR_INVALIDCALL;
  if (health_ == Health::lost) return D3DERR_DEVICELOST;

  // A failed Reset leaves the device needing one, as the platform does.
  D3DPRESENT_PARAMETERS resolved{};
  HRESULT hr = holdsApplicationDefaultResources() ? D3DERR_INVALIDCALL : D3D_OK;
  if (SUCCEEDED(hr)) hr = resolvePresentParameters(*pPresentationParameters, creation_.hFocusWindow, caps(), resolved);
  if (SUCCEEDED(hr)) {
    unbindAllTextures();
    hr = buildSwapChain(resolved);
  }
  if (FAILED(hr)) {
    health_ = Health::notReset;
    return hr;
  }
  restoreDefaultState();
  health_ = Health::ok;
  *pPresentationParameters = resolved;
  return D3D_OK;
}

HRESULT Device::Present(const RECT *, const RECT *, HWND, const RGNDATA *) {
  KVD3D_LOG("Present");
  rasterizer_.finish();
  if (health_ != Health::ok) return D3DERR_DEVICELOST;
  return inScene_ ? D3DERR_INVALIDCALL : D3D_OK;  // nothing is shown: frames are read back
}

HRESULT Device::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                              IDirect3DSurface9 **ppBackBuffer) {
  KVD3D_LOG("GetBackBuffer", iSwapChain, iBackBuffer, Type);
  if (!ppBackBuffer) return D3DERR_INVALIDCALL;
  *ppBackBuffer = nullptr;
  if (iSwapChain != 0 || Type != D3DBACKBUFFER_TYPE_MONO || iBackBuffer >= backBuffers_.size())
    return D3DERR_INVALIDCALL;
  Surface *surface = backBuffers_[iBackBuffer];
  surface->AddRef();
  *ppBackBuffer = surface;
  return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9 **ppRenderTarget) {
  KVD3D_LOG("GetRenderTarget", RenderTargetIndex);
  if (!ppRenderTarget) return D3DERR_INVALIDCALL;
  *ppRenderTarget = nullptr;
  if (RenderTargetIndex >= caps().NumSimultaneousRTs) return D3DERR_INVALIDCALL;
  if (RenderTargetIndex != 0 || backBuffers_.empty()) return D3DERR_NOTFOUND;
  backBuffers_[0]->AddRef();
  *ppRenderTarget = backBuffers_[0];
  return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9 **ppZStencilSurface) {
  KVD3D_LOG("GetDepthStencilSurface");
  if (!ppZStencilSurface) return D3DERR_INVALIDCALL;
  *ppZStencilSurface = autoDepth_;
  if (!autoDepth_) return D3DERR_NOTFOUND;
  autoDepth_->AddRef();
  return D3D_OK;
}

}  // namespace kvd3d
