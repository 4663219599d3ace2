// The specialised span routines again, eight pixels at a time for processors with AVX2, chosen
// at run time. Lane for lane they compute exactly what the SSE2 routines compute (and so
// what the generic routine computes); only the width differs.
#include "pipeline_key.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>

#include <algorithm>
#include <cstring>

// Each routine carries its own target attribute instead of a file-wide pragma, so that
// every compiler we build with (gcc and clang) accepts the AVX2 intrinsics in it.
#define KV_AVX2 __attribute__((target("avx2")))

namespace kvd3d::raster {
namespace {

KV_AVX2 inline __m256i floorToTexel8(__m256 t) {
  const __m256 limit = _mm256_set1_ps(1073741824.0f);
  t = _mm256_max_ps(t, _mm256_sub_ps(_mm256_setzero_ps(), limit));
  t = _mm256_min_ps(t, limit);
  // Rounding down first gives what truncating and stepping down where that rounded up gives.
  return _mm256_cvttps_epi32(_mm256_floor_ps(t));
}

KV_AVX2 inline __m256i divide255(__m256i biased) {
  return _mm256_srli_epi16(_mm256_mulhi_epu16(biased, _mm256_set1_epi16(-32639)), 7);
}

KV_AVX2 inline __m256i modulate8(__m256i a, __m256i b) {
  const __m256i zero = _mm256_setzero_si256(), bias = _mm256_set1_epi16(127);
  const __m256i lo = divide255(
      _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero)), bias));
  const __m256i hi = divide255(
      _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero)), bias));
  return _mm256_packus_epi16(lo, hi);
}

// The source-alpha blend, a multiply-add a channel: source and destination bytes made signed
// (c - 128) and paired, weighed by a and 255 - a. The weights add up to 255, so the sum stays
// within 16 bits, and adding 128 * 255 back with the rounding bias gives, in 16-bit
// arithmetic that wraps, exactly a * s + (255 - a) * d + 127 to divide by 255.
KV_AVX2 inline __m256i blendSrcAlpha(__m256i src, __m256i dst) {
  const __m256i sign = _mm256_set1_epi8(-128), pairs = _mm256_set1_epi16(static_cast<short>(0xFF00));
  const __m256i bias = _mm256_set1_epi16(128 * 255 + 127);
  // Each pixel's alpha to both bytes of each of its channel pairs, for the lane's pixels 0-1 and 2-3.
  const __m256i alphaLo = _mm256_broadcastsi128_si256(_mm_setr_epi8(3, 3, 3, 3, 3, 3, 3, 3, 7, 7, 7, 7, 7, 7, 7, 7));
  const __m256i alphaHi =
      _mm256_broadcastsi128_si256(_mm_setr_epi8(11, 11, 11, 11, 11, 11, 11, 11, 15, 15, 15, 15, 15, 15, 15, 15));
  const __m256i s = _mm256_xor_si256(src, sign), d = _mm256_xor_si256(dst, sign);
  const __m256i lo =
      _mm256_maddubs_epi16(_mm256_xor_si256(_mm256_shuffle_epi8(src, alphaLo), pairs), _mm256_unpacklo_epi8(s, d));
  const __m256i hi =
      _mm256_maddubs_epi16(_mm256_xor_si256(_mm256_shuffle_epi8(src, alphaHi), pairs), _mm256_unpackhi_epi8(s, d));
  return _mm256_packus_epi16(divide255(_mm256_add_epi16(lo, bias)), divide255(_mm256_add_epi16(hi, bias)));
}

KV_AVX2 inline __m256i loadDepth(const uint16_t *p, int n) {
  if (n == 8) return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)));
  alignas(16) uint16_t buffer[8] = {};
  std::memcpy(buffer, p, static_cast<size_t>(n) * 2);
  return _mm256_cvtepu16_epi32(_mm_load_si128(reinterpret_cast<const __m128i *>(buffer)));
}

KV_AVX2 inline void storeDepth(uint16_t *p, int n, __m256i v) {
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08);
  const __m128i words = _mm256_castsi256_si128(packed);
  if (n == 8) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), words);
    return;
  }
  alignas(16) uint16_t buffer[8];
  _mm_store_si128(reinterpret_cast<__m128i *>(buffer), words);
  std::memcpy(p, buffer, static_cast<size_t>(n) * 2);
}

