// Each argument is clamped to [0, 1] after its modifiers (alpha replicate first, then
// complement), and every stage's result is saturated before the next stage reads it.
#include "texture_stages.h"

namespace kvd3d::raster {
namespace {

inline float sat(float f) { return f > 0.0f ? (f < 1.0f ? f : 1.0f) : 0.0f; }

struct StageInputs {
  const Color4 *diffuse, *specular, *current, *texture, *temp, *factor, *constant;
};

Color4 argument(DWORD arg, const StageInputs &in) {
  Color4 v;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: v = *in.diffuse; break;
    case D3DTA_CURRENT: v = *in.current; break;
    case D3DTA_TEXTURE: v = *in.texture; break;
    case D3DTA_TFACTOR: v = *in.factor; break;
    case D3DTA_SPECULAR: v = *in.specular; break;
    case D3DTA_TEMP: v = *in.temp; break;
    case D3DTA_CONSTANT: v = *in.constant; break;
    default: v = *in.current; break;
  }
  if (arg & D3DTA_ALPHAREPLICATE) v.r = v.g = v.b = v.a;
  if (arg & D3DTA_COMPLEMENT) {
    v.r = 1.0f - v.r;
    v.g = 1.0f - v.g;
    v.b = 1.0f - v.b;
    v.a = 1.0f - v.a;
  }
  return Color4{sat(v.r), sat(v.g), sat(v.b), sat(v.a)};
}

// One channel of an operation; alpha-driven blends take their factor from `blendAlpha`.
float operate(DWORD op, float a0, float a1, float a2, float arg1Alpha, float blendAlpha) {
  switch (op) {
    case D3DTOP_SELECTARG1: return a1;
    case D3DTOP_SELECTARG2: return a2;
    case D3DTOP_MODULATE: return a1 * a2;
    case D3DTOP_MODULATE2X: return 2.0f * a1 * a2;
    case D3DTOP_MODULATE4X: return 4.0f * a1 * a2;
    case D3DTOP_ADD: return a1 + a2;
    case D3DTOP_ADDSIGNED: return a1 + a2 - 0.5f;
    case D3DTOP_ADDSIGNED2X: return 2.0f * (a1 + a2 - 0.5f);
    case D3DTOP_SUBTRACT: return a1 - a2;
    case D3DTOP_ADDSMOOTH: return a1 + a2 - a1 * a2;
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDFACTORALPHA:
    case D3DTOP_BLENDCURRENTALPHA: return a1 * blendAlpha + a2 * (1.0f - blendAlpha);
    case D3DTOP_BLENDTEXTUREALPHAPM: return a1 + a2 * (1.0f - blendAlpha);
    case D3DTOP_MODULATEALPHA_ADDCOLOR: return a1 + arg1Alpha * a2;
    case D3DTOP_MODULATECOLOR_ADDALPHA: return a1 * a2 + arg1Alpha;
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR: return (1.0f - arg1Alpha) * a2 + a1;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA: return (1.0f - a1) * a2 + arg1Alpha;
    case D3DTOP_MULTIPLYADD: return a0 + a1 * a2;
    case D3DTOP_LERP: return a0 * a1 + (1.0f - a0) * a2;
    default: return a0;  // bump mapping and premodulate are not modelled: pass ARG0 (CURRENT)
  }
}

float blendAlphaFor(DWORD op, const StageInputs &in) {
  switch (op) {
    case D3DTOP_BLENDDIFFUSEALPHA: return in.diffuse->a;
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDTEXTUREALPHAPM: return in.texture->a;
    case D3DTOP_BLENDFACTORALPHA: return in.factor->a;
    case D3DTOP_BLENDCURRENTALPHA: return in.current->a;
    default: return 0.0f;
  }
}

bool argReadsTexture(DWORD arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; }

bool opUsesArg0(DWORD op) { return op == D3DTOP_MULTIPLYADD || op == D3DTOP_LERP; }

}  // namespace

int countEnabledStages(const DrawState &state) {
  int n = 0;
  while (n < kMaxStages && state.stageState[n][D3DTSS_COLOROP] != D3DTOP_DISABLE) ++n;
  return n;
}

