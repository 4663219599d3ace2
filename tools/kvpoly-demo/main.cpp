// kvpoly-demo: a small host program. It loads the library as a host does, gives it a few
// pictures of its own as textures, builds a scene of overlapping textured triangles and
// quads (some translucent, one with a second texture on stage 1), animates their
// transforms, writes every frame as a PNG file and reports the frame rate.
//
//   kvpoly-demo [output folder] [frames]
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "demo_textures.h"
#include "kvhost.h"
#include "kvpolygon_exports.h"
#include "png_writer.h"

namespace {

constexpr int kWidth = 544, kHeight = 416;

bool load(KvPolygonExports &e) {
  const char *path = std::getenv("KVPOLYGON_LIBRARY");
  if (!path) path = KV_LIBRARY_PATH;
  void *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::fprintf(stderr, "kvpoly-demo: cannot load %s: %s\n", path, dlerror());
    return false;
  }
  return bindKvPolygonExports(library, e,
                              [](const char *name) { std::fprintf(stderr, "kvpoly-demo: export missing: %s\n", name); });
}

struct Shape {
  uint32_t number;
  bool quad;
  float x, y, z;     // where it stands
  float spin;        // how fast it turns
};

constexpr const char *kTextureNames[] = {"photo", "checker", "glyphs"};

// Paints the demo's pictures into a host image and loads each under its name.
bool loadTextures(const KvPolygonExports &kv) {
  using Painter = void (*)(uint32_t *);
  const Painter painters[] = {demo::paintPhoto, demo::paintChecker, demo::paintGlyphs, demo::paintVignette};
  const char *names[] = {kTextureNames[0], kTextureNames[1], kTextureNames[2], "vignette"};
  const uint32_t image = kvhost_image_create(demo::kTextureSize, demo::kTextureSize);
  if (!image) return false;
  bool ok = true;
  for (int i = 0; i < 4 && ok; ++i) {
    painters[i](kvhost_image_pixels(image));
    ok = kv.loadTexture(names[i], image, demo::kTextureSize, demo::kTextureSize) == 1;
    if (!ok) std::fprintf(stderr, "kvpoly-demo: texture %s could not be loaded\n", names[i]);
  }
  kvhost_image_destroy(image);
  return ok;
}

// A ring of textured quads and triangles at different depths, overlapping one another,
// behind a large photo; the photo is shaded by a vignette on stage 1.
std::vector<Shape> buildScene(const KvPolygonExports &kv) {
  static const float quad[8] = {-60, 60, -60, -60, 60, 60, 60, -60};
  static const float triangle[6] = {0, 80, -70, -40, 70, -40};
  static const float quadUv[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  static const float triangleUv[6] = {0.5f, 0, 0, 1, 1, 1};
  static const float backdrop[8] = {-240, 180, -240, -180, 240, 180, 240, -180};
  std::vector<Shape> shapes;
  Shape back{};
  back.quad = true;
  back.number = kv.makePolygon(1, backdrop);
  kv.setupTextures(back.number, "photo", 0, quadUv);
  kv.setupTextures(back.number, "vignette", 1, quadUv);
  back.z = 260.0f;
  shapes.push_back(back);
  for (int i = 0; i < 12; ++i) {
    const float a = static_cast<float>(i) * 6.2831853f / 12.0f;
    Shape s{};
    s.quad = i % 3 != 0;
    s.number = kv.makePolygon(s.quad ? 1 : 0, s.quad ? quad : triangle);
    kv.setupTextures(s.number, kTextureNames[i % 3], 0, s.quad ? quadUv : triangleUv);
    s.x = 170.0f * std::cos(a);
    s.y = 120.0f * std::sin(a);
    s.z = 150.0f * std::sin(2.0f * a);
    s.spin = 0.5f + 0.1f * static_cast<float>(i % 5);
    shapes.push_back(s);
  }
  return shapes;
}

void animate(const KvPolygonExports &kv, const std::vector<Shape> &shapes, int frame) {
  const float t = static_cast<float>(frame) * 0.08f;
  const float backdrop[3] = {0.0f, 0.0f, shapes.front().z};
  kv.setupTranslate(shapes.front().number, backdrop, 0);
  for (const Shape &s : shapes) {
    if (&s == &shapes.front()) continue;
    const float scale[3] = {1.0f + 0.25f * std::sin(t + s.x), 1.0f, 1.0f};
    const float ax = 0.6f * std::sin(t * s.spin), ay = t * s.spin, az = 0.3f * t;
    const float move[3] = {s.x, s.y, s.z + 80.0f * std::sin(t + s.y)};
    kv.setupScale(s.number, scale, 0);
    kv.setupRotX(s.number, &ax, 0);
    kv.setupRotY(s.number, &ay, 0);
    kv.setupRotZ(s.number, &az, 0);
    kv.setupTranslate(s.number, move, 0);
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc > 1 && argv[1][0] == '-') {
    // No options: a first argument with a dash is a request for help, or a mistake.
    const bool help = std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0;
    std::fprintf(help ? stdout : stderr,
                 "usage: kvpoly-demo [folder [frames]]\n"
                 "Draws the demo scene and writes each frame as folder/frame_NNN.png (default: out, 48 frames).\n");
    return help ? 0 : 2;
  }
  const std::string folder = argc > 1 ? argv[1] : "out";
  const int frames = argc > 2 ? std::max(1, std::atoi(argv[2])) : 48;
  KvPolygonExports kv{};
  if (!load(kv)) return 1;
  mkdir(folder.c_str(), 0755);

  kv.setWindowSize(kWidth, kHeight);
  if (!kv.create()) {
    std::fprintf(stderr, "kvpoly-demo: the scene could not be made\n");
    return 1;
  }
  const uint32_t image = kvhost_image_create(kWidth, kHeight);
  if (!image) {
    std::fprintf(stderr, "kvpoly-demo: no memory for the frame\n");
    return 1;
  }
  if (!loadTextures(kv)) return 1;
  const std::vector<Shape> shapes = buildScene(kv);
  std::printf("scene: %zu textured polygons (%d quads), back buffer %dx%d\n", shapes.size(),
              static_cast<int>(std::count_if(shapes.begin(), shapes.end(), [](const Shape &s) { return s.quad; })),
              kWidth, kHeight);

  std::vector<double> times;
  for (int f = 0; f < frames; ++f) {
    animate(kv, shapes, f);
    const auto start = std::chrono::steady_clock::now();
    const int32_t result = kv.drawPaint(image, kWidth, kHeight);
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    if (result != 0) {
      std::fprintf(stderr, "kvpoly-demo: frame %d failed: 0x%08X\n", f, static_cast<unsigned>(result));
      return 1;
    }
    char name[64];
    std::snprintf(name, sizeof name, "/frame_%03d.png", f);
    if (!writeFramePng(folder + name, kvhost_image_pixels(image), kWidth, kHeight)) {
      std::fprintf(stderr, "kvpoly-demo: cannot write %s%s\n", folder.c_str(), name);
      return 1;
    }
  }
  std::sort(times.begin(), times.end());
  std::printf("frames: %d written to %s/\n", frames, folder.c_str());
  std::printf("median: %.3f ms per frame (drawPaint)\n", times[times.size() / 2]);
  kvhost_image_destroy(image);
  kv.dispose();
  return 0;
}
