// The linear filters: two taps per axis, bilinear for surfaces and trilinear for volumes.
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "math/sse/simd_routines.h"
#include "pixel/convert/conversion_job.h"
#include "pixel/convert/resampling_tables.h"
#include "pixel/convert/row_halves.h"

#include "pixel/convert/raw_pixels.h"

#if KV_MATH_HAS_SIMD
#include <immintrin.h>
#include <cstring>

#include "pixel/formats/packed_simd.h"
#endif

namespace kv {
namespace {

// Source rows held in buffers, each tagged with the (row, slice) it holds. Asking for a set
// of rows moves buffers that already hold one into place (the window sliding by one swaps
// instead of reading again) and reads only the rows missing.
template <size_t N>
class RowWindow {
 public:
  // `columns` non-null: rows are read as just those columns (readColumns), `width` of them.
  bool allocate(uint32_t width, const uint32_t *columns = nullptr) {
    columns_ = columns;
    width_ = width;
    for (Slot &slot : slots_) {
      slot.pixels = allocatePixels(width);
      if (!slot.pixels) return false;
    }
    return true;
  }

  void fetch(PixelCodec &source, const int32_t (&rows)[N], const int32_t (&slices)[N]) {
    for (size_t i = 0; i < N; ++i) {
      if (holds(i, rows[i], slices[i])) continue;
      for (size_t j = i + 1; j < N; ++j)
        if (holds(j, rows[i], slices[i])) {
          std::swap(slots_[i], slots_[j]);
          break;
        }
    }
    for (size_t i = 0; i < N; ++i) {
      if (holds(i, rows[i], slices[i])) continue;
      if (!columns_ || !source.readColumns(uint32_t(rows[i]), uint32_t(slices[i]), columns_, width_, slots_[i].pixels.get()))
        source.readRow(uint32_t(rows[i]), uint32_t(slices[i]), slots_[i].pixels.get());
      slots_[i].row = rows[i];
      slots_[i].slice = slices[i];
    }
  }

  const float *operator[](size_t i) const { return slots_[i].pixels.get(); }

