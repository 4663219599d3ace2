// The library's one scene, made on first use and kept until dispose.
#pragma once

#include "scene/kv_polygon_set.h"

namespace kv {

// The scene if there is one, else null.
KvPolygonSet *currentScene();

// Makes the scene on the foreground window if there is none. The scene, or null when it
// could not be made (the next call tries again).
KvPolygonSet *ensureScene();

// Destroys the scene if there is one.
void disposeScene();

}  // namespace kv
