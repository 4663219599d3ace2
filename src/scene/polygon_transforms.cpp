// The five transforms of a polygon: each call replaces one matrix; nothing accumulates.
#include "scene/kv_polygon_set.h"

namespace kv {

// Unknown numbers and missing floats change nothing.
template <typename Build>
void KvPolygonSet::replaceTransform(uint32_t number, TransformKind kind, int flag, const float *floats, Build build) {
  KvPolygon *polygon = findPolygon(number);
  if (!polygon || !floats) return;
  build(&polygon->transforms[kind]);
  polygon->transformFlags[kind] = flag;
}

void KvPolygonSet::setupScale(uint32_t number, const float *xyz, int flag) {
  replaceTransform(number, kScale, flag, xyz, [&](Matrix *m) { matrixScaling(m, xyz[0], xyz[1], xyz[2]); });
}

void KvPolygonSet::setupRotX(uint32_t number, const float *angle, int flag) {
  replaceTransform(number, kRotateX, flag, angle, [&](Matrix *m) { matrixRotationX(m, *angle); });
}

void KvPolygonSet::setupRotY(uint32_t number, const float *angle, int flag) {
  replaceTransform(number, kRotateY, flag, angle, [&](Matrix *m) { matrixRotationY(m, *angle); });
}

void KvPolygonSet::setupRotZ(uint32_t number, const float *angle, int flag) {
  replaceTransform(number, kRotateZ, flag, angle, [&](Matrix *m) { matrixRotationZ(m, *angle); });
}

void KvPolygonSet::setupTranslate(uint32_t number, const float *xyz, int flag) {
  replaceTransform(number, kTranslate, flag, xyz, [&](Matrix *m) { matrixTranslation(m, xyz[0], xyz[1], xyz[2]); });
}

}  // namespace kv
