// Row readers and writers of every pixel format the texture pipeline converts. A codec
// works on a described memory region (PixelBox), never on a Direct3D object, so locks,
// image readers and tools all reach it the same way.
//
// A floating row is `width` pixels of four floats each, R, G, B, A (16 bytes a pixel).
// Unsigned formats read to [0, 1], signed formats to [-1, 1], floating formats unbounded.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>

#include "gfx/platform.h"

namespace kv {

// The value range of a codec, fixed by its format.
enum class ValueRange : uint32_t {
  None = 0,       // only as `otherRange`: no range conversion
  Unorm = 1,      // all four channels in [0, 1]
  SignedRgb = 2,  // R, G, B in [-1, 1], A in [0, 1]
  Snorm = 3,      // all four channels in [-1, 1]
  Float = 4,      // unbounded; never clamped or range-converted on its own side
};

// Index of each of the six values of PixelBox::bounds and PixelBox::box.
enum BoxEdge : uint32_t { kBoxLeft = 0, kBoxTop = 1, kBoxRight = 2, kBoxBottom = 3, kBoxFront = 4, kBoxBack = 5 };

// One locked pixel region and the switches of its conversion.
struct PixelBox {
  uint8_t *data = nullptr;      // first byte of the locked memory
  uint32_t format = 0;          // D3DFORMAT number or four-character code
  uint32_t rowPitch = 0;        // bytes; for block formats one row of 4x4 blocks
  uint32_t slicePitch = 0;
  // Extent of the locked memory and the region to convert, both relative to `data`:
  // left, top, right, bottom, front, back (right, bottom, back exclusive). The block
  // codec aligns its 4x4 grid to the bounds.
  uint32_t bounds[6] = {};
  uint32_t box[6] = {};
  bool dither = false;          // ordered dithering on write
  bool diffusion = false;       // error diffusion on write
  bool gamma = false;           // the values in this box are gamma-encoded
  uint32_t colorKey = 0;        // ARGB; 0 = no key
  const uint8_t *palette = nullptr;  // 256 entries of red, green, blue, flags (as alpha), or null
};

// The reader and writer of one format over one PixelBox. Made by createPixelCodec, owned
// by the caller.
class PixelCodec {
 public:
  PixelCodec(const PixelCodec &) = delete;
  PixelCodec &operator=(const PixelCodec &) = delete;

  // Writes back what a codec still holds (a pending pair row or block row).
  virtual ~PixelCodec();

  // Fills `row` (width() pixels) with row `y` of slice `z` of the box: unpack, colour key
  // (pixels equal to the key become 0, 0, 0, 0), gamma decoding. Never fails.
  virtual void readRow(uint32_t y, uint32_t z, float *row) = 0;

  // Fills `row` (`count` pixels) with the listed columns of row `y` of slice `z`, in list
  // order: the values readRow gives those pixels. For filters that reduce and touch only
  // some columns. False when this codec has no such reader (the caller reads whole rows).
  virtual bool readColumns(uint32_t y, uint32_t z, const uint32_t *columns, uint32_t count, float *row);

  // Stores `row` (width() pixels) as row `y` of slice `z` of the box: range conversion,
  // gamma encoding, dithering or error diffusion, clamping to the format. May change
  // `row` in place. Never fails. connectCodecs must have run first when this codec is the
  // destination of a conversion.
  virtual void writeRow(uint32_t y, uint32_t z, float *row) = 0;

  // Whether writeRow may run for different rows at once, on different threads: nothing
  // carried from row to row (error diffusion, a pending pair or block row) and no shared
  // scratch row.
  virtual bool writesRowsApart() const { return false; }

  // Replaces the floating colour key by the nearest value this format can hold, so that
  // readRow compares at the format's precision. createPixelCodec already calls it.
  virtual void prepareColorKey() = 0;