KV_AVX2 inline __m256i loadColor(const uint32_t *p, int n) {
  if (n == 8) return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
  alignas(32) uint32_t buffer[8] = {};
  std::memcpy(buffer, p, static_cast<size_t>(n) * 4);
  return _mm256_load_si256(reinterpret_cast<const __m256i *>(buffer));
}

KV_AVX2 inline void storeColor(uint32_t *p, int n, __m256i v) {
  if (n == 8) {
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), v);
    return;
  }
  alignas(32) uint32_t buffer[8];
  _mm256_store_si256(reinterpret_cast<__m256i *>(buffer), v);
  std::memcpy(p, buffer, static_cast<size_t>(n) * 4);
}

struct CoordPlane {
  bool constant;
  __m256 value, row, dx;
};

KV_AVX2 inline CoordPlane coordPlane(const TriangleSetup &tri, const SpanRow &row, int attr) {
  return CoordPlane{tri.attrConstant[attr], _mm256_set1_ps(tri.attrQ[attr].ref), _mm256_set1_ps(row.attrQ[attr]),
                    _mm256_set1_ps(tri.attrQ[attr].dx)};
}

KV_AVX2 inline __m256 interpolate(const CoordPlane &p, __m256 fx, __m256 rq) {
  if (p.constant) return p.value;
  return _mm256_mul_ps(_mm256_add_ps(p.row, _mm256_mul_ps(p.dx, fx)), rq);
}

struct TexturePlane {
  const int *texels;
  __m256 width, height;
  __m256i maskU, maskV, pitchAndOne, alphaOr;
};

KV_AVX2 inline TexturePlane texturePlane(const DirectTexture &t) {
  return TexturePlane{reinterpret_cast<const int *>(t.bits),
                      _mm256_set1_ps(t.width),
                      _mm256_set1_ps(t.height),
                      _mm256_set1_epi32(t.maskU),
                      _mm256_set1_epi32(t.maskV),
                      _mm256_set1_epi32(t.pitch / 4 << 16 | 1),
                      _mm256_set1_epi32(static_cast<int>(t.alphaOr))};
}

KV_AVX2 inline __m256i texelOffsets(const TexturePlane &t, __m256 u, __m256 v) {
  const __m256i iu = _mm256_and_si256(floorToTexel8(_mm256_mul_ps(u, t.width)), t.maskU);
  const __m256i iv = _mm256_and_si256(floorToTexel8(_mm256_mul_ps(v, t.height)), t.maskV);
  return _mm256_madd_epi16(_mm256_or_si256(_mm256_slli_epi32(iv, 16), iu), t.pitchAndOne);
}

KV_AVX2 inline __m256i gatherTexels(const TexturePlane &t, __m256i offsets) {
  return _mm256_or_si256(_mm256_i32gather_epi32(t.texels, offsets, 4), t.alphaOr);
}

struct SpanConstants {
  uint32_t *color;
  uint16_t *depth;
  __m256 zRow, zDx, qRow, qDx;
  CoordPlane u0, v0, u1, v1;
  TexturePlane tex0, tex1;
  __m256i targetAlphaOr;
};

// A group up to its texel reads: which pixels pass the depth test, their depths, and where
// their texels are. Reads only the group's own depths, so the next group is prepared
// before this one's texels arrive and its pixels are written.
struct Prepared {
  int x, n;
  __m256i live, z, stored, offsets0, offsets1;
};

template <bool kTwoTextures, DepthMode kDepth>
KV_AVX2 inline Prepared prepareGroup(const SpanConstants &k, int x, int n, __m256 fx) {
  const __m256i live = _mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  Prepared g{x, n, live, _mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
  if constexpr (kDepth != DepthMode::Off) {
    __m256 zf = _mm256_add_ps(k.zRow, _mm256_mul_ps(k.zDx, fx));
    zf = _mm256_max_ps(_mm256_min_ps(zf, _mm256_set1_ps(1.0f)), _mm256_setzero_ps());
    g.z = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(zf, _mm256_set1_ps(65535.0f)), _mm256_set1_ps(0.5f)));
    g.stored = loadDepth(k.depth + x, n);
    const __m256i fail = kDepth == DepthMode::LessEqual
                             ? _mm256_cmpgt_epi32(g.z, g.stored)
                             : _mm256_xor_si256(_mm256_cmpgt_epi32(g.stored, g.z), _mm256_set1_epi32(-1));
    g.live = _mm256_andnot_si256(fail, live);
    if (_mm256_movemask_epi8(g.live) == 0) return g;  // hidden: no texel is read
  }
  const __m256 q = _mm256_add_ps(k.qRow, _mm256_mul_ps(k.qDx, fx));
  const __m256 rq = _mm256_div_ps(_mm256_set1_ps(1.0f), q);
  g.offsets0 = texelOffsets(k.tex0, interpolate(k.u0, fx, rq), interpolate(k.v0, fx, rq));
  if constexpr (kTwoTextures) g.offsets1 = texelOffsets(k.tex1, interpolate(k.u1, fx, rq), interpolate(k.v1, fx, rq));
  return g;
}

