// The device's copies between resources: UpdateSurface and UpdateTexture (system memory
// into the default pool), StretchRect (within the default pool, with the NONE / POINT /
// LINEAR filters) and ColorFill, with the pool, kind, format and rectangle rules of the
// platform's runtime. docs/d3d9-standin.md lists the rules and the choices made here.
#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "d3d9/call_log.h"
#include "d3d9/control_state.h"
#include "d3d9/cube_texture.h"
#include "d3d9/device.h"
#include "d3d9/surface.h"
#include "d3d9/texture.h"
#include "d3d9/volume_texture.h"

namespace kvd3d {
namespace {

enum class SurfaceKind { plain, texture, renderTargetTexture, renderTarget, depthStencil };

SurfaceKind kindOf(const Surface &surface) {
  const DWORD usage = surface.desc().Usage;
  if (usage & D3DUSAGE_DEPTHSTENCIL) return SurfaceKind::depthStencil;
  if (surface.isTextureLevel())
    return (usage & D3DUSAGE_RENDERTARGET) ? SurfaceKind::renderTargetTexture : SurfaceKind::texture;
  return (usage & D3DUSAGE_RENDERTARGET) ? SurfaceKind::renderTarget : SurfaceKind::plain;
}

bool isRenderTargetKind(SurfaceKind kind) {
  return kind == SurfaceKind::renderTarget || kind == SurfaceKind::renderTargetTexture;
}

// One of our surfaces on this device, or null.
Surface *ownSurface(IDirect3DSurface9 *surface, const Device *device) {
  auto *ours = dynamic_cast<Surface *>(surface);
  return ours && ours->device() == device ? ours : nullptr;
}

// The rectangle (null = the whole surface), checked: inside, non-empty, and for block
// formats with its edges on block boundaries or on the surface's edge.
bool resolveRect(const PixelStorage &storage, const RECT *rect, RECT &out) {
  if (!rect) {
    out = RECT{0, 0, LONG(storage.width()), LONG(storage.height())};
    return true;
  }
  if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom) return false;
  if (UINT(rect->right) > storage.width() || UINT(rect->bottom) > storage.height()) return false;
  if (!storage.regionAligned(UINT(rect->left), UINT(rect->top), UINT(rect->right), UINT(rect->bottom))) return false;
  out = *rect;
  return true;
}

LONG rectWidth(const RECT &r) { return r.right - r.left; }
LONG rectHeight(const RECT &r) { return r.bottom - r.top; }

bool overlaps(const RECT &a, const RECT &b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Same-format copy of whole storage blocks; both regions are checked and of one size.
void copyBlocks(const PixelStorage &from, const RECT &source, PixelStorage &to, UINT x, UINT y, UINT front = 0) {
  const FormatInfo &info = from.info();
  const UINT columns = (UINT(rectWidth(source)) + info.blockWidth - 1) / info.blockWidth;
  const UINT rows = (UINT(rectHeight(source)) + info.blockHeight - 1) / info.blockHeight;
  const size_t bytes = size_t(columns) * info.blockBytes;
  for (UINT row = 0; row < rows; ++row) {
    const BYTE *src = from.address(UINT(source.left), UINT(source.top), front) + size_t(row) * from.pitch();
    BYTE *dst = to.address(x, y, front) + size_t(row) * to.pitch();
    std::memmove(dst, src, bytes);
  }
}

// Whole-level copy of one texture level (surface or volume) of equal size and format.
void copyLevel(const PixelStorage &from, PixelStorage &to) {
  const RECT whole{0, 0, LONG(from.width()), LONG(from.height())};
  for (UINT z = 0; z < from.depth(); ++z) copyBlocks(from, whole, to, 0, 0, z);
}

bool isEightBitArgb(D3DFORMAT format) { return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8; }

// StretchRect's resampling of uncompressed pixels. Pixel centres map onto each other; the
// linear filter blends the four nearest source texels (8-bit channels of 32-bit formats
// only; other formats are point-sampled). X8R8G8B8 sources give opaque alpha in A8R8G8B8.
void stretchPixels(const PixelStorage &from, const RECT &source, PixelStorage &to, const RECT &dest,
                   D3DTEXTUREFILTERTYPE filter, bool opaqueAlpha) {
  const UINT bytes = from.info().blockBytes;
  const LONG sw = rectWidth(source), sh = rectHeight(source), dw = rectWidth(dest), dh = rectHeight(dest);
  const bool linear = filter == D3DTEXF_LINEAR && bytes == 4 && (sw != dw || sh != dh);
  const DWORD alphaOr = opaqueAlpha ? 0xff000000u : 0u;
  for (LONG y = 0; y < dh; ++y) {
    BYTE *out = to.address(UINT(dest.left), UINT(dest.top + y), 0);
    if (!linear) {
      const LONG sy = source.top + LONG((int64_t(2 * y + 1) * sh) / (2 * int64_t(dh)));
      for (LONG x = 0; x < dw; ++x) {
        const LONG sx = source.left + LONG((int64_t(2 * x + 1) * sw) / (2 * int64_t(dw)));
        std::memcpy(out + size_t(x) * bytes, from.address(UINT(sx), UINT(sy), 0), bytes);
        if (alphaOr) out[size_t(x) * bytes + 3] = 0xff;
      }
      continue;
    }
    const float fy = std::clamp((y + 0.5f) * float(sh) / float(dh) - 0.5f, 0.f, float(sh - 1));
    const LONG y0 = LONG(fy), y1 = std::min(y0 + 1, sh - 1);
    const float wy = fy - float(y0);
    for (LONG x = 0; x < dw; ++x) {
      const float fx = std::clamp((x + 0.5f) * float(sw) / float(dw) - 0.5f, 0.f, float(sw - 1));
      const LONG x0 = LONG(fx), x1 = std::min(x0 + 1, sw - 1);
      const float wx = fx - float(x0);
      const BYTE *p00 = from.address(UINT(source.left + x0), UINT(source.top + y0), 0);
      const BYTE *p01 = from.address(UINT(source.left + x1), UINT(source.top + y0), 0);
      const BYTE *p10 = from.address(UINT(source.left + x0), UINT(source.top + y1), 0);
      const BYTE *p11 = from.address(UINT(source.left + x1), UINT(source.top + y1), 0);
      DWORD pixel = 0;
      for (int c = 0; c < 4; ++c) {
        const float top = p00[c] + (p01[c] - p00[c]) * wx;
        const float bottom = p10[c] + (p11[c] - p10[c]) * wx;
        pixel |= DWORD(top + (bottom - top) * wy + 0.5f) << (8 * c);
      }
      pixel |= alphaOr;
      std::memcpy(out + size_t(x) * 4, &pixel, 4);
    }
  }
}

// D3DCOLOR into one pixel of an RGB(A) format, each channel rounded to its width; false for
// formats ColorFill does not serve here.
struct ChannelLayout {
  D3DFORMAT format;
  UINT bytes;
  BYTE bits[4];   // A, R, G, B
  BYTE shift[4];  // A, R, G, B
};

constexpr ChannelLayout kFillLayouts[] = {
    {D3DFMT_A8R8G8B8, 4, {8, 8, 8, 8}, {24, 16, 8, 0}},
    {D3DFMT_X8R8G8B8, 4, {0, 8, 8, 8}, {0, 16, 8, 0}},
    {D3DFMT_A8B8G8R8, 4, {8, 8, 8, 8}, {24, 0, 8, 16}},
    {D3DFMT_X8B8G8R8, 4, {0, 8, 8, 8}, {0, 0, 8, 16}},
    {D3DFMT_R8G8B8, 3, {0, 8, 8, 8}, {0, 16, 8, 0}},
    {D3DFMT_R5G6B5, 2, {0, 5, 6, 5}, {0, 11, 5, 0}},
    {D3DFMT_X1R5G5B5, 2, {0, 5, 5, 5}, {0, 10, 5, 0}},
    {D3DFMT_A1R5G5B5, 2, {1, 5, 5, 5}, {15, 10, 5, 0}},
    {D3DFMT_A4R4G4B4, 2, {4, 4, 4, 4}, {12, 8, 4, 0}},
    {D3DFMT_X4R4G4B4, 2, {0, 4, 4, 4}, {0, 8, 4, 0}},
    {D3DFMT_R3G3B2, 1, {0, 3, 3, 2}, {0, 5, 2, 0}},
    {D3DFMT_A8R3G3B2, 2, {8, 3, 3, 2}, {8, 5, 2, 0}},
    {D3DFMT_A8, 1, {8, 0, 0, 0}, {0, 0, 0, 0}},
    {D3DFMT_A2R10G10B10, 4, {2, 10, 10, 10}, {30, 20, 10, 0}},
    {D3DFMT_A2B10G10R10, 4, {2, 10, 10, 10}, {30, 0, 10, 20}},
};

bool packFillColor(D3DFORMAT format, D3DCOLOR color, DWORD &pixel, UINT &bytes) {
  for (const ChannelLayout &layout : kFillLayouts) {
    if (layout.format != format) continue;
    pixel = 0;
    for (int c = 0; c < 4; ++c) {
      if (!layout.bits[c]) continue;
      const DWORD value = (color >> (24 - 8 * c)) & 0xff;
      const DWORD max = (1u << layout.bits[c]) - 1;
      pixel |= ((value * max + 127) / 255) << layout.shift[c];
    }
    bytes = layout.bytes;
    return true;
  }
  return false;
}

// One level (or cube face level) of a texture of any kind.
struct LevelRef {
  PixelStorage *storage = nullptr;
  DWORD usage = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
};

template <class Level>
LevelRef refOf(Level *level) {
  if (!level) return {};
  return {&level->storage(), level->desc().Usage, level->desc().Format};
}

LevelRef levelOf(IDirect3DBaseTexture9 *texture, UINT face, UINT level) {
  if (auto *t = dynamic_cast<Texture *>(texture)) return refOf(t->level(level));
  if (auto *c = dynamic_cast<CubeTexture *>(texture)) return refOf(c->face(D3DCUBEMAP_FACES(face), level));
  if (auto *v = dynamic_cast<VolumeTexture *>(texture)) return refOf(v->level(level));
  return {};
}

bool sameSize(const PixelStorage &a, const PixelStorage &b) {
  return a.width() == b.width() && a.height() == b.height() && a.depth() == b.depth();
}

}  // namespace

HRESULT Device::UpdateSurface(IDirect3DSurface9 *pSourceSurface, const RECT *pSourceRect,
                              IDirect3DSurface9 *pDestinationSurface, const POINT *pDestPoint) {
  KVD3D_LOG("UpdateSurface");
  rasterizer_.finish();  // the copy reads or writes pixels queued draws may touch
  if (control().failUpdateSurface) return D3DERR_INVALIDCALL;
  Surface *source = ownSurface(pSourceSurface, this);
  Surface *dest = ownSurface(pDestinationSurface, this);
  if (!source || !dest || source == dest) return D3DERR_INVALIDCALL;
  const D3DSURFACE_DESC &from = source->desc();
  const D3DSURFACE_DESC &to = dest->desc();
  if (from.Pool != D3DPOOL_SYSTEMMEM || to.Pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  if (kindOf(*source) == SurfaceKind::depthStencil || kindOf(*dest) == SurfaceKind::depthStencil ||
      isDepthFormat(from.Format))
    return D3DERR_INVALIDCALL;
  if (from.Format != to.Format) return D3DERR_INVALIDCALL;
  if (source->storage().locked() || dest->storage().locked()) return D3DERR_INVALIDCALL;
  RECT rect{};
  if (!resolveRect(source->storage(), pSourceRect, rect)) return D3DERR_INVALIDCALL;
  const LONG x = pDestPoint ? pDestPoint->x : 0, y = pDestPoint ? pDestPoint->y : 0;
  // A point outside the destination is refused before its far corner is worked out, which
  // could otherwise run past the largest LONG.
  if (x < 0 || y < 0 || UINT(x) >= dest->storage().width() || UINT(y) >= dest->storage().height())
    return D3DERR_INVALIDCALL;
  const RECT target{x, y, x + rectWidth(rect), y + rectHeight(rect)};
  RECT checked{};
  if (!resolveRect(dest->storage(), &target, checked)) return D3DERR_INVALIDCALL;
  copyBlocks(source->storage(), rect, dest->storage(), UINT(x), UINT(y));
  return D3D_OK;
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture9 *pSourceTexture, IDirect3DBaseTexture9 *pDestinationTexture) {
  KVD3D_LOG("UpdateTexture");
  rasterizer_.finish();  // the copy reads or writes pixels queued draws may touch
  auto *source = dynamic_cast<BindableTexture *>(pSourceTexture);
  auto *dest = dynamic_cast<BindableTexture *>(pDestinationTexture);
  if (!source || !dest || source == dest || source->owner() != this || dest->owner() != this) return D3DERR_INVALIDCALL;
  if (source->trackedPool() != D3DPOOL_SYSTEMMEM || dest->trackedPool() != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  IDirect3DBaseTexture9 *src = source->asBaseTexture(), *dst = dest->asBaseTexture();
  if (src->GetType() != dst->GetType()) return D3DERR_INVALIDCALL;
  const UINT srcLevels = src->GetLevelCount(), dstLevels = dst->GetLevelCount();
  const LevelRef srcTop = levelOf(src, 0, 0), dstTop = levelOf(dst, 0, 0);
  if (!srcTop.storage || !dstTop.storage || srcTop.format != dstTop.format) return D3DERR_INVALIDCALL;
  const bool srcAuto = srcTop.usage & D3DUSAGE_AUTOGENMIPMAP, dstAuto = dstTop.usage & D3DUSAGE_AUTOGENMIPMAP;
  if (srcAuto && !dstAuto) return D3DERR_INVALIDCALL;
  if (srcLevels < dstLevels) return D3DERR_INVALIDCALL;

  // Levels are matched from the smallest up; an automatically mipmapped destination takes
  // only its top level, from the source level of the same size.
  std::vector<std::pair<PixelStorage *, PixelStorage *>> pairs;
  try {
    const UINT faces = src->GetType() == D3DRTYPE_CUBETEXTURE ? 6 : 1;
    for (UINT face = 0; face < faces; ++face) {
      for (UINT level = 0; level < dstLevels; ++level) {
        PixelStorage *to = levelOf(dst, face, level).storage;
        PixelStorage *from = nullptr;
        for (UINT candidate = dstAuto ? 0 : srcLevels - dstLevels + level; candidate < srcLevels; ++candidate) {
          from = levelOf(src, face, candidate).storage;
          if (!dstAuto || !from || sameSize(*from, *to)) break;
        }
        if (!from || !to || !sameSize(*from, *to)) return D3DERR_INVALIDCALL;
        pairs.emplace_back(from, to);
      }
    }
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  for (const auto &[from, to] : pairs)
    if (from->locked() || to->locked()) return D3DERR_INVALIDCALL;
  for (const auto &[from, to] : pairs) copyLevel(*from, *to);
  return D3D_OK;
}

HRESULT Device::StretchRect(IDirect3DSurface9 *pSourceSurface, const RECT *pSourceRect, IDirect3DSurface9 *pDestSurface,
                            const RECT *pDestRect, D3DTEXTUREFILTERTYPE Filter) {
  KVD3D_LOG("StretchRect", Filter);
  rasterizer_.finish();  // the copy reads or writes pixels queued draws may touch
  if (control().failStretchRect) return D3DERR_INVALIDCALL;
  Surface *source = ownSurface(pSourceSurface, this);
  Surface *dest = ownSurface(pDestSurface, this);
  if (!source || !dest) return D3DERR_INVALIDCALL;
  if (Filter != D3DTEXF_NONE && Filter != D3DTEXF_POINT && Filter != D3DTEXF_LINEAR) return D3DERR_INVALIDCALL;
  const DWORD filterCaps = caps().StretchRectFilterCaps;
  if (Filter == D3DTEXF_POINT && !(filterCaps & (D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MAGFPOINT)))
    return D3DERR_INVALIDCALL;
  if (Filter == D3DTEXF_LINEAR && !(filterCaps & (D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFLINEAR)))
    return D3DERR_INVALIDCALL;
  const D3DSURFACE_DESC &from = source->desc();
  const D3DSURFACE_DESC &to = dest->desc();
  if (from.Pool != D3DPOOL_DEFAULT || to.Pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  if (source->storage().locked() || dest->storage().locked()) return D3DERR_INVALIDCALL;
  RECT srcRect{}, dstRect{};
  if (!resolveRect(source->storage(), pSourceRect, srcRect) || !resolveRect(dest->storage(), pDestRect, dstRect))
    return D3DERR_INVALIDCALL;
  const bool stretch = rectWidth(srcRect) != rectWidth(dstRect) || rectHeight(srcRect) != rectHeight(dstRect);
  const SurfaceKind srcKind = kindOf(*source), dstKind = kindOf(*dest);

  if (srcKind == SurfaceKind::depthStencil || dstKind == SurfaceKind::depthStencil) {
    // Depth copies: whole plain depth surfaces of one format and size, outside a scene, and
    // neither discardable (its contents may already be gone).
    if (srcKind != dstKind || source == dest || from.Format != to.Format || pSourceRect || pDestRect || stretch ||
        from.Width != to.Width || from.Height != to.Height || inScene_ || source->discardable() ||
        dest->discardable())
      return D3DERR_INVALIDCALL;
    copyLevel(source->storage(), dest->storage());
    return D3D_OK;
  }
  if ((srcKind == SurfaceKind::texture || srcKind == SurfaceKind::renderTargetTexture) &&
      !(caps().DevCaps2 & D3DDEVCAPS2_CAN_STRETCHRECT_FROM_TEXTURES))
    return D3DERR_INVALIDCALL;
  // Plain surfaces and plain texture levels are written only from plain surfaces, unscaled;
  // any source may be copied into render targets, and only they are stretched into.
  if (!isRenderTargetKind(dstKind) && (srcKind != SurfaceKind::plain || stretch)) return D3DERR_INVALIDCALL;
  if (source == dest && (stretch || overlaps(srcRect, dstRect))) return D3DERR_INVALIDCALL;

  const FormatInfo &info = source->storage().info();
  if (from.Format != to.Format) {
    // The only conversion offered: between the two 32-bit RGB render-target formats.
    if (!isEightBitArgb(from.Format) || !isEightBitArgb(to.Format)) return D3DERR_INVALIDCALL;
  } else if (!stretch) {
    copyBlocks(source->storage(), srcRect, dest->storage(), UINT(dstRect.left), UINT(dstRect.top));
    return D3D_OK;
  }
  // Stretching needs single-texel storage: no block or packed YUV formats.
  if (info.blockWidth != 1 || info.blockHeight != 1) return D3DERR_INVALIDCALL;
  const bool opaqueAlpha = from.Format == D3DFMT_X8R8G8B8 && to.Format == D3DFMT_A8R8G8B8;
  stretchPixels(source->storage(), srcRect, dest->storage(), dstRect, Filter, opaqueAlpha);
  return D3D_OK;
}

HRESULT Device::ColorFill(IDirect3DSurface9 *pSurface, const RECT *pRect, D3DCOLOR color) {
  KVD3D_LOG("ColorFill", color);
  rasterizer_.finish();  // the copy reads or writes pixels queued draws may touch
  Surface *surface = ownSurface(pSurface, this);
  if (!surface) return D3DERR_INVALIDCALL;
  const SurfaceKind kind = kindOf(*surface);
  // Render targets, render-target textures and plain surfaces of the default pool.
  if (surface->desc().Pool != D3DPOOL_DEFAULT || kind == SurfaceKind::texture || kind == SurfaceKind::depthStencil)
    return D3DERR_INVALIDCALL;
  if (surface->storage().locked()) return D3DERR_INVALIDCALL;
  RECT rect{};
  if (!resolveRect(surface->storage(), pRect, rect)) return D3DERR_INVALIDCALL;
  DWORD pixel = 0;
  UINT bytes = 0;
  if (!packFillColor(surface->desc().Format, color, pixel, bytes)) return D3DERR_INVALIDCALL;
  for (LONG y = rect.top; y < rect.bottom; ++y) {
    BYTE *row = surface->storage().address(UINT(rect.left), UINT(y), 0);
    for (LONG x = 0; x < rectWidth(rect); ++x) std::memcpy(row + size_t(x) * bytes, &pixel, bytes);
  }
  return D3D_OK;
}

}  // namespace kvd3d
