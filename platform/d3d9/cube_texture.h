// IDirect3DCubeTexture9: six faces of square levels, all sharing the texture's count.
// The rasterizer does not sample cube maps; a bound cube texture reads as no texture.
#pragma once

#include <memory>
#include <vector>

#include "d3d9/surface.h"
#include "d3d9/texture_base.h"

namespace kvd3d {

class CubeTexture final : public TextureBase<IDirect3DCubeTexture9> {
 public:
  static HRESULT create(Device *device, UINT edgeLength, UINT levelCount, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, IDirect3DCubeTexture9 **out);

  STDMETHOD(GetLevelDesc)(UINT Level, D3DSURFACE_DESC *pDesc) override;
  STDMETHOD(GetCubeMapSurface)(D3DCUBEMAP_FACES FaceType, UINT Level, IDirect3DSurface9 **ppCubeMapSurface) override;
  STDMETHOD(LockRect)(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT *pLockedRect, const RECT *pRect,
                      DWORD Flags) override;
  STDMETHOD(UnlockRect)(D3DCUBEMAP_FACES FaceType, UINT Level) override;
  STDMETHOD(AddDirtyRect)(D3DCUBEMAP_FACES FaceType, const RECT *pDirtyRect) override;

  raster::TextureView view() const override { return {}; }
  Surface *face(D3DCUBEMAP_FACES face, UINT level) const;

 private:
  CubeTexture(Device *device, DWORD usage, D3DFORMAT format, D3DPOOL pool, UINT levelCount)
      : TextureBase(device, D3DRTYPE_CUBETEXTURE, IID_IDirect3DCubeTexture9, usage, format, pool, levelCount),
        levelCount_(levelCount) {}
  ~CubeTexture() override = default;

  UINT levelCount_;
  std::vector<std::unique_ptr<Surface>> surfaces_;  // face-major: face * levelCount + level
};

}  // namespace kvd3d
