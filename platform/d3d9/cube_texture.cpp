#include "d3d9/cube_texture.h"

#include <new>

#include "d3d9/texture_rules.h"

namespace kvd3d {

constexpr UINT kFaceCount = 6;

HRESULT CubeTexture::create(Device *device, UINT edgeLength, UINT levelCount, DWORD usage, D3DFORMAT format,
                            D3DPOOL pool, IDirect3DCubeTexture9 **out) {
  *out = nullptr;
  CubeTexture *texture = new (std::nothrow) CubeTexture(device, usage, format, pool, levelCount);
  if (!texture) return E_OUTOFMEMORY;
  const bool lockable = textureLevelsLockable(usage, pool);
  HRESULT hr = D3D_OK;
  try {
    texture->surfaces_.reserve(size_t(kFaceCount) * levelCount);
  } catch (const std::bad_alloc &) {
    hr = E_OUTOFMEMORY;
  }
  for (UINT face = 0; SUCCEEDED(hr) && face < kFaceCount; ++face) {
    for (UINT level = 0; SUCCEEDED(hr) && level < levelCount; ++level) {
      const UINT size = levelSize(edgeLength, level);
      D3DSURFACE_DESC desc{format, D3DRTYPE_SURFACE, usage, pool, D3DMULTISAMPLE_NONE, 0, size, size};
      Surface *surface = nullptr;
      hr = Surface::create(device, desc, lockable, Surface::Owner::container,
                           static_cast<IDirect3DCubeTexture9 *>(texture), &surface);
      if (SUCCEEDED(hr)) texture->surfaces_.emplace_back(surface);
    }
  }
  if (FAILED(hr)) {
    texture->Release();
    return hr;
  }
  *out = texture;
  return D3D_OK;
}

Surface *CubeTexture::face(D3DCUBEMAP_FACES face, UINT level) const {
  if (DWORD(face) >= kFaceCount || level >= levelCount_) return nullptr;
  return surfaces_[size_t(face) * levelCount_ + level].get();
}

HRESULT CubeTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC *pDesc) {
  Surface *surface = face(D3DCUBEMAP_FACE_POSITIVE_X, Level);
  if (!surface || !pDesc) return D3DERR_INVALIDCALL;
  *pDesc = surface->desc();
  return D3D_OK;
}

HRESULT CubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level, IDirect3DSurface9 **ppCubeMapSurface) {
  if (!ppCubeMapSurface) return D3DERR_INVALIDCALL;
  Surface *surface = face(FaceType, Level);
  *ppCubeMapSurface = surface;
  if (!surface) return D3DERR_INVALIDCALL;
  surface->AddRef();
  return D3D_OK;
}

HRESULT CubeTexture::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT *pLockedRect, const RECT *pRect,
                              DWORD Flags) {
  Surface *surface = face(FaceType, Level);
  if (!surface) return D3DERR_INVALIDCALL;
  return surface->lock(pLockedRect, pRect, Flags);
}

HRESULT CubeTexture::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) {
  Surface *surface = face(FaceType, Level);
  if (!surface) return D3DERR_INVALIDCALL;
  return surface->unlock();
}

HRESULT CubeTexture::AddDirtyRect(D3DCUBEMAP_FACES FaceType, const RECT *) {
  return DWORD(FaceType) < kFaceCount ? D3D_OK : D3DERR_INVALIDCALL;
}

}  // namespace kvd3d