  uint32_t format() const { return format_; }
  ValueRange range() const { return range_; }
  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  uint32_t depth() const { return depth_; }
  uint32_t bytesPerPixel() const { return bytesPerPixel_; }  // 0 for block and pair formats
  bool hasBitCount() const { return hasBitCount_; }
  bool gamma() const { return gamma_; }
  bool bothGamma() const { return bothGamma_; }
  ValueRange otherRange() const { return otherRange_; }
  bool hasColorKey() const { return colorKey_ != 0; }
  const float *colorKeyFloat() const { return colorKeyFloat_; }

 protected:
  explicit PixelCodec(const PixelBox &box, ValueRange range, uint32_t bitsPerPixel);

  friend HRESULT connectCodecs(PixelCodec &destination, PixelCodec &source);
  friend HRESULT createPixelCodec(const PixelBox &box, std::unique_ptr<PixelCodec> &codec);

  // Second construction step: the buffers. False when memory runs out.
  bool allocateBuffers();

  // Steps 1 and 2 of every writer: range conversion and gamma encoding. Returns the row to
  // pack: the scratch row, or `row` itself when there is no scratch row.
  float *prepareRowForPacking(float *row);

  // The read-side steps after unpacking: colour key, then gamma decoding.
  void finishReadRow(float *row);
  void finishReadPixels(float *row, uint32_t count);

  // prepareColorKey of the codecs that can pack one pixel into a private buffer through
  // their own writeRow and unpack it again with readRow.
  void prepareColorKeyThroughRows();

  // The dither offsets of row y, slice z: entry j is the offset of the j-th processed pixel
  // modulo 4.
  const float *ditherOffsets(uint32_t y, uint32_t z) const { return ditherTable_ + (y & 3) * 8 + (z & 3); }

  // Rows outside the box are never touched: reading one gives zeros, writing one does
  // nothing.
  bool rowOutsideBox(uint32_t y, uint32_t z, float *row) const {
    if (y < height_ && z < depth_) return false;
    if (row) std::fill(row, row + static_cast<size_t>(width_) * 4, 0.0f);
    return true;
  }

  // Address of pixel 0 of row y, slice z (formats with a bit count).
  uint8_t *rowAddress(uint32_t y, uint32_t z) const {
    return data_ + static_cast<size_t>(y) * rowPitch_ + static_cast<size_t>(z) * slicePitch_;
  }

  uint32_t format_;
  ValueRange range_;
  uint32_t bytesPerPixel_;      // 0 for block and pair formats
  bool hasBitCount_;
  uint8_t *data_;               // at the box origin for formats with a bit count
  uint32_t rowPitch_, slicePitch_;
  uint32_t bounds_[6];
  uint32_t box_[6];             // renormalised to start at 0 for formats with a bit count
  uint32_t width_, height_, depth_;
  uint32_t rowBytes_;
  bool dither_, diffusion_;
  bool gamma_ = false;
  bool bothGamma_ = false;
  ValueRange otherRange_ = ValueRange::None;
  uint32_t colorKey_;
  float colorKeyFloat_[4] = {};
  const uint8_t *sourcePalette_;
  std::unique_ptr<float[]> palette_;     // 256 RGBA entries, palettised formats only
  std::unique_ptr<float[]> scratch_;     // width pixels, made by connectCodecs
  std::unique_ptr<float[]> diffusionRow_;  // width + 2 pixels, when diffusion is on
  const float *ditherTable_;             // 4 rows of 8 offsets, plain or ordered
  bool gammaAlphaOnly_ = false;          // L6V5U5: gamma touches its luminance (alpha) only
};

// A new codec for the box's format. S_OK; E_FAIL when the format has no codec;
// E_OUTOFMEMORY when memory runs out. On failure `codec` is left empty.
HRESULT createPixelCodec(const PixelBox &box, std::unique_ptr<PixelCodec> &codec);

// True when createPixelCodec knows the format.
bool hasPixelCodec(uint32_t format);

// Prepares `destination` to take rows read by `source`: range conversion between their
// value ranges, the scratch row, and the two-sided gamma mode when both are gamma-encoded.
// Destination first. S_OK or E_OUTOFMEMORY.
HRESULT connectCodecs(PixelCodec &destination, PixelCodec &source);

}  // namespace kv
