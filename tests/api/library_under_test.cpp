#include "api/library_under_test.h"

#include <cstdlib>

#include "testing/d3d9_control.h"
#include "testing/win32_control.h"

namespace {

template <typename F>
void bind(void *library, const char *name, F &f) {
  void *symbol = dlsym(library, name);
  if (!symbol) {
    ADD_FAILURE() << "export missing: " << name;
    std::abort();
  }
  f = reinterpret_cast<F>(symbol);
}

KvPolygonExports load() {
  void *library = dlopen(KV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    ADD_FAILURE() << "cannot load " << KV_LIBRARY_PATH << ": " << dlerror();
    std::abort();
  }
  KvPolygonExports e{};
  bind(library, "create", e.create);
  bind(library, "dispose", e.dispose);
  bind(library, "setWindowSize", e.setWindowSize);
  bind(library, "loadTexture", e.loadTexture);
  bind(library, "clearTextures", e.clearTextures);
  bind(library, "makePolygon", e.makePolygon);
  bind(library, "setupTextures", e.setupTextures);
  bind(library, "setupTranslate", e.setupTranslate);
  bind(library, "setupScale", e.setupScale);
  bind(library, "setupRotX", e.setupRotX);
  bind(library, "setupRotY", e.setupRotY);
  bind(library, "setupRotZ", e.setupRotZ);
  bind(library, "disposePolygon", e.disposePolygon);
  bind(library, "clearPolygons", e.clearPolygons);
  bind(library, "drawPaint", e.drawPaint);
  return e;
}

void resetStandIns() {
  kvtest::d3d9Reset();
  kvtest::clearMessageBoxes();
  kvtest::clearDebugOutput();
  kvtest::setForegroundWindow(kvtest::defaultForegroundWindow());
}

}  // namespace

const KvPolygonExports &kvLibrary() {
  static const KvPolygonExports exports = load();
  return exports;
}

void HostTest::SetUp() {
  kv.dispose();
  resetStandIns();
  kv.setWindowSize(544, 416);
}

void HostTest::TearDown() {
  kv.dispose();
  resetStandIns();
}
