#include "cleared_bands.h"

#include <atomic>
#include <new>

namespace kvd3d::raster {

namespace {
std::atomic<uint64_t> gPixelWrites{0};
}  // namespace

void notePixelWrite() { gPixelWrites.fetch_add(1, std::memory_order_acq_rel); }
uint64_t pixelWrites() { return gPixelWrites.load(std::memory_order_acquire); }

bool ClearedBands::bind(const BYTE *base, INT pitch, UINT width, UINT height) {
  const uint64_t writes = pixelWrites();
  if (base == base_ && pitch == pitch_ && width == width_ && height == height_ && writes == writes_ && base)
    return true;
  base_ = nullptr;
  try {
    bands_.assign((size_t(height) + kBandRows - 1) / kBandRows, Band{});
  } catch (const std::bad_alloc &) {
    bands_.clear();
    return false;
  }
  base_ = base;
  pitch_ = pitch;
  width_ = width;
  height_ = height;
  writes_ = writes;
  return base != nullptr;
}

void ClearedBands::touched(int y0, int y1, int x0, int x1) {
  y0 = std::max(y0, 0);
  if (y0 >= y1 || x0 >= x1) return;
  for (int y = y0 / kBandRows * kBandRows; y < y1; y += kBandRows) {
    Band *band = bandOf(y);
    if (!band) return;
    if (!band->known) continue;
    band->dirtyLeft = band->dirtyLeft < band->dirtyRight ? std::min(band->dirtyLeft, x0) : x0;
    band->dirtyRight = std::max(band->dirtyRight, x1);
  }
}

}  // namespace kvd3d::raster
