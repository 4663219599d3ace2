#include "depth_bounds.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kvd3d::raster {

namespace {
std::atomic<uint64_t> gPixelEpoch{1};
constexpr int kRun = 1 << DepthBounds::kShift;
}  // namespace

uint64_t pixelEpoch() { return gPixelEpoch.load(std::memory_order_acquire); }
void notePixelAccess() { gPixelEpoch.fetch_add(1, std::memory_order_acq_rel); }

bool DepthBounds::allocate(const RenderTarget &t) {
  depth_ = nullptr;
  const int runs = static_cast<int>((t.width + kRun - 1) >> DepthBounds::kShift);
  try {
    bounds_.assign(static_cast<size_t>(runs) * t.height, 0xFFFF);
    stale_.assign(bounds_.size(), 1);
    counts_.assign(t.height, RowCounts{});
  } catch (const std::bad_alloc &) {
    bounds_.clear();
    stale_.clear();
    counts_.clear();
    return false;
  }
  runs_ = runs;
  depth_ = t.depth;
  pitch_ = t.depthPitch;
  width_ = t.width;
  height_ = t.height;
  epoch_ = pixelEpoch();
  return true;
}

namespace {

// The largest of n 16-bit values.
uint16_t largest(const uint16_t *p, int n) {
  int i = 0;
  uint16_t most = 0;
#if defined(__SSE2__)
  // Signed maximum of values moved down by 0x8000 orders them as unsigned.
  const __m128i bias = _mm_set1_epi16(static_cast<short>(0x8000));
  __m128i m = _mm_set1_epi16(static_cast<short>(0x8000));
  for (; i + 8 <= n; i += 8)
    m = _mm_max_epi16(m, _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i)), bias));
  m = _mm_max_epi16(m, _mm_shuffle_epi32(m, 0x4E));
  m = _mm_max_epi16(m, _mm_shuffle_epi32(m, 0xB1));
  m = _mm_max_epi16(m, _mm_shufflelo_epi16(m, 0xB1));
  most = static_cast<uint16_t>(_mm_cvtsi128_si32(m) ^ 0x8000);
#endif
  for (; i < n; ++i) {
    uint16_t v;
    std::memcpy(&v, p + i, sizeof v);
    most = std::max(most, v);
  }
  return most;
}

}  // namespace

void DepthBounds::measure(int y, int r) {
  const auto *row = reinterpret_cast<const uint16_t *>(depth_ + static_cast<ptrdiff_t>(y) * pitch_);
  const int begin = r * kRun, end = std::min<int>(begin + kRun, static_cast<int>(width_));
  boundsRow(y)[r] = largest(row + begin, end - begin);
  staleRow(y)[r] = 0;
}

void DepthBounds::shade(SpanRoutine routine, const DrawContext &ctx, const TriangleSetup &tri, const SpanRow &row,
                        int x0, int x1) {
  const bool lessEqual = ctx.depthFunc == D3DCMP_LESSEQUAL;
  // Only LESS and LESSEQUAL reject on the bound, and only they keep it true when they write.
  const bool rejects = lessEqual || ctx.depthFunc == D3DCMP_LESS;
  const bool tests = rejects && testing_;
  uint32_t rejected = 0;
  uint16_t *bound = boundsRow(row.y);
  uint8_t *stale = staleRow(row.y);
  // The span's depth at a pixel, as every routine computes it. Every step of it rounds
  // monotonically, so along the row it never falls when z grows to the right and never
  // rises when z falls: over a run it is least at the left end, or in the second case at
  // the right end. One end is enough.
  auto depthAt = [&](int x) { return quantizeDepth(row.z + tri.z.dx * static_cast<float>(x - tri.xRef)); };
  const bool leastAtLeft = !(tri.z.dx < 0.0f);
  auto failsAll = [&](uint32_t least, int r) { return lessEqual ? least > bound[r] : least >= bound[r]; };

  // Pixels [begin, end) of runs [firstRun, endRun) go to the routine.
  auto draw = [&](int begin, int end, int firstRun, int endRun) {
    routine(ctx, tri, row, begin, end);
    if (!ctx.depthWrite) return;
    for (int r = firstRun; r < endRun; ++r) {
      stale[r] = 1;
      if (!rejects) bound[r] = 0xFFFF;  // the depths there may have risen
    }
  };
  if (!tests) {
    // Nothing is skipped: the whole span is drawn, and only its runs' bounds kept true.
    draw(x0, x1, x0 >> kShift, ((x1 - 1) >> kShift) + 1);
    return;
  }

  int pending = -1, pendingRun = 0;  // start of the pixels not yet drawn, and its run
  for (int x = x0; x < x1;) {
    const int r = x >> kShift, end = std::min(x1, (r + 1) * kRun);
    bool fails = false;
    // A run untouched since a clear to the farthest depth cannot fail LESSEQUAL everywhere.
    if (!(lessEqual && bound[r] == 0xFFFF && !stale[r])) {
      const uint32_t least = depthAt(leastAtLeft ? x : end - 1);
      fails = failsAll(least, r);
      if (!fails && stale[r]) {
        // Written since it was last measured: measured now, as it may have come nearer.
        measure(row.y, r);
        fails = failsAll(least, r);
      }
      rejected += fails;
    }
    if (fails && pending >= 0) {
      draw(pending, x, pendingRun, r);
      pending = -1;
    } else if (!fails && pending < 0) {
      pending = x;
      pendingRun = r;
    }
    x = end;
  }
  if (pending >= 0) draw(pending, x1, pendingRun, ((x1 - 1) >> kShift) + 1);
  counts_[row.y].rejected += rejected;
}

