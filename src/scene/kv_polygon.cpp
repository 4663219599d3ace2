#include "scene/kv_polygon.h"

namespace kv {

namespace {
// Corners run top-left, bottom-left, top-right, bottom-right of the texture (a strip).
constexpr float kDefaultUv[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
}  // namespace

KvPolygon::KvPolygon(bool isQuad, const float *points) : quad(isQuad ? 1 : 0) {
  for (Matrix &m : transforms) m = identityMatrix();
  for (int i = 0; i < cornerCount(); ++i) {
    PolygonVertex &c = corners[i];
    c.x = points[2 * i];
    c.y = points[2 * i + 1];
    c.z = 0.0f;
    c.u0 = c.u1 = kDefaultUv[i][0];
    c.v0 = c.v1 = kDefaultUv[i][1];
  }
}

void KvPolygon::setTexture(unsigned stage, TextureEntryId texture, const float *coords) {
  if (stage > 1) return;
  textures[stage] = texture;
  for (int i = 0; i < cornerCount(); ++i) {
    float &u = stage == 0 ? corners[i].u0 : corners[i].u1;
    float &v = stage == 0 ? corners[i].v0 : corners[i].v1;
    u = coords[2 * i];
    v = coords[2 * i + 1];
  }
}

Matrix KvPolygon::worldMatrix() const {
  Matrix world = identityMatrix();
  for (const Matrix &m : transforms) matrixMultiply(&world, &world, &m);
  return world;
}

}  // namespace kv
