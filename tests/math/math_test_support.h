// Shared by the math tests: a processor that reports what a test needs, tables built
// from one routine set, and a fixture that puts the process-wide math state back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "math/table/dispatch_table.h"
#include "math/math_test_hooks.h"
#include "math/table/processor_detection.h"
#include "math/table/routine_sets.h"
#include "testing/win32_control.h"

namespace kvmathtest {

// Leaf 1 EDX bits.
constexpr uint32_t kMmxBit = 1u << 23;
constexpr uint32_t kSseBit = 1u << 25;
constexpr uint32_t kSse2Bit = 1u << 26;
// Leaf 0x80000001 EDX bits.
constexpr uint32_t k3DNowBit = 1u << 31;
constexpr uint32_t k3DNowExtBit = 1u << 30;
constexpr uint32_t kMmxExtBit = 1u << 22;

struct FakeProcessor {
  bool hasCpuid = true;
  uint32_t maxBasicLeaf = 1;
  uint32_t leaf1Edx = 0;
  uint32_t maxExtendedLeaf = 0x80000000u;
  uint32_t extendedEdx = 0;
  std::vector<uint32_t> leavesAsked;
};

inline FakeProcessor g_processor;

inline bool fakeCpuid(uint32_t leaf, kv::CpuidResult *r) {
  g_processor.leavesAsked.push_back(leaf);
  if (!g_processor.hasCpuid) return false;
  *r = {};
  if (leaf == 0) r->eax = g_processor.maxBasicLeaf;
  if (leaf == 1 && g_processor.maxBasicLeaf >= 1) r->edx = g_processor.leaf1Edx;
  if (leaf == 0x80000000u) r->eax = g_processor.maxExtendedLeaf;
  if (leaf == 0x80000001u && g_processor.maxExtendedLeaf >= 0x80000001u) r->edx = g_processor.extendedEdx;
  return true;
}

// A processor reporting the given leaf-1 and extended bits.
inline void useProcessor(uint32_t leaf1Edx, uint32_t extendedEdx = 0) {
  g_processor = FakeProcessor{};
  g_processor.leaf1Edx = leaf1Edx;
  if (extendedEdx) {
    g_processor.maxExtendedLeaf = 0x80000001u;
    g_processor.extendedEdx = extendedEdx;
  }
  kv::test_hooks::setCpuidFunction(&fakeCpuid);
}

enum class RoutineSet { Baseline, Sse, Sse2, ThreeDNow };

inline const char *nameOf(RoutineSet set) {
  switch (set) {
    case RoutineSet::Baseline: return "Baseline";
    case RoutineSet::Sse: return "Sse";
    case RoutineSet::Sse2: return "Sse2";
    case RoutineSet::ThreeDNow: return "ThreeDNow";
  }
  return "?";
}

// The sets this build can run here (SSE and SSE2 only on x86).
inline std::vector<RoutineSet> runnableSets() {
  std::vector<RoutineSet> sets{RoutineSet::Baseline, RoutineSet::ThreeDNow};
  if (kv::simdRoutinesBuilt()) {
    sets.push_back(RoutineSet::Sse);
    sets.push_back(RoutineSet::Sse2);
  }
  return sets;
}

// The table the set-up would build for one set, made without touching the real table.
inline kv::MathDispatchTable tableFor(RoutineSet set) {
  kv::MathDispatchTable table = kv::portableRoutineList();
  switch (set) {
    case RoutineSet::Baseline: break;
    case RoutineSet::Sse: kv::installSseRoutines(table); break;
    case RoutineSet::Sse2: kv::installSse2Routines(table); break;
    case RoutineSet::ThreeDNow: kv::install3DNowRoutines(table); break;
  }
  return table;
}

inline constexpr const char *kDirect3DKey = "Software\\Direct3D";

// Every test starts from a process that has not set up its math yet, with no Direct3D
// settings and the processor's own answers, and leaves it that way.
class MathStateTest : public ::testing::Test {
 protected:
  void SetUp() override { restore(); }
  void TearDown() override { restore(); }

  static void restore() {
    kv::test_hooks::resetMathDispatch();
    kv::test_hooks::setCpuidFunction(nullptr);
    kv::test_hooks::setNewDeleteFunctions(nullptr);
    kv::test_hooks::resetNewDeleteCheck();
    kv::test_hooks::resetMmxState();
    kv::test_hooks::resetDebugMuteState();
    kvtest::registryRemoveKey(HKEY_LOCAL_MACHINE, kDirect3DKey);
    kvtest::resetProcessorFeatures();
    kvtest::resetModules();
    kvtest::clearDebugSetMuteCalls();
    kvtest::clearDebugOutput();
    g_processor = FakeProcessor{};
  }

  static void setSetting(const char *name, DWORD value) {
    kvtest::registrySetDword(HKEY_LOCAL_MACHINE, kDirect3DKey, name, value);
  }
};

}  // namespace kvmathtest
