// The scene's polygons: numbering, textures, disposal and removal.
#include <new>

#include "scene/kv_polygon_set.h"

namespace kv {

uint32_t KvPolygonSet::makePolygon(bool quad, const float *points) {
  if (!points) return 0;
  std::unique_ptr<KvPolygon> polygon(new (std::nothrow) KvPolygon(quad, points));
  if (!polygon) return 0;
  if (polygonCounter_ == 0xFFFFFFFFu) return 0;
  if (!polygons_.insert(polygonCounter_ + 1, std::move(polygon))) return 0;
  return ++polygonCounter_;
}

int KvPolygonSet::setupTextures(uint32_t number, const char *name, unsigned stage, const float *coords) {
  KvPolygon *polygon = findPolygon(number);
  if (!polygon || !name) return 0;
  const TextureList *entry = findTextureEntry(name);
  if (!entry) return 0;
  if (stage > 1) return 1;  // only stages 0 and 1 exist; a higher one changes nothing
  if (!coords) return 0;
  polygon->setTexture(stage, entry->id, coords);
  return 1;
}

void KvPolygonSet::disposePolygon(uint32_t number) {
  if (KvPolygon *polygon = findPolygon(number)) polygon->disposed = 1;
}

void KvPolygonSet::clearPolygons() {
  polygons_.clear();
  polygonCounter_ = 0;
}

void KvPolygonSet::purgeDisposedPolygons() {
  polygons_.eraseIf([](uint32_t, const KvPolygon *p) { return !p || p->disposed; });
}

const TextureList *KvPolygonSet::findTextureEntry(const char *name) const { return textures_.findByName(name); }

IDirect3DTexture9 *KvPolygonSet::textureOf(TextureEntryId id) const {
  const TextureList *entry = textures_.findById(id);
  return entry ? entry->texture.get() : nullptr;
}

void KvPolygonSet::clearTextures() { textures_.clear(); }

}  // namespace kv
