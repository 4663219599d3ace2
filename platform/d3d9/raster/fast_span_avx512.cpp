// The specialised span routines sixteen pixels at a time for processors with AVX-512 (the F,
// BW and VL parts), chosen at run time. Lane for lane they compute exactly what the SSE2 and
// AVX2 routines compute; besides the width, the masks let a group load, gather and store only
// its live pixels, so a span's last group needs no staging buffer.
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 reports the deliberately undefined pass-through operands inside its own AVX-512
// headers as uninitialised wherever those intrinsics are inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "pipeline_key.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>

#define KV_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl")))

namespace kvd3d::raster {
namespace {

KV_AVX512 inline __m512i floorToTexel16(__m512 t) {
  const __m512 limit = _mm512_set1_ps(1073741824.0f);
  t = _mm512_max_ps(t, _mm512_sub_ps(_mm512_setzero_ps(), limit));
  t = _mm512_min_ps(t, limit);
  return _mm512_cvttps_epi32(_mm512_roundscale_ps(t, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
}

KV_AVX512 inline __m512i divide255(__m512i biased) {
  return _mm512_srli_epi16(_mm512_mulhi_epu16(biased, _mm512_set1_epi16(-32639)), 7);
}

KV_AVX512 inline __m512i modulate16(__m512i a, __m512i b) {
  const __m512i zero = _mm512_setzero_si512(), bias = _mm512_set1_epi16(127);
  const __m512i lo = divide255(
      _mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpacklo_epi8(a, zero), _mm512_unpacklo_epi8(b, zero)), bias));
  const __m512i hi = divide255(
      _mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpackhi_epi8(a, zero), _mm512_unpackhi_epi8(b, zero)), bias));
  return _mm512_packus_epi16(lo, hi);
}

// The source-alpha blend, a multiply-add a channel: source and destination bytes made signed
// (c - 128) and paired, weighed by a and 255 - a. The weights add up to 255, so the sum stays
// within 16 bits, and adding 128 * 255 back with the rounding bias gives, in 16-bit
// arithmetic that wraps, exactly a * s + (255 - a) * d + 127 to divide by 255.
KV_AVX512 inline __m512i blendSrcAlpha(__m512i src, __m512i dst) {
  const __m512i sign = _mm512_set1_epi8(-128), pairs = _mm512_set1_epi16(static_cast<short>(0xFF00));
  const __m512i bias = _mm512_set1_epi16(128 * 255 + 127);
  // Each pixel's alpha to both bytes of each of its channel pairs, for the lane's pixels 0-1 and 2-3.
  const __m512i alphaLo = _mm512_broadcast_i32x4(_mm_setr_epi8(3, 3, 3, 3, 3, 3, 3, 3, 7, 7, 7, 7, 7, 7, 7, 7));
  const __m512i alphaHi = _mm512_broadcast_i32x4(_mm_setr_epi8(11, 11, 11, 11, 11, 11, 11, 11, 15, 15, 15, 15, 15, 15, 15, 15));
  const __m512i s = _mm512_xor_si512(src, sign), d = _mm512_xor_si512(dst, sign);
  const __m512i lo = _mm512_maddubs_epi16(_mm512_xor_si512(_mm512_shuffle_epi8(src, alphaLo), pairs), _mm512_unpacklo_epi8(s, d));
  const __m512i hi = _mm512_maddubs_epi16(_mm512_xor_si512(_mm512_shuffle_epi8(src, alphaHi), pairs), _mm512_unpackhi_epi8(s, d));
  return _mm512_packus_epi16(divide255(_mm512_add_epi16(lo, bias)), divide255(_mm512_add_epi16(hi, bias)));
}

struct CoordPlane {
  bool constant;
  __m512 value, row, dx;
};

KV_AVX512 inline CoordPlane coordPlane(const TriangleSetup &tri, const SpanRow &row, int attr) {
  return CoordPlane{tri.attrConstant[attr], _mm512_set1_ps(tri.attrQ[attr].ref), _mm512_set1_ps(row.attrQ[attr]),
                    _mm512_set1_ps(tri.attrQ[attr].dx)};
}

