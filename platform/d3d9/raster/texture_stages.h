#pragma once
// The fixed-function texture cascade: up to eight stages of colour and alpha operations.
#include "raster_types.h"
#include "sampler.h"

namespace kvd3d::raster {

struct StageSetup {
  DWORD colorOp, alphaOp;
  DWORD colorArg[3], alphaArg[3];  // ARG0, ARG1, ARG2
  DWORD resultArg;
  Color4 constant;
  bool readsTexture;
  bool hasTexture;  // false: the texture argument reads opaque white
  SamplerSetup sampler;
};

struct CascadeSetup {
  int stageCount;  // stages before the first whose COLOROP is DISABLE
  StageSetup stage[kMaxStages];
  Color4 textureFactor;
  bool addSpecular;
};

// Counts the enabled stages without touching textures (the vertex stage needs it first).
int countEnabledStages(const DrawState &state);

// False when a stage that reads its texture has one the sampler cannot read.
bool prepareCascade(const DrawState &state, CascadeSetup &cascade);

struct PixelInputs {
  Color4 diffuse, specular;
  float uv[kMaxStages][2];
};

// The colour leaving the cascade (CURRENT of the last enabled stage), each channel in [0, 1].
Color4 runCascade(const CascadeSetup &cascade, const PixelInputs &in);

}  // namespace kvd3d::raster
