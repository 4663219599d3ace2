// Speed of the math routine sets side by side: the matrix product, the 3-vector
// normalisation and the half-float array conversions, each set against the baseline set
// in the same run. Ends with the ratio baseline time / set time for every routine.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "math/half_float.h"
#include "math/table/routine_sets.h"
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

void matrixMultiply(benchmark::State &state, const kv::MathDispatchTable *table) {
  const std::vector<kv::Matrix> a = sampleMatrices();
  const kv::Matrix b = a[1];
  std::vector<kv::Matrix> out(kMatrices);
  kv::MatrixProductFn multiply = table->matrixMultiply;
  benchmark::DoNotOptimize(multiply);
  for (auto _ : state) {
    for (unsigned i = 0; i < kMatrices; ++i) multiply(&out[i], &a[i], &b);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kMatrices);
  state.counters["ns_per_call"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kMatrices,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void vec3Normalize(benchmark::State &state, const kv::MathDispatchTable *table) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> value(-100.0f, 100.0f);
  std::vector<kv::Vector3> in(kMatrices), out(kMatrices);
  for (auto &v : in) v = {value(random), value(random), value(random)};
  kv::Vec3NormalizeFn normalize = table->vec3Normalize;
  benchmark::DoNotOptimize(normalize);
  for (auto _ : state) {
    for (unsigned i = 0; i < kMatrices; ++i) normalize(&out[i], &in[i]);
    benchmark::ClobberMemory();
  }
  state.counters["ns_per_call"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kMatrices,
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

}  // namespace

int main(int argc, char **argv) {
  for (const NamedSet &set : sets()) {
    const kv::MathDispatchTable *table = &set.table;
    benchmark::RegisterBenchmark(("matrixMultiply/" + set.name).c_str(), matrixMultiply, table);
    benchmark::RegisterBenchmark(("vec3Normalize/" + set.name).c_str(), vec3Normalize, table);
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
