// Locks that turn a region of a Direct3D 9 surface or volume into a PixelBox for the
// conversion engine, and give it back afterwards. They hide the cases where a surface
// cannot be locked directly: 4x4-block and pixel-pair alignment, surfaces that refuse a
// lock (worked on through a temporary system-memory or scratch copy, filled through a
// render target when a plain copy fails) and dynamic surfaces overwritten whole.
#pragma once

#include <cstdint>

#include "gfx/com_ref.h"
#include "gfx/platform.h"
#include "pixel/formats/pixel_codec.h"

namespace kv {

// Lock options of SurfaceLock and VolumeLock.
constexpr uint32_t kLockReadOnly = 0x1;
constexpr uint32_t kLockTemporaryCopy = 0x10000;  // work on a temporary copy (surfaces only)
constexpr uint32_t kLockMayDiscard = 0x20000;     // a whole-surface write may discard the old contents

class SurfaceLock {
 public:
  SurfaceLock() = default;
  SurfaceLock(const SurfaceLock &) = delete;
  SurfaceLock &operator=(const SurfaceLock &) = delete;
  ~SurfaceLock() { finish(); }

  // Locks `rect` (null = the whole surface) and fills box(). D3DERR_INVALIDCALL for a
  // rectangle outside the surface, inverted or empty; otherwise the error of the Direct3D
  // call that failed, after releasing what was made.
  HRESULT lock(IDirect3DSurface9 *surface, const uint8_t *palette, const RECT *rect, uint32_t colorKey,
               uint32_t options);

  // Unlocks, writes a temporary copy back (UpdateSurface, else copySurfaceBits) unless the
  // access was read-only, and releases everything. Returns the write-back's error; S_OK
  // when nothing is locked. Safe to call more than once.
  HRESULT finish();

  PixelBox &box() { return box_; }
  const PixelBox &box() const { return box_; }
  bool usesTemporaryCopy() const { return static_cast<bool>(copy_); }

 private:
  // One attempt; `refused` tells a refusal of LockRect itself from the other failures.
  HRESULT tryLock(IDirect3DSurface9 *surface, const uint8_t *palette, const RECT *rect, uint32_t colorKey,
                  uint32_t options, bool &refused);
  HRESULT makeTemporaryCopy(const D3DSURFACE_DESC &desc, bool fill);
  void release();

  ComRef<IDirect3DSurface9> surface_;  // the surface asked for
  ComRef<IDirect3DDevice9> device_;
  ComRef<IDirect3DTexture9> copyTexture_;
  ComRef<IDirect3DSurface9> copy_;       // the work surface when a temporary copy is in use
  IDirect3DSurface9 *locked_ = nullptr;  // surface_ or copy_ while locked
  bool readOnly_ = false;
  PixelBox box_;
};

class VolumeLock {
 public:
  VolumeLock() = default;
  VolumeLock(const VolumeLock &) = delete;
  VolumeLock &operator=(const VolumeLock &) = delete;
  ~VolumeLock() { finish(); }

  // Locks `box` (null = the whole volume). D3DERR_INVALIDCALL for a box outside the volume,
  // inverted or empty, and for a default-pool volume without dynamic usage.
  HRESULT lock(IDirect3DVolume9 *volume, const uint8_t *palette, const D3DBOX *box, uint32_t colorKey,
               uint32_t options);
  HRESULT finish();

  PixelBox &box() { return box_; }
  const PixelBox &box() const { return box_; }

 private:
  ComRef<IDirect3DVolume9> volume_;
  bool locked_ = false;
  PixelBox box_;
};

// Copies the bytes of two whole surfaces of one format and size, row by row (rows of
// blocks for DXT formats). D3DERR_INVALIDCALL when format or size differ.
HRESULT copySurfaceBits(IDirect3DSurface9 *source, IDirect3DSurface9 *destination);

// Formats stored in 4x4 blocks, and formats storing two pixels in a 32-bit pair.
bool isDxtFormat(uint32_t format);
bool isPairFormat(uint32_t format);

}  // namespace kv
