#include "d3d9/volume_texture.h"

#include <new>

#include "d3d9/texture_rules.h"

namespace kvd3d {

HRESULT VolumeTexture::create(Device *device, UINT width, UINT height, UINT depth, UINT levelCount, DWORD usage,
                              D3DFORMAT format, D3DPOOL pool, IDirect3DVolumeTexture9 **out) {
  *out = nullptr;
  VolumeTexture *texture = new (std::nothrow) VolumeTexture(device, usage, format, pool, levelCount);
  if (!texture) return E_OUTOFMEMORY;
  const bool lockable = textureLevelsLockable(usage, pool);
  HRESULT hr = D3D_OK;
  try {
    texture->levels_.reserve(levelCount);
    texture->descs_.reserve(levelCount);
  } catch (const std::bad_alloc &) {
    hr = E_OUTOFMEMORY;
  }
  for (UINT level = 0; SUCCEEDED(hr) && level < levelCount; ++level) {
    D3DVOLUME_DESC desc{format,
                        D3DRTYPE_VOLUME,
                        usage,
                        pool,
                        levelSize(width, level),
                        levelSize(height, level),
                        levelSize(depth, level)};
    Volume *volume = nullptr;
    hr = Volume::create(device, desc, lockable, static_cast<IDirect3DVolumeTexture9 *>(texture), &volume);
    if (SUCCEEDED(hr)) {
      texture->levels_.emplace_back(volume);
      texture->descs_.push_back(desc);
    }
  }
  if (FAILED(hr)) {
    texture->Release();
    return hr;
  }
  *out = texture;
  return D3D_OK;
}

HRESULT VolumeTexture::GetLevelDesc(UINT Level, D3DVOLUME_DESC *pDesc) {
  if (Level >= descs_.size() || !pDesc) return D3DERR_INVALIDCALL;
  *pDesc = descs_[Level];
  return D3D_OK;
}

HRESULT VolumeTexture::GetVolumeLevel(UINT Level, IDirect3DVolume9 **ppVolumeLevel) {
  if (!ppVolumeLevel) return D3DERR_INVALIDCALL;
  Volume *volume = level(Level);
  *ppVolumeLevel = volume;
  if (!volume) return D3DERR_INVALIDCALL;
  volume->AddRef();
  return D3D_OK;
}

HRESULT VolumeTexture::LockBox(UINT Level, D3DLOCKED_BOX *pLockedVolume, const D3DBOX *pBox, DWORD Flags) {
  Volume *volume = level(Level);
  if (!volume) return D3DERR_INVALIDCALL;
  return volume->LockBox(pLockedVolume, pBox, Flags);
}

HRESULT VolumeTexture::UnlockBox(UINT Level) {
  Volume *volume = level(Level);
  if (!volume) return D3DERR_INVALIDCALL;
  return volume->UnlockBox();
}

HRESULT VolumeTexture::AddDirtyBox(const D3DBOX *) { return D3D_OK; }

}  // namespace kvd3d
