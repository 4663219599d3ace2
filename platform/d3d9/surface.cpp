#include "d3d9/surface.h"

#include <new>

#include "d3d9/call_log.h"
#include "d3d9/control_state.h"
#include "d3d9/device.h"

namespace kvd3d {

HRESULT Surface::create(Device *device, const D3DSURFACE_DESC &desc, bool lockable, Owner owner,
                        IUnknown *container, Surface **out) {
  *out = nullptr;
  const FormatInfo *info = findFormat(desc.Format);
  if (!info) return D3DERR_INVALIDCALL;
  Surface *surface = new (std::nothrow) Surface(device, desc, lockable, owner, container);
  if (!surface) return E_OUTOFMEMORY;
  // Application system-memory surfaces (read-back copies, typically) reuse released memory.
  const bool recycled = owner == Owner::application && desc.Pool == D3DPOOL_SYSTEMMEM;
  HRESULT hr = surface->storage_.allocate(*info, desc.Width, desc.Height, 1,
                                          recycled ? &device->storageRecycler() : nullptr);
  if (FAILED(hr)) {
    if (owner == Owner::application) {
      surface->Release();
    } else {
      delete surface;
    }
    return hr;
  }
  *out = surface;
  return D3D_OK;
}

Surface::Surface(Device *device, const D3DSURFACE_DESC &desc, bool lockable, Owner owner, IUnknown *container)
    : device_(device),
      desc_(desc),
      lockable_(lockable),
      owner_(owner),
      container_(container),
      refs_(owner == Owner::application ? 1 : 0) {
  desc_.Type = D3DRTYPE_SURFACE;
  if (owner_ == Owner::application) {
    device_->AddRef();
    device_->track(this);
    ++control().liveResources;
  } else if (owner_ == Owner::device) {
    device_->track(this);
  }
}

Surface::~Surface() {
  forgetLockRefusal(this);
  if (owner_ == Owner::application && desc_.Pool == D3DPOOL_SYSTEMMEM) storage_.recycle(device_->storageRecycler());
  if (owner_ == Owner::application) {
    device_->untrack(this);
    --control().liveResources;
  } else if (owner_ == Owner::device) {
    device_->untrack(this);
  }
}

HRESULT Surface::QueryInterface(REFIID riid, void **ppvObj) {
  if (!ppvObj) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DSurface9) {
    *ppvObj = static_cast<IDirect3DSurface9 *>(this);
    AddRef();
    return S_OK;
  }
  *ppvObj = nullptr;
  return E_NOINTERFACE;
}

ULONG Surface::AddRef() {
  if (owner_ == Owner::container) return container_->AddRef();
  if (refs_++ == 0 && owner_ == Owner::device) device_->AddRef();
  return refs_;
}

ULONG Surface::Release() {
  if (owner_ == Owner::container) return container_->Release();
  if (refs_ == 0) return 0;  // an unbalanced Release must not wrap the count
  const ULONG left = --refs_;
  if (left != 0) return left;
  Device *device = device_;
  if (owner_ == Owner::application) delete this;
  // Last: dropping the device reference may destroy the device and its own surfaces.
  device->Release();
  return 0;
}

HRESULT Surface::GetDevice(IDirect3DDevice9 **ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *ppDevice = device_;
  return D3D_OK;
}

HRESULT Surface::SetPrivateData(REFGUID refguid, const void *pData, DWORD SizeOfData, DWORD Flags) {
  return privateData_.set(refguid, pData, SizeOfData, Flags);
}

HRESULT Surface::GetPrivateData(REFGUID refguid, void *pData, DWORD *pSizeOfData) {
  return privateData_.get(refguid, pData, pSizeOfData);
}

HRESULT Surface::FreePrivateData(REFGUID refguid) { return privateData_.free(refguid); }

DWORD Surface::SetPriority(DWORD PriorityNew) {
  const DWORD old = priority_;
  if (desc_.Pool == D3DPOOL_MANAGED) priority_ = PriorityNew;
  return old;
}

DWORD Surface::GetPriority() { return priority_; }

HRESULT Surface::GetContainer(REFIID riid, void **ppContainer) {
  if (!ppContainer) return D3DERR_INVALIDCALL;
  // Texture levels answer with their texture, back buffers with the swap chain, every
  // other surface with the device.
  if (container_) return container_->QueryInterface(riid, ppContainer);
  return device_->QueryInterface(riid, ppContainer);
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC *pDesc) {
  if (!pDesc) return D3DERR_INVALIDCALL;
  *pDesc = desc_;
  return D3D_OK;
}

HRESULT Surface::lock(D3DLOCKED_RECT *out, const RECT *rect, DWORD flags) {
  if (!out || !lockable_) return D3DERR_INVALIDCALL;
  if (takeLockRefusal(this)) return D3DERR_INVALIDCALL;
  // Only dynamic resources may be discarded.
  if ((flags & D3DLOCK_DISCARD) && !(desc_.Usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
  HRESULT hr = storage_.lockRect(out, rect, flags);
  if (SUCCEEDED(hr) && (flags & D3DLOCK_DISCARD)) storage_.discardContents();
  return hr;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT *pLockedRect, const RECT *pRect, DWORD Flags) {
  KVD3D_LOG("Surface::LockRect", pRect, Flags);
  return lock(pLockedRect, pRect, Flags);
}

HRESULT Surface::UnlockRect() {
  KVD3D_LOG("Surface::UnlockRect");
  return unlock();
}

HRESULT Surface::GetDC(HDC *phdc) {
  // No GDI behind this runtime.
  if (phdc) *phdc = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT Surface::ReleaseDC(HDC) { return D3DERR_INVALIDCALL; }

}  // namespace kvd3d
