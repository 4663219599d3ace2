// Frames per second of the benchmark scene through the exports (textured quads, drawPaint
// with read-back into a host image on ordinary 4 KiB-page memory) beside the same scene
// drawn by Mesa's off-screen software renderer (llvmpipe), in one run: N = 1, 10, 100, 1000
// quads, each side with one thread and with its default thread count, for each frame size
// given with --frame=WxH (any number of them; by default 544x416, 1920x1080 and 3840x2160). llvmpipe reads LP_NUM_THREADS when it starts,
// so its frames are drawn by child processes of this program (it re-executes itself with
// the environment set); ours are drawn in-process with KVPOLYGON_D3D9_THREADS set before
// the device is made. A table of ratios follows the benchmark output.
#include <GL/gl.h>
#include <GL/osmesa.h>
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "exports_scene.h"
#include "math/scene_math.h"
#include "render/camera.h"

namespace {

using namespace kvbench;
const int kCounts[] = {1, 10, 100, 1000};
// On a shared 2-core machine a neighbour can take one core for seconds at a time, and three
// runs in a row sometimes all fell into such a stretch; five, interleaved with the other
// cases' runs (see main), rarely do.
constexpr int kRepetitions = 5;
std::string gSelf;  // this program, for the child processes

std::map<std::string, double> gFps, gCpu;  // per case, for the ratio table

// Processor time of every thread of this process.
double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct FrameSize {
  int width, height;
  std::string name() const { return std::to_string(width) + "x" + std::to_string(height); }
};

void BM_Ours(benchmark::State &state, bool singleThread, FrameSize size) {
  // The stand-in device reads the variable when it is made (create below).
  if (singleThread)
    setenv("KVPOLYGON_D3D9_THREADS", "1", 1);
  else
    unsetenv("KVPOLYGON_D3D9_THREADS");
  const int count = static_cast<int>(state.range(0));
  const Exports *kv = library();
  if (kv) kv->setWindowSize(static_cast<unsigned>(size.width), static_cast<unsigned>(size.height));
  if (!kv || !kv->create()) {
    state.SkipWithError("library unavailable");
    return;
  }
  if (!buildScene(*kv, count)) {
    state.SkipWithError("scene unavailable");
    kv->dispose();
    return;
  }
  const HostImage image(size.width, size.height);
  const double cpuStart = processCpuSeconds();
  for (auto _ : state)
    if (kv->drawPaint(image.handle(), size.width, size.height) != 0) {
      state.SkipWithError("drawPaint failed");
      break;
    }
  if (state.iterations() > 0)
    state.counters["cpu_ms/frame"] = 1000.0 * (processCpuSeconds() - cpuStart) / static_cast<double>(state.iterations());
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  kv->dispose();
  kv->setWindowSize(kW, kH);
  unsetenv("KVPOLYGON_D3D9_THREADS");
}

// ---- the peer, in a child process ----------------------------------------------------

// Draws frames for about `seconds` after a warm-up and prints "frames seconds".
int peerChild(int count, int width, int height, double seconds) {
  std::vector<uint32_t> frame(static_cast<size_t>(width) * height);
  OSMesaContext ctx = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
  if (!ctx || !OSMesaMakeCurrent(ctx, frame.data(), GL_UNSIGNED_BYTE, width, height)) return 1;
  // The checker in memory order: the host image's rows run bottom first.
  std::vector<uint32_t> checker(static_cast<size_t>(kTextureSize) * kTextureSize), texels(checker.size());
  fillChecker(checker.data(), kTextureSize);
  for (int y = 0; y < kTextureSize; ++y)
    std::memcpy(&texels[static_cast<size_t>(y) * kTextureSize],
                &checker[static_cast<size_t>(kTextureSize - 1 - y) * kTextureSize], kTextureSize * 4);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  // ARGB words are B, G, R, A bytes in memory.
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kTextureSize, kTextureSize, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glColor4f(1, 1, 1, 1);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_TRUE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_CULL_FACE);
  glViewport(0, 0, width, height);
  glClearColor(0, 0, 0, 0);
  glClearDepth(1.0);

