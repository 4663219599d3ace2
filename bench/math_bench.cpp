// Speed of the math routine sets side by side: every operation for which a set carries a
// routine of its own, timed for that set and for the baseline set in the same run. Ends
// with the ratio baseline time / set time for every routine.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "math/half_float.h"
#include "math/table/routine_sets.h"
#include "math/math_types.h"
#include "math/matrix_math.h"
#include "math/scene_math.h"

namespace {

struct NamedSet {
  std::string name;
  kv::MathDispatchTable table;
};

std::vector<NamedSet> &sets() {
  static std::vector<NamedSet> all = [] {
    std::vector<NamedSet> s;
    s.push_back({"Baseline", kv::portableRoutineList()});
    if (kv::simdRoutinesBuilt()) {
      kv::MathDispatchTable sse = kv::portableRoutineList();
      kv::installSseRoutines(sse);
      s.push_back({"Sse", sse});
      kv::MathDispatchTable sse2 = kv::portableRoutineList();
      kv::installSse2Routines(sse2);
      s.push_back({"Sse2", sse2});
    }
    // Portable code standing in for the 3DNow! instructions.
    kv::MathDispatchTable threeDNow = kv::portableRoutineList();
    kv::install3DNowRoutines(threeDNow);
    s.push_back({"ThreeDNowPortable", threeDNow});
    return s;
  }();
  return all;
}

constexpr unsigned kMatrices = 256;
constexpr unsigned kElements = 4096;

std::vector<kv::Matrix> sampleMatrices() {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(-4.0f, 4.0f);
  std::vector<kv::Matrix> m(kMatrices);
  for (auto &matrix : m)
    for (auto &row : matrix.m)
      for (float &e : row) e = value(random);
  return m;
}

// Inputs for the per-call operations: kMatrices of each kind, made once.
struct Inputs {
  std::vector<kv::Matrix> matrices = sampleMatrices();
  std::vector<kv::Matrix> rotations;
  std::vector<kv::Vector4> vectors;
  std::vector<kv::Quaternion> quaternions;
  std::vector<kv::Plane> planes;
  std::vector<kv::Vector2> parameters;

  Inputs() {
    std::mt19937 random(13);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    for (unsigned i = 0; i < kMatrices; ++i) {
      vectors.push_back({value(random), value(random), value(random), value(random)});
      const kv::Vector4 &v = vectors.back();
      const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z + v.w * v.w);
      quaternions.push_back({v.x / length, v.y / length, v.z / length, v.w / length});
      planes.push_back({v.w, v.x, v.y, v.z});
      kv::Matrix r;
      kv::matrixRotationAxis(&r, reinterpret_cast<const kv::Vector3 *>(&v), v.w);
      rotations.push_back(r);
      const float u = std::fabs(v.x) * 0.25f, w = std::fabs(v.y) * 0.25f;
      parameters.push_back({u, w});
    }
  }
};

const Inputs &inputs() {
  static const Inputs all;
  return all;
}

// Output space, big enough for any operation's results.
struct Outputs {
  std::vector<kv::Matrix> matrices = std::vector<kv::Matrix>(kMatrices);
  float scalar = 0.0f;
};

// One call of an operation on input i, through the given table.
using Call = void (*)(const kv::MathDispatchTable &t, const Inputs &in, Outputs &out, unsigned i);

template <typename T>
T *as(kv::Matrix &m) {
  return reinterpret_cast<T *>(&m);
}

template <typename T>
const T *as(const kv::Vector4 &v) {
  return reinterpret_cast<const T *>(&v);
}

struct Operation {
  const char *name;
  size_t slot;  // byte offset of the slot in the table
  Call call;    // null for the array operations, which have their own bodies
};

#define KV_SLOT(name) offsetof(kv::MathDispatchTable, name)

