// A host that unloads the library, or ends, with its scene still alive: only dispose ends a
// scene, so the device stays alive and the process still exits cleanly (no crash, and no
// leak report from the sanitizer builds).
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "api/library_under_test.h"
#include "testing/d3d9_control.h"

namespace {

[[noreturn]] void fail(const char *why, int code) {
  std::fprintf(stderr, "%s\n", why);
  std::_Exit(code);
}

// Runs last at exit (registered before the library is loaded, so after anything the
// library registers): the host's scene must not have been destroyed on the way out.
void requireLiveDeviceAtExit() {
  if (kvtest::d3d9LiveDevices() != 1) fail("the scene's device was released at unload or exit", 3);
}

// The whole host, run in a fresh process in which nothing else holds the library.
[[noreturn]] void hostLeavingTheSceneAlive(bool unload) {
  if (dlopen(KV_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD)) fail("the library was already loaded", 4);
  std::atexit(requireLiveDeviceAtExit);
  void *library = dlopen(KV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!library) fail(dlerror(), 5);
  auto create = reinterpret_cast<int (*)()>(dlsym(library, "create"));
  auto makePolygon = reinterpret_cast<uint32_t (*)(int, const float *)>(dlsym(library, "makePolygon"));
  if (!create || !makePolygon) fail("exports missing", 6);
  const float corners[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  if (create() != 1 || makePolygon(1, corners) != 1) fail("no scene", 7);
  if (unload) {
    if (dlclose(library) != 0) fail(dlerror(), 8);
    if (dlopen(KV_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD)) fail("the library stayed loaded", 9);
    if (kvtest::d3d9LiveDevices() != 1) fail("unloading released the scene's device", 10);
  }
  std::exit(0);
}

class SceneOutlivesLibrary : public ::testing::TestWithParam<bool> {
 protected:
  // Each child runs this test again from the start, so the library is loaded only there.
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_P(SceneOutlivesLibrary, DeviceStaysAliveAndTheHostExitsCleanly) {
  EXPECT_EXIT(hostLeavingTheSceneAlive(GetParam()), ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(UnloadOrExit, SceneOutlivesLibrary, ::testing::Values(true, false),
                         [](const auto &info) { return info.param ? "Unload" : "Exit"; });

}  // namespace
