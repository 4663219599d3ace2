#include "pixel/locks/surface_lock.h"

#include <algorithm>
#include <cstring>

#include "gfx/debug_mute_scope.h"

namespace kv {
namespace {

// The container interfaces asked for, spelled out here: on Windows the platform's
// identifiers live in a GUID library that the DLL does not link.
constexpr GUID kTextureInterface = {0x85c31227, 0x3de5, 0x4f00, {0x9b, 0x3a, 0xf1, 0x1a, 0xc3, 0x8c, 0x18, 0xb5}};
constexpr GUID kVolumeTextureInterface = {0x2518526c, 0xe789, 0x4111, {0xa7, 0xb9, 0x47, 0xef, 0x32, 0x8d, 0x13, 0xe6}};

// The lock rectangle for a requested one: whole 4x4 blocks for DXT formats, whole pixel
// pairs for the pair formats, clipped to the surface.
RECT alignedRect(const RECT &rect, uint32_t format, UINT width, UINT height) {
  RECT out = rect;
  if (isDxtFormat(format)) {
    out.left &= ~3;
    out.top &= ~3;
    out.right = std::min<LONG>((out.right + 3) & ~3, LONG(width));
    out.bottom = std::min<LONG>((out.bottom + 3) & ~3, LONG(height));
  } else if (isPairFormat(format)) {
    out.left &= ~1;
    out.right = std::min<LONG>((out.right + 1) & ~1, LONG(width));
  }
  return out;
}

bool rectInside(const RECT &rect, UINT width, UINT height) {
  return rect.left >= 0 && rect.top >= 0 && rect.left < rect.right && rect.top < rect.bottom &&
         UINT(rect.right) <= width && UINT(rect.bottom) <= height;
}

// Regions in PixelBox order: left, top, right, bottom, front, back.
void fillBox(PixelBox &box, void *bits, uint32_t format, INT rowPitch, INT slicePitch, const uint32_t locked[6],
             const uint32_t wanted[6], const uint8_t *palette, uint32_t colorKey) {
  box = PixelBox{};
  box.data = static_cast<uint8_t *>(bits);
  box.format = format;
  box.rowPitch = uint32_t(rowPitch);
  box.slicePitch = uint32_t(slicePitch);
  // The data pointer sits at the locked region's origin: the bounds are that region's
  // extent and the box is the wanted region, both relative to it.
  const uint32_t origin[6] = {locked[kBoxLeft], locked[kBoxTop],   locked[kBoxLeft],
                              locked[kBoxTop],  locked[kBoxFront], locked[kBoxFront]};
  for (int i = 0; i < 6; ++i) {
    box.bounds[i] = locked[i] - origin[i];
    box.box[i] = wanted[i] - origin[i];
  }
  box.palette = palette;
  box.colorKey = colorKey;
}

}  // namespace

bool isDxtFormat(uint32_t format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
         format == D3DFMT_DXT5;
}

bool isPairFormat(uint32_t format) {
  return format == D3DFMT_YUY2 || format == D3DFMT_UYVY || format == D3DFMT_R8G8_B8G8 || format == D3DFMT_G8R8_G8B8;
}

HRESULT copySurfaceBits(IDirect3DSurface9 *source, IDirect3DSurface9 *destination) {
  if (!source || !destination) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC from{}, to{};
  if (HRESULT hr = source->GetDesc(&from); FAILED(hr)) return hr;
  if (HRESULT hr = destination->GetDesc(&to); FAILED(hr)) return hr;
  // A size or format mismatch would copy past the end of one of the two.
  if (from.Format != to.Format || from.Width != to.Width || from.Height != to.Height) return D3DERR_INVALIDCALL;
  D3DLOCKED_RECT src{}, dst{};
  if (HRESULT hr = source->LockRect(&src, nullptr, 0); FAILED(hr)) return hr;
  if (HRESULT hr = destination->LockRect(&dst, nullptr, 0); FAILED(hr)) {
    source->UnlockRect();
    return hr;
  }
  const UINT rows = isDxtFormat(from.Format) ? (from.Height + 3) / 4 : from.Height;
  const size_t bytes = size_t(std::min(src.Pitch, dst.Pitch));
  for (UINT row = 0; row < rows; ++row)
    std::memcpy(static_cast<uint8_t *>(dst.pBits) + size_t(row) * size_t(dst.Pitch),
                static_cast<const uint8_t *>(src.pBits) + size_t(row) * size_t(src.Pitch), bytes);
  destination->UnlockRect();
  source->UnlockRect();
  return S_OK;
}

HRESULT SurfaceLock::lock(IDirect3DSurface9 *surface, const uint8_t *palette, const RECT *rect, uint32_t colorKey,
                          uint32_t options) {
  finish();
  if (!surface) return D3DERR_INVALIDCALL;
  bool refused = false;
  HRESULT hr = tryLock(surface, palette, rect, colorKey, options, refused);
  // A surface that refuses the lock is worked on through a temporary copy.
  if (refused && !(options & kLockTemporaryCopy)) {
    release();
    hr = tryLock(surface, palette, rect, colorKey, options | kLockTemporaryCopy, refused);
  }
  if (FAILED(hr)) release();
  return hr;
}

HRESULT SurfaceLock::tryLock(IDirect3DSurface9 *surface, const uint8_t *palette, const RECT *rect, uint32_t colorKey,
                             uint32_t options, bool &refused) {
  refused = false;
  D3DSURFACE_DESC desc{};
  if (HRESULT hr = surface->GetDesc(&desc); FAILED(hr)) return hr;
  const RECT whole{0, 0, LONG(desc.Width), LONG(desc.Height)};
  const RECT wanted = rect ? *rect : whole;
  // An empty region has nothing to lock; the platform refuses such a lock too.
  if (!rectInside(wanted, desc.Width, desc.Height)) return D3DERR_INVALIDCALL;
  const bool partial = std::memcmp(&wanted, &whole, sizeof(RECT)) != 0;
  readOnly_ = options & kLockReadOnly;
  const bool discardable = !readOnly_ && !partial;
  surface->AddRef();
  surface_.reset(surface);
  if (HRESULT hr = surface->GetDevice(device_.put()); FAILED(hr)) return hr;

  const bool temporary = options & kLockTemporaryCopy;
  if (temporary)
    if (HRESULT hr = makeTemporaryCopy(desc, !discardable); FAILED(hr)) return hr;
  IDirect3DSurface9 *target = temporary ? copy_.get() : surface;

  DWORD flags = D3DLOCK_NOSYSLOCK | (readOnly_ ? D3DLOCK_READONLY : 0);
  bool discard = false;
  if (discardable && !temporary && (desc.Usage & D3DUSAGE_DYNAMIC)) {
    discard = (options & kLockMayDiscard) != 0;
    if (!discard) {
      // A dynamic texture of one level is overwritten whole: its old contents may go.
      ComRef<IDirect3DTexture9> container;
      if (SUCCEEDED(surface->GetContainer(kTextureInterface, reinterpret_cast<void **>(container.put()))))
        discard = container->GetLevelCount() == 1;
    }
  }
  RECT lockRect = discard ? whole : alignedRect(wanted, desc.Format, desc.Width, desc.Height);
  if (discard) flags |= D3DLOCK_DISCARD;
  const bool lockWhole = std::memcmp(&lockRect, &whole, sizeof(RECT)) == 0;
  D3DLOCKED_RECT locked{};
  auto lockCall = [&] { return target->LockRect(&locked, lockWhole ? nullptr : &lockRect, flags); };
  const HRESULT hr = temporary ? lockCall() : muted(lockCall);
  if (FAILED(hr)) {
    refused = !temporary;
    return hr;
  }
  locked_ = target;
  const uint32_t lockedRegion[6] = {
      uint32_t(lockRect.left), uint32_t(lockRect.top), uint32_t(lockRect.right), uint32_t(lockRect.bottom), 0, 1};
  const uint32_t wantedRegion[6] = {
      uint32_t(wanted.left), uint32_t(wanted.top), uint32_t(wanted.right), uint32_t(wanted.bottom), 0, 1};
  fillBox(box_, locked.pBits, desc.Format, locked.Pitch, 0, lockedRegion, wantedRegion, palette, colorKey);
  return S_OK;
}

HRESULT SurfaceLock::makeTemporaryCopy(const D3DSURFACE_DESC &desc, bool fill) {
  // DXT textures need a top level in whole blocks: the copy is level s of a texture 2^s
  // times larger, the smallest such that (width | height) * 2^s is a multiple of 4.
  UINT s = 0;
  if (isDxtFormat(desc.Format))
    while ((((desc.Width | desc.Height) << s) & 3) != 0) ++s;
  const D3DPOOL pool = desc.Pool == D3DPOOL_SCRATCH ? D3DPOOL_SCRATCH : D3DPOOL_SYSTEMMEM;
  if (HRESULT hr = device_->CreateTexture(desc.Width << s, desc.Height << s, s + 1, 0, desc.Format, pool,
                                          copyTexture_.put(), nullptr);
      FAILED(hr))
    return hr;
  if (HRESULT hr = copyTexture_->GetSurfaceLevel(s, copy_.put()); FAILED(hr)) return hr;
  if (!fill) return S_OK;
  HRESULT hr = copySurfaceBits(surface_.get(), copy_.get());
  if (SUCCEEDED(hr) || s != 0) return hr;
  // The surface cannot be read directly: copy it into a lockable render target first.
  ComRef<IDirect3DSurface9> target;
  hr = device_->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, TRUE, target.put(),
                                   nullptr);
  if (SUCCEEDED(hr))
    hr = muted([&] { return device_->StretchRect(surface_.get(), nullptr, target.get(), nullptr, D3DTEXF_NONE); });
  if (SUCCEEDED(hr)) hr = copySurfaceBits(target.get(), copy_.get());
  return hr;
}

