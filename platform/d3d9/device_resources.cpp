// Resource creation and the device-side copy GetRenderTargetData (the other copies are in
// device_copies.cpp).
#include <cstring>

#include "d3d9/call_log.h"
#include "d3d9/cube_texture.h"
#include "d3d9/device.h"
#include "d3d9/format_support.h"
#include "d3d9/surface.h"
#include "d3d9/texture.h"
#include "d3d9/texture_rules.h"
#include "d3d9/volume_texture.h"

namespace kvd3d {
namespace {

// Stand-alone surfaces are not bound by texture limits, only by memory.
constexpr UINT kMaxSurfaceSide = 16384;

bool surfaceSizeValid(UINT width, UINT height) {
  return width > 0 && height > 0 && width <= kMaxSurfaceSide && height <= kMaxSurfaceSide;
}

}  // namespace

HRESULT Device::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DTexture9 **ppTexture, HANDLE *pSharedHandle) {
  KVD3D_LOG("CreateTexture", Width, Height, Levels, Usage, Format, Pool);
  if (!ppTexture) return D3DERR_INVALIDCALL;
  *ppTexture = nullptr;
  if (pSharedHandle) return D3DERR_INVALIDCALL;  // shared resources need the extended runtime
  UINT levelCount = 0;
  const TextureRequest request{D3DRTYPE_TEXTURE, Width, Height, 1, Levels, Usage, Format, Pool};
  if (HRESULT hr = checkTextureRequest(request, creation_.DeviceType, caps(), levelCount); FAILED(hr)) return hr;
  return Texture::create(this, Width, Height, levelCount, Usage, Format, Pool, ppTexture);
}

HRESULT Device::CreateVolumeTexture(UINT Width, UINT Height, UINT Depth, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                    D3DPOOL Pool, IDirect3DVolumeTexture9 **ppVolumeTexture, HANDLE *pSharedHandle) {
  KVD3D_LOG("CreateVolumeTexture", Width, Height, Depth, Levels, Usage, Format, Pool);
  if (!ppVolumeTexture) return D3DERR_INVALIDCALL;
  *ppVolumeTexture = nullptr;
  if (pSharedHandle) return D3DERR_INVALIDCALL;
  UINT levelCount = 0;
  const TextureRequest request{D3DRTYPE_VOLUMETEXTURE, Width, Height, Depth, Levels, Usage, Format, Pool};
  if (HRESULT hr = checkTextureRequest(request, creation_.DeviceType, caps(), levelCount); FAILED(hr)) return hr;
  return VolumeTexture::create(this, Width, Height, Depth, levelCount, Usage, Format, Pool, ppVolumeTexture);
}

HRESULT Device::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DCubeTexture9 **ppCubeTexture, HANDLE *pSharedHandle) {
  KVD3D_LOG("CreateCubeTexture", EdgeLength, Levels, Usage, Format, Pool);
  if (!ppCubeTexture) return D3DERR_INVALIDCALL;
  *ppCubeTexture = nullptr;
  if (pSharedHandle) return D3DERR_INVALIDCALL;
  UINT levelCount = 0;
  const TextureRequest request{D3DRTYPE_CUBETEXTURE, EdgeLength, EdgeLength, 1, Levels, Usage, Format, Pool};
  if (HRESULT hr = checkTextureRequest(request, creation_.DeviceType, caps(), levelCount); FAILED(hr)) return hr;
  return CubeTexture::create(this, EdgeLength, levelCount, Usage, Format, Pool, ppCubeTexture);
}

HRESULT Device::CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                   DWORD MultisampleQuality, BOOL Lockable, IDirect3DSurface9 **ppSurface,
                                   HANDLE *pSharedHandle) {
  KVD3D_LOG("CreateRenderTarget", Width, Height, Format, MultiSample, MultisampleQuality, Lockable);
  if (!ppSurface) return D3DERR_INVALIDCALL;
  *ppSurface = nullptr;
  if (pSharedHandle || !surfaceSizeValid(Width, Height)) return D3DERR_INVALIDCALL;
  if (MultiSample != D3DMULTISAMPLE_NONE || MultisampleQuality != 0) return D3DERR_INVALIDCALL;
  if (FAILED(checkDeviceFormat(0, creation_.DeviceType, kDisplayFormat, D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE,
                               Format)))
    return D3DERR_INVALIDCALL;
  const D3DSURFACE_DESC desc{Format, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
                             D3DMULTISAMPLE_NONE, 0, Width, Height};
  Surface *surface = nullptr;
  HRESULT hr = Surface::create(this, desc, Lockable != FALSE, Surface::Owner::application, nullptr, &surface);
  *ppSurface = surface;
  return hr;
}