  // Row-vector matrices (v x M) read column-major by GL are the same transforms.
  const kv::Matrix view = kv::cameraView();
  const kv::Matrix projection = kv::cameraProjection(width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(&projection.m[0][0]);
  std::vector<kv::Matrix> worldView(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const QuadPlacement q = placement(i);
    kv::Matrix rx, ry, rz, t, w = kv::identityMatrix();
    kv::matrixRotationX(&rx, q.ax);
    kv::matrixRotationY(&ry, q.ay);
    kv::matrixRotationZ(&rz, q.az);
    kv::matrixTranslation(&t, q.move[0], q.move[1], q.move[2]);
    kv::matrixMultiply(&w, &w, &rx);
    kv::matrixMultiply(&w, &w, &ry);
    kv::matrixMultiply(&w, &w, &rz);
    kv::matrixMultiply(&w, &w, &t);
    kv::matrixMultiply(&worldView[static_cast<size_t>(i)], &w, &view);
  }
  glMatrixMode(GL_MODELVIEW);
  const float corners[4][4] = {{-128, -128, 0, 0}, {-128, 128, 0, 2}, {128, -128, 2, 0}, {128, 128, 2, 2}};
  auto drawFrame = [&] {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (const kv::Matrix &m : worldView) {
      glLoadMatrixf(&m.m[0][0]);
      glBegin(GL_TRIANGLE_STRIP);
      for (const auto &c : corners) {
        glTexCoord2f(c[2], c[3]);
        glVertex3f(c[0], c[1], 0);
      }
      glEnd();
    }
    glFinish();  // the frame is in `frame` now
  };
  for (int i = 0; i < 3; ++i) drawFrame();
  using Clock = std::chrono::steady_clock;
  const double cpuStart = processCpuSeconds();
  const auto start = Clock::now();
  long frames = 0;
  double elapsed = 0;
  do {
    drawFrame();
    ++frames;
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed < seconds);
  const double cpu = processCpuSeconds() - cpuStart;
  std::printf("%ld %.9f %.9f\n", frames, elapsed, cpu);
  OSMesaDestroyContext(ctx);
  return 0;
}

void BM_Llvmpipe(benchmark::State &state, bool singleThread, FrameSize size) {
  const int count = static_cast<int>(state.range(0));
  const std::string command = std::string(singleThread ? "LP_NUM_THREADS=0 " : "") + "'" + gSelf +
                              "' --peer-child " + std::to_string(count) + " " + std::to_string(size.width) + " " +
                              std::to_string(size.height) + " 2>/dev/null";
  for (auto _ : state) {
    FILE *child = popen(command.c_str(), "r");
    long frames = 0;
    double seconds = 0, cpu = 0;
    const bool read = child && std::fscanf(child, "%ld %lf %lf", &frames, &seconds, &cpu) == 3;
    const int status = child ? pclose(child) : -1;
    if (!read || status != 0 || frames <= 0 || seconds <= 0) {
      state.SkipWithError("the OSMesa child failed");
      return;
    }
    state.SetIterationTime(seconds / static_cast<double>(frames));
    state.counters["frames/s"] = static_cast<double>(frames) / seconds;
    state.counters["cpu_ms/frame"] = 1000.0 * cpu / static_cast<double>(frames);
  }
}

// Remembers the best frames per second of each case's repetitions for the ratio table: on a
// machine shared with other work the best of a few runs is the least disturbed one.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      const auto it = run.counters.find("frames/s");
      if (it == run.counters.end() || run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      double &best = gFps[run.benchmark_name()];
      best = std::max(best, it->second.value);
      const auto cpu = run.counters.find("cpu_ms/frame");
      if (cpu != run.counters.end()) {
        double &least = gCpu[run.benchmark_name()];
        least = least == 0 ? cpu->second.value : std::min(least, cpu->second.value);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

double valueOf(const std::map<std::string, double> &values, const std::string &prefix, int n) {
  for (const auto &[name, value] : values)
    if (name.rfind(prefix + "/" + std::to_string(n) + "/", 0) == 0) return value;
  return 0;
}
double fpsOf(const std::string &prefix, int n) { return valueOf(gFps, prefix, n); }

// The ratio tables of one frame size.
void printTables(const FrameSize &size) {
  const std::string at = "_" + size.name();
  std::printf("\n%s: frames/s (best of %d), ours (through the exports, with read-back) / llvmpipe, same run\n",
              size.name().c_str(), kRepetitions);
  std::printf("%6s %12s %12s %7s %12s %12s %7s\n", "N", "ours 1 thr", "llvmpipe 1", "ratio", "ours all",
              "llvmpipe all", "ratio");
  for (int n : kCounts) {
    const double o1 = fpsOf("ours_1thread" + at, n), l1 = fpsOf("llvmpipe_1thread" + at, n);
    const double on = fpsOf("ours_threads" + at, n), ln = fpsOf("llvmpipe_threads" + at, n);
    std::printf("%6d %12.1f %12.1f %6.2fx %12.1f %12.1f %6.2fx\n", n, o1, l1, l1 > 0 ? o1 / l1 : 0.0, on, ln,
                ln > 0 ? on / ln : 0.0);
  }
  // The figure that counts: each side in its best configuration.
  std::printf("\n%s: best configuration of each side (frames/s)\n%6s %12s %12s %7s\n", size.name().c_str(), "N",
              "ours best", "llvmpipe best", "ratio");
  for (int n : kCounts) {
    const double ours = std::max(fpsOf("ours_1thread" + at, n), fpsOf("ours_threads" + at, n));
    const double peer = std::max(fpsOf("llvmpipe_1thread" + at, n), fpsOf("llvmpipe_threads" + at, n));
    std::printf("%6d %12.1f %12.1f %6.2fx\n", n, ours, peer, peer > 0 ? ours / peer : 0.0);
  }
  // Frames per second depend on how much of the shared machine each side got; processor
  // time per frame (all threads) does not.
  std::printf("\n%s: processor ms per frame (least of %d, all threads), llvmpipe / ours = how many times cheaper ours is\n",
              size.name().c_str(), kRepetitions);
  std::printf("%6s %12s %12s %7s %12s %12s %7s\n", "N", "ours 1 thr", "llvmpipe 1", "ratio", "ours all",
              "llvmpipe all", "ratio");
  for (int n : kCounts) {
    const double o1 = valueOf(gCpu, "ours_1thread" + at, n), l1 = valueOf(gCpu, "llvmpipe_1thread" + at, n);
    const double on = valueOf(gCpu, "ours_threads" + at, n), ln = valueOf(gCpu, "llvmpipe_threads" + at, n);
    std::printf("%6d %12.3f %12.3f %6.2fx %12.3f %12.3f %6.2fx\n", n, o1, l1, o1 > 0 ? l1 / o1 : 0.0, on, ln,
                on > 0 ? ln / on : 0.0);
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 5 && std::strcmp(argv[1], "--peer-child") == 0)
    return peerChild(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), 0.5);
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  gSelf = length > 0 ? std::string(self, static_cast<size_t>(length)) : std::string(argv[0]);
  // --frame=WxH, taken off the command line before the benchmark library reads it.
  std::vector<FrameSize> sizes;
  std::vector<char *> args;
  for (int i = 0; i < argc; ++i) {
    int width = 0, height = 0;
    if (i > 0 && std::sscanf(argv[i], "--frame=%dx%d", &width, &height) == 2) {
      if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        std::fprintf(stderr, "%s: a frame size from 1x1 to 8192x8192\n", argv[i]);
        return 2;
      }
      sizes.push_back({width, height});
    } else {
      args.push_back(argv[i]);
    }
  }
  if (sizes.empty()) sizes = {{544, 416}, {1920, 1080}, {3840, 2160}};
  for (const FrameSize &size : sizes)
    for (int n : kCounts) {
      // Interleaved per N so that all four figures of a row see the same load on the machine.
      const std::string at = "_" + size.name();
      benchmark::RegisterBenchmark(("ours_1thread" + at).c_str(), BM_Ours, true, size)
          ->Arg(n)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();
      benchmark::RegisterBenchmark(("llvmpipe_1thread" + at).c_str(), BM_Llvmpipe, true, size)
          ->Arg(n)->Repetitions(kRepetitions)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("ours_threads" + at).c_str(), BM_Ours, false, size)
          ->Arg(n)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();
      benchmark::RegisterBenchmark(("llvmpipe_threads" + at).c_str(), BM_Llvmpipe, false, size)
          ->Arg(n)->Repetitions(kRepetitions)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
    }
  // Repetitions in random order across the cases, unless the command line says otherwise: a
  // stretch of disturbance then spreads over several cases instead of all runs of one.
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  bool chosen = false;
  for (char *arg : args) chosen = chosen || std::strstr(arg, "random_interleaving") != nullptr;
  if (!chosen) args.push_back(interleave);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  for (const FrameSize &size : sizes) printTables(size);
  return 0;
}
