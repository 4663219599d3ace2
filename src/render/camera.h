// The fixed camera and the projection that follows the viewport's aspect.
#pragma once

#include "math/scene_math.h"

namespace kv {

// Eye (0, 0, -580) looking at the origin, y up, left-handed.
Matrix cameraView();

// Vertical field of view pi/4, aspect width / height, near 0.1, far 100000.
Matrix cameraProjection(unsigned viewportWidth, unsigned viewportHeight);

}  // namespace kv
