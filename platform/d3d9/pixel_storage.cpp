#include "d3d9/pixel_storage.h"

#include <cstring>
#include <new>

#include "d3d9/raster/rasterizer.h"

namespace kvd3d {

constexpr BYTE kDiscardedByte = 0xDD;

namespace {
constexpr size_t kRecycledEntries = 4;
// The largest frame set aside (see lendTo). Drawing in other memory pays while two frames,
// the depth buffer and the host's image stay in the caches: it took 10 % off a 544 x 416
// frame, but a 1920 x 1080 frame (8 MB) drawn in alternate memory spilled the last-level
// cache and took about 20 % longer than one drawn in place.
constexpr uint64_t kSetAsideBytes = uint64_t(2) << 20;
}  // namespace

PixelMemory StorageRecycler::take(uint64_t bytes) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it)
    if (it->bytes == bytes) {
      PixelMemory bits = std::move(it->bits);
      entries_.erase(it);
      return bits;
    }
  return nullptr;
}

void StorageRecycler::give(PixelMemory bits, uint64_t bytes) {
  if (!bits) return;
  try {
    if (entries_.size() == kRecycledEntries) entries_.erase(entries_.begin());  // the oldest goes
    entries_.push_back(Entry{bytes, std::move(bits)});
  } catch (const std::bad_alloc &) {
    // not kept: the memory is freed with `bits`
  }
}

PixelStorage::~PixelStorage() {
  // Queued draws may still write here (a render target) or read from here (a texture).
  if (bits_) kvd3d::raster::finishPendingDrawing();
  releaseLoan();
}

bool PixelStorage::lendTo(PixelStorage &reader) {
  if (&reader == this || !bits_ || !reader.bits_ || locked_ || reader.locked_) return false;
  if (asideFrame_) bringBackFrame();
  if (borrower_ || lender_ || reader.borrower_ || reader.lender_) return false;
  if (reader.byteSize() != byteSize() || reader.pitch_ != pitch_) return false;
  if (zeroPending_) zeroNow();
  std::swap(bits_, reader.bits_);
  reader.zeroPending_ = false;
  borrower_ = &reader;
  reader.lender_ = this;
  return true;
}

void PixelStorage::endLoan() const {
  const PixelStorage &reader = borrower_ ? *borrower_ : *this;
  PixelStorage &lender = borrower_ ? const_cast<PixelStorage &>(*this) : *lender_;
  kvd3d::raster::notePixelWrite();
  std::memcpy(lender.bits_.get(), reader.bits_.get(), size_t(byteSize()));
  lender.borrower_ = nullptr;
  reader.lender_ = nullptr;
}

void PixelStorage::releaseLoan(StorageRecycler *recycler) {
  if (lender_) {
    if (recycler && !lender_->asideFrame_ && byteSize() <= kSetAsideBytes) {
      lender_->asideFrame_ = std::move(bits_);  // the frame goes home, set aside
      lender_->asideRecycler_ = recycler;
    } else {
      std::swap(bits_, lender_->bits_);  // the frame goes home; this memory goes instead
    }
    lender_->borrower_ = nullptr;
    lender_ = nullptr;
  } else if (borrower_) {
    borrower_->lender_ = nullptr;  // the reader keeps the frame for good
    borrower_ = nullptr;
  }
}

void PixelStorage::bringBackFrame() const {
  auto &self = const_cast<PixelStorage &>(*this);
  std::swap(self.bits_, self.asideFrame_);
  self.dropSetAsideFrame();
}

void PixelStorage::dropSetAsideFrame() {
  if (!asideFrame_) return;
  asideRecycler_->give(std::move(asideFrame_), byteSize());
  asideRecycler_ = nullptr;
}

void PixelStorage::zeroNow() const {
  kvd3d::raster::notePixelWrite();
  zeroPending_ = false;
  std::memset(bits_.get(), 0, size_t(byteSize()));
}

void PixelStorage::recycle(StorageRecycler &recycler) {
  if (!bits_) return;
  kvd3d::raster::finishPendingDrawing();
  releaseLoan(&recycler);
  asideFrame_.reset();
  recycler.give(std::move(bits_), byteSize());
  zeroPending_ = false;
}

