// Specialised span routines, four pixels at a time with SSE2. They compute exactly what the
// generic routine computes for the same state: the same float expressions for depth and
// texture coordinates, and integer blending that rounds like the float path
// ((x + 127) / 255 is round-to-nearest of x / 255 for integers). Builds without SSE2 have
// no specialised routines and use the generic one.
#include "pipeline_key.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <algorithm>
#include <cstring>

namespace kvd3d::raster {
namespace {

// Lane-wise floorToTexel: clamp to +-2^30 (NaN to the low end), truncate, step down when
// truncation went up.
inline __m128i floorToTexel4(__m128 t) {
  const __m128 limit = _mm_set1_ps(1073741824.0f);
  t = _mm_max_ps(t, _mm_sub_ps(_mm_setzero_ps(), limit));
  t = _mm_min_ps(t, limit);
  const __m128i i = _mm_cvttps_epi32(t);
  const __m128 up = _mm_cmpgt_ps(_mm_cvtepi32_ps(i), t);
  return _mm_add_epi32(i, _mm_castps_si128(up));
}

// x / 255 rounded to nearest for 16-bit lanes holding x + 127.
inline __m128i divide255(__m128i biased) { return _mm_srli_epi16(_mm_mulhi_epu16(biased, _mm_set1_epi16(-32639)), 7); }

// Per-lane alpha broadcast over the four channels of two unpacked pixels.
inline __m128i broadcastAlpha(__m128i px16) {
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(px16, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
}

// (a * b + 127) / 255 per channel.
inline __m128i modulate8(__m128i a, __m128i b) {
  const __m128i zero = _mm_setzero_si128(), bias = _mm_set1_epi16(127);
  const __m128i lo = divide255(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)), bias));
  const __m128i hi = divide255(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)), bias));
  return _mm_packus_epi16(lo, hi);
}

// src * As + dst * (1 - As) per channel, alpha included.
inline __m128i blendSrcAlpha(__m128i src, __m128i dst) {
  const __m128i zero = _mm_setzero_si128(), bias = _mm_set1_epi16(127), full = _mm_set1_epi16(255);
  auto half = [&](__m128i s, __m128i d) {
    const __m128i a = broadcastAlpha(s);
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(s, a), _mm_mullo_epi16(d, _mm_sub_epi16(full, a)));
    return divide255(_mm_add_epi16(sum, bias));
  };
  const __m128i lo = half(_mm_unpacklo_epi8(src, zero), _mm_unpacklo_epi8(dst, zero));
  const __m128i hi = half(_mm_unpackhi_epi8(src, zero), _mm_unpackhi_epi8(dst, zero));
  return _mm_packus_epi16(lo, hi);
}

// Loads and stores of up to four pixels; whole groups go straight to memory, the tail of a
// span goes through a small buffer so nothing beyond the span is touched.
inline __m128i loadDepth(const uint16_t *p, int n) {
  if (n == 4) return _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p));
  alignas(16) uint16_t buffer[8] = {};
  std::memcpy(buffer, p, static_cast<size_t>(n) * 2);
  return _mm_load_si128(reinterpret_cast<const __m128i *>(buffer));
}

inline void storeDepth(uint16_t *p, int n, __m128i v) {
  if (n == 4) {
    _mm_storel_epi64(reinterpret_cast<__m128i *>(p), v);
    return;
  }
  alignas(16) uint16_t buffer[8];
  _mm_store_si128(reinterpret_cast<__m128i *>(buffer), v);
  std::memcpy(p, buffer, static_cast<size_t>(n) * 2);
}

inline __m128i loadColor(const uint32_t *p, int n) {
  if (n == 4) return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
  alignas(16) uint32_t buffer[4] = {};
  std::memcpy(buffer, p, static_cast<size_t>(n) * 4);
  return _mm_load_si128(reinterpret_cast<const __m128i *>(buffer));
}

inline void storeColor(uint32_t *p, int n, __m128i v) {
  if (n == 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
    return;
  }
  alignas(16) uint32_t buffer[4];
  _mm_store_si128(reinterpret_cast<__m128i *>(buffer), v);
  std::memcpy(p, buffer, static_cast<size_t>(n) * 4);
}

// One texture coordinate over the span: row + dx * fx, times 1/q (or a constant).
struct CoordPlane {
  bool constant;
  __m128 value, row, dx;
};

inline CoordPlane coordPlane(const TriangleSetup &tri, const SpanRow &row, int attr) {
  return CoordPlane{tri.attrConstant[attr], _mm_set1_ps(tri.attrQ[attr].ref), _mm_set1_ps(row.attrQ[attr]),
                    _mm_set1_ps(tri.attrQ[attr].dx)};
}

