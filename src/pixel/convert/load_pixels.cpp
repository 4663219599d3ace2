#include "pixel/convert/load_pixels.h"

#include "pixel/convert/conversion_job.h"
#include "pixel/locks/surface_lock.h"

namespace kv {
namespace {

const uint8_t *paletteBytes(const PALETTEENTRY *palette) { return reinterpret_cast<const uint8_t *>(palette); }

// The source in memory as a PixelBox: bounds and box are both the given region.
PixelBox memoryBox(const void *data, uint32_t format, uint32_t rowPitch, uint32_t slicePitch, const uint32_t region[6],
                   const PALETTEENTRY *palette, uint32_t colorKey) {
  PixelBox box;
  box.data = static_cast<uint8_t *>(const_cast<void *>(data));
  box.format = format;
  box.rowPitch = rowPitch;
  box.slicePitch = slicePitch;
  for (int i = 0; i < 6; ++i) box.bounds[i] = box.box[i] = region[i];
  box.colorKey = colorKey;
  box.palette = paletteBytes(palette);
  return box;
}

uint32_t resolveFilter(uint32_t filter) { return filter == 0xFFFFFFFFu ? kDefaultFilter : filter; }

// The conversion's result unless it succeeded and the write-back of the lock failed.
HRESULT finishWith(HRESULT converted, HRESULT finished) {
  if (FAILED(converted)) return converted;
  return FAILED(finished) ? finished : S_OK;
}

}  // namespace

HRESULT loadSurfaceFromMemory(IDirect3DSurface9 *destination, const PALETTEENTRY *destinationPalette,
                              const RECT *destinationRect, const void *sourceData, uint32_t sourceFormat,
                              uint32_t sourcePitch, const PALETTEENTRY *sourcePalette, const RECT *sourceRect,
                              uint32_t filter, uint32_t colorKey) {
  if (!destination || !sourceData || !sourceRect) return D3DERR_INVALIDCALL;
  const RECT &r = *sourceRect;
  // An inverted or empty rectangle would make the filters index outside the source.
  if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom) return D3DERR_INVALIDCALL;
  SurfaceLock lock;
  if (HRESULT hr = lock.lock(destination, paletteBytes(destinationPalette), destinationRect, 0, 0); FAILED(hr))
    return hr;
  const uint32_t region[6] = {uint32_t(r.left), uint32_t(r.top), uint32_t(r.right), uint32_t(r.bottom), 0, 1};
  const PixelBox source = memoryBox(sourceData, sourceFormat, sourcePitch, 0, region, sourcePalette, colorKey);
  const HRESULT converted = convertPixels(lock.box(), source, resolveFilter(filter));
  return finishWith(converted, lock.finish());
}

HRESULT loadVolumeFromMemory(IDirect3DVolume9 *destination, const PALETTEENTRY *destinationPalette,
                             const D3DBOX *destinationBox, const void *sourceData, uint32_t sourceFormat,
                             uint32_t sourceRowPitch, uint32_t sourceSlicePitch, const PALETTEENTRY *sourcePalette,
                             const D3DBOX *sourceBox, uint32_t filter, uint32_t colorKey) {
  if (!destination || !sourceData || !sourceBox) return D3DERR_INVALIDCALL;
  const D3DBOX &b = *sourceBox;
  if (b.Left >= b.Right || b.Top >= b.Bottom || b.Front >= b.Back) return D3DERR_INVALIDCALL;
  VolumeLock lock;
  if (HRESULT hr = lock.lock(destination, paletteBytes(destinationPalette), destinationBox, 0, 0); FAILED(hr))
    return hr;
  const uint32_t region[6] = {b.Left, b.Top, b.Right, b.Bottom, b.Front, b.Back};
  const PixelBox source =
      memoryBox(sourceData, sourceFormat, sourceRowPitch, sourceSlicePitch, region, sourcePalette, colorKey);
  const HRESULT converted = convertPixels(lock.box(), source, resolveFilter(filter));
  return finishWith(converted, lock.finish());
}

}  // namespace kv
