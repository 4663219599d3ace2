#include "d3d9/format_support.h"

#include "d3d9/control_state.h"
#include "d3d9/format_table.h"
#include "d3d9/raster/rasterizer.h"

namespace kvd3d {
namespace {

bool isBackBufferFormat(D3DFORMAT format) { return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8; }

bool isDepthStencilSurfaceFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D32:
      return true;
    default:
      return false;
  }
}

bool isPlainSurfaceFormat(const FormatInfo &info) {
  switch (info.kind) {
    case FormatKind::color:
    case FormatKind::bump:
    case FormatKind::yuv:
    case FormatKind::block:
    case FormatKind::floating:
      return true;
    default:
      return false;
  }
}

// Whether the format can be made as this kind of resource with the creation usages
// (RENDERTARGET, DEPTHSTENCIL); query usages are answered afterwards.
HRESULT baseAnswer(DWORD usage, D3DRESOURCETYPE resourceType, D3DFORMAT format, const FormatInfo &info) {
  const bool renderTarget = usage & D3DUSAGE_RENDERTARGET;
  const bool depthStencil = usage & D3DUSAGE_DEPTHSTENCIL;
  if (renderTarget && depthStencil) return D3DERR_NOTAVAILABLE;
  switch (resourceType) {
    case D3DRTYPE_SURFACE:
      if (depthStencil) return isDepthStencilSurfaceFormat(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
      if (renderTarget) return isRenderTargetFormat(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
      return isPlainSurfaceFormat(info) ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_TEXTURE:
    case D3DRTYPE_CUBETEXTURE:
      if (depthStencil) return D3DERR_NOTAVAILABLE;  // depth is never sampled
      if (renderTarget) return isRenderTargetFormat(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
      return raster::canSampleFormat(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_VOLUMETEXTURE:
    case D3DRTYPE_VOLUME:
      if (depthStencil || renderTarget) return D3DERR_NOTAVAILABLE;
      return raster::canSampleFormat(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_VERTEXBUFFER:
    case D3DRTYPE_INDEXBUFFER:
      return D3DERR_NOTAVAILABLE;  // buffers are not made by this device
    default:
      return D3DERR_INVALIDCALL;
  }
}

}  // namespace

bool isRenderTargetFormat(D3DFORMAT format) { return isBackBufferFormat(format); }

bool isDrawableDepthFormat(D3DFORMAT format) { return format == D3DFMT_D16 || format == D3DFMT_D16_LOCKABLE; }

HRESULT checkAdapterAndType(UINT adapter, D3DDEVTYPE type) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT checkDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                        BOOL windowed) {
  if (HRESULT hr = checkAdapterAndType(adapter, type); FAILED(hr)) return hr;
  if (control().failCheckDeviceType) return D3DERR_NOTAVAILABLE;
  // The one display format has no alpha; a full-screen back buffer must match it apart
  // from alpha, a windowed one may also leave the format to the runtime.
  if (adapterFormat != kDisplayFormat) return D3DERR_NOTAVAILABLE;
  if (windowed && backBufferFormat == D3DFMT_UNKNOWN) return D3D_OK;
  return isBackBufferFormat(backBufferFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT checkDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                          D3DRESOURCETYPE resourceType, D3DFORMAT format) {
  if (HRESULT hr = checkAdapterAndType(adapter, type); FAILED(hr)) return hr;
  if (adapterFormat != kDisplayFormat) return D3DERR_NOTAVAILABLE;
  if (control().refusedFormats.count(DWORD(format))) return D3DERR_NOTAVAILABLE;
  const FormatInfo *info = findFormat(format);
  if (!info) return D3DERR_NOTAVAILABLE;
  HRESULT hr = baseAnswer(usage, resourceType, format, *info);
  if (FAILED(hr)) return hr;

  constexpr DWORD kUnsupportedQueries = D3DUSAGE_QUERY_LEGACYBUMPMAP | D3DUSAGE_QUERY_SRGBREAD |
                                        D3DUSAGE_QUERY_SRGBWRITE | D3DUSAGE_QUERY_VERTEXTEXTURE | D3DUSAGE_DMAP;
  if (usage & kUnsupportedQueries) return D3DERR_NOTAVAILABLE;
  if ((usage & (D3DUSAGE_QUERY_FILTER | D3DUSAGE_QUERY_WRAPANDMIP)) && !raster::canSampleFormat(format))
    return D3DERR_NOTAVAILABLE;
  if ((usage & D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING) && !isRenderTargetFormat(format))
    return D3DERR_NOTAVAILABLE;
  if (usage & D3DUSAGE_AUTOGENMIPMAP) {
    if (resourceType != D3DRTYPE_TEXTURE && resourceType != D3DRTYPE_CUBETEXTURE) return D3DERR_NOTAVAILABLE;
    // Sublevels are never generated: the texture is usable, its mipmaps are not made.
    return D3DOK_NOAUTOGEN;
  }
  return D3D_OK;
}

}  // namespace kvd3d
