// One flat triangle or quadrilateral of the scene, with its textures and transforms.
#pragma once

#include <cstdint>

#include "math/scene_math.h"

namespace kv {

// The device's vertex format XYZ | TEX2: position, then u, v of stage 0 and of stage 1.
struct PolygonVertex {
  float x, y, z;
  float u0, v0;
  float u1, v1;
};
static_assert(sizeof(PolygonVertex) == 28, "PolygonVertex is the 28-byte XYZ|TEX2 vertex");
constexpr uint32_t kPolygonVertexFormat = 0x202;  // D3DFVF_XYZ | D3DFVF_TEX2

// The five transforms, in the order the world matrix applies them.
enum TransformKind { kScale = 0, kRotateX, kRotateY, kRotateZ, kTranslate, kTransformCount };

// A polygon names its textures by the serial number of their texture-list entry (0: none),
// never by the texture itself: entries and their textures may be released and made again
// (clearTextures, device reset), and a released texture must never be bound.
using TextureEntryId = uint32_t;

class KvPolygon {
 public:
  KvPolygon(bool quad, const float *points);
  virtual ~KvPolygon() = default;

  int cornerCount() const { return quad ? 4 : 3; }
  // Sets one stage's texture and its coordinates (two floats per corner).
  void setTexture(unsigned stage, TextureEntryId texture, const float *coords);
  // scale x rotX x rotY x rotZ x translation, through the math table's product.
  Matrix worldMatrix() const;

  int32_t quad;
  int32_t disposed = 0;
  TextureEntryId textures[2] = {0, 0};
  PolygonVertex corners[4] = {};
  int32_t transformFlags[kTransformCount] = {};
  Matrix transforms[kTransformCount];
};

}  // namespace kv
