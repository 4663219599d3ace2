#pragma once
// Where each element of a flexible-vertex-format vertex lives.
#include "rasterizer.h"

namespace kvd3d::raster {

constexpr int kMaxTexCoordSets = 8;

struct VertexLayout {
  bool pretransformed = false;  // XYZRHW: screen x, y, depth z and 1/w
  int diffuseOffset = -1;       // -1 when the vertex has no such element
  int specularOffset = -1;
  int texCoordCount = 0;
  int texCoordOffset[kMaxTexCoordSets] = {};
  int texCoordSize[kMaxTexCoordSets] = {};  // floats per set, 1..4
  int size = 0;                             // bytes per vertex
};

// False for a format the pipeline cannot draw (no position, XYZW, reserved bits).
bool parseFvf(DWORD fvf, VertexLayout &layout);

}  // namespace kvd3d::raster
