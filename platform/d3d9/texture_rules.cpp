#include "d3d9/texture_rules.h"

#include <algorithm>

#include "d3d9/format_support.h"
#include "d3d9/format_table.h"

namespace kvd3d {
namespace {

bool isPowerOfTwo(UINT value) { return value && !(value & (value - 1)); }

constexpr DWORD kTextureUsages =
    D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP |
    D3DUSAGE_SOFTWAREPROCESSING;

HRESULT checkUsageAndPool(const TextureRequest &request, const D3DCAPS9 &caps) {
  const DWORD usage = request.usage;
  if (request.pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  if (usage & ~kTextureUsages) return D3DERR_INVALIDCALL;
  if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) && request.pool != D3DPOOL_DEFAULT)
    return D3DERR_INVALIDCALL;
  if (usage & D3DUSAGE_DYNAMIC) {
    if (request.pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    if (!(caps.Caps2 & D3DCAPS2_DYNAMICTEXTURES)) return D3DERR_INVALIDCALL;
  }
  if (usage & D3DUSAGE_AUTOGENMIPMAP) {
    if (request.pool == D3DPOOL_SYSTEMMEM || request.type == D3DRTYPE_VOLUMETEXTURE) return D3DERR_INVALIDCALL;
    if (usage & D3DUSAGE_DEPTHSTENCIL) return D3DERR_INVALIDCALL;
    if (request.levels > 1) return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

HRESULT checkFormat(const TextureRequest &request, D3DDEVTYPE deviceType) {
  const FormatInfo *info = findFormat(request.format);
  if (!info || info->kind == FormatKind::data) return D3DERR_INVALIDCALL;
  // Scratch textures are plain memory: any pixel format, never used by the device.
  if (request.pool == D3DPOOL_SCRATCH) return D3D_OK;
  const DWORD creationUsage =
      request.usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_AUTOGENMIPMAP);
  HRESULT hr =
      checkDeviceFormat(0, deviceType, kDisplayFormat, creationUsage, request.type, request.format);
  return SUCCEEDED(hr) ? D3D_OK : D3DERR_INVALIDCALL;
}

// Size limits of the capabilities; scratch textures are not bound by them.
HRESULT checkSize(const TextureRequest &request, const D3DCAPS9 &caps, UINT levelCount) {
  if (request.pool == D3DPOOL_SCRATCH) return D3D_OK;
  const UINT w = request.width, h = request.height, d = request.depth;
  const DWORD textureCaps = caps.TextureCaps;
  switch (request.type) {
    case D3DRTYPE_TEXTURE: {
      if (w > caps.MaxTextureWidth || h > caps.MaxTextureHeight) return D3DERR_INVALIDCALL;
      const UINT ratio = std::max(w, h) / std::min(w, h);
      if (caps.MaxTextureAspectRatio && ratio > caps.MaxTextureAspectRatio) return D3DERR_INVALIDCALL;
      if ((textureCaps & D3DPTEXTURECAPS_SQUAREONLY) && w != h) return D3DERR_INVALIDCALL;
      if ((textureCaps & D3DPTEXTURECAPS_POW2) && (!isPowerOfTwo(w) || !isPowerOfTwo(h))) {
        // Conditional support: one level only (addressing limits are the application's).
        const bool conditional = textureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
        if (!conditional || levelCount != 1) return D3DERR_INVALIDCALL;
      }
      return D3D_OK;
    }
    case D3DRTYPE_CUBETEXTURE:
      if (!(textureCaps & D3DPTEXTURECAPS_CUBEMAP)) return D3DERR_INVALIDCALL;
      if (w > caps.MaxTextureWidth || w > caps.MaxTextureHeight) return D3DERR_INVALIDCALL;
      if ((textureCaps & D3DPTEXTURECAPS_CUBEMAP_POW2) && !isPowerOfTwo(w)) return D3DERR_INVALIDCALL;
      return D3D_OK;
    case D3DRTYPE_VOLUMETEXTURE:
      if (!(textureCaps & D3DPTEXTURECAPS_VOLUMEMAP)) return D3DERR_INVALIDCALL;
      if (w > caps.MaxVolumeExtent || h > caps.MaxVolumeExtent || d > caps.MaxVolumeExtent)
        return D3DERR_INVALIDCALL;
      if ((textureCaps & D3DPTEXTURECAPS_VOLUMEMAP_POW2) &&
          (!isPowerOfTwo(w) || !isPowerOfTwo(h) || !isPowerOfTwo(d)))
        return D3DERR_INVALIDCALL;
      return D3D_OK;
    default:
      return D3DERR_INVALIDCALL;
  }
}

DWORD mipCapFor(D3DRESOURCETYPE type) {
  switch (type) {
    case D3DRTYPE_CUBETEXTURE:
      return D3DPTEXTURECAPS_MIPCUBEMAP;
    case D3DRTYPE_VOLUMETEXTURE:
      return D3DPTEXTURECAPS_MIPVOLUMEMAP;
    default:
      return D3DPTEXTURECAPS_MIPMAP;
  }
}

}  // namespace

UINT fullChainLength(UINT width, UINT height, UINT depth) {
  UINT largest = std::max({width, height, depth});
  UINT levels = 1;
  while (largest > 1) {
    largest >>= 1;
    ++levels;
  }
  return levels;
}

HRESULT checkTextureRequest(const TextureRequest &request, D3DDEVTYPE deviceType, const D3DCAPS9 &caps,
                            UINT &levelCount) {
  levelCount = 0;
  if (request.width == 0 || request.height == 0 || request.depth == 0) return D3DERR_INVALIDCALL;
  if (HRESULT hr = checkUsageAndPool(request, caps); FAILED(hr)) return hr;
  if (HRESULT hr = checkFormat(request, deviceType); FAILED(hr)) return hr;

  const UINT full = fullChainLength(request.width, request.height, request.depth);
  UINT levels = request.levels == 0 ? full : request.levels;
  if (levels > full) return D3DERR_INVALIDCALL;
  if (request.usage & D3DUSAGE_AUTOGENMIPMAP) levels = 1;  // sublevels are never generated
  if (request.pool != D3DPOOL_SCRATCH && !(caps.TextureCaps & mipCapFor(request.type))) {
    if (request.levels > 1) return D3DERR_INVALIDCALL;
    levels = 1;
  }
  if (HRESULT hr = checkSize(request, caps, levels); FAILED(hr)) return hr;
  levelCount = levels;
  return D3D_OK;
}

bool textureLevelsLockable(DWORD usage, D3DPOOL pool) {
  if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return false;
  return pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC);
}

}  // namespace kvd3d
