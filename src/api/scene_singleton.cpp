#include "api/scene_singleton.h"

#include <utility>

#include "gfx/pixel_block.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define KV_LEAK_CHECKER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(KV_LEAK_CHECKER)
#define KV_LEAK_CHECKER 1
#endif
#if defined(KV_LEAK_CHECKER)
#include <sanitizer/lsan_interface.h>
#endif

namespace kv {

namespace {

// A plain pointer with no destructor: unloading the library or ending the process must not
// destroy a scene the host left alive (releasing Direct3D objects while the library is being
// detached is unsafe). Only dispose ends the scene.
KvPolygonSet *g_scene = nullptr;

// A scene outlives the library's own data when the host unloads it with the scene alive; the
// leak checker is told that this object is meant to stay, so it counts as reachable.
void keepThroughUnload([[maybe_unused]] KvPolygonSet *scene) {
#if defined(KV_LEAK_CHECKER)
  __lsan_ignore_object(scene);
#endif
}

}  // namespace

KvPolygonSet *currentScene() { return g_scene; }

KvPolygonSet *ensureScene() {
  if (!g_scene) {
    g_scene = KvPolygonSet::create(GetForegroundWindow()).release();
    if (g_scene) keepThroughUnload(g_scene);
  }
  return g_scene;
}

void disposeScene() {
  delete std::exchange(g_scene, nullptr);
  releaseKeptPixelBlocks();  // a disposed scene keeps no image memory
}

}  // namespace kv