[[gnu::always_inline]] inline __m128 interpolate(const CoordPlane &p, __m128 fx, __m128 rq) {
  if (p.constant) return p.value;
  return _mm_mul_ps(_mm_add_ps(p.row, _mm_mul_ps(p.dx, fx)), rq);
}

// A texture as vectors: the texel offset iv * pitch + iu comes from one multiply-add of
// 16-bit halves, which derivePipelineKey guarantees to fit.
struct TexturePlane {
  const uint32_t *texels;
  __m128 width, height;
  __m128i maskU, maskV, pitchAndOne, alphaOr;
};

inline TexturePlane texturePlane(const DirectTexture &t) {
  return TexturePlane{reinterpret_cast<const uint32_t *>(t.bits),
                      _mm_set1_ps(t.width),
                      _mm_set1_ps(t.height),
                      _mm_set1_epi32(t.maskU),
                      _mm_set1_epi32(t.maskV),
                      _mm_set1_epi32(t.pitch / 4 << 16 | 1),
                      _mm_set1_epi32(static_cast<int>(t.alphaOr))};
}

[[gnu::always_inline]] inline __m128i fetchTexels(const TexturePlane &t, __m128 u, __m128 v) {
  const __m128i iu = _mm_and_si128(floorToTexel4(_mm_mul_ps(u, t.width)), t.maskU);
  const __m128i iv = _mm_and_si128(floorToTexel4(_mm_mul_ps(v, t.height)), t.maskV);
  const __m128i offset = _mm_madd_epi16(_mm_or_si128(_mm_slli_epi32(iv, 16), iu), t.pitchAndOne);
  alignas(16) int32_t o[4];
  _mm_store_si128(reinterpret_cast<__m128i *>(o), offset);
  uint32_t texel[4];
  for (int i = 0; i < 4; ++i) std::memcpy(&texel[i], t.texels + o[i], 4);
  // Built in registers: four narrow stores and one wide load would stall on store forwarding.
  const __m128i value = _mm_set_epi32(static_cast<int>(texel[3]), static_cast<int>(texel[2]),
                                      static_cast<int>(texel[1]), static_cast<int>(texel[0]));
  return _mm_or_si128(value, t.alphaOr);
}

// Everything a span needs, in locals and vectors, so that the stores into the target cannot
// force reloads of the draw state.
struct SpanConstants {
  uint32_t *color;
  uint16_t *depth;
  __m128 zRow, zDx, qRow, qDx;
  CoordPlane u0, v0, u1, v1;
  TexturePlane tex0, tex1;
  __m128i targetAlphaOr;
};

template <bool kBlend, bool kTwoTextures, DepthMode kDepth, bool kDepthWrite>
[[gnu::always_inline]] inline void shadeGroup(const SpanConstants &k, int x, int n, __m128 fx, __m128i live) {
  __m128i z = _mm_setzero_si128(), stored = _mm_setzero_si128();
  if constexpr (kDepth != DepthMode::Off) {
    __m128 zf = _mm_add_ps(k.zRow, _mm_mul_ps(k.zDx, fx));
    zf = _mm_max_ps(_mm_min_ps(zf, _mm_set1_ps(1.0f)), _mm_setzero_ps());
    z = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(zf, _mm_set1_ps(65535.0f)), _mm_set1_ps(0.5f)));
    stored = _mm_unpacklo_epi16(loadDepth(k.depth + x, n), _mm_setzero_si128());
    const __m128i fail = kDepth == DepthMode::LessEqual ? _mm_cmpgt_epi32(z, stored)
                                                        : _mm_xor_si128(_mm_cmpgt_epi32(stored, z), _mm_set1_epi32(-1));
    live = _mm_andnot_si128(fail, live);
    if (_mm_movemask_epi8(live) == 0) return;
  }

  const __m128 q = _mm_add_ps(k.qRow, _mm_mul_ps(k.qDx, fx));
  const __m128 rq = _mm_div_ps(_mm_set1_ps(1.0f), q);
  __m128i src = fetchTexels(k.tex0, interpolate(k.u0, fx, rq), interpolate(k.v0, fx, rq));
  if constexpr (kTwoTextures) {
    const __m128i second = fetchTexels(k.tex1, interpolate(k.u1, fx, rq), interpolate(k.v1, fx, rq));
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    // Colour is modulated, alpha stays that of stage 0.
    src = _mm_or_si128(_mm_andnot_si128(alphaMask, modulate8(src, second)), _mm_and_si128(src, alphaMask));
  }

  const __m128i dst = loadColor(k.color + x, n);
  __m128i out = kBlend ? blendSrcAlpha(src, _mm_or_si128(dst, k.targetAlphaOr)) : src;
  out = _mm_or_si128(out, k.targetAlphaOr);
  out = _mm_or_si128(_mm_and_si128(live, out), _mm_andnot_si128(live, dst));
  storeColor(k.color + x, n, out);

  if constexpr (kDepth != DepthMode::Off && kDepthWrite) {
    const __m128i merged = _mm_or_si128(_mm_and_si128(live, z), _mm_andnot_si128(live, stored));
    // Unsigned 16-bit pack via the signed one: shift down by 32768, pack, shift back.
    const __m128i packed = _mm_xor_si128(
        _mm_packs_epi32(_mm_sub_epi32(merged, _mm_set1_epi32(32768)), _mm_setzero_si128()), _mm_set1_epi16(-32768));
    storeDepth(k.depth + x, n, packed);
  }
}

