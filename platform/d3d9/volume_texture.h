// IDirect3DVolumeTexture9: levels of 3D volumes sharing the texture's count. The rasterizer
// does not sample volumes; a bound volume texture reads as no texture.
#pragma once

#include <memory>
#include <vector>

#include "d3d9/texture_base.h"
#include "d3d9/volume.h"

namespace kvd3d {

class VolumeTexture final : public TextureBase<IDirect3DVolumeTexture9> {
 public:
  static HRESULT create(Device *device, UINT width, UINT height, UINT depth, UINT levelCount, DWORD usage,
                        D3DFORMAT format, D3DPOOL pool, IDirect3DVolumeTexture9 **out);

  STDMETHOD(GetLevelDesc)(UINT Level, D3DVOLUME_DESC *pDesc) override;
  STDMETHOD(GetVolumeLevel)(UINT Level, IDirect3DVolume9 **ppVolumeLevel) override;
  STDMETHOD(LockBox)(UINT Level, D3DLOCKED_BOX *pLockedVolume, const D3DBOX *pBox, DWORD Flags) override;
  STDMETHOD(UnlockBox)(UINT Level) override;
  STDMETHOD(AddDirtyBox)(const D3DBOX *pDirtyBox) override;

  raster::TextureView view() const override { return {}; }
  Volume *level(UINT index) const { return index < levels_.size() ? levels_[index].get() : nullptr; }

 private:
  VolumeTexture(Device *device, DWORD usage, D3DFORMAT format, D3DPOOL pool, UINT levelCount)
      : TextureBase(device, D3DRTYPE_VOLUMETEXTURE, IID_IDirect3DVolumeTexture9, usage, format, pool,
                    levelCount) {}
  ~VolumeTexture() override = default;

  std::vector<std::unique_ptr<Volume>> levels_;
  std::vector<D3DVOLUME_DESC> descs_;
};

}  // namespace kvd3d