HRESULT PixelStorage::allocate(const FormatInfo &info, UINT width, UINT height, UINT depth,
                               StorageRecycler *recycler) {
  UINT pitch = 0;
  if (width == 0 || height == 0 || depth == 0) return D3DERR_INVALIDCALL;
  if (!levelPitch(info, width, pitch)) return E_OUTOFMEMORY;
  const uint64_t slice = uint64_t(pitch) * blockRows(info, height);
  if (slice > kMaxLevelBytes || slice * depth > kMaxLevelBytes) return E_OUTOFMEMORY;
  if (bits_) kvd3d::raster::finishPendingDrawing();
  releaseLoan();
  asideFrame_.reset();
  asideRecycler_ = nullptr;
  PixelMemory reused = recycler ? recycler->take(slice * depth) : nullptr;
  bool dirty = reused != nullptr;
  bits_ = reused ? std::move(reused) : allocatePixelMemory(size_t(slice * depth), dirty);
  zeroPending_ = dirty;
  // New memory may lie where pixels the rasterizer knew of lay (memory taken back from
  // the recycler or kept from a released level is unchanged until zeroNow).
  if (!zeroPending_) kvd3d::raster::notePixelWrite();
  if (!bits_) return E_OUTOFMEMORY;
  info_ = &info;
  width_ = width;
  height_ = height;
  depth_ = depth;
  pitch_ = pitch;
  slicePitch_ = UINT(slice);
  return D3D_OK;
}

bool PixelStorage::regionAligned(UINT left, UINT top, UINT right, UINT bottom) const {
  // Block formats lock whole blocks: edges on block boundaries or on the level's edge.
  const UINT bw = info_->blockWidth, bh = info_->blockHeight;
  if (left % bw || top % bh) return false;
  if (right % bw && right != width_) return false;
  if (bottom % bh && bottom != height_) return false;
  return true;
}

// Locks and the device's copies: they may write what they are given.
BYTE *PixelStorage::address(UINT left, UINT top, UINT front) const {
  BYTE *base = bits();
  kvd3d::raster::notePixelWrite();
  return addressIn(base, left, top, front);
}

BYTE *PixelStorage::addressIn(BYTE *base, UINT left, UINT top, UINT front) const {
  const size_t offset = size_t(front) * slicePitch_ + size_t(top / info_->blockHeight) * pitch_ +
                        size_t(left / info_->blockWidth) * info_->blockBytes;
  return base + offset;
}

HRESULT PixelStorage::lockRect(D3DLOCKED_RECT *out, const RECT *rect, DWORD flags) {
  if (!out || !bits_) return D3DERR_INVALIDCALL;
  kvd3d::raster::finishPendingDrawing();
  if (locked_) return D3DERR_INVALIDCALL;
  UINT left = 0, top = 0;
  if (rect) {
    if (flags & D3DLOCK_DISCARD) return D3DERR_INVALIDCALL;
    if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
        UINT(rect->right) > width_ || UINT(rect->bottom) > height_)
      return D3DERR_INVALIDCALL;
    if (!regionAligned(UINT(rect->left), UINT(rect->top), UINT(rect->right), UINT(rect->bottom)))
      return D3DERR_INVALIDCALL;
    left = UINT(rect->left);
    top = UINT(rect->top);
  }
  out->Pitch = INT(pitch_);
  // A reader holding a lent frame is read where it lies; any other lock ends the loan.
  out->pBits = lender_ && (flags & D3DLOCK_READONLY) ? addressIn(bits_.get(), left, top, 0) : address(left, top, 0);
  locked_ = true;
  return D3D_OK;
}

HRESULT PixelStorage::lockBox(D3DLOCKED_BOX *out, const D3DBOX *box, DWORD flags) {
  if (!out || !bits_) return D3DERR_INVALIDCALL;
  kvd3d::raster::finishPendingDrawing();
  if (locked_) return D3DERR_INVALIDCALL;
  UINT left = 0, top = 0, front = 0;
  if (box) {
    if (flags & D3DLOCK_DISCARD) return D3DERR_INVALIDCALL;
    if (box->Left >= box->Right || box->Top >= box->Bottom || box->Front >= box->Back || box->Right > width_ ||
        box->Bottom > height_ || box->Back > depth_)
      return D3DERR_INVALIDCALL;
    if (!regionAligned(box->Left, box->Top, box->Right, box->Bottom)) return D3DERR_INVALIDCALL;
    left = box->Left;
    top = box->Top;
    front = box->Front;
  }
  out->RowPitch = INT(pitch_);
  out->SlicePitch = INT(slicePitch_);
  out->pBits = address(left, top, front);
  locked_ = true;
  return D3D_OK;
}

void PixelStorage::discardContents() {
  if (!bits_) return;
  kvd3d::raster::finishPendingDrawing();
  releaseLoan();
  dropSetAsideFrame();
  zeroPending_ = false;
  kvd3d::raster::notePixelWrite();
  std::memset(bits_.get(), kDiscardedByte, size_t(byteSize()));
}

HRESULT PixelStorage::unlock() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  // Written through the lock, unless it read a lent frame where it lies (see lockRect).
  if (!lender_) kvd3d::raster::notePixelWrite();
  return D3D_OK;
}

}  // namespace kvd3d