const Operation kOperations[] = {
    {"vec2Transform", KV_SLOT(vec2Transform),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.vec2Transform(as<kv::Vector4>(out.matrices[i]), as<kv::Vector2>(in.vectors[i]), &in.matrices[i]);
     }},
    {"vec3Transform", KV_SLOT(vec3Transform),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.vec3Transform(as<kv::Vector4>(out.matrices[i]), as<kv::Vector3>(in.vectors[i]), &in.matrices[i]);
     }},
    {"vec4Transform", KV_SLOT(vec4Transform),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.vec4Transform(as<kv::Vector4>(out.matrices[i]), &in.vectors[i], &in.matrices[i]);
     }},
    {"matrixMultiply", KV_SLOT(matrixMultiply),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.matrixMultiply(&out.matrices[i], &in.matrices[i], &in.matrices[1]);
     }},
    {"matrixMultiplyTranspose", KV_SLOT(matrixMultiplyTranspose),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.matrixMultiplyTranspose(&out.matrices[i], &in.matrices[i], &in.matrices[1]);
     }},
    {"vec2TransformDirection", KV_SLOT(vec2TransformDirection),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.vec2TransformDirection(as<kv::Vector2>(out.matrices[i]), as<kv::Vector2>(in.vectors[i]), &in.matrices[i]);
     }},
    {"vec3TransformDirection", KV_SLOT(vec3TransformDirection),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.vec3TransformDirection(as<kv::Vector3>(out.matrices[i]), as<kv::Vector3>(in.vectors[i]), &in.matrices[i]);
     }},
    {"vec3Normalize", KV_SLOT(vec3Normalize),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.vec3Normalize(as<kv::Vector3>(out.matrices[i]), as<kv::Vector3>(in.vectors[i]));
     }},
    {"vec4Normalize", KV_SLOT(vec4Normalize),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.vec4Normalize(as<kv::Vector4>(out.matrices[i]), &in.vectors[i]);
     }},
    {"vec2TransformPoint", KV_SLOT(vec2TransformPoint),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.vec2TransformPoint(as<kv::Vector2>(out.matrices[i]), as<kv::Vector2>(in.vectors[i]), &in.matrices[i]);
     }},
    {"vec3TransformPoint", KV_SLOT(vec3TransformPoint),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.vec3TransformPoint(as<kv::Vector3>(out.matrices[i]), as<kv::Vector3>(in.vectors[i]), &in.matrices[i]);
     }},
    {"matrixDeterminant", KV_SLOT(matrixDeterminant),
     [](const auto &t, const auto &in, auto &out, unsigned i) { out.scalar += t.matrixDeterminant(&in.matrices[i]); }},
    {"planeFromPoints", KV_SLOT(planeFromPoints),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.planeFromPoints(as<kv::Plane>(out.matrices[i]), as<kv::Vector3>(in.vectors[i]),
                         as<kv::Vector3>(in.vectors[(i + 1) % kMatrices]),
                         as<kv::Vector3>(in.vectors[(i + 2) % kMatrices]));
     }},
    {"vec4Cross", KV_SLOT(vec4Cross),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.vec4Cross(as<kv::Vector4>(out.matrices[i]), &in.vectors[i], &in.vectors[(i + 1) % kMatrices],
                   &in.vectors[(i + 2) % kMatrices]);
     }},
    {"vec2Hermite", KV_SLOT(vec2Hermite),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       const auto *v = as<kv::Vector2>(in.vectors[i]);
       t.vec2Hermite(as<kv::Vector2>(out.matrices[i]), v, v + 1, v, v + 1, in.parameters[i].x);
     }},
    {"matrixInverse", KV_SLOT(matrixInverse),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.matrixInverse(&out.matrices[i], &out.scalar, &in.matrices[i]);
     }},
    {"quaternionMultiply", KV_SLOT(quaternionMultiply),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.quaternionMultiply(as<kv::Quaternion>(out.matrices[i]), &in.quaternions[i], &in.quaternions[1]);
     }},
    {"quaternionNormalize", KV_SLOT(quaternionNormalize),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.quaternionNormalize(as<kv::Quaternion>(out.matrices[i]), as<kv::Quaternion>(in.vectors[i]));
     }},
    {"planeNormalize", KV_SLOT(planeNormalize),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.planeNormalize(as<kv::Plane>(out.matrices[i]), &in.planes[i]);
     }},
    {"planeIntersectLine", KV_SLOT(planeIntersectLine),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.planeIntersectLine(as<kv::Vector3>(out.matrices[i]), &in.planes[i], as<kv::Vector3>(in.vectors[i]),
                            as<kv::Vector3>(in.vectors[(i + 1) % kMatrices]));
     }},
    {"quaternionFromMatrix", KV_SLOT(quaternionFromMatrix),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.quaternionFromMatrix(as<kv::Quaternion>(out.matrices[i]), &in.rotations[i]);
     }},
    {"quaternionFromYawPitchRoll", KV_SLOT(quaternionFromYawPitchRoll),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       const kv::Vector4 &v = in.vectors[i];
       t.quaternionFromYawPitchRoll(as<kv::Quaternion>(out.matrices[i]), v.x, v.y, v.z);
     }},
    {"matrixShadow", KV_SLOT(matrixShadow),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.matrixShadow(&out.matrices[i], &in.vectors[i], &in.planes[(i + 1) % kMatrices]);
     }},
    {"matrixReflect", KV_SLOT(matrixReflect),
     [](const auto &t, const auto &in, auto &out, unsigned i) { t.matrixReflect(&out.matrices[i], &in.planes[i]); }},
    {"planeTransform", KV_SLOT(planeTransform),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.planeTransform(as<kv::Plane>(out.matrices[i]), &in.planes[i], &in.matrices[i]);
     }},
    {"quaternionInverse", KV_SLOT(quaternionInverse),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.quaternionInverse(as<kv::Quaternion>(out.matrices[i]), as<kv::Quaternion>(in.vectors[i]));
     }},
    {"vec2CatmullRom", KV_SLOT(vec2CatmullRom),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       const auto *v = as<kv::Vector2>(in.vectors[i]);
       t.vec2CatmullRom(as<kv::Vector2>(out.matrices[i]), v, v + 1, v, v + 1, in.parameters[i].x);
     }},
    {"vec2Barycentric", KV_SLOT(vec2Barycentric),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       const auto *v = as<kv::Vector2>(in.vectors[i]);
       t.vec2Barycentric(as<kv::Vector2>(out.matrices[i]), v, v + 1, v, in.parameters[i].x, in.parameters[i].y);
     }},
    {"vec3Hermite", KV_SLOT(vec3Hermite),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       const auto *v = as<kv::Vector3>(in.vectors[i]);
       const auto *w = as<kv::Vector3>(in.vectors[(i + 1) % kMatrices]);
       t.vec3Hermite(as<kv::Vector3>(out.matrices[i]), v, w, w, v, in.parameters[i].x);
     }},
    {"vec3CatmullRom", KV_SLOT(vec3CatmullRom),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       const auto *v = as<kv::Vector3>(in.vectors[i]);
       const auto *w = as<kv::Vector3>(in.vectors[(i + 1) % kMatrices]);
       t.vec3CatmullRom(as<kv::Vector3>(out.matrices[i]), v, w, w, v, in.parameters[i].x);
     }},
    {"vec3Barycentric", KV_SLOT(vec3Barycentric),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       const auto *v = as<kv::Vector3>(in.vectors[i]);
       const auto *w = as<kv::Vector3>(in.vectors[(i + 1) % kMatrices]);
       t.vec3Barycentric(as<kv::Vector3>(out.matrices[i]), v, w, v, in.parameters[i].x, in.parameters[i].y);
     }},
    {"vec4Hermite", KV_SLOT(vec4Hermite),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       const auto *v = &in.vectors[i], *w = &in.vectors[(i + 1) % kMatrices];
       t.vec4Hermite(as<kv::Vector4>(out.matrices[i]), v, w, w, v, in.parameters[i].x);
     }},
    {"vec4CatmullRom", KV_SLOT(vec4CatmullRom),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       const auto *v = &in.vectors[i], *w = &in.vectors[(i + 1) % kMatrices];
       t.vec4CatmullRom(as<kv::Vector4>(out.matrices[i]), v, w, w, v, in.parameters[i].x);
     }},
    {"vec4Barycentric", KV_SLOT(vec4Barycentric),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       const auto *v = &in.vectors[i], *w = &in.vectors[(i + 1) % kMatrices];
       t.vec4Barycentric(as<kv::Vector4>(out.matrices[i]), v, w, v, in.parameters[i].x, in.parameters[i].y);
     }},
    {"matrixRotationX", KV_SLOT(matrixRotationX),
     [](const auto &t, const auto &in, auto &out, unsigned i) { t.matrixRotationX(&out.matrices[i], in.vectors[i].x); }},
    {"matrixRotationAxis", KV_SLOT(matrixRotationAxis),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.matrixRotationAxis(&out.matrices[i], as<kv::Vector3>(in.vectors[i]), in.vectors[i].w);
     }},
    {"quaternionFromAxisAngle", KV_SLOT(quaternionFromAxisAngle),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       t.quaternionFromAxisAngle(as<kv::Quaternion>(out.matrices[i]), as<kv::Vector3>(in.vectors[i]),
                                 in.vectors[i].w);
     }},
    {"matrixRotationYawPitchRoll", KV_SLOT(matrixRotationYawPitchRoll),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       const kv::Vector4 &v = in.vectors[i];
       t.matrixRotationYawPitchRoll(&out.matrices[i], v.x, v.y, v.z);
     }},
    {"evaluateTrianglePatch", KV_SLOT(evaluateTrianglePatch),
     [](const auto &t, const auto &in, auto &out, unsigned i) {
       // Sixteen points of one patch per call.
       const auto *corners = as<kv::Vector3>(in.vectors[i % (kMatrices - 3)]);
       t.evaluateTrianglePatch(corners, corners + 1, &in.parameters[i & ~15u], 16,
                               as<kv::Vector3>(out.matrices[(i % (kMatrices / 4)) * 4]));
     }},
};

