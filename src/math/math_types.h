// The value types of the math routine table beyond Matrix and Vector3: all are plain
// runs of 32-bit floats (the viewport is Direct3D 9's own), so they can be handed to the
// device or read from vertex data without conversion.
#pragma once

#include <windows.h>
#include <d3d9types.h>

#include "math/scene_math.h"

namespace kv {

struct Vector2 {
  float x, y;
};

struct Vector4 {
  float x, y, z, w;
};

// (x, y, z) is the vector part and w the scalar part.
struct Quaternion {
  float x, y, z, w;
};

// The points p with a*p.x + b*p.y + c*p.z + d = 0; (a, b, c) is the normal.
struct Plane {
  float a, b, c, d;
};

using Viewport = D3DVIEWPORT9;

// Where one element of a vertex lies, for the vertex blending operation. The position
// element counts x, y, z and the blend weights that follow them (3 to 6 floats); the
// normal element is 3 floats.
struct VertexElement {
  UINT offset;          // byte offset inside the vertex
  UINT componentCount;  // number of 32-bit floats
};

static_assert(sizeof(Vector2) == 8 && sizeof(Vector4) == 16, "vectors are packed floats");
static_assert(sizeof(Quaternion) == 16 && sizeof(Plane) == 16, "quaternions and planes are four floats");
static_assert(sizeof(Matrix) == sizeof(D3DMATRIX), "a Matrix goes to SetTransform as it is");

}  // namespace kv
