#include "pixel/mipchain/surface_loads.h"

#include <cstring>

#include "gfx/com_ref.h"
#include "gfx/debug_mute_scope.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/convert/load_pixels.h"
#include "pixel/locks/surface_lock.h"

namespace kv {

namespace {

bool samePalettes(const PALETTEENTRY *a, const PALETTEENTRY *b) {
  if (a == b) return true;
  return a && b && std::memcmp(a, b, 256 * sizeof(PALETTEENTRY)) == 0;
}

RECT rectOrWhole(const RECT *rect, const D3DSURFACE_DESC &desc) {
  if (rect) return *rect;
  return RECT{0, 0, LONG(desc.Width), LONG(desc.Height)};
}

// The device's own copy, used only where it gives exactly what the engine would.
HRESULT copyThroughDevice(IDirect3DSurface9 *destination, const D3DSURFACE_DESC &destinationDesc,
                          const RECT &destinationRect, IDirect3DSurface9 *source,
                          const D3DSURFACE_DESC &sourceDesc, const RECT &sourceRect) {
  if (destinationDesc.Pool != D3DPOOL_DEFAULT) return E_FAIL;
  ComRef<IDirect3DDevice9> device;
  HRESULT hr = source->GetDevice(device.put());
  if (FAILED(hr)) return hr;
  if (sourceDesc.Pool == D3DPOOL_SYSTEMMEM) {
    const POINT origin = {destinationRect.left, destinationRect.top};
    return muted([&] { return device->UpdateSurface(source, &sourceRect, destination, &origin); });
  }
  if (sourceDesc.Pool == D3DPOOL_DEFAULT) {
    return muted([&] { return device->StretchRect(source, &sourceRect, destination, &destinationRect, D3DTEXF_NONE); });
  }
  return E_FAIL;
}

}  // namespace

HRESULT loadSurfaceFromSurface(IDirect3DSurface9 *destination, const PALETTEENTRY *destinationPalette,
                               const RECT *destinationRect, IDirect3DSurface9 *source,
                               const PALETTEENTRY *sourcePalette, const RECT *sourceRect, DWORD filter,
                               D3DCOLOR colorKey) {
  if (!destination || !source) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC destinationDesc = {}, sourceDesc = {};
  HRESULT hr = destination->GetDesc(&destinationDesc);
  if (FAILED(hr)) return hr;
  hr = source->GetDesc(&sourceDesc);
  if (FAILED(hr)) return hr;

  const RECT whereTo = rectOrWhole(destinationRect, destinationDesc);
  const RECT whereFrom = rectOrWhole(sourceRect, sourceDesc);
  if ((filter & 0xFFFF) != FilterBox && colorKey == 0 && samePalettes(destinationPalette, sourcePalette) &&
      whereFrom.right - whereFrom.left == whereTo.right - whereTo.left &&
      whereFrom.bottom - whereFrom.top == whereTo.bottom - whereTo.top) {
    if (SUCCEEDED(copyThroughDevice(destination, destinationDesc, whereTo, source, sourceDesc, whereFrom))) {
      return S_OK;
    }
  }

  SurfaceLock lock;
  const uint32_t options = source == destination ? (kLockTemporaryCopy | kLockReadOnly) : kLockReadOnly;
  hr = lock.lock(source, reinterpret_cast<const uint8_t *>(sourcePalette), sourceRect, 0, options);
  if (FAILED(hr)) return hr;
  const PixelBox &box = lock.box();
  const RECT lockedRect = {LONG(box.box[kBoxLeft]), LONG(box.box[kBoxTop]), LONG(box.box[kBoxRight]),
                           LONG(box.box[kBoxBottom])};
  hr = loadSurfaceFromMemory(destination, destinationPalette, destinationRect, box.data,
                             box.format, box.rowPitch, sourcePalette, &lockedRect, filter,
                             colorKey);
  if (SUCCEEDED(hr) && sourceDesc.Pool == D3DPOOL_DEFAULT && destinationDesc.Pool != D3DPOOL_DEFAULT) {
    // Reading back from video memory is only trustworthy while the device is intact.
    ComRef<IDirect3DDevice9> device;
    if (SUCCEEDED(source->GetDevice(device.put())) && device->TestCooperativeLevel() != 0) hr = D3DERR_DEVICELOST;
  }
  lock.finish();
  return hr;
}

HRESULT loadVolumeFromVolume(IDirect3DVolume9 *destination, const PALETTEENTRY *destinationPalette,
                             const D3DBOX *destinationBox, IDirect3DVolume9 *source,
                             const PALETTEENTRY *sourcePalette, const D3DBOX *sourceBox, DWORD filter,
                             D3DCOLOR colorKey) {
  if (!destination || !source) return D3DERR_INVALIDCALL;
  VolumeLock lock;
  // Volumes have no temporary copy: a volume loaded onto itself is read in place.
  HRESULT hr = lock.lock(source, reinterpret_cast<const uint8_t *>(sourcePalette), sourceBox, 0, kLockReadOnly);
  if (FAILED(hr)) return hr;
  const PixelBox &box = lock.box();
  const D3DBOX lockedBox = {box.box[kBoxLeft], box.box[kBoxTop], box.box[kBoxRight],
                            box.box[kBoxBottom], box.box[kBoxFront], box.box[kBoxBack]};
  hr = loadVolumeFromMemory(destination, destinationPalette, destinationBox, box.data,
                            box.format, box.rowPitch, box.slicePitch, sourcePalette,
                            &lockedBox, filter, colorKey);
  lock.finish();
  return hr;
}

}  // namespace kv