 private:
  struct Slot {
    std::unique_ptr<float[]> pixels;
    int32_t row = -1, slice = -1;
  };
  bool holds(size_t i, int32_t row, int32_t slice) const { return slots_[i].row == row && slots_[i].slice == slice; }
  Slot slots_[N];
  const uint32_t *columns_ = nullptr;
  uint32_t width_ = 0;
};

// For a reduction: the source columns the x taps touch, ascending, and the taps renumbered
// to index that list. False (taps untouched) when more than half the columns are touched
// (reading whole rows is cheaper then) or the codec cannot read single columns.
bool compactColumns(PixelCodec &source, std::vector<LinearTap> &xTaps, std::vector<uint32_t> &columns) {
  const uint32_t width = source.width();
  if (size_t(xTaps.size()) * 2 > width) return false;
  std::vector<int32_t> index;
  try {
    index.assign(width, -1);
    constexpr int32_t kTouched = INT32_MAX;
    for (const LinearTap &t : xTaps) index[size_t(t.first)] = index[size_t(t.second)] = kTouched;
    for (uint32_t x = 0; x < width; ++x)
      if (index[x] == kTouched) {
        index[x] = int32_t(columns.size());
        columns.push_back(x);
      }
  } catch (const std::bad_alloc &) {
    return false;
  }
  float probe[4];
  if (columns.empty() || columns.size() * 2 > width || !source.readColumns(0, 0, columns.data(), 1, probe)) return false;
  for (LinearTap &t : xTaps) {
    t.first = index[size_t(t.first)];
    t.second = index[size_t(t.second)];
  }
  return true;
}

// wy0 * (wx0 * A[x0] + wx1 * A[x1]) + wy1 * (wx0 * B[x0] + wx1 * B[x1]), channel by channel
// (a pixel's four channels in one vector where the processor has them; the same
// operations in the same order either way). With `accumulate`, out += weight * that.
#if KV_MATH_HAS_SIMD
KV_TARGET_SSE void blendRows(const std::vector<LinearTap> &xTaps, const LinearTap &yTap, const float *a, const float *b,
                             float weight, float *out, bool accumulate) {
  const __m128 wy0 = _mm_set1_ps(yTap.firstWeight), wy1 = _mm_set1_ps(yTap.secondWeight);
  const __m128 w = _mm_set1_ps(weight);
  const size_t width = xTaps.size();
  for (size_t x = 0; x < width; ++x) {
    const LinearTap &t = xTaps[x];
    const __m128 wx0 = _mm_set1_ps(t.firstWeight), wx1 = _mm_set1_ps(t.secondWeight);
    const size_t i0 = size_t(t.first) * 4, i1 = size_t(t.second) * 4;
    const __m128 top = _mm_add_ps(_mm_mul_ps(wx0, _mm_loadu_ps(a + i0)), _mm_mul_ps(wx1, _mm_loadu_ps(a + i1)));
    const __m128 bottom = _mm_add_ps(_mm_mul_ps(wx0, _mm_loadu_ps(b + i0)), _mm_mul_ps(wx1, _mm_loadu_ps(b + i1)));
    const __m128 value = _mm_add_ps(_mm_mul_ps(wy0, top), _mm_mul_ps(wy1, bottom));
    float *p = out + x * 4;
    _mm_storeu_ps(p, accumulate ? _mm_add_ps(_mm_loadu_ps(p), _mm_mul_ps(w, value)) : value);
  }
}
#else
void blendRows(const std::vector<LinearTap> &xTaps, const LinearTap &yTap, const float *a, const float *b, float weight,
               float *out, bool accumulate) {
  const size_t width = xTaps.size();
  for (size_t x = 0; x < width; ++x) {
    const LinearTap &t = xTaps[x];
    const float *a0 = a + size_t(t.first) * 4, *a1 = a + size_t(t.second) * 4;
    const float *b0 = b + size_t(t.first) * 4, *b1 = b + size_t(t.second) * 4;
    float *p = out + x * 4;
    for (int c = 0; c < 4; ++c) {
      const float value = yTap.firstWeight * (t.firstWeight * a0[c] + t.secondWeight * a1[c]) +
                          yTap.secondWeight * (t.firstWeight * b0[c] + t.secondWeight * b1[c]);
      p[c] = accumulate ? p[c] + weight * value : value;
    }
  }
}
#endif

#if KV_MATH_HAS_SIMD
// One A8R8G8B8 word as the codec unpacks it: floats R, G, B, A scaled by 1/255.
KV_TARGET_SSE2 inline __m128 unpackWord(const uint8_t *p, __m128 scale) {
  int32_t word;
  std::memcpy(&word, p, 4);
  const __m128i zero = _mm_setzero_si128();
  const __m128 f = _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero)), scale);
  return _mm_shuffle_ps(f, f, _MM_SHUFFLE(3, 0, 1, 2));
}

// blendRows straight from two rows of A8R8G8B8 words, from pixel `from` on: the four taps
// unpacked as readRow would, then the very operations of blendRows, without whole
// floating rows in between.
KV_TARGET_SSE2 void blendArgbRows(const std::vector<LinearTap> &xTaps, const LinearTap &yTap, const uint8_t *a,
                                  const uint8_t *b, float *out, size_t from) {
  const __m128 scale = _mm_set1_ps(1.0f / 255.0f);
  const __m128 wy0 = _mm_set1_ps(yTap.firstWeight), wy1 = _mm_set1_ps(yTap.secondWeight);
  const size_t width = xTaps.size();
  for (size_t x = from; x < width; ++x) {
    const LinearTap &t = xTaps[x];
    const __m128 wx0 = _mm_set1_ps(t.firstWeight), wx1 = _mm_set1_ps(t.secondWeight);
    const size_t i0 = size_t(t.first) * 4, i1 = size_t(t.second) * 4;
    const __m128 top = _mm_add_ps(_mm_mul_ps(wx0, unpackWord(a + i0, scale)), _mm_mul_ps(wx1, unpackWord(a + i1, scale)));
    const __m128 bottom =
        _mm_add_ps(_mm_mul_ps(wx0, unpackWord(b + i0, scale)), _mm_mul_ps(wx1, unpackWord(b + i1, scale)));
    _mm_storeu_ps(out + x * 4, _mm_add_ps(_mm_mul_ps(wy0, top), _mm_mul_ps(wy1, bottom)));
  }
}

