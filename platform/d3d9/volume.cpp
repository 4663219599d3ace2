#include "d3d9/volume.h"

#include <new>

#include "d3d9/call_log.h"
#include "d3d9/device.h"

namespace kvd3d {

HRESULT Volume::create(Device *device, const D3DVOLUME_DESC &desc, bool lockable, IUnknown *container,
                       Volume **out) {
  *out = nullptr;
  const FormatInfo *info = findFormat(desc.Format);
  if (!info) return D3DERR_INVALIDCALL;
  Volume *volume = new (std::nothrow) Volume(device, desc, lockable, container);
  if (!volume) return E_OUTOFMEMORY;
  HRESULT hr = volume->storage_.allocate(*info, desc.Width, desc.Height, desc.Depth);
  if (FAILED(hr)) {
    delete volume;
    return hr;
  }
  *out = volume;
  return D3D_OK;
}

HRESULT Volume::QueryInterface(REFIID riid, void **ppvObj) {
  if (!ppvObj) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirect3DVolume9) {
    *ppvObj = static_cast<IDirect3DVolume9 *>(this);
    AddRef();
    return S_OK;
  }
  *ppvObj = nullptr;
  return E_NOINTERFACE;
}

HRESULT Volume::GetDevice(IDirect3DDevice9 **ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *ppDevice = device_;
  return D3D_OK;
}

HRESULT Volume::SetPrivateData(REFGUID refguid, const void *pData, DWORD SizeOfData, DWORD Flags) {
  return privateData_.set(refguid, pData, SizeOfData, Flags);
}

HRESULT Volume::GetPrivateData(REFGUID refguid, void *pData, DWORD *pSizeOfData) {
  return privateData_.get(refguid, pData, pSizeOfData);
}

HRESULT Volume::FreePrivateData(REFGUID refguid) { return privateData_.free(refguid); }

HRESULT Volume::GetContainer(REFIID riid, void **ppContainer) {
  if (!ppContainer) return D3DERR_INVALIDCALL;
  return container_->QueryInterface(riid, ppContainer);
}

HRESULT Volume::GetDesc(D3DVOLUME_DESC *pDesc) {
  if (!pDesc) return D3DERR_INVALIDCALL;
  *pDesc = desc_;
  return D3D_OK;
}

HRESULT Volume::LockBox(D3DLOCKED_BOX *pLockedVolume, const D3DBOX *pBox, DWORD Flags) {
  KVD3D_LOG("Volume::LockBox", pBox, Flags);
  if (!pLockedVolume || !lockable_) return D3DERR_INVALIDCALL;
  if ((Flags & D3DLOCK_DISCARD) && !(desc_.Usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
  HRESULT hr = storage_.lockBox(pLockedVolume, pBox, Flags);
  if (SUCCEEDED(hr) && (Flags & D3DLOCK_DISCARD)) storage_.discardContents();
  return hr;
}

HRESULT Volume::UnlockBox() { return storage_.unlock(); }

}  // namespace kvd3d
