#pragma once
// A bound on the depths stored in each run of 64 pixels of a row of the depth buffer: a
// span whose depth over such a run is beyond it fails the LESS / LESSEQUAL test at every
// pixel there, so the run is skipped without reading the buffer. The bounds only ever err
// high: LESS and LESSEQUAL only lower what is stored, other writers raise the bound to
// 0xFFFF (which bounds every 16-bit depth), and any access from outside the rasterizer
// resets them all to it. A run written since it was measured is measured again when a
// span could not be rejected on the bound it has. Testing costs a little per row and run;
// when a frame hid too few whole triangle rows to pay for it, the following frames only
// keep the bounds true, and every eighth frame tests again to see whether the scene has
// changed.
#include <cstdint>
#include <vector>

#include "draw_context.h"

namespace kvd3d::raster {

class DepthBounds {
 public:
  static constexpr int kShift = 6;  // 64 pixels a run

  // Ready for the target's depth buffer; nullptr when it has none this can follow or when
  // memory is short (drawing then simply reads every pixel). Bounds of another buffer, or
  // from before pixel memory was last touched from outside, start again at 0xFFFF.
  // `reallocating` is called first when the table must move in memory.
  template <typename BeforeMove>
  DepthBounds *prepare(const RenderTarget &t, BeforeMove &&reallocating);

  // Calls routine for [x0, x1) of the row, less the runs every pixel of which fails the
  // depth test, and measures again the runs a depth write may have changed.
  void shade(SpanRoutine routine, const DrawContext &ctx, const TriangleSetup &tri, const SpanRow &row, int x0,
             int x1);
  // Whether rowHidden is worth asking for this draw's rows.
  bool mayHideRows(const DrawContext &ctx) const {
    return testing_ && (ctx.depthFunc == D3DCMP_LESSEQUAL || ctx.depthFunc == D3DCMP_LESS);
  }
  // Whether every pixel of the triangle's row y (its z at column xRef given) lies behind
  // the bounds of the runs its clipped box spans: then the row needs no walk at all.
  bool rowHidden(const DrawContext &ctx, const TriangleSetup &tri, int y, float rowZ);
  // After a depth clear of [x0, x1) on row y with value.
  void cleared(int y, int x0, int x1, uint16_t value);
  // Before a clear of the whole depth buffer, which starts a frame: whether the next one tests.
  void frameStarts();
  uint64_t runsSkipped() const;

 private:
  uint16_t *boundsRow(int y) { return bounds_.data() + static_cast<size_t>(y) * runs_; }
  uint8_t *staleRow(int y) { return stale_.data() + static_cast<size_t>(y) * runs_; }
  void measure(int y, int run);
  bool sameBuffer(const RenderTarget &t) const {
    return t.depth == depth_ && t.depthPitch == pitch_ && t.width == width_ && t.height == height_;
  }
  bool allocate(const RenderTarget &t);

  std::vector<uint16_t> bounds_;
  std::vector<uint8_t> stale_;  // 1: written since last measured
  // Per row, so that threads drawing different rows never share a count.
  struct RowCounts {
    uint32_t rowsAsked = 0, rowsHidden = 0;  // triangle rows tested whole, and hidden
    uint32_t rejected = 0;                    // runs skipped
  };
  std::vector<RowCounts> counts_;
  uint64_t skippedBefore_ = 0;  // in frames already counted
  bool testing_ = true;
  int framesUntested_ = 0;
  int runs_ = 0;  // per row
  const BYTE *depth_ = nullptr;
  INT pitch_ = 0;
  UINT width_ = 0, height_ = 0;
  uint64_t epoch_ = 0;
};

// Counts accesses to pixel memory from outside the rasterizers (locks, copies, frees); a
// change since bounds were made resets them.
uint64_t pixelEpoch();
void notePixelAccess();

template <typename BeforeMove>
DepthBounds *DepthBounds::prepare(const RenderTarget &t, BeforeMove &&reallocating) {
  if (!t.depth || (t.depthFormat != D3DFMT_D16 && t.depthFormat != D3DFMT_D16_LOCKABLE) ||
      t.depthPitch < static_cast<INT>(t.width) * 2)
    return nullptr;
  if (!sameBuffer(t)) {
    reallocating();
    if (!allocate(t)) return nullptr;
  } else if (epoch_ != pixelEpoch()) {
    bounds_.assign(bounds_.size(), 0xFFFF);
    stale_.assign(stale_.size(), 1);
    epoch_ = pixelEpoch();
  }
  return this;
}

}  // namespace kvd3d::raster