HRESULT Device::CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                          DWORD MultisampleQuality, BOOL Discard, IDirect3DSurface9 **ppSurface,
                                          HANDLE *pSharedHandle) {
  KVD3D_LOG("CreateDepthStencilSurface", Width, Height, Format, MultiSample, MultisampleQuality, Discard);
  if (!ppSurface) return D3DERR_INVALIDCALL;
  *ppSurface = nullptr;
  if (pSharedHandle || !surfaceSizeValid(Width, Height)) return D3DERR_INVALIDCALL;
  if (MultiSample != D3DMULTISAMPLE_NONE || MultisampleQuality != 0) return D3DERR_INVALIDCALL;
  if (FAILED(checkDeviceFormat(0, creation_.DeviceType, kDisplayFormat, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                               Format)))
    return D3DERR_INVALIDCALL;
  const bool lockable = Format == D3DFMT_D16_LOCKABLE || Format == D3DFMT_D32F_LOCKABLE;
  if (Discard && lockable) return D3DERR_INVALIDCALL;
  const D3DSURFACE_DESC desc{Format, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT,
                             D3DMULTISAMPLE_NONE, 0, Width, Height};
  Surface *surface = nullptr;
  HRESULT hr = Surface::create(this, desc, lockable, Surface::Owner::application, nullptr, &surface);
  if (surface) surface->setDiscardable(Discard != FALSE);
  *ppSurface = surface;
  return hr;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                            IDirect3DSurface9 **ppSurface, HANDLE *pSharedHandle) {
  KVD3D_LOG("CreateOffscreenPlainSurface", Width, Height, Format, Pool);
  if (!ppSurface) return D3DERR_INVALIDCALL;
  *ppSurface = nullptr;
  if (pSharedHandle || !surfaceSizeValid(Width, Height)) return D3DERR_INVALIDCALL;
  if (Pool == D3DPOOL_MANAGED || Pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  const FormatInfo *info = findFormat(Format);
  if (!info || info->kind == FormatKind::data || info->kind == FormatKind::depth) return D3DERR_INVALIDCALL;
  if (Pool != D3DPOOL_SCRATCH &&
      FAILED(checkDeviceFormat(0, creation_.DeviceType, kDisplayFormat, 0, D3DRTYPE_SURFACE, Format)))
    return D3DERR_INVALIDCALL;
  const D3DSURFACE_DESC desc{Format, D3DRTYPE_SURFACE, 0, Pool, D3DMULTISAMPLE_NONE, 0, Width, Height};
  Surface *surface = nullptr;
  // Off-screen plain surfaces are lockable in every pool.
  HRESULT hr = Surface::create(this, desc, true, Surface::Owner::application, nullptr, &surface);
  *ppSurface = surface;
  return hr;
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9 *pRenderTarget, IDirect3DSurface9 *pDestSurface) {
  KVD3D_LOG("GetRenderTargetData");
  if (!pRenderTarget || !pDestSurface) return D3DERR_INVALIDCALL;
  if (health_ != Health::ok) return D3DERR_DEVICELOST;
  auto *source = dynamic_cast<Surface *>(pRenderTarget);
  auto *dest = dynamic_cast<Surface *>(pDestSurface);
  if (!source || !dest || source == dest || source->device() != this || dest->device() != this)
    return D3DERR_INVALIDCALL;
  const D3DSURFACE_DESC &from = source->desc();
  const D3DSURFACE_DESC &to = dest->desc();
  if (!(from.Usage & D3DUSAGE_RENDERTARGET) || from.Pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  if (from.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
  if (to.Pool != D3DPOOL_SYSTEMMEM || (to.Usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)))
    return D3DERR_INVALIDCALL;
  if (from.Width != to.Width || from.Height != to.Height || from.Format != to.Format) return D3DERR_INVALIDCALL;
  if (source->storage().locked() || dest->storage().locked()) return D3DERR_INVALIDCALL;
  dest->storage().markOverwritten();
  if (!backBuffers_.empty() && source == backBuffers_[0]) {
    // The finished frame changes hands instead of being copied: it comes back when the
    // host frees the system-memory surface, and is copied only if either side is touched
    // first (see PixelStorage::lendTo).
    rasterizer_.finish();
    if (source->storage().lendTo(dest->storage())) return D3D_OK;
    // Otherwise the drawing threads copy the rows they drew while those are in their caches.
    raster::notePixelWrite();
    rasterizer_.finishAndCopy(renderTarget(), dest->storage().bits(), dest->storage().pitch());
    return D3D_OK;
  }
  rasterizer_.finish();
  // Same format and size give the same pitch and the same number of bytes.
  raster::notePixelWrite();
  std::memcpy(dest->storage().bits(), source->storage().bits(), size_t(source->storage().byteSize()));
  return D3D_OK;
}

}  // namespace kvd3d
