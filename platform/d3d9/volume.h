// IDirect3DVolume9: one level of a volume texture. Its reference count is the texture's.
#pragma once

#include <d3d9.h>

#include "d3d9/pixel_storage.h"
#include "d3d9/private_data.h"

namespace kvd3d {

class Device;

class Volume final : public IDirect3DVolume9 {
 public:
  static HRESULT create(Device *device, const D3DVOLUME_DESC &desc, bool lockable, IUnknown *container,
                        Volume **out);

  STDMETHOD(QueryInterface)(REFIID riid, void **ppvObj) override;
  STDMETHOD_(ULONG, AddRef)() override { return container_->AddRef(); }
  STDMETHOD_(ULONG, Release)() override { return container_->Release(); }
  STDMETHOD(GetDevice)(IDirect3DDevice9 **ppDevice) override;
  STDMETHOD(SetPrivateData)(REFGUID refguid, const void *pData, DWORD SizeOfData, DWORD Flags) override;
  STDMETHOD(GetPrivateData)(REFGUID refguid, void *pData, DWORD *pSizeOfData) override;
  STDMETHOD(FreePrivateData)(REFGUID refguid) override;
  STDMETHOD(GetContainer)(REFIID riid, void **ppContainer) override;
  STDMETHOD(GetDesc)(D3DVOLUME_DESC *pDesc) override;
  STDMETHOD(LockBox)(D3DLOCKED_BOX *pLockedVolume, const D3DBOX *pBox, DWORD Flags) override;
  STDMETHOD(UnlockBox)() override;

  const PixelStorage &storage() const { return storage_; }
  PixelStorage &storage() { return storage_; }
  const D3DVOLUME_DESC &desc() const { return desc_; }
  Device *device() const { return device_; }
  ~Volume() = default;

 private:
  Volume(Device *device, const D3DVOLUME_DESC &desc, bool lockable, IUnknown *container)
      : device_(device), desc_(desc), lockable_(lockable), container_(container) {}

  Device *device_;
  D3DVOLUME_DESC desc_;
  bool lockable_;
  IUnknown *container_;
  PixelStorage storage_;
  PrivateData privateData_;
};

}  // namespace kvd3d
