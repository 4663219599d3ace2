// IDirect3DTexture9: a 2D texture whose levels are surfaces sharing its reference count.
#pragma once

#include <memory>
#include <vector>

#include "d3d9/surface.h"
#include "d3d9/texture_base.h"

namespace kvd3d {

class Texture final : public TextureBase<IDirect3DTexture9> {
 public:
  // The request has passed checkTextureRequest; levelCount is the resolved count.
  static HRESULT create(Device *device, UINT width, UINT height, UINT levelCount, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, IDirect3DTexture9 **out);

  STDMETHOD(GetLevelDesc)(UINT Level, D3DSURFACE_DESC *pDesc) override;
  STDMETHOD(GetSurfaceLevel)(UINT Level, IDirect3DSurface9 **ppSurfaceLevel) override;
  STDMETHOD(LockRect)(UINT Level, D3DLOCKED_RECT *pLockedRect, const RECT *pRect, DWORD Flags) override;
  STDMETHOD(UnlockRect)(UINT Level) override;
  STDMETHOD(AddDirtyRect)(const RECT *pDirtyRect) override;

  raster::TextureView view() const override;
  Surface *level(UINT index) const { return index < levels_.size() ? levels_[index].get() : nullptr; }

 private:
  Texture(Device *device, DWORD usage, D3DFORMAT format, D3DPOOL pool, UINT levelCount)
      : TextureBase(device, D3DRTYPE_TEXTURE, IID_IDirect3DTexture9, usage, format, pool, levelCount) {}
  ~Texture() override = default;

  std::vector<std::unique_ptr<Surface>> levels_;
};

}  // namespace kvd3d