KV_AVX512 inline __m512 interpolate(const CoordPlane &p, __m512 fx, __m512 rq) {
  if (p.constant) return p.value;
  return _mm512_mul_ps(_mm512_add_ps(p.row, _mm512_mul_ps(p.dx, fx)), rq);
}

struct TexturePlane {
  const int *texels;
  __m512 width, height;
  __m512i maskU, maskV, pitchAndOne, alphaOr;
};

KV_AVX512 inline TexturePlane texturePlane(const DirectTexture &t) {
  return TexturePlane{reinterpret_cast<const int *>(t.bits),
                      _mm512_set1_ps(t.width),
                      _mm512_set1_ps(t.height),
                      _mm512_set1_epi32(t.maskU),
                      _mm512_set1_epi32(t.maskV),
                      _mm512_set1_epi32(t.pitch / 4 << 16 | 1),
                      _mm512_set1_epi32(static_cast<int>(t.alphaOr))};
}

KV_AVX512 inline __m512i texelOffsets(const TexturePlane &t, __m512 u, __m512 v) {
  const __m512i iu = _mm512_and_si512(floorToTexel16(_mm512_mul_ps(u, t.width)), t.maskU);
  const __m512i iv = _mm512_and_si512(floorToTexel16(_mm512_mul_ps(v, t.height)), t.maskV);
  return _mm512_madd_epi16(_mm512_or_si512(_mm512_slli_epi32(iv, 16), iu), t.pitchAndOne);
}

// Only live lanes are read; the others come back 0 and are never stored.
KV_AVX512 inline __m512i gatherTexels(const TexturePlane &t, __m512i offsets, __mmask16 live) {
  const __m512i texels = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), live, offsets, t.texels, 4);
  return _mm512_or_si512(texels, t.alphaOr);
}

struct SpanConstants {
  uint32_t *color;
  uint16_t *depth;
  __m512 zRow, zDx, qRow, qDx;
  CoordPlane u0, v0, u1, v1;
  TexturePlane tex0, tex1;
  __m512i targetAlphaOr;
};

// A group up to its texel reads: which pixels pass the depth test, their depths, and where
// their texels are. Reads only the group's own depths, so the next group is prepared
// before this one's texels arrive and its pixels are written.
struct Prepared {
  int x;
  __mmask16 live;
  __m512i z, offsets0, offsets1;
};

template <bool kTwoTextures, DepthMode kDepth>
KV_AVX512 inline Prepared prepareGroup(const SpanConstants &k, int x, __m512 fx, __mmask16 live) {
  Prepared g{x, live, _mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512()};
  if constexpr (kDepth != DepthMode::Off) {
    __m512 zf = _mm512_add_ps(k.zRow, _mm512_mul_ps(k.zDx, fx));
    zf = _mm512_max_ps(_mm512_min_ps(zf, _mm512_set1_ps(1.0f)), _mm512_setzero_ps());
    g.z = _mm512_cvttps_epi32(_mm512_add_ps(_mm512_mul_ps(zf, _mm512_set1_ps(65535.0f)), _mm512_set1_ps(0.5f)));
    const __m512i stored = _mm512_cvtepu16_epi32(_mm256_maskz_loadu_epi16(live, k.depth + x));
    g.live = kDepth == DepthMode::LessEqual ? _mm512_mask_cmple_epi32_mask(live, g.z, stored)
                                            : _mm512_mask_cmplt_epi32_mask(live, g.z, stored);
    if (g.live == 0) return g;  // hidden: no texel is read
  }
  const __m512 q = _mm512_add_ps(k.qRow, _mm512_mul_ps(k.qDx, fx));
  const __m512 rq = _mm512_div_ps(_mm512_set1_ps(1.0f), q);
  g.offsets0 = texelOffsets(k.tex0, interpolate(k.u0, fx, rq), interpolate(k.v0, fx, rq));
  if constexpr (kTwoTextures) g.offsets1 = texelOffsets(k.tex1, interpolate(k.u1, fx, rq), interpolate(k.v1, fx, rq));
  return g;
}