// The strided transforms: the whole array of 4096 elements per call, packed both ways.
struct ArrayOperation {
  const char *name;
  size_t slot;
  void (*call)(const kv::MathDispatchTable &t, std::vector<kv::Vector4> &out, const std::vector<kv::Vector4> &in,
               const kv::Matrix *m);
};

const ArrayOperation kArrayOperations[] = {
    {"vec2TransformArray", KV_SLOT(vec2TransformArray),
     [](const auto &t, auto &out, const auto &in, const kv::Matrix *m) {
       t.vec2TransformArray(out.data(), 16, as<kv::Vector2>(in[0]), 8, m, kElements);
     }},
    {"vec2TransformPointArray", KV_SLOT(vec2TransformPointArray),
     [](const auto &t, auto &out, const auto &in, const kv::Matrix *m) {
       t.vec2TransformPointArray(reinterpret_cast<kv::Vector2 *>(out.data()), 8, as<kv::Vector2>(in[0]), 8, m,
                                 kElements);
     }},
    {"vec2TransformDirectionArray", KV_SLOT(vec2TransformDirectionArray),
     [](const auto &t, auto &out, const auto &in, const kv::Matrix *m) {
       t.vec2TransformDirectionArray(reinterpret_cast<kv::Vector2 *>(out.data()), 8, as<kv::Vector2>(in[0]), 8, m,
                                     kElements);
     }},
    {"vec3TransformArray", KV_SLOT(vec3TransformArray),
     [](const auto &t, auto &out, const auto &in, const kv::Matrix *m) {
       t.vec3TransformArray(out.data(), 16, as<kv::Vector3>(in[0]), 12, m, kElements);
     }},
    {"vec3TransformPointArray", KV_SLOT(vec3TransformPointArray),
     [](const auto &t, auto &out, const auto &in, const kv::Matrix *m) {
       t.vec3TransformPointArray(reinterpret_cast<kv::Vector3 *>(out.data()), 12, as<kv::Vector3>(in[0]), 12, m,
                                 kElements);
     }},
    {"vec3TransformDirectionArray", KV_SLOT(vec3TransformDirectionArray),
     [](const auto &t, auto &out, const auto &in, const kv::Matrix *m) {
       t.vec3TransformDirectionArray(reinterpret_cast<kv::Vector3 *>(out.data()), 12, as<kv::Vector3>(in[0]), 12, m,
                                     kElements);
     }},
    {"vec4TransformArray", KV_SLOT(vec4TransformArray),
     [](const auto &t, auto &out, const auto &in, const kv::Matrix *m) {
       t.vec4TransformArray(out.data(), 16, in.data(), 16, m, kElements);
     }},
    {"planeTransformArray", KV_SLOT(planeTransformArray),
     [](const auto &t, auto &out, const auto &in, const kv::Matrix *m) {
       t.planeTransformArray(reinterpret_cast<kv::Plane *>(out.data()), 16, as<kv::Plane>(in[0]), 16, m, kElements);
     }},
};