// Two A8R8G8B8 words (the low 8 bytes) as floats R, G, B, A, one pixel in each half.
KV_TARGET_AVX2 inline __m256 unpackLow8(__m128i bytes, __m256 scale) {
  const __m256 f = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(bytes)), scale);
  return _mm256_shuffle_ps(f, f, _MM_SHUFFLE(3, 0, 1, 2));
}

// Words 0 and 2 of four in a row as one pair, words 1 and 3 as the other.
KV_TARGET_AVX2 inline void unpackWordRun(const uint8_t *p, __m256 scale, __m256 &evens, __m256 &odds) {
  const __m128i words = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), _MM_SHUFFLE(3, 1, 2, 0));
  evens = unpackLow8(words, scale);
  odds = unpackLow8(_mm_unpackhi_epi64(words, words), scale);
}

KV_TARGET_AVX2 inline __m256 unpackWordPair(const uint8_t *first, const uint8_t *second, __m256 scale) {
  int32_t w0, w1;
  std::memcpy(&w0, first, 4);
  std::memcpy(&w1, second, 4);
  return unpackLow8(_mm_set_epi32(0, 0, w1, w0), scale);
}

static_assert(sizeof(LinearTap) == 16 && offsetof(LinearTap, firstWeight) == 4 && offsetof(LinearTap, secondWeight) == 12,
              "two taps fill a register, each weight at float 1 and 3 of its half");

// Two destination pixels at a time, one in each half of the register: per pixel the very
// operations of blendArgbRows (no fused multiply-add), so the bits are the same. Returns
// how many pixels it did; blendArgbRows does the rest.
KV_TARGET_AVX2 size_t blendArgbRowsAvx2(const std::vector<LinearTap> &xTaps, const LinearTap &yTap, const uint8_t *a,
                                        const uint8_t *b, float *out) {
  const __m256 scale = _mm256_set1_ps(1.0f / 255.0f);
  const __m256 wy0 = _mm256_set1_ps(yTap.firstWeight), wy1 = _mm256_set1_ps(yTap.secondWeight);
  const size_t width = xTaps.size();
  size_t x = 0;
  for (; x + 2 <= width; x += 2) {
    const LinearTap &t = xTaps[x], &u = xTaps[x + 1];
    // The two taps side by side, one in each half: each weight spread over its half.
    const __m256 taps = _mm256_loadu_ps(reinterpret_cast<const float *>(&t));
    const __m256 wx0 = _mm256_permute_ps(taps, _MM_SHUFFLE(1, 1, 1, 1));
    const __m256 wx1 = _mm256_permute_ps(taps, _MM_SHUFFLE(3, 3, 3, 3));
    const size_t t0 = size_t(t.first) * 4, t1 = size_t(t.second) * 4, u0 = size_t(u.first) * 4,
                 u1 = size_t(u.second) * 4;
    __m256 aFirst, aSecond, bFirst, bSecond;
    if (t1 == t0 + 4 && u0 == t0 + 8 && u1 == t0 + 12) {
      // A halving: the four taps are four words in a row, read at once.
      unpackWordRun(a + t0, scale, aFirst, aSecond);
      unpackWordRun(b + t0, scale, bFirst, bSecond);
    } else {
      aFirst = unpackWordPair(a + t0, a + u0, scale);
      aSecond = unpackWordPair(a + t1, a + u1, scale);
      bFirst = unpackWordPair(b + t0, b + u0, scale);
      bSecond = unpackWordPair(b + t1, b + u1, scale);
    }
    const __m256 top = _mm256_add_ps(_mm256_mul_ps(wx0, aFirst), _mm256_mul_ps(wx1, aSecond));
    const __m256 bottom = _mm256_add_ps(_mm256_mul_ps(wx0, bFirst), _mm256_mul_ps(wx1, bSecond));
    _mm256_storeu_ps(out + x * 4, _mm256_add_ps(_mm256_mul_ps(wy0, top), _mm256_mul_ps(wy1, bottom)));
  }
  return x;
}

// The direct path: an A8R8G8B8 source whose rows need nothing after unpacking (no colour
// key, no gamma decoding), where the codecs' vector routines run too.
bool takesArgbPath(const ConversionJob &job) {
  const PixelCodec &src = *job.source;
  return src.format() == D3DFMT_A8R8G8B8 && !src.hasColorKey() && !src.gamma() && packedSimdActive();
}
#endif

