// The memory behind one surface or volume level, and the lock rules every level shares:
// region checks, block alignment, one lock at a time.
#pragma once

#include <d3d9.h>

#include <memory>
#include <vector>

#include "d3d9/format_table.h"
#include "d3d9/pixel_memory.h"

namespace kvd3d {

// No single resource level may take more than this; larger requests fail as out of memory
// without touching the heap.
constexpr uint64_t kMaxLevelBytes = uint64_t(512) << 20;

// Memory of released system-memory surfaces, kept for the next surface of the same size:
// a frame read back every frame then reuses warm pages instead of mapping fresh ones.
class StorageRecycler {
 public:
  PixelMemory take(uint64_t bytes);
  void give(PixelMemory bits, uint64_t bytes);

 private:
  struct Entry {
    uint64_t bytes;
    PixelMemory bits;
  };
  std::vector<Entry> entries_;
};

class PixelStorage {
 public:
  PixelStorage() = default;
  ~PixelStorage();
  PixelStorage(const PixelStorage &) = delete;
  PixelStorage &operator=(const PixelStorage &) = delete;

  // D3D_OK, E_OUTOFMEMORY (allocation failed or the size is absurd). Memory starts zeroed;
  // memory taken from `recycler` is zeroed when first touched, unless markOverwritten()
  // said that every byte is about to be replaced.
  HRESULT allocate(const FormatInfo &info, UINT width, UINT height, UINT depth, StorageRecycler *recycler = nullptr);
  // Hands the memory to `recycler`; the storage is empty afterwards.
  void recycle(StorageRecycler &recycler);
  void markOverwritten() { zeroPending_ = false; }

  // A read-back without a copy: this level's memory (a finished frame) goes to `reader`, a
  // storage of the same size and pitch, and the reader's memory takes its place here. The
  // frame comes back here when the reader's memory is freed. Whichever of the two is
  // touched first otherwise (this level in any way, the reader by anything but a read-only
  // lock) has the frame copied into this level's memory, and the two part ways.
  // When the reader is recycled instead, a frame of at most 2 MB is set aside here and this
  // level keeps the reader's memory: the host has just read every byte of the frame, and
  // the next frame is drawn faster in memory the host has not touched since the frame
  // before (a bigger frame comes home at once: two of them no longer stay in the caches).
  // The frame comes back (a swap) at the next access to this level, unless that access
  // replaces every byte (dropSetAsideFrame), and then its memory goes to the recycler for
  // the next reader.
  // False, with nothing done, when the sizes differ or either is locked or already lent.
  bool lendTo(PixelStorage &reader);
  // Before a write that replaces every byte of the level before anything reads it (a clear
  // of the whole target): a frame set aside is not brought back.
  void dropSetAsideFrame();

  const FormatInfo &info() const { return *info_; }
  UINT width() const { return width_; }
  UINT height() const { return height_; }
  UINT depth() const { return depth_; }
  INT pitch() const { return INT(pitch_); }
  INT slicePitch() const { return INT(slicePitch_); }
  BYTE *bits() const {
    if (asideFrame_) bringBackFrame();
    if (borrower_ || lender_) endLoan();
    if (zeroPending_) zeroNow();
    return bits_.get();
  }
  bool locked() const { return locked_; }

  // Lock of a rectangle of slice 0 (nullptr = whole level) or of a box (nullptr = whole).
  HRESULT lockRect(D3DLOCKED_RECT *out, const RECT *rect, DWORD flags);
  HRESULT lockBox(D3DLOCKED_BOX *out, const D3DBOX *box, DWORD flags);
  HRESULT unlock();
  // After a discarding lock the old contents are gone; the stand-in makes that visible by
  // filling the level with a pattern, so that nobody relies on them.
  void discardContents();

  // For copies made by the device itself (they never go through the lock rules).
  uint64_t byteSize() const { return uint64_t(slicePitch_) * depth_; }
  // Whether a region's edges lie on storage-block boundaries or on the level's edge.
  bool regionAligned(UINT left, UINT top, UINT right, UINT bottom) const;
  // First byte of the storage block holding texel (left, top) of slice front.
  BYTE *address(UINT left, UINT top, UINT front) const;

 private:
  void zeroNow() const;
  // The frame copied into the lender's memory; the two part ways.
  void endLoan() const;
  // Before this storage's memory goes: a reader hands the frame back to its lender (to be
  // set aside there when the reader's memory goes to `recycler`), a lender leaves the frame
  // with its reader.
  void releaseLoan(StorageRecycler *recycler = nullptr);
  // The frame set aside takes the place of the memory drawn in meanwhile, which goes to the
  // recycler.
  void bringBackFrame() const;
  BYTE *addressIn(BYTE *base, UINT left, UINT top, UINT front) const;

  const FormatInfo *info_ = nullptr;
  UINT width_ = 0, height_ = 0, depth_ = 0;
  UINT pitch_ = 0, slicePitch_ = 0;
  PixelMemory bits_;
  bool locked_ = false;
  mutable bool zeroPending_ = false;
  mutable PixelStorage *borrower_ = nullptr;  // holds this level's frame (see lendTo)
  mutable PixelStorage *lender_ = nullptr;    // whose frame this memory holds
  PixelMemory asideFrame_;         // this level's contents while set aside
  StorageRecycler *asideRecycler_ = nullptr;   // where the memory not kept goes
};

}  // namespace kvd3d
