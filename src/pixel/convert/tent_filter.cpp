// The tent (triangle) filters for any ratio. Each source row is read once and scattered
// into every destination row it feeds; finished rows are written at once and their
// accumulators recycled.
#include <algorithm>
#include <vector>

#include "math/sse/simd_routines.h"
#include "pixel/convert/conversion_job.h"
#include "pixel/convert/resampling_tables.h"

#if KV_MATH_HAS_SIMD
#include <xmmintrin.h>
#endif

namespace kv {
namespace {

// Accumulators for destination rows (2D) or slices (3D): a buffer while contributions are
// pending, the count of source rows or slices still to come, and a free list.
class Accumulators {
 public:
  bool prepare(uint32_t count, uint64_t pixelsEach) {
    try {
      buffers_.assign(count, nullptr);
      remaining_.assign(count, 0);
    } catch (const std::bad_alloc &) {
      return false;
    }
    pixels_ = pixelsEach;
    return true;
  }

  void expect(uint32_t index) { ++remaining_[index]; }
  // Whether any source row or slice contributes to `index` (all may weigh too little when
  // the source is very much larger than the destination).
  bool fed(uint32_t index) const { return remaining_[index] != 0; }

  // The buffer of `index`, zeroed when it is newly given one; null when memory runs out.
  float *acquire(uint32_t index) {
    if (buffers_[index]) return buffers_[index];
    std::unique_ptr<float[]> buffer;
    if (!free_.empty()) {
      buffer = std::move(free_.back());
      free_.pop_back();
      std::fill_n(buffer.get(), size_t(pixels_) * 4, 0.f);
    } else {
      buffer = allocatePixels(pixels_);
      if (!buffer) return nullptr;
    }
    buffers_[index] = buffer.get();
    try {
      owned_.push_back(std::move(buffer));
    } catch (const std::bad_alloc &) {
      buffers_[index] = nullptr;
      return nullptr;
    }
    return buffers_[index];
  }

  // True when `index` had its last contribution.
  bool complete(uint32_t index) { return --remaining_[index] == 0; }

  void recycle(uint32_t index) {
    float *buffer = buffers_[index];
    buffers_[index] = nullptr;
    for (auto &owned : owned_)
      if (owned.get() == buffer) {
        free_.push_back(std::move(owned));
        owned = std::move(owned_.back());
        owned_.pop_back();
        return;
      }
  }