HRESULT SurfaceLock::finish() {
  HRESULT result = S_OK;
  if (locked_) {
    locked_->UnlockRect();
    if (copy_ && !readOnly_) {
      result = muted([&] { return device_->UpdateSurface(copy_.get(), nullptr, surface_.get(), nullptr); });
      if (FAILED(result)) result = muted([&] { return copySurfaceBits(copy_.get(), surface_.get()); });
    }
    locked_ = nullptr;
  }
  release();
  return result;
}

void SurfaceLock::release() {
  if (locked_) locked_->UnlockRect();
  locked_ = nullptr;
  copy_.reset();
  copyTexture_.reset();
  device_.reset();
  surface_.reset();
  box_ = PixelBox{};
}

HRESULT VolumeLock::lock(IDirect3DVolume9 *volume, const uint8_t *palette, const D3DBOX *box, uint32_t colorKey,
                         uint32_t options) {
  finish();
  if (!volume) return D3DERR_INVALIDCALL;
  D3DVOLUME_DESC desc{};
  if (HRESULT hr = volume->GetDesc(&desc); FAILED(hr)) return hr;
  const D3DBOX whole{0, 0, desc.Width, desc.Height, 0, desc.Depth};
  const D3DBOX wanted = box ? *box : whole;
  if (wanted.Left >= wanted.Right || wanted.Top >= wanted.Bottom || wanted.Front >= wanted.Back ||
      wanted.Right > desc.Width || wanted.Bottom > desc.Height || wanted.Back > desc.Depth)
    return D3DERR_INVALIDCALL;
  // Default-pool volumes lock only when dynamic; there is no copy to fall back on.
  if (desc.Pool == D3DPOOL_DEFAULT && !(desc.Usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
  const bool readOnly = options & kLockReadOnly;
  const bool partial = std::memcmp(&wanted, &whole, sizeof(D3DBOX)) != 0;
  DWORD flags = D3DLOCK_NOSYSLOCK | (readOnly ? D3DLOCK_READONLY : 0);
  bool discard = false;
  if (!readOnly && !partial && (desc.Usage & D3DUSAGE_DYNAMIC)) {
    discard = (options & kLockMayDiscard) != 0;
    if (!discard) {
      ComRef<IDirect3DVolumeTexture9> container;
      if (SUCCEEDED(volume->GetContainer(kVolumeTextureInterface, reinterpret_cast<void **>(container.put()))))
        discard = container->GetLevelCount() == 1;
    }
  }
  D3DBOX lockBox = wanted;
  if (discard) {
    flags |= D3DLOCK_DISCARD;
    lockBox = whole;
  } else {
    const RECT aligned = alignedRect(RECT{LONG(wanted.Left), LONG(wanted.Top), LONG(wanted.Right), LONG(wanted.Bottom)},
                                     desc.Format, desc.Width, desc.Height);
    lockBox.Left = UINT(aligned.left);
    lockBox.Top = UINT(aligned.top);
    lockBox.Right = UINT(aligned.right);
    lockBox.Bottom = UINT(aligned.bottom);
  }
  const bool lockWhole = std::memcmp(&lockBox, &whole, sizeof(D3DBOX)) == 0;
  D3DLOCKED_BOX locked{};
  if (HRESULT hr = muted([&] { return volume->LockBox(&locked, lockWhole ? nullptr : &lockBox, flags); }); FAILED(hr))
    return hr;
  volume->AddRef();
  volume_.reset(volume);
  locked_ = true;
  const uint32_t lockedRegion[6] = {lockBox.Left,   lockBox.Top,   lockBox.Right,
                                    lockBox.Bottom, lockBox.Front, lockBox.Back};
  const uint32_t wantedRegion[6] = {wanted.Left, wanted.Top, wanted.Right, wanted.Bottom, wanted.Front, wanted.Back};
  fillBox(box_, locked.pBits, desc.Format, locked.RowPitch, locked.SlicePitch, lockedRegion, wantedRegion, palette,
          colorKey);
  return S_OK;
}

HRESULT VolumeLock::finish() {
  if (locked_) volume_->UnlockBox();
  locked_ = false;
  volume_.reset();
  box_ = PixelBox{};
  return S_OK;
}

}  // namespace kv
