// The part every texture kind shares: one reference count for the texture and all its
// levels, the device reference it holds while referenced, the bindings the device keeps,
// and the IDirect3DResource9 / IDirect3DBaseTexture9 methods.
#pragma once

#include <d3d9.h>

#include "d3d9/control_state.h"
#include "d3d9/device.h"
#include "d3d9/private_data.h"
#include "d3d9/raster/rasterizer.h"
#include "d3d9/tracked_resource.h"

namespace kvd3d {

// The device's handle on a texture bound with SetTexture. A binding keeps the object
// alive without changing the count the application sees.
class BindableTexture : public TrackedResource {
 public:
  virtual void bind() = 0;
  virtual void unbind() = 0;
  virtual raster::TextureView view() const = 0;
  virtual IDirect3DBaseTexture9 *asBaseTexture() = 0;
  virtual Device *owner() const = 0;

 protected:
  ~BindableTexture() = default;
};

template <class Interface>
class TextureBase : public Interface, public BindableTexture {
 public:
  STDMETHOD(QueryInterface)(REFIID riid, void **ppvObj) override {
    if (!ppvObj) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DBaseTexture9 ||
        riid == iid_) {
      *ppvObj = static_cast<Interface *>(this);
      AddRef();
      return S_OK;
    }
    *ppvObj = nullptr;
    return E_NOINTERFACE;
  }

  STDMETHOD_(ULONG, AddRef)() override {
    if (refs_++ == 0) device_->AddRef();  // referenced again after living on a binding only
    return refs_;
  }

  STDMETHOD_(ULONG, Release)() override {
    if (refs_ == 0) return 0;  // an unbalanced Release must not wrap the count
    const ULONG left = --refs_;
    if (left != 0) return left;
    Device *device = device_;
    if (bindings_ == 0) delete this;
    // Last: dropping the device reference may destroy the device, which unbinds us.
    device->Release();
    return 0;
  }

  STDMETHOD(GetDevice)(IDirect3DDevice9 **ppDevice) override {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
  }
  STDMETHOD(SetPrivateData)(REFGUID refguid, const void *pData, DWORD SizeOfData, DWORD Flags) override {
    return privateData_.set(refguid, pData, SizeOfData, Flags);
  }
  STDMETHOD(GetPrivateData)(REFGUID refguid, void *pData, DWORD *pSizeOfData) override {
    return privateData_.get(refguid, pData, pSizeOfData);
  }
  STDMETHOD(FreePrivateData)(REFGUID refguid) override { return privateData_.free(refguid); }
  STDMETHOD_(DWORD, SetPriority)(DWORD PriorityNew) override {
    const DWORD old = priority_;
    if (pool_ == D3DPOOL_MANAGED) priority_ = PriorityNew;
    return old;
  }
  STDMETHOD_(DWORD, GetPriority)() override { return priority_; }
  STDMETHOD_(void, PreLoad)() override {}
  STDMETHOD_(D3DRESOURCETYPE, GetType)() override { return type_; }

  // Only managed textures keep a level-of-detail limit.
  STDMETHOD_(DWORD, SetLOD)(DWORD LODNew) override {
    if (pool_ != D3DPOOL_MANAGED) return 0;
    const DWORD old = lod_;
    lod_ = LODNew < levelCount_ ? LODNew : levelCount_ - 1;
    return old;
  }
  STDMETHOD_(DWORD, GetLOD)() override { return lod_; }
  STDMETHOD_(DWORD, GetLevelCount)() override { return levelCount_; }
  STDMETHOD(SetAutoGenFilterType)(D3DTEXTUREFILTERTYPE FilterType) override {
    if (!(usage_ & D3DUSAGE_AUTOGENMIPMAP)) return D3DERR_INVALIDCALL;
    if (FilterType != D3DTEXF_POINT && FilterType != D3DTEXF_LINEAR) return D3DERR_INVALIDCALL;
    autoGenFilter_ = FilterType;
    return D3D_OK;
  }
  STDMETHOD_(D3DTEXTUREFILTERTYPE, GetAutoGenFilterType)() override { return autoGenFilter_; }
  STDMETHOD_(void, GenerateMipSubLevels)() override {}

  // BindableTexture / TrackedResource
  void bind() override { ++bindings_; }
  void unbind() override {
    if (bindings_ > 0 && --bindings_ == 0 && refs_ == 0) delete this;
  }
  IDirect3DBaseTexture9 *asBaseTexture() override { return this; }
  Device *owner() const override { return device_; }
  D3DPOOL trackedPool() const override { return pool_; }
  ULONG publicRefs() const override { return refs_; }

  DWORD usage() const { return usage_; }
  D3DFORMAT format() const { return format_; }
  D3DPOOL pool() const { return pool_; }

 protected:
  TextureBase(Device *device, D3DRESOURCETYPE type, const GUID &iid, DWORD usage, D3DFORMAT format, D3DPOOL pool,
              UINT levelCount)
      : device_(device), type_(type), iid_(iid), usage_(usage), format_(format), pool_(pool),
        levelCount_(levelCount) {
    device_->AddRef();
    device_->track(this);
    ++control().liveResources;
  }
  virtual ~TextureBase() {
    device_->untrack(this);
    --control().liveResources;
  }

  Device *device_;

 private:
  D3DRESOURCETYPE type_;
  GUID iid_;
  DWORD usage_;
  D3DFORMAT format_;
  D3DPOOL pool_;
  UINT levelCount_;
  ULONG refs_ = 1;
  int bindings_ = 0;
  DWORD lod_ = 0;
  DWORD priority_ = 0;
  D3DTEXTUREFILTERTYPE autoGenFilter_ = D3DTEXF_LINEAR;
  PrivateData privateData_;
};

}  // namespace kvd3d