bool prepareCascade(const DrawState &state, CascadeSetup &c) {
  c.stageCount = countEnabledStages(state);
  c.textureFactor = colorFromArgb(state.renderState[D3DRS_TEXTUREFACTOR]);
  c.addSpecular = state.renderState[D3DRS_SPECULARENABLE] != 0;
  for (int i = 0; i < c.stageCount; ++i) {
    const DWORD *ss = state.stageState[i];
    StageSetup &s = c.stage[i];
    s.colorOp = ss[D3DTSS_COLOROP];
    s.alphaOp = ss[D3DTSS_ALPHAOP];
    s.colorArg[0] = ss[D3DTSS_COLORARG0];
    s.colorArg[1] = ss[D3DTSS_COLORARG1];
    s.colorArg[2] = ss[D3DTSS_COLORARG2];
    s.alphaArg[0] = ss[D3DTSS_ALPHAARG0];
    s.alphaArg[1] = ss[D3DTSS_ALPHAARG1];
    s.alphaArg[2] = ss[D3DTSS_ALPHAARG2];
    s.resultArg = ss[D3DTSS_RESULTARG];
    s.constant = colorFromArgb(ss[D3DTSS_CONSTANT]);
    const bool alphaOn = s.alphaOp != D3DTOP_DISABLE;
    s.readsTexture = argReadsTexture(s.colorArg[1]) || argReadsTexture(s.colorArg[2]) ||
                     (opUsesArg0(s.colorOp) && argReadsTexture(s.colorArg[0])) ||
                     s.colorOp == D3DTOP_BLENDTEXTUREALPHA || s.colorOp == D3DTOP_BLENDTEXTUREALPHAPM ||
                     (alphaOn && (argReadsTexture(s.alphaArg[1]) || argReadsTexture(s.alphaArg[2]) ||
                                  (opUsesArg0(s.alphaOp) && argReadsTexture(s.alphaArg[0])) ||
                                  s.alphaOp == D3DTOP_BLENDTEXTUREALPHA || s.alphaOp == D3DTOP_BLENDTEXTUREALPHAPM));
    s.hasTexture = state.texture[i].bits != nullptr;
    if (s.readsTexture && s.hasTexture && !prepareSampler(state.texture[i], state.samplerState[i], s.sampler))
      return false;
  }
  return true;
}

Color4 runCascade(const CascadeSetup &c, const PixelInputs &in) {
  const Color4 white{1, 1, 1, 1};
  Color4 current = in.diffuse, temp{0, 0, 0, 0}, texture = white;
  for (int i = 0; i < c.stageCount; ++i) {
    const StageSetup &s = c.stage[i];
    texture = white;
    if (s.readsTexture && s.hasTexture) {
      float t[4];
      sampleTexture(s.sampler, in.uv[i][0], in.uv[i][1], t);
      texture = Color4{t[0], t[1], t[2], t[3]};
    }
    const StageInputs inputs{&in.diffuse, &in.specular, &current, &texture, &temp, &c.textureFactor, &s.constant};

    const Color4 c0 = opUsesArg0(s.colorOp) ? argument(s.colorArg[0], inputs) : current;
    const Color4 c1 = argument(s.colorArg[1], inputs), c2 = argument(s.colorArg[2], inputs);
    const float colorBlend = blendAlphaFor(s.colorOp, inputs);
    Color4 result;
    if (s.colorOp == D3DTOP_DOTPRODUCT3) {
      const float dot = 4.0f * ((c1.r - 0.5f) * (c2.r - 0.5f) + (c1.g - 0.5f) * (c2.g - 0.5f) +
                                (c1.b - 0.5f) * (c2.b - 0.5f));
      result.r = result.g = result.b = sat(dot);
    } else {
      result.r = sat(operate(s.colorOp, c0.r, c1.r, c2.r, c1.a, colorBlend));
      result.g = sat(operate(s.colorOp, c0.g, c1.g, c2.g, c1.a, colorBlend));
      result.b = sat(operate(s.colorOp, c0.b, c1.b, c2.b, c1.a, colorBlend));
    }

    if (s.colorOp == D3DTOP_DOTPRODUCT3) {
      result.a = result.r;  // the dot product goes to all four channels
    } else if (s.alphaOp == D3DTOP_DISABLE) {
      result.a = current.a;
    } else {
      const float a0 = opUsesArg0(s.alphaOp) ? argument(s.alphaArg[0], inputs).a : current.a;
      const float a1 = argument(s.alphaArg[1], inputs).a, a2 = argument(s.alphaArg[2], inputs).a;
      result.a = sat(operate(s.alphaOp, a0, a1, a2, a1, blendAlphaFor(s.alphaOp, inputs)));
    }
    if ((s.resultArg & D3DTA_SELECTMASK) == D3DTA_TEMP)
      temp = result;
    else
      current = result;
  }
  if (c.addSpecular) {
    current.r = sat(current.r + in.specular.r);
    current.g = sat(current.g + in.specular.g);
    current.b = sat(current.b + in.specular.b);
  }
  return current;
}

}  // namespace kvd3d::raster
