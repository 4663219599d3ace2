#include "pixel/convert/resampling_tables.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace kv {

bool buildLinearTaps(uint32_t n, uint32_t m, bool wrap, std::vector<LinearTap> &taps) {
  try {
    taps.resize(m);
  } catch (const std::bad_alloc &) {
    return false;
  }
  const float scale = float(n) / float(m);
  const int32_t last = int32_t(n) - 1;
  for (uint32_t i = 0; i < m; ++i) {
    // The destination centre maps to (i + 0.5) * scale; the two nearest source centres share
    // the weight linearly.
    const float c = (float(i) + 0.5f) * scale + 0.5f;
    const int32_t j = int32_t(c);
    LinearTap &tap = taps[i];
    tap.first = j - 1;
    tap.firstWeight = float(j + 1) - c;
    tap.second = j;
    tap.secondWeight = 1.f - tap.firstWeight;
    if (tap.first < 0) tap.first = wrap ? last : 0;
    if (tap.second > last) tap.second = wrap ? 0 : last;
    // Rounding in the single-precision position must never step outside the source.
    tap.first = std::min(tap.first, last);
  }
  return true;
}

bool TentList::build(uint32_t n, uint32_t m, bool wrap) {
  try {
    offsets_.assign(size_t(n) + 1, 0);
    entries_.clear();
    // Each source index feeds about b + 2 destination cells per half.
    entries_.reserve(size_t(n) * (size_t(std::ceil(double(m) / n)) + 3) * 2);
    const float b = float(m) / float(n);
    const float half = 0.5f / b;
    for (uint32_t i = 0; i < n; ++i) {
      offsets_[i] = uint32_t(entries_.size());
      int32_t current = INT32_MIN;
      float sum = 0.f;
      auto emit = [&] {
        if (current != INT32_MIN && sum > 0.00001f) entries_.push_back({current, sum});
      };
      for (int k = 0; k < 2; ++k) {
        const float start = float(i) + float(k) - 0.5f;
        float lo = start * b, hi = lo + b;
        if (!wrap) {
          lo = std::max(lo, 0.f);
          hi = std::min(hi, float(m));
        }
        for (int32_t j = int32_t(std::floor(lo)); float(j) < hi; ++j) {
          const float a = std::max(lo, float(j)), e = std::min(hi, float(j + 1));
          float t = (a + e) * half - start;
          if (!wrap) {
            // Past an edge the tent is folded back: full weight to the edge pixel.
            if (start < 0.f) t = 1.f;
            if (float(i + k) + 0.5f >= float(n)) t = 0.f;
          }
          const float contribution = (k == 0 ? t : 1.f - t) * (e - a);
          int32_t target = j;
          if (wrap) target = ((j % int32_t(m)) + int32_t(m)) % int32_t(m);
          if (target < 0 || target >= int32_t(m)) continue;
          if (target != current) {
            emit();
            current = target;
            sum = 0.f;
          }
          sum += contribution;
        }
      }
      emit();
    }
    offsets_[n] = uint32_t(entries_.size());
  } catch (const std::bad_alloc &) {
    return false;
  }
  return true;
}

}  // namespace kv
