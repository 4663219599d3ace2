// IDirect3DSurface9: a 2D pixel level. It stands alone (off-screen plain surfaces, render
// targets, depth-stencil surfaces), belongs to a texture (one level or cube face), or is one
// of the device's own buffers (back buffers, the automatic depth-stencil surface).
#pragma once

#include <d3d9.h>

#include "d3d9/pixel_storage.h"
#include "d3d9/private_data.h"
#include "d3d9/tracked_resource.h"

namespace kvd3d {

class Device;

class Surface final : public IDirect3DSurface9, public TrackedResource {
 public:
  enum class Owner {
    application,  // own reference count; holds a device reference while referenced
    container,    // reference count is the container's (a texture level or cube face)
    device        // the device keeps it; references only pin the device. Its container, if
                  // given, is the swap chain; else the device
  };

  // D3D_OK, D3DERR_INVALIDCALL (bad size) or E_OUTOFMEMORY. An application surface starts
  // with one reference; the others start with none.
  static HRESULT create(Device *device, const D3DSURFACE_DESC &desc, bool lockable, Owner owner,
                        IUnknown *container, Surface **out);
  ~Surface();

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID riid, void **ppvObj) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  // IDirect3DResource9
  STDMETHOD(GetDevice)(IDirect3DDevice9 **ppDevice) override;
  STDMETHOD(SetPrivateData)(REFGUID refguid, const void *pData, DWORD SizeOfData, DWORD Flags) override;
  STDMETHOD(GetPrivateData)(REFGUID refguid, void *pData, DWORD *pSizeOfData) override;
  STDMETHOD(FreePrivateData)(REFGUID refguid) override;
  STDMETHOD_(DWORD, SetPriority)(DWORD PriorityNew) override;
  STDMETHOD_(DWORD, GetPriority)() override;
  STDMETHOD_(void, PreLoad)() override {}
  STDMETHOD_(D3DRESOURCETYPE, GetType)() override { return D3DRTYPE_SURFACE; }
  // IDirect3DSurface9
  STDMETHOD(GetContainer)(REFIID riid, void **ppContainer) override;
  STDMETHOD(GetDesc)(D3DSURFACE_DESC *pDesc) override;
  STDMETHOD(LockRect)(D3DLOCKED_RECT *pLockedRect, const RECT *pRect, DWORD Flags) override;
  STDMETHOD(UnlockRect)() override;
  STDMETHOD(GetDC)(HDC *phdc) override;
  STDMETHOD(ReleaseDC)(HDC hdc) override;

  // TrackedResource
  D3DPOOL trackedPool() const override { return desc_.Pool; }
  ULONG publicRefs() const override { return refs_; }

  // The lock rules without the call log, for the texture methods that forward here.
  HRESULT lock(D3DLOCKED_RECT *out, const RECT *rect, DWORD flags);
  HRESULT unlock() { return storage_.unlock(); }

  const D3DSURFACE_DESC &desc() const { return desc_; }
  // A level or face of a texture (its count is the container's).
  bool isTextureLevel() const { return owner_ == Owner::container; }
  PixelStorage &storage() { return storage_; }
  const PixelStorage &storage() const { return storage_; }
  Device *device() const { return device_; }
  // A depth-stencil surface whose contents the device may drop once another replaces it
  // (made with Discard, or the automatic one with D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL).
  bool discardable() const { return discardable_; }
  void setDiscardable(bool discardable) { discardable_ = discardable; }

 private:
  Surface(Device *device, const D3DSURFACE_DESC &desc, bool lockable, Owner owner, IUnknown *container);

  Device *device_;
  D3DSURFACE_DESC desc_;
  bool lockable_;
  bool discardable_ = false;
  Owner owner_;
  IUnknown *container_;
  ULONG refs_;
  DWORD priority_ = 0;
  PixelStorage storage_;
  PrivateData privateData_;
};

}  // namespace kvd3d