const void *slotValue(const kv::MathDispatchTable &table, size_t slot) {
  const void *value;
  std::memcpy(&value, reinterpret_cast<const unsigned char *>(&table) + slot, sizeof value);
  return value;
}

void perCall(benchmark::State &state, const Operation *operation, const kv::MathDispatchTable *table) {
  const Inputs &in = inputs();
  Outputs out;
  for (auto _ : state) {
    for (unsigned i = 0; i < kMatrices; ++i) operation->call(*table, in, out, i);
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(out.scalar);
  state.counters["ns_per_call"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kMatrices,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void perArray(benchmark::State &state, const ArrayOperation *operation, const kv::MathDispatchTable *table) {
  std::mt19937 random(17);
  std::uniform_real_distribution<float> value(-2.0f, 2.0f);
  std::vector<kv::Vector4> in(kElements), out(kElements);
  for (auto &v : in) v = {value(random), value(random), value(random), value(random)};
  const kv::Matrix m = inputs().matrices[3];
  for (auto _ : state) {
    operation->call(*table, out, in, &m);
    benchmark::ClobberMemory();
  }
  state.counters["ns_per_element"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kElements,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void float32To16Array(benchmark::State &state, const kv::MathDispatchTable *table) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> value(-70000.0f, 70000.0f);
  std::vector<float> in(kElements);
  for (float &f : in) f = value(random) * std::pow(2.0f, static_cast<float>(random() % 30) - 20.0f);
  std::vector<uint16_t> out(kElements);
  for (auto _ : state) {
    table->float32To16Array(out.data(), in.data(), kElements);
    benchmark::ClobberMemory();
  }
  state.counters["ns_per_element"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kElements,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void float16To32Array(benchmark::State &state, const kv::MathDispatchTable *table) {
  std::mt19937 random(5);
  std::vector<uint16_t> in(kElements);
  for (uint16_t &h : in) h = static_cast<uint16_t>(random());
  std::vector<float> out(kElements);
  for (auto _ : state) {
    table->float16To32Array(out.data(), in.data(), kElements);
    benchmark::ClobberMemory();
  }
  state.counters["ns_per_element"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kElements,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Keeps each run's processor time (steadier than wall time on a shared machine) so that the ratios against the baseline can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run> &runs) override {
    // With repetitions the median stands for the run; otherwise the single run does.
    for (const Run &run : runs) {
      const std::string name = run.run_name.str();
      if (run.run_type == Run::RT_Iteration && !medians_.count(name))
        times_[name] = run.GetAdjustedCPUTime();
      else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        medians_[name] = times_[name] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void printRatios() const {
    std::printf("\nspeed relative to the baseline set (baseline CPU time / set CPU time):\n");
    for (const auto &[name, time] : times_) {
      const size_t slash = name.find('/');
      if (slash == std::string::npos) continue;
      const std::string operation = name.substr(0, slash);
      const auto baseline = times_.find(operation + "/Baseline");
      if (baseline == times_.end() || time <= 0.0) continue;
      std::printf("  %-36s %6.2fx\n", name.c_str(), baseline->second / time);
    }
  }

 private:
  std::map<std::string, double> times_;
  std::map<std::string, double> medians_;
};

// Each operation for the baseline and for every set whose routine in that slot is its
// own (the same routine shared by two sets is timed for both).
template <typename Op, size_t N, typename Body>
void registerEverySet(const Op (&operations)[N], Body body) {
  const kv::MathDispatchTable &baseline = sets().front().table;
  for (const Op &operation : operations) {
    for (const NamedSet &set : sets()) {
      if (&set.table != &baseline && slotValue(set.table, operation.slot) == slotValue(baseline, operation.slot))
        continue;
      benchmark::RegisterBenchmark((std::string(operation.name) + "/" + set.name).c_str(), body, &operation,
                                   &set.table);
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  registerEverySet(kOperations, perCall);
  registerEverySet(kArrayOperations, perArray);
  for (const NamedSet &set : sets()) {
    const kv::MathDispatchTable *table = &set.table;
    benchmark::RegisterBenchmark(("float32To16Array/" + set.name).c_str(), float32To16Array, table);
    benchmark::RegisterBenchmark(("float16To32Array/" + set.name).c_str(), float16To32Array, table);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  benchmark::Shutdown();
  return 0;
}
