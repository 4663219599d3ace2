#include "api/scene_singleton.h"

#include <memory>

namespace kv {

namespace {
std::unique_ptr<KvPolygonSet> &scenePointer() {
  static std::unique_ptr<KvPolygonSet> scene;
  return scene;
}
}  // namespace

KvPolygonSet *currentScene() { return scenePointer().get(); }

KvPolygonSet *ensureScene() {
  auto &scene = scenePointer();
  if (!scene) scene = KvPolygonSet::create(GetForegroundWindow());
  return scene.get();
}

void disposeScene() { scenePointer().reset(); }

}  // namespace kv