template <bool kBlend, bool kTwoTextures, DepthMode kDepth, bool kDepthWrite>
void fastSpan(const DrawContext &ctx, const TriangleSetup &tri, const SpanRow &row, int x0, int x1) {
  SpanConstants k;
  k.color = colorRow(ctx.target, row.y);
  k.depth = kDepth != DepthMode::Off ? depthRow(ctx.target, row.y) : nullptr;
  k.zRow = _mm_set1_ps(row.z);
  k.zDx = _mm_set1_ps(tri.z.dx);
  k.qRow = _mm_set1_ps(row.q);
  k.qDx = _mm_set1_ps(tri.q.dx);
  k.u0 = coordPlane(tri, row, kTexCoordAttr);
  k.v0 = coordPlane(tri, row, kTexCoordAttr + 1);
  k.tex0 = texturePlane(ctx.direct[0]);
  if constexpr (kTwoTextures) {
    k.u1 = coordPlane(tri, row, kTexCoordAttr + 2);
    k.v1 = coordPlane(tri, row, kTexCoordAttr + 3);
    k.tex1 = texturePlane(ctx.direct[1]);
  }
  k.targetAlphaOr = _mm_set1_epi32(ctx.output.targetHasAlpha ? 0 : static_cast<int>(0xFF000000u));

  // fx = x - xRef per lane, stepped by 4: exact, since it only ever holds small integers.
  __m128 fx = _mm_add_ps(_mm_set1_ps(static_cast<float>(x0 - tri.xRef)), _mm_set_ps(3.0f, 2.0f, 1.0f, 0.0f));
  const __m128 four = _mm_set1_ps(4.0f);
  const __m128i all = _mm_set1_epi32(-1);
  int x = x0;
  for (; x + 4 <= x1; x += 4, fx = _mm_add_ps(fx, four))
    shadeGroup<kBlend, kTwoTextures, kDepth, kDepthWrite>(k, x, 4, fx, all);
  if (x < x1) {
    const int n = x1 - x;
    const __m128i live = _mm_cmplt_epi32(_mm_set_epi32(3, 2, 1, 0), _mm_set1_epi32(n));
    shadeGroup<kBlend, kTwoTextures, kDepth, kDepthWrite>(k, x, n, fx, live);
  }
}

// The routines by their template arguments, for pickSpan.
template <bool kBlend, bool kTwoTextures, DepthMode kDepth, bool kDepthWrite>
struct FastSpan {
  static constexpr SpanRoutine span = fastSpan<kBlend, kTwoTextures, kDepth, kDepthWrite>;
};

}  // namespace

SpanWidth widestSpanWidth() {
  if (processorHasAvx512()) return SpanWidth::Avx512;
  return processorHasAvx2() ? SpanWidth::Avx2 : SpanWidth::Sse2;
}

SpanRoutine specialisedSpan(const PipelineKey &k, SpanWidth widest) {
  if (!k.specialised) return nullptr;
  const SpanWidth width = std::min(widest, widestSpanWidth());
  if (width == SpanWidth::Avx512) return specialisedSpanAvx512(k);
  if (width == SpanWidth::Avx2) return specialisedSpanAvx2(k);
  return pickSpan<FastSpan>(k);
}

}  // namespace kvd3d::raster

#else

namespace kvd3d::raster {
SpanWidth widestSpanWidth() { return SpanWidth::Sse2; }
SpanRoutine specialisedSpan(const PipelineKey &, SpanWidth) { return nullptr; }
}  // namespace kvd3d::raster

#endif
