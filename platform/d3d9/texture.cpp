#include "d3d9/texture.h"

#include <new>

#include "d3d9/call_log.h"
#include "d3d9/texture_rules.h"

namespace kvd3d {

HRESULT Texture::create(Device *device, UINT width, UINT height, UINT levelCount, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, IDirect3DTexture9 **out) {
  *out = nullptr;
  Texture *texture = new (std::nothrow) Texture(device, usage, format, pool, levelCount);
  if (!texture) return E_OUTOFMEMORY;
  const bool lockable = textureLevelsLockable(usage, pool);
  HRESULT hr = D3D_OK;
  try {
    texture->levels_.reserve(levelCount);
  } catch (const std::bad_alloc &) {
    hr = E_OUTOFMEMORY;
  }
  for (UINT level = 0; SUCCEEDED(hr) && level < levelCount; ++level) {
    D3DSURFACE_DESC desc{format, D3DRTYPE_SURFACE, usage, pool, D3DMULTISAMPLE_NONE, 0,
                         levelSize(width, level), levelSize(height, level)};
    Surface *surface = nullptr;
    hr = Surface::create(device, desc, lockable, Surface::Owner::container,
                         static_cast<IDirect3DTexture9 *>(texture), &surface);
    if (SUCCEEDED(hr)) texture->levels_.emplace_back(surface);
  }
  if (FAILED(hr)) {
    texture->Release();
    return hr;
  }
  *out = texture;
  return D3D_OK;
}

HRESULT Texture::GetLevelDesc(UINT Level, D3DSURFACE_DESC *pDesc) {
  Surface *surface = level(Level);
  if (!surface || !pDesc) return D3DERR_INVALIDCALL;
  *pDesc = surface->desc();
  return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT Level, IDirect3DSurface9 **ppSurfaceLevel) {
  KVD3D_LOG("Texture::GetSurfaceLevel", Level);
  if (!ppSurfaceLevel) return D3DERR_INVALIDCALL;
  Surface *surface = level(Level);
  if (!surface) {
    *ppSurfaceLevel = nullptr;
    return D3DERR_INVALIDCALL;
  }
  surface->AddRef();
  *ppSurfaceLevel = surface;
  return D3D_OK;
}

HRESULT Texture::LockRect(UINT Level, D3DLOCKED_RECT *pLockedRect, const RECT *pRect, DWORD Flags) {
  KVD3D_LOG("Texture::LockRect", Level, pRect, Flags);
  Surface *surface = level(Level);
  if (!surface) return D3DERR_INVALIDCALL;
  return surface->lock(pLockedRect, pRect, Flags);
}

HRESULT Texture::UnlockRect(UINT Level) {
  KVD3D_LOG("Texture::UnlockRect", Level);
  Surface *surface = level(Level);
  if (!surface) return D3DERR_INVALIDCALL;
  return surface->unlock();
}

// Nothing is copied lazily, so there is no dirty region to keep.
HRESULT Texture::AddDirtyRect(const RECT *) { return D3D_OK; }

raster::TextureView Texture::view() const {
  raster::TextureView view;
  if (levels_.empty()) return view;
  const Surface &top = *levels_[0];
  view.format = top.desc().Format;
  view.width = top.desc().Width;
  view.height = top.desc().Height;
  view.pitch = top.storage().pitch();
  view.bits = top.storage().bits();
  return view;
}

}  // namespace kvd3d
