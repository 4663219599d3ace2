// The fifteen exports. Each makes sure the scene exists (but dispose and setWindowSize),
// forwards to it, and turns every failure into its documented failure value: no exception
// ever crosses into the host.
#define KVPOLYGON_BUILDING 1
#include "kvpolygon.h"

#include "api/host_image.h"
#include "api/scene_singleton.h"
#include "render/frame_drawing.h"
#include "scene/requested_size.h"
#include "scene/texture_loading.h"

using kv::KvPolygonSet;

namespace {

constexpr int32_t kFailFrame = static_cast<int32_t>(0x80004005u);  // E_FAIL

// Runs f on the scene, or returns failure when there is none and none can be made.
template <typename R, typename F>
R withScene(R failure, F &&f) {
  try {
    KvPolygonSet *scene = kv::ensureScene();
    return scene ? f(*scene) : failure;
  } catch (...) {
    return failure;
  }
}

// The transform exports differ only in which of the polygon's matrices they replace.
using TransformSetup = void (KvPolygonSet::*)(uint32_t, const float *, int);

int replaceTransform(TransformSetup setup, uint32_t number, const float *floats, int flag) {
  return withScene(0, [&](KvPolygonSet &scene) {
    (scene.*setup)(number, floats, flag);
    return 1;
  });
}

}  // namespace

extern "C" {

int KVPOLYGON_CALLER create(void) {
  return withScene(0, [](KvPolygonSet &) { return 1; });
}

void KVPOLYGON_CALLER dispose(void) {
  try {
    kv::disposeScene();
  } catch (...) {
  }
}

unsigned KVPOLYGON_CALLEE setWindowSize(unsigned width, unsigned height) {
  kv::requestedBackBufferSize() = {width, height};
  return width;
}

int KVPOLYGON_CALLEE loadTexture(const char *name, uint32_t image, int width, int height) {
  return withScene(0, [&](KvPolygonSet &scene) {
    const uint32_t *pixels = kv::hostImagePixels(image);
    if (!kv::hostPixelsReachable(pixels, width, height, kv::PixelAccess::Read)) return 0;
    return kv::loadTexture(scene, name, pixels, width, height);
  });
}

int KVPOLYGON_CALLER clearTextures(void) {
  return withScene(0, [](KvPolygonSet &scene) {
    scene.clearTextures();
    return 1;
  });
}

uint32_t KVPOLYGON_CALLER makePolygon(int quad, const float *points) {
  return withScene(0u, [&](KvPolygonSet &scene) { return scene.makePolygon(quad != 0, points); });
}

int KVPOLYGON_CALLER setupTextures(uint32_t number, const char *name, unsigned stage, const float *coords) {
  return withScene(0, [&](KvPolygonSet &scene) { return scene.setupTextures(number, name, stage, coords); });
}

int KVPOLYGON_CALLEE setupTranslate(uint32_t number, const float *xyz, int flag) {
  return replaceTransform(&KvPolygonSet::setupTranslate, number, xyz, flag);
}

int KVPOLYGON_CALLEE setupScale(uint32_t number, const float *xyz, int flag) {
  return replaceTransform(&KvPolygonSet::setupScale, number, xyz, flag);
}

int KVPOLYGON_CALLEE setupRotX(uint32_t number, const float *angle, int flag) {
  return replaceTransform(&KvPolygonSet::setupRotX, number, angle, flag);
}

int KVPOLYGON_CALLEE setupRotY(uint32_t number, const float *angle, int flag) {
  return replaceTransform(&KvPolygonSet::setupRotY, number, angle, flag);
}

int KVPOLYGON_CALLEE setupRotZ(uint32_t number, const float *angle, int flag) {
  return replaceTransform(&KvPolygonSet::setupRotZ, number, angle, flag);
}

int KVPOLYGON_CALLEE disposePolygon(uint32_t number) {
  return withScene(0, [&](KvPolygonSet &scene) {
    scene.disposePolygon(number);
    return 1;
  });
}

int KVPOLYGON_CALLER clearPolygons(void) {
  return withScene(0, [](KvPolygonSet &scene) {
    scene.clearPolygons();
    return 1;
  });
}

int32_t KVPOLYGON_CALLEE drawPaint(uint32_t image, int width, int height) {
  return withScene(kFailFrame, [&](KvPolygonSet &scene) {
    // The host's image is found and its range checked before the device is asked for
    // anything: a bad handle fails the frame without a reset, a purge or a drawn frame.
    uint32_t *pixels = kv::hostImagePixels(image);
    if (!kv::hostPixelsReachable(pixels, width, height, kv::PixelAccess::ReadWrite)) return kFailFrame;
    return static_cast<int32_t>(kv::drawPaint(scene, pixels, width, height));
  });
}

}  // extern "C"