template <bool kBlend, bool kTwoTextures, DepthMode kDepth, bool kDepthWrite>
KV_AVX2 inline void writeGroup(const SpanConstants &k, const Prepared &g) {
  if (kDepth != DepthMode::Off && _mm256_movemask_epi8(g.live) == 0) return;
  __m256i src = gatherTexels(k.tex0, g.offsets0);
  if constexpr (kTwoTextures) {
    const __m256i second = gatherTexels(k.tex1, g.offsets1);
    const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    src = _mm256_or_si256(_mm256_andnot_si256(alphaMask, modulate8(src, second)), _mm256_and_si256(src, alphaMask));
  }

  const __m256i dst = loadColor(k.color + g.x, g.n);
  __m256i out = kBlend ? blendSrcAlpha(src, _mm256_or_si256(dst, k.targetAlphaOr)) : src;
  out = _mm256_or_si256(out, k.targetAlphaOr);
  out = _mm256_blendv_epi8(dst, out, g.live);
  storeColor(k.color + g.x, g.n, out);

  if constexpr (kDepth != DepthMode::Off && kDepthWrite)
    storeDepth(k.depth + g.x, g.n, _mm256_blendv_epi8(g.stored, g.z, g.live));
}

template <bool kBlend, bool kTwoTextures, DepthMode kDepth, bool kDepthWrite>
KV_AVX2 void fastSpan(const DrawContext &ctx, const TriangleSetup &tri, const SpanRow &row, int x0, int x1) {
  SpanConstants k;
  k.color = colorRow(ctx.target, row.y);
  k.depth = kDepth != DepthMode::Off ? depthRow(ctx.target, row.y) : nullptr;
  k.zRow = _mm256_set1_ps(row.z);
  k.zDx = _mm256_set1_ps(tri.z.dx);
  k.qRow = _mm256_set1_ps(row.q);
  k.qDx = _mm256_set1_ps(tri.q.dx);
  k.u0 = coordPlane(tri, row, kTexCoordAttr);
  k.v0 = coordPlane(tri, row, kTexCoordAttr + 1);
  k.tex0 = texturePlane(ctx.direct[0]);
  if constexpr (kTwoTextures) {
    k.u1 = coordPlane(tri, row, kTexCoordAttr + 2);
    k.v1 = coordPlane(tri, row, kTexCoordAttr + 3);
    k.tex1 = texturePlane(ctx.direct[1]);
  }
  k.targetAlphaOr = _mm256_set1_epi32(ctx.output.targetHasAlpha ? 0 : static_cast<int>(0xFF000000u));

  __m256 fx = _mm256_add_ps(_mm256_set1_ps(static_cast<float>(x0 - tri.xRef)),
                            _mm256_setr_ps(0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f));
  const __m256 eight = _mm256_set1_ps(8.0f);
  if (x0 >= x1) return;
  Prepared current = prepareGroup<kTwoTextures, kDepth>(k, x0, std::min(8, x1 - x0), fx);
  for (int x = x0 + 8; x < x1; x += 8) {
    fx = _mm256_add_ps(fx, eight);
    const Prepared next = prepareGroup<kTwoTextures, kDepth>(k, x, std::min(8, x1 - x), fx);
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

SpanRoutine specialisedSpanAvx2(const PipelineKey &k) { return pickSpan<FastSpan>(k); }

}  // namespace kvd3d::raster

namespace kvd3d::raster {
bool processorHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
}  // namespace kvd3d::raster

#else

namespace kvd3d::raster {
SpanRoutine specialisedSpanAvx2(const PipelineKey &) { return nullptr; }
bool processorHasAvx2() { return false; }
}  // namespace kvd3d::raster

#endif
