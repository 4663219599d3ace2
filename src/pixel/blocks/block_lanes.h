// Four floats worked on together: one row of a block. The plain type loops over the
// lanes; the SSE2 type does the same operations in one instruction each, lane for lane
// in single precision, so both give the same bits.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#define KV_BLOCK_SSE2 1
#include <emmintrin.h>
#else
#define KV_BLOCK_SSE2 0
#endif

namespace kv {

struct PlainLanes {
  float v[4];

  static PlainLanes load(const float *p) { return {{p[0], p[1], p[2], p[3]}}; }
  static PlainLanes splat(float x) { return {{x, x, x, x}}; }
  void store(float *p) const {
    for (int i = 0; i < 4; ++i) p[i] = v[i];
  }

  template <typename Op>
  friend PlainLanes each(PlainLanes a, PlainLanes b, Op op) {
    for (int i = 0; i < 4; ++i) a.v[i] = op(a.v[i], b.v[i]);
    return a;
  }
  friend PlainLanes operator+(PlainLanes a, PlainLanes b) { return each(a, b, [](float x, float y) { return x + y; }); }
  friend PlainLanes operator-(PlainLanes a, PlainLanes b) { return each(a, b, [](float x, float y) { return x - y; }); }
  friend PlainLanes operator*(PlainLanes a, PlainLanes b) { return each(a, b, [](float x, float y) { return x * y; }); }
  friend PlainLanes operator/(PlainLanes a, PlainLanes b) { return each(a, b, [](float x, float y) { return x / y; }); }
  // The same choice as the processor's minimum and maximum: the second operand on ties.
  friend PlainLanes lanesMin(PlainLanes a, PlainLanes b) { return each(a, b, [](float x, float y) { return x < y ? x : y; }); }
  friend PlainLanes lanesMax(PlainLanes a, PlainLanes b) { return each(a, b, [](float x, float y) { return x > y ? x : y; }); }
  // Truncated towards zero; lanes must lie well inside the 32-bit integer range.
  friend PlainLanes lanesTrunc(PlainLanes a) {
    for (float &x : a.v) x = static_cast<float>(static_cast<int32_t>(x));
    return a;
  }
  // table[s] per lane, s a whole number in [0, count).
  friend PlainLanes lanesLookup(const float *table, int, PlainLanes s) {
    for (float &x : s.v) x = table[static_cast<int32_t>(x)];
    return s;
  }
  friend void lanesToInts(PlainLanes a, int32_t out[4]) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<int32_t>(a.v[i]);
  }
  // Four RGBA pixels to one lane set per channel.
  static void loadChannels(const float pixels[4][4], PlainLanes out[4]) {
    for (int c = 0; c < 4; ++c) out[c] = {{pixels[0][c], pixels[1][c], pixels[2][c], pixels[3][c]}};
  }
  // The lanes added in one fixed order, (0 + 2) + (1 + 3).
  float sum() const { return (v[0] + v[2]) + (v[1] + v[3]); }
  // Folded in the same pairs as the sum, with the minimum's and maximum's tie rule.
  float lowest() const {
    const auto lower = [](float x, float y) { return x < y ? x : y; };
    return lower(lower(v[0], v[2]), lower(v[1], v[3]));
  }
  float highest() const {
    const auto higher = [](float x, float y) { return x > y ? x : y; };
    return higher(higher(v[0], v[2]), higher(v[1], v[3]));
  }
};

#if KV_BLOCK_SSE2
struct Sse2Lanes {
  __m128 v;

  static Sse2Lanes load(const float *p) { return {_mm_loadu_ps(p)}; }
  static Sse2Lanes splat(float x) { return {_mm_set1_ps(x)}; }
  void store(float *p) const { _mm_storeu_ps(p, v); }
  static void loadChannels(const float pixels[4][4], Sse2Lanes out[4]) {
    __m128 p0 = _mm_loadu_ps(pixels[0]), p1 = _mm_loadu_ps(pixels[1]);
    __m128 p2 = _mm_loadu_ps(pixels[2]), p3 = _mm_loadu_ps(pixels[3]);
    _MM_TRANSPOSE4_PS(p0, p1, p2, p3);
    out[0] = {p0};
    out[1] = {p1};
    out[2] = {p2};
    out[3] = {p3};
  }

  friend Sse2Lanes operator+(Sse2Lanes a, Sse2Lanes b) { return {_mm_add_ps(a.v, b.v)}; }
  friend Sse2Lanes operator-(Sse2Lanes a, Sse2Lanes b) { return {_mm_sub_ps(a.v, b.v)}; }
  friend Sse2Lanes operator*(Sse2Lanes a, Sse2Lanes b) { return {_mm_mul_ps(a.v, b.v)}; }
  friend Sse2Lanes operator/(Sse2Lanes a, Sse2Lanes b) { return {_mm_div_ps(a.v, b.v)}; }
  friend Sse2Lanes lanesMin(Sse2Lanes a, Sse2Lanes b) { return {_mm_min_ps(a.v, b.v)}; }
  friend Sse2Lanes lanesMax(Sse2Lanes a, Sse2Lanes b) { return {_mm_max_ps(a.v, b.v)}; }
  friend Sse2Lanes lanesTrunc(Sse2Lanes a) { return {_mm_cvtepi32_ps(_mm_cvttps_epi32(a.v))}; }
  friend Sse2Lanes lanesLookup(const float *table, int count, Sse2Lanes s) {
    __m128 r = _mm_setzero_ps();
    for (int k = 0; k < count; ++k) {
      const __m128 hit = _mm_cmpeq_ps(s.v, _mm_set1_ps(static_cast<float>(k)));
      r = _mm_or_ps(r, _mm_and_ps(hit, _mm_set1_ps(table[k])));
    }
    return {r};
  }
  friend void lanesToInts(Sse2Lanes a, int32_t out[4]) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_cvttps_epi32(a.v));
  }
  float sum() const {
    const __m128 pairs = _mm_add_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_add_ss(pairs, _mm_shuffle_ps(pairs, pairs, 1)));
  }
  float lowest() const {
    const __m128 pairs = _mm_min_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_min_ss(pairs, _mm_shuffle_ps(pairs, pairs, 1)));
  }
  float highest() const {
    const __m128 pairs = _mm_max_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_max_ss(pairs, _mm_shuffle_ps(pairs, pairs, 1)));
  }
};
#endif

}  // namespace kv
