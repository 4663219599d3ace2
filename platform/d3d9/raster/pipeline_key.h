#pragma once
// Picks the pixel routine for a draw: a specialised one when the state is one of the common
// combinations, the generic one otherwise.
#include "draw_context.h"

namespace kvd3d::raster {

enum class DepthMode { Off, LessEqual, Less };

struct PipelineKey {
  bool specialised = false;  // false: use genericSpan
  bool blend = false;        // SRCALPHA / INVSRCALPHA / ADD
  bool twoTextures = false;  // stage 1 modulates CURRENT by a texture
  DepthMode depth = DepthMode::Off;
  bool depthWrite = false;
};

// Also fills ctx.direct for the textures a specialised routine reads.
PipelineKey derivePipelineKey(const DrawState &state, DrawContext &ctx);

// The instance of a family of span routines, Family<blend, second texture, depth mode,
// depth write>::span, that a specialised key asks for.
template <template <bool, bool, DepthMode, bool> class Family, bool kBlend, bool kTwoTextures>
SpanRoutine pickSpanDepth(const PipelineKey &k) {
  switch (k.depth) {
    case DepthMode::LessEqual:
      return k.depthWrite ? Family<kBlend, kTwoTextures, DepthMode::LessEqual, true>::span
                          : Family<kBlend, kTwoTextures, DepthMode::LessEqual, false>::span;
    case DepthMode::Less:
      return k.depthWrite ? Family<kBlend, kTwoTextures, DepthMode::Less, true>::span
                          : Family<kBlend, kTwoTextures, DepthMode::Less, false>::span;
    default:
      return Family<kBlend, kTwoTextures, DepthMode::Off, false>::span;
  }
}

template <template <bool, bool, DepthMode, bool> class Family>
SpanRoutine pickSpan(const PipelineKey &k) {
  if (k.blend) return k.twoTextures ? pickSpanDepth<Family, true, true>(k) : pickSpanDepth<Family, true, false>(k);
  return k.twoTextures ? pickSpanDepth<Family, false, true>(k) : pickSpanDepth<Family, false, false>(k);
}

// nullptr when no specialised routine exists for the key (or the build has none). Picks the
// widest routines the processor runs, up to `widest`.
SpanRoutine specialisedSpan(const PipelineKey &key, SpanWidth widest = SpanWidth::Avx512);

// The AVX2 routines (fast_span_avx2.cpp); only to be called when processorHasAvx2().
SpanRoutine specialisedSpanAvx2(const PipelineKey &key);
bool processorHasAvx2();
// The AVX-512 routines (fast_span_avx512.cpp); only to be called when processorHasAvx512().
SpanRoutine specialisedSpanAvx512(const PipelineKey &key);
bool processorHasAvx512();

}  // namespace kvd3d::raster
