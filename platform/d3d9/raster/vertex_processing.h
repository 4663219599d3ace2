#pragma once
// Vertex fetch, transform and the colour a vertex feeds to the pixel stages.
#include "clipper.h"
#include "raster_types.h"
#include "triangle_setup.h"
#include "vertex_layout.h"

namespace kvd3d::raster {

// screen = offset + scale * (clip / w), per axis; z goes to the depth range.
struct ScreenMapping {
  float offsetX, scaleX, offsetY, scaleY, offsetZ, scaleZ;
};

struct VertexSetup {
  VertexLayout layout;
  float transform[4][4];  // world * view * projection
  bool lit;               // XYZ vertices with LIGHTING on
  Color4 litEmissive, litAmbient;  // per-vertex sources resolved at fetch time when from the vertex
  DWORD emissiveSource, ambientSource, diffuseSource;
  int stageCount;                     // stages that get texture coordinates
  int texCoordSet[kMaxStages];        // set read by each stage
  int attrCount;
  ClipVolume volume;
  ScreenMapping mapping;
};

// Guard band: how far beyond the viewport x and y may reach before geometric clipping.
constexpr float kGuardBandPixels = 4096.0f;
// Smallest w a vertex may keep after clipping.
constexpr float kMinClipW = 1e-6f;

void prepareVertexSetup(const DrawState &state, const VertexLayout &layout, int stageCount, VertexSetup &setup);

void fetchVertex(const VertexSetup &setup, const BYTE *src, ClipVertex &out);

// Only for vertices inside the clip volume (w > 0, within the guard band).
void projectVertex(const VertexSetup &setup, const ClipVertex &in, ScreenVertex &out);

}  // namespace kvd3d::raster
