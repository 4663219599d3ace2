// The five transforms of a polygon: each call replaces one matrix; nothing accumulates.
#include "scene/kv_polygon_set.h"

namespace kv {

template <typename Build>
void KvPolygonSet::replaceTransform(uint32_t number, TransformKind kind, int flag, Build build) {
  KvPolygon *polygon = findPolygon(number);
  if (!polygon) return;
  build(&polygon->transforms[kind]);
  polygon->transformFlags[kind] = flag;
}

void KvPolygonSet::setupScale(uint32_t number, const float *xyz, int flag) {
  if (!xyz) return;
  replaceTransform(number, kScale, flag, [&](Matrix *m) { matrixScaling(m, xyz[0], xyz[1], xyz[2]); });
}

void KvPolygonSet::setupRotX(uint32_t number, const float *angle, int flag) {
  if (!angle) return;
  replaceTransform(number, kRotateX, flag, [&](Matrix *m) { matrixRotationX(m, *angle); });
}

void KvPolygonSet::setupRotY(uint32_t number, const float *angle, int flag) {
  if (!angle) return;
  replaceTransform(number, kRotateY, flag, [&](Matrix *m) { matrixRotationY(m, *angle); });
}

void KvPolygonSet::setupRotZ(uint32_t number, const float *angle, int flag) {
  if (!angle) return;
  replaceTransform(number, kRotateZ, flag, [&](Matrix *m) { matrixRotationZ(m, *angle); });
}

void KvPolygonSet::setupTranslate(uint32_t number, const float *xyz, int flag) {
  if (!xyz) return;
  replaceTransform(number, kTranslate, flag, [&](Matrix *m) { matrixTranslation(m, xyz[0], xyz[1], xyz[2]); });
}

}  // namespace kv