// The tap tables of x, y and (for volumes) z, each wrapping unless its mirror bit is set.
bool buildJobTaps(const ConversionJob &job, bool withDepth, std::vector<LinearTap> (&taps)[3]) {
  const PixelCodec &src = *job.source, &dst = *job.destination;
  return buildLinearTaps(src.width(), dst.width(), !(job.flags & MirrorU), taps[0]) &&
         buildLinearTaps(src.height(), dst.height(), !(job.flags & MirrorV), taps[1]) &&
         (!withDepth || buildLinearTaps(src.depth(), dst.depth(), !(job.flags & MirrorW), taps[2]));
}

}  // namespace

HRESULT linear2D(ConversionJob &job) {
  if (filterCode(job.flags) != FilterLinear) return E_FAIL;
  PixelCodec &src = *job.source, &dst = *job.destination;
  if (src.depth() != 1 || dst.depth() != 1) return E_FAIL;
  std::vector<LinearTap> taps[3];
  if (!buildJobTaps(job, false, taps)) return E_OUTOFMEMORY;
#if KV_MATH_HAS_SIMD
  if (takesArgbPath(job)) {
    const RawRegion region = rawRegion(job.sourceBox, 4);
    const bool wide = processorHasAvx2();
    const auto rows = [&](uint32_t first, uint32_t last) {
      auto out = allocatePixels(dst.width());
      if (!out) return false;
      for (uint32_t y = first; y < last; ++y) {
        const LinearTap &tap = taps[1][y];
        const uint8_t *a = region.row(uint32_t(tap.first), 0), *b = region.row(uint32_t(tap.second), 0);
        blendArgbRows(taps[0], tap, a, b, out.get(), wide ? blendArgbRowsAvx2(taps[0], tap, a, b, out.get()) : 0);
        dst.writeRow(y, 0, out.get());
      }
      return true;
    };
    const uint64_t pixels = uint64_t(dst.width()) * dst.height();
    return runRowHalves(dst.height(), pixels, dst.writesRowsApart(), rows) ? S_OK : E_OUTOFMEMORY;
  }
#endif
  std::vector<uint32_t> columns;
  const bool compact = compactColumns(src, taps[0], columns);
  const std::vector<LinearTap> &xTaps = taps[0], &yTaps = taps[1];
  RowWindow<2> window;
  auto out = allocatePixels(dst.width());
  if (!out || !(compact ? window.allocate(uint32_t(columns.size()), columns.data()) : window.allocate(src.width())))
    return E_OUTOFMEMORY;
  for (uint32_t y = 0; y < dst.height(); ++y) {
    const LinearTap &tap = yTaps[y];
    window.fetch(src, {tap.first, tap.second}, {0, 0});
    blendRows(xTaps, tap, window[0], window[1], 1.f, out.get(), false);
    dst.writeRow(y, 0, out.get());
  }
  return S_OK;
}

HRESULT linear3D(ConversionJob &job) {
  if (filterCode(job.flags) != FilterLinear) return E_FAIL;
  PixelCodec &src = *job.source, &dst = *job.destination;
  std::vector<LinearTap> taps[3];
  if (!buildJobTaps(job, true, taps)) return E_OUTOFMEMORY;
  const std::vector<LinearTap> &xTaps = taps[0], &yTaps = taps[1], &zTaps = taps[2];
  RowWindow<4> window;
  auto out = allocatePixels(dst.width());
  if (!window.allocate(src.width()) || !out) return E_OUTOFMEMORY;
  for (uint32_t z = 0; z < dst.depth(); ++z) {
    const LinearTap &zt = zTaps[z];
    for (uint32_t y = 0; y < dst.height(); ++y) {
      const LinearTap &yt = yTaps[y];
      window.fetch(src, {yt.first, yt.second, yt.first, yt.second}, {zt.first, zt.first, zt.second, zt.second});
      blendRows(xTaps, yt, window[0], window[1], 1.f, out.get(), false);
      for (size_t i = 0; i < size_t(dst.width()) * 4; ++i) out[i] *= zt.firstWeight;
      blendRows(xTaps, yt, window[2], window[3], zt.secondWeight, out.get(), true);
      dst.writeRow(y, z, out.get());
    }
  }
  return S_OK;
}

}  // namespace kv
