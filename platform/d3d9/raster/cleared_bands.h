#pragma once
// What the rasterizer knows each band of a colour or depth buffer holds, so that a clear
// writes only what its last clear did not leave as it is. A band that a clear of the whole
// target filled with a value holds it, apart from the columns drawn or cleared since; the
// next clear to that value rewrites only those columns. The knowledge holds for one
// buffer's memory and lasts until anything outside the rasterizer writes pixel memory
// (notePixelWrite), since pixel memory changes hands between surfaces.
#include <d3d9.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kvd3d::raster {

constexpr int kBandRows = 32;  // threads take bands of rows, one at a time

class ClearedBands {
 public:
  // On the caller's thread while no band is being drawn, before a clear of this buffer is
  // queued: forgets what it knew unless it was about this very memory and nothing outside
  // the rasterizer has written pixel memory since. False when the buffer is not tracked
  // (no memory for the table), and the clear then writes every pixel.
  bool bind(const BYTE *base, INT pitch, UINT width, UINT height);
  // Columns [x0, x1) of rows [y0, y1) may no longer hold their band's value. Each band is
  // only ever marked by the thread drawing it.
  void touched(int y0, int y1, int x0, int x1);
  // Fills rows [y0, y1) (inside one band), columns [x0, x1), of the buffer at base with
  // value through fill(x0, x1), writing only what the band does not already hold.
  template <typename Fill>
  void clear(const BYTE *base, int y0, int y1, int x0, int x1, uint32_t value, Fill &&fill);

 private:
  struct Band {
    bool known = false;  // whether the band holds value outside [dirtyLeft, dirtyRight)
    uint32_t value = 0;
    int dirtyLeft = 0, dirtyRight = 0;
  };
  Band *bandOf(int y) {
    const size_t b = size_t(y / kBandRows);
    return y >= 0 && b < bands_.size() ? &bands_[b] : nullptr;
  }
  const BYTE *base_ = nullptr;
  INT pitch_ = 0;
  UINT width_ = 0, height_ = 0;
  uint64_t writes_ = 0;  // notePixelWrite count when bound
  std::vector<Band> bands_;
};

// How many times pixel memory was written from outside (notePixelWrite in rasterizer.h).
uint64_t pixelWrites();

template <typename Fill>
void ClearedBands::clear(const BYTE *base, int y0, int y1, int x0, int x1, uint32_t value, Fill &&fill) {
  Band *band = base == base_ ? bandOf(y0) : nullptr;
  if (!band) {
    fill(x0, x1);
    return;
  }
  const int bandTop = y0 / kBandRows * kBandRows;
  const bool whole = y0 == bandTop && y1 >= std::min<int>(bandTop + kBandRows, int(height_)) && x0 == 0 &&
                     x1 == int(width_);
  if (!whole) {
    fill(x0, x1);
    if (band->known && band->value == value) return;  // the band still holds value outside its dirty columns
    band->dirtyLeft = band->dirtyLeft < band->dirtyRight ? std::min(band->dirtyLeft, x0) : x0;
    band->dirtyRight = std::max(band->dirtyRight, x1);
    return;
  }
  if (band->known && band->value == value) {
    if (band->dirtyLeft < band->dirtyRight) fill(band->dirtyLeft, band->dirtyRight);
  } else {
    fill(x0, x1);
  }
  band->known = true;
  band->value = value;
  band->dirtyLeft = band->dirtyRight = 0;
}

}  // namespace kvd3d::raster
