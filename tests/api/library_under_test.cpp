#include "api/library_under_test.h"

#include <cstdlib>

#include "testing/d3d9_control.h"
#include "testing/win32_control.h"

namespace {

KvPolygonExports load() {
  void *library = dlopen(KV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    ADD_FAILURE() << "cannot load " << KV_LIBRARY_PATH << ": " << dlerror();
    std::abort();
  }
  KvPolygonExports e{};
  if (!bindKvPolygonExports(library, e, [](const char *name) { ADD_FAILURE() << "export missing: " << name; }))
    std::abort();
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