template <bool kBlend, bool kTwoTextures, DepthMode kDepth, bool kDepthWrite>
KV_AVX512 inline void writeGroup(const SpanConstants &k, const Prepared &g) {
  if (g.live == 0) return;
  const int x = g.x;
  __m512i src = gatherTexels(k.tex0, g.offsets0, g.live);
  if constexpr (kTwoTextures) {
    const __m512i second = gatherTexels(k.tex1, g.offsets1, g.live);
    const __m512i alphaMask = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
    src = _mm512_ternarylogic_epi32(alphaMask, src, modulate16(src, second), 0xCA);  // alpha from src, colour modulated
  }
  __m512i out = src;
  if constexpr (kBlend) {
    const __m512i dst = _mm512_maskz_loadu_epi32(g.live, k.color + x);
    out = blendSrcAlpha(src, _mm512_or_si512(dst, k.targetAlphaOr));
  }
  out = _mm512_or_si512(out, k.targetAlphaOr);
  _mm512_mask_storeu_epi32(k.color + x, g.live, out);
  if constexpr (kDepth != DepthMode::Off && kDepthWrite)
    _mm256_mask_storeu_epi16(k.depth + x, g.live, _mm512_cvtepi32_epi16(g.z));
}

template <bool kBlend, bool kTwoTextures, DepthMode kDepth, bool kDepthWrite>
KV_AVX512 void fastSpan(const DrawContext &ctx, const TriangleSetup &tri, const SpanRow &row, int x0, int x1) {
  SpanConstants k;
  k.color = colorRow(ctx.target, row.y);
  k.depth = kDepth != DepthMode::Off ? depthRow(ctx.target, row.y) : nullptr;
  k.zRow = _mm512_set1_ps(row.z);
  k.zDx = _mm512_set1_ps(tri.z.dx);
  k.qRow = _mm512_set1_ps(row.q);
  k.qDx = _mm512_set1_ps(tri.q.dx);
  k.u0 = coordPlane(tri, row, kTexCoordAttr);
  k.v0 = coordPlane(tri, row, kTexCoordAttr + 1);
  k.tex0 = texturePlane(ctx.direct[0]);
  if constexpr (kTwoTextures) {
    k.u1 = coordPlane(tri, row, kTexCoordAttr + 2);
    k.v1 = coordPlane(tri, row, kTexCoordAttr + 3);
    k.tex1 = texturePlane(ctx.direct[1]);
  }
  k.targetAlphaOr = _mm512_set1_epi32(ctx.output.targetHasAlpha ? 0 : static_cast<int>(0xFF000000u));

  __m512 fx = _mm512_add_ps(_mm512_set1_ps(static_cast<float>(x0 - tri.xRef)),
                            _mm512_setr_ps(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
  const __m512 sixteen = _mm512_set1_ps(16.0f);
  auto liveFrom = [x1](int x) {
    return x + 16 <= x1 ? __mmask16(0xFFFF) : static_cast<__mmask16>((1u << (x1 - x)) - 1);
  };
  if (x0 >= x1) return;
  Prepared current = prepareGroup<kTwoTextures, kDepth>(k, x0, fx, liveFrom(x0));
  for (int x = x0 + 16; x < x1; x += 16) {
    fx = _mm512_add_ps(fx, sixteen);
    const Prepared next = prepareGroup<kTwoTextures, kDepth>(k, x, fx, liveFrom(x));
    writeGroup<kBlend, kTwoTextures, kDepth, kDepthWrite>(k, current);
    current = next;
  }
  writeGroup<kBlend, kTwoTextures, kDepth, kDepthWrite>(k, current);
}

// The routines by their template arguments, for pickSpan.
template <bool kBlend, bool kTwoTextures, DepthMode kDepth, bool kDepthWrite>
struct FastSpan {
  static constexpr SpanRoutine span = fastSpan<kBlend, kTwoTextures, kDepth, kDepthWrite>;
};

}  // namespace

SpanRoutine specialisedSpanAvx512(const PipelineKey &k) { return pickSpan<FastSpan>(k); }

bool processorHasAvx512() {
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                          __builtin_cpu_supports("avx512vl");
  return has;
}

}  // namespace kvd3d::raster

#else

namespace kvd3d::raster {
SpanRoutine specialisedSpanAvx512(const PipelineKey &) { return nullptr; }
bool processorHasAvx512() { return false; }
}  // namespace kvd3d::raster

#endif
