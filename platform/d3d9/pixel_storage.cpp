#include "d3d9/pixel_storage.h"

#include <cstring>
#include <new>

namespace kvd3d {

constexpr BYTE kDiscardedByte = 0xDD;

HRESULT PixelStorage::allocate(const FormatInfo &info, UINT width, UINT height, UINT depth) {
  UINT pitch = 0;
  if (width == 0 || height == 0 || depth == 0) return D3DERR_INVALIDCALL;
  if (!levelPitch(info, width, pitch)) return E_OUTOFMEMORY;
  const uint64_t slice = uint64_t(pitch) * blockRows(info, height);
  if (slice > kMaxLevelBytes || slice * depth > kMaxLevelBytes) return E_OUTOFMEMORY;
  bits_.reset(new (std::nothrow) BYTE[size_t(slice * depth)]());
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

BYTE *PixelStorage::address(UINT left, UINT top, UINT front) const {
  const size_t offset = size_t(front) * slicePitch_ + size_t(top / info_->blockHeight) * pitch_ +
                        size_t(left / info_->blockWidth) * info_->blockBytes;
  return bits_.get() + offset;
}

HRESULT PixelStorage::lockRect(D3DLOCKED_RECT *out, const RECT *rect, DWORD flags) {
  if (!out || !bits_) return D3DERR_INVALIDCALL;
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
  out->pBits = address(left, top, 0);
  locked_ = true;
  return D3D_OK;
}

HRESULT PixelStorage::lockBox(D3DLOCKED_BOX *out, const D3DBOX *box, DWORD flags) {
  if (!out || !bits_) return D3DERR_INVALIDCALL;
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
  if (bits_) std::memset(bits_.get(), kDiscardedByte, size_t(byteSize()));
}

HRESULT PixelStorage::unlock() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  return D3D_OK;
}

}  // namespace kvd3d
