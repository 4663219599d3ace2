// The library's exports as a host program reaches them: loaded with dlopen and found by
// their undecorated names. Shared by the tests, the benchmarks and the demo (build tree only).
#pragma once

#include <dlfcn.h>

#include <type_traits>

#include "kvpolygon.h"

// Typed from the header, so the exports are called with their own calling conventions.
struct KvPolygonExports {
  decltype(&::create) create;
  decltype(&::dispose) dispose;
  decltype(&::setWindowSize) setWindowSize;
  decltype(&::loadTexture) loadTexture;
  decltype(&::clearTextures) clearTextures;
  decltype(&::makePolygon) makePolygon;
  decltype(&::setupTextures) setupTextures;
  decltype(&::setupTranslate) setupTranslate;
  decltype(&::setupScale) setupScale;
  decltype(&::setupRotX) setupRotX;
  decltype(&::setupRotY) setupRotY;
  decltype(&::setupRotZ) setupRotZ;
  decltype(&::disposePolygon) disposePolygon;
  decltype(&::clearPolygons) clearPolygons;
  decltype(&::drawPaint) drawPaint;
};

// Finds every export in the loaded library; for each one that is missing calls
// missing(name). True when all fifteen were found.
template <typename Missing>
bool bindKvPolygonExports(void *library, KvPolygonExports &e, Missing &&missing) {
  bool all = true;
  auto bind = [&](const char *name, auto &f) {
    void *symbol = dlsym(library, name);
    f = reinterpret_cast<std::remove_reference_t<decltype(f)>>(symbol);
    if (!symbol) {
      missing(name);
      all = false;
    }
  };
  bind("create", e.create);
  bind("dispose", e.dispose);
  bind("setWindowSize", e.setWindowSize);
  bind("loadTexture", e.loadTexture);
  bind("clearTextures", e.clearTextures);
  bind("makePolygon", e.makePolygon);
  bind("setupTextures", e.setupTextures);
  bind("setupTranslate", e.setupTranslate);
  bind("setupScale", e.setupScale);
  bind("setupRotX", e.setupRotX);
  bind("setupRotY", e.setupRotY);
  bind("setupRotZ", e.setupRotZ);
  bind("disposePolygon", e.disposePolygon);
  bind("clearPolygons", e.clearPolygons);
  bind("drawPaint", e.drawPaint);
  return all;
}