 private:
  std::vector<float *> buffers_;
  std::vector<uint32_t> remaining_;
  std::vector<std::unique_ptr<float[]>> owned_, free_;
  uint64_t pixels_ = 0;
};

// One source row resampled along x: out[c] = sum over source pixels x of row[x] * w(x, c).
// A pixel is four floats: one vector operation per entry where the processor has them.
#if KV_MATH_HAS_SIMD
KV_TARGET_SSE void scatterRow(const TentList &xList, const float *row, uint32_t sourceWidth, float *out,
                              uint32_t width) {
  std::fill_n(out, size_t(width) * 4, 0.f);
  for (uint32_t x = 0; x < sourceWidth; ++x) {
    const __m128 p = _mm_loadu_ps(row + size_t(x) * 4);
    for (const TentList::Entry *e = xList.begin(x); e != xList.end(x); ++e) {
      float *q = out + size_t(e->destination) * 4;
      _mm_storeu_ps(q, _mm_add_ps(_mm_loadu_ps(q), _mm_mul_ps(p, _mm_set1_ps(e->weight))));
    }
  }
}

KV_TARGET_SSE void addScaled(float *to, const float *from, float weight, size_t floats) {
  const __m128 w = _mm_set1_ps(weight);
  for (size_t i = 0; i < floats; i += 4)  // whole pixels: a multiple of four floats
    _mm_storeu_ps(to + i, _mm_add_ps(_mm_loadu_ps(to + i), _mm_mul_ps(_mm_loadu_ps(from + i), w)));
}
#else
void scatterRow(const TentList &xList, const float *row, uint32_t sourceWidth, float *out, uint32_t width) {
  std::fill_n(out, size_t(width) * 4, 0.f);
  for (uint32_t x = 0; x < sourceWidth; ++x) {
    const float *p = row + size_t(x) * 4;
    for (const TentList::Entry *e = xList.begin(x); e != xList.end(x); ++e) {
      float *q = out + size_t(e->destination) * 4;
      for (int c = 0; c < 4; ++c) q[c] += p[c] * e->weight;
    }
  }
}

void addScaled(float *to, const float *from, float weight, size_t floats) {
  for (size_t i = 0; i < floats; ++i) to[i] += from[i] * weight;
}
#endif

}  // namespace

HRESULT triangle2D(ConversionJob &job) {
  PixelCodec &src = *job.source, &dst = *job.destination;
  if (src.depth() != 1 || dst.depth() != 1) return E_FAIL;
  const uint32_t W = src.width(), H = src.height(), w = dst.width(), h = dst.height();
  TentList xList, yList;
  Accumulators rows;
  if (!xList.build(W, w, !(job.flags & MirrorU)) || !yList.build(H, h, !(job.flags & MirrorV)) || !rows.prepare(h, w))
    return E_OUTOFMEMORY;
  for (uint32_t i = 0; i < H; ++i)
    for (const TentList::Entry *e = yList.begin(i); e != yList.end(i); ++e) rows.expect(uint32_t(e->destination));
  auto sourceRow = allocatePixels(W), resampled = allocatePixels(w);
  if (!sourceRow || !resampled) return E_OUTOFMEMORY;
  // Rows no source row feeds are written as transparent black rather than left as they were.
  for (uint32_t r = 0; r < h; ++r)
    if (!rows.fed(r)) {
      std::fill_n(resampled.get(), size_t(w) * 4, 0.f);
      dst.writeRow(r, 0, resampled.get());
    }

  for (uint32_t i = 0; i < H; ++i) {
    if (yList.begin(i) == yList.end(i)) continue;
    for (const TentList::Entry *e = yList.begin(i); e != yList.end(i); ++e)
      if (!rows.acquire(uint32_t(e->destination))) return E_OUTOFMEMORY;
    src.readRow(i, 0, sourceRow.get());
    scatterRow(xList, sourceRow.get(), W, resampled.get(), w);
    for (const TentList::Entry *e = yList.begin(i); e != yList.end(i); ++e)
      addScaled(rows.acquire(uint32_t(e->destination)), resampled.get(), e->weight, size_t(w) * 4);
    for (const TentList::Entry *e = yList.begin(i); e != yList.end(i); ++e) {
      const uint32_t r = uint32_t(e->destination);
      if (!rows.complete(r)) continue;
      float *row = rows.acquire(r);
      clampToRange(row, w, src.range());
      dst.writeRow(r, 0, row);
      rows.recycle(r);
    }
  }
  return S_OK;
}

HRESULT triangle3D(ConversionJob &job) {
  PixelCodec &src = *job.source, &dst = *job.destination;
  const uint32_t W = src.width(), H = src.height(), D = src.depth(), w = dst.width(), h = dst.height(), d = dst.depth();
  TentList xList, yList, zList;
  Accumulators slices;
  if (!xList.build(W, w, !(job.flags & MirrorU)) || !yList.build(H, h, !(job.flags & MirrorV)) ||
      !zList.build(D, d, !(job.flags & MirrorW)) || !slices.prepare(d, uint64_t(w) * h))
    return E_OUTOFMEMORY;
  for (uint32_t k = 0; k < D; ++k)
    for (const TentList::Entry *e = zList.begin(k); e != zList.end(k); ++e) slices.expect(uint32_t(e->destination));
  auto sourceRow = allocatePixels(W), resampled = allocatePixels(w);
  if (!sourceRow || !resampled) return E_OUTOFMEMORY;
  const size_t rowFloats = size_t(w) * 4;
  for (uint32_t z = 0; z < d; ++z)
    if (!slices.fed(z))
      for (uint32_t y = 0; y < h; ++y) {
        std::fill_n(resampled.get(), rowFloats, 0.f);
        dst.writeRow(y, z, resampled.get());
      }

  for (uint32_t k = 0; k < D; ++k) {
    if (zList.begin(k) == zList.end(k)) continue;
    for (const TentList::Entry *e = zList.begin(k); e != zList.end(k); ++e)
      if (!slices.acquire(uint32_t(e->destination))) return E_OUTOFMEMORY;
    for (uint32_t i = 0; i < H; ++i) {
      if (yList.begin(i) == yList.end(i)) continue;
      src.readRow(i, k, sourceRow.get());
      scatterRow(xList, sourceRow.get(), W, resampled.get(), w);
      for (const TentList::Entry *ez = zList.begin(k); ez != zList.end(k); ++ez) {
        float *slice = slices.acquire(uint32_t(ez->destination));
        for (const TentList::Entry *ey = yList.begin(i); ey != yList.end(i); ++ey)
          addScaled(slice + size_t(ey->destination) * rowFloats, resampled.get(), ez->weight * ey->weight, rowFloats);
      }
    }
    for (const TentList::Entry *e = zList.begin(k); e != zList.end(k); ++e) {
      const uint32_t s = uint32_t(e->destination);
      if (!slices.complete(s)) continue;
      float *slice = slices.acquire(s);
      for (uint32_t y = 0; y < h; ++y) {
        float *row = slice + size_t(y) * rowFloats;
        clampToRange(row, w, src.range());
        dst.writeRow(y, s, row);
      }
      slices.recycle(s);
    }
  }
  return S_OK;
}

}  // namespace kv