bool DepthBounds::rowHidden(const DrawContext &ctx, const TriangleSetup &tri, int y, float rowZ) {
  const int x0 = tri.clipLeft, x1 = tri.clipRight;
  if (x0 >= x1) return false;
  // The depth along a row is monotonic (see shade), so over the box's columns it is least
  // at the end z falls towards.
  const int x = tri.z.dx < 0.0f ? x1 - 1 : x0;
  const uint32_t least = quantizeDepth(rowZ + tri.z.dx * static_cast<float>(x - tri.xRef));
  const uint16_t *bound = boundsRow(y);
  const int first = x0 >> kShift, last = (x1 - 1) >> kShift;
  uint32_t most = 0;
  for (int r = first; r <= last; ++r) most = std::max<uint32_t>(most, bound[r]);
  const bool hidden = ctx.depthFunc == D3DCMP_LESSEQUAL ? least > most : least >= most;
  RowCounts &c = counts_[y];
  ++c.rowsAsked;
  if (hidden) {
    ++c.rowsHidden;
    c.rejected += static_cast<uint32_t>(last - first + 1);
  }
  return hidden;
}

void DepthBounds::frameStarts() {
  uint64_t asked = 0, hidden = 0;
  for (RowCounts &c : counts_) {
    asked += c.rowsAsked;
    hidden += c.rowsHidden;
    skippedBefore_ += c.rejected;
    c = RowCounts{};
  }
  if (testing_) {
    // What pays is passing over whole rows (no edge walk, no span). Runs skipped inside a
    // span save little: the routines reject a group of pixels behind the depth buffer
    // cheaply themselves. A frame where few rows were hidden does better without testing.
    testing_ = asked == 0 || hidden * 10 >= asked;
    framesUntested_ = 0;
  } else {
    testing_ = ++framesUntested_ >= 8;
  }
}

void DepthBounds::cleared(int y, int x0, int x1, uint16_t value) {
  uint16_t *bound = boundsRow(y);
  uint8_t *stale = staleRow(y);
  // Runs wholly inside take the value; one cut by an edge keeps a bound on both parts.
  const int whole = (x0 + kRun - 1) >> kShift;
  const int wholeEnd = x1 >= static_cast<int>(width_) ? runs_ : x1 >> kShift;
  if (whole < wholeEnd) {
    std::fill(bound + whole, bound + wholeEnd, value);
    std::fill(stale + whole, stale + wholeEnd, uint8_t(0));
  }
  auto cut = [&](int r) {
    bound[r] = std::max(bound[r], value);
    stale[r] = 1;
  };
  if (x0 >> kShift < whole) cut(x0 >> kShift);
  if (wholeEnd < runs_ && wholeEnd * kRun < x1 && wholeEnd >= whole) cut(wholeEnd);
}

uint64_t DepthBounds::runsSkipped() const {
  uint64_t total = skippedBefore_;
  for (const RowCounts &c : counts_) total += c.rejected;
  return total;
}

}  // namespace kvd3d::raster
