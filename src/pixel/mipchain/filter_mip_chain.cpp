#include "pixel/mipchain/filter_mip_chain.h"

#include "gfx/com_ref.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/power_of_two.h"
#include "pixel/mipchain/surface_loads.h"

namespace kv {

namespace {

DWORD defaultFilter(IDirect3DBaseTexture9 *texture, D3DRESOURCETYPE type) {
  bool pow2 = false;
  if (type == D3DRTYPE_TEXTURE) {
    D3DSURFACE_DESC desc = {};
    static_cast<IDirect3DTexture9 *>(texture)->GetLevelDesc(0, &desc);
    pow2 = isPowerOfTwo(desc.Width) && isPowerOfTwo(desc.Height);
  } else if (type == D3DRTYPE_VOLUMETEXTURE) {
    D3DVOLUME_DESC desc = {};
    static_cast<IDirect3DVolumeTexture9 *>(texture)->GetLevelDesc(0, &desc);
    pow2 = isPowerOfTwo(desc.Width) && isPowerOfTwo(desc.Height) && isPowerOfTwo(desc.Depth);
  } else {
    D3DSURFACE_DESC desc = {};
    static_cast<IDirect3DCubeTexture9 *>(texture)->GetLevelDesc(0, &desc);
    pow2 = isPowerOfTwo(desc.Width) && isPowerOfTwo(desc.Height);
  }
  return pow2 ? DWORD(FilterBox) : DWORD(kDefaultFilter);
}

// One face (or the one 2D texture / volume texture): levels below `sourceLevel`, each from
// the level above it (chained) or from the source level itself.
template <typename Level, typename GetLevel, typename Load>
HRESULT filterFace(UINT sourceLevel, UINT levelCount, bool chained, GetLevel getLevel, Load load) {
  ComRef<Level> source;
  HRESULT hr = getLevel(sourceLevel, source.put());
  if (FAILED(hr)) return hr;
  for (UINT n = sourceLevel + 1; n < levelCount; ++n) {
    ComRef<Level> level;
    hr = getLevel(n, level.put());
    if (FAILED(hr)) return hr;
    hr = load(level.get(), source.get());
    if (FAILED(hr)) return hr;
    if (chained) source = std::move(level);
  }
  return S_OK;
}

}  // namespace

HRESULT filterMipChain(IDirect3DBaseTexture9 *texture, const PALETTEENTRY *palette, UINT sourceLevel, DWORD filter) {
  if (!texture) return D3DERR_INVALIDCALL;
  const D3DRESOURCETYPE type = texture->GetType();
  if (type != D3DRTYPE_TEXTURE && type != D3DRTYPE_VOLUMETEXTURE && type != D3DRTYPE_CUBETEXTURE) {
    return D3DERR_INVALIDCALL;
  }
  if (filter == 0xFFFFFFFFu) filter = defaultFilter(texture, type);
  if (type == D3DRTYPE_CUBETEXTURE) filter |= MirrorU | MirrorV | MirrorW;
  if (filter & GammaOut) {
    filter |= GammaIn;
  } else {
    filter &= ~DWORD(GammaIn | GammaOut);
  }

  const UINT levelCount = texture->GetLevelCount();
  if (sourceLevel == 0xFFFFFFFFu) sourceLevel = 0;
  if (sourceLevel >= levelCount) return D3DERR_INVALIDCALL;
  const DWORD code = filter & 0xFF;
  const bool chained = code == FilterPoint || code == FilterBox;

  auto loadSurface = [&](IDirect3DSurface9 *destination, IDirect3DSurface9 *source) {
    return loadSurfaceFromSurface(destination, palette, nullptr, source, palette, nullptr, filter, 0);
  };
  if (type == D3DRTYPE_TEXTURE) {
    auto *texture2d = static_cast<IDirect3DTexture9 *>(texture);
    return filterFace<IDirect3DSurface9>(
        sourceLevel, levelCount, chained,
        [&](UINT n, IDirect3DSurface9 **out) { return texture2d->GetSurfaceLevel(n, out); }, loadSurface);
  }
  if (type == D3DRTYPE_VOLUMETEXTURE) {
    auto *volumeTexture = static_cast<IDirect3DVolumeTexture9 *>(texture);
    return filterFace<IDirect3DVolume9>(
        sourceLevel, levelCount, chained,
        [&](UINT n, IDirect3DVolume9 **out) { return volumeTexture->GetVolumeLevel(n, out); },
        [&](IDirect3DVolume9 *destination, IDirect3DVolume9 *source) {
          return loadVolumeFromVolume(destination, palette, nullptr, source, palette, nullptr, filter, 0);
        });
  }
  auto *cube = static_cast<IDirect3DCubeTexture9 *>(texture);
  for (UINT face = 0; face < 6; ++face) {
    const HRESULT hr = filterFace<IDirect3DSurface9>(
        sourceLevel, levelCount, chained,
        [&](UINT n, IDirect3DSurface9 **out) {
          return cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), n, out);
        },
        loadSurface);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace kv
