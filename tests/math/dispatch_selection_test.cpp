// Which routine set the first math call chooses, for every combination of processor
// report and Direct3D setting, and what the table holds before and after.
#include <cstring>
#include <string>

#include "math/half_float.h"
#include "math/matrix_math.h"
#include "math/scene_math.h"
#include "math/vector_math.h"
#include "math_test_support.h"

namespace kvmathtest {
namespace {

using kv::mathVariant;
using kv::setUpMathDispatch;

class DispatchSelection : public MathStateTest {
 protected:
  static void reportsOs(DWORD feature, bool present) { kvtest::setProcessorFeature(feature, present); }

  static bool tableEquals(const kv::MathDispatchTable &a, const kv::MathDispatchTable &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
  }
};

TEST_F(DispatchSelection, Sse2ProcessorWithoutSettingsGetsTheSse2Set) {
  useProcessor(kMmxBit | kSseBit | kSse2Bit);
  reportsOs(PF_3DNOW_INSTRUCTIONS_AVAILABLE, false);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariantSse2);
  EXPECT_EQ(kv::installedMathRoutineGroups(), DWORD{kv::kRoutinesSse2});
  if (kv::simdRoutinesBuilt()) {
    EXPECT_TRUE(tableEquals(kv::g_mathDispatchTable, tableFor(RoutineSet::Sse2)));
  }
}

TEST_F(DispatchSelection, SseNeedsTheOperatingSystemsReportAsWell) {
  useProcessor(kMmxBit | kSseBit);
  reportsOs(PF_3DNOW_INSTRUCTIONS_AVAILABLE, false);
  reportsOs(PF_XMMI_INSTRUCTIONS_AVAILABLE, true);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariantSse);
  if (kv::simdRoutinesBuilt()) {
    EXPECT_TRUE(tableEquals(kv::g_mathDispatchTable, tableFor(RoutineSet::Sse)));
  }

  kv::test_hooks::resetMathDispatch();
  reportsOs(PF_XMMI_INSTRUCTIONS_AVAILABLE, false);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariantBaseline);
  EXPECT_TRUE(tableEquals(kv::g_mathDispatchTable, kv::portableRoutineList()));
}

TEST_F(DispatchSelection, ProcessorWithoutSimdOrWithoutCpuidKeepsTheBaseline) {
  useProcessor(kMmxBit);
  reportsOs(PF_3DNOW_INSTRUCTIONS_AVAILABLE, false);
  reportsOs(PF_XMMI_INSTRUCTIONS_AVAILABLE, false);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariantBaseline);

  kv::test_hooks::resetMathDispatch();
  g_processor.hasCpuid = false;
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariantBaseline);
  EXPECT_EQ(kv::installedMathRoutineGroups(), DWORD{kv::kRoutinesBaseline});
}

TEST_F(DispatchSelection, DisablePsgpOneForcesTheBaselineEvenWithSse2) {
  useProcessor(kMmxBit | kSseBit | kSse2Bit);
  reportsOs(PF_3DNOW_INSTRUCTIONS_AVAILABLE, true);
  setSetting("DisablePSGP", 1);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariantBaseline);
  EXPECT_TRUE(tableEquals(kv::g_mathDispatchTable, kv::portableRoutineList()));
  // The processor is not even asked.
  EXPECT_TRUE(g_processor.leavesAsked.empty());
}

TEST_F(DispatchSelection, OwnSettingReplacesTheGeneralOneEvenWhenZero) {
  useProcessor(kMmxBit | kSseBit | kSse2Bit);
  reportsOs(PF_3DNOW_INSTRUCTIONS_AVAILABLE, false);
  setSetting("DisablePSGP", 1);
  setSetting("DisableKvMathPSGP", 0);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariantSse2);

  kv::test_hooks::resetMathDispatch();
  setSetting("DisablePSGP", 0);
  setSetting("DisableKvMathPSGP", 1);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariantBaseline);
}

TEST_F(DispatchSelection, ThreeDNowPathWinsOverSse2UnlessTheSettingIsTwo) {
  useProcessor(kMmxBit | kSseBit | kSse2Bit, k3DNowBit);
  reportsOs(PF_3DNOW_INSTRUCTIONS_AVAILABLE, true);
  reportsOs(PF_XMMI_INSTRUCTIONS_AVAILABLE, true);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariant3DNow);
  EXPECT_EQ(kv::installedMathRoutineGroups(), DWORD{kv::kRoutines3DNow | kv::kRoutinesSseArrays});
  EXPECT_EQ(kv::g_mathDispatchTable.vec3Normalize, tableFor(RoutineSet::ThreeDNow).vec3Normalize);

  kv::test_hooks::resetMathDispatch();
  setSetting("DisableKvMathPSGP", 2);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariantSse2);

  // Other values mean full detection, as if nothing were set.
  for (DWORD value : {0u, 3u, 0xFFFFFFFFu}) {
    kv::test_hooks::resetMathDispatch();
    setSetting("DisableKvMathPSGP", value);
    EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariant3DNow) << value;
  }
}

TEST_F(DispatchSelection, ThreeDNowPathInstallsOnlyWhatTheProcessorReports) {
  reportsOs(PF_3DNOW_INSTRUCTIONS_AVAILABLE, true);

  // A processor with 3DNow! and its extensions (and SSE for the array routines).
  useProcessor(kMmxBit | kSseBit, k3DNowBit | k3DNowExtBit | kMmxExtBit);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariant3DNow);
  EXPECT_EQ(kv::installedMathRoutineGroups(),
            DWORD{kv::kRoutines3DNow | kv::kRoutines3DNowExtended | kv::kRoutinesSseArrays});
  // The strided transforms come from the SSE set, the rest from the 3DNow! set.
  if (kv::simdRoutinesBuilt()) {
    EXPECT_EQ(kv::g_mathDispatchTable.vec3TransformArray, tableFor(RoutineSet::Sse).vec3TransformArray);
    EXPECT_EQ(kv::g_mathDispatchTable.planeTransformArray, tableFor(RoutineSet::Sse).planeTransformArray);
  }
  EXPECT_EQ(kv::g_mathDispatchTable.vec3Transform, kv::portableRoutineList().vec3Transform);
  EXPECT_EQ(kv::g_mathDispatchTable.matrixRotationAxis, tableFor(RoutineSet::ThreeDNow).matrixRotationAxis);

  // The extensions count only together with the extended MMX instructions.
  kv::test_hooks::resetMathDispatch();
  useProcessor(kMmxBit, k3DNowBit | k3DNowExtBit);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariant3DNow);
  EXPECT_EQ(kv::installedMathRoutineGroups(), DWORD{kv::kRoutines3DNow});

  // Without MMX the 3DNow! routines are not installed, but the path is still taken: the
  // baseline serves and the SSE sets are not considered.
  kv::test_hooks::resetMathDispatch();
  useProcessor(kSseBit | kSse2Bit, k3DNowBit);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariant3DNow);
  EXPECT_EQ(kv::installedMathRoutineGroups(), DWORD{kv::kRoutinesSseArrays});
  EXPECT_EQ(kv::g_mathDispatchTable.vec3Normalize, kv::portableRoutineList().vec3Normalize);
}

TEST_F(DispatchSelection, SettingsOfAnotherTypeOrSizeCountAsAbsent) {
  useProcessor(kMmxBit | kSseBit | kSse2Bit);
  reportsOs(PF_3DNOW_INSTRUCTIONS_AVAILABLE, false);

  kvtest::registrySetRaw(HKEY_LOCAL_MACHINE, kDirect3DKey, "DisablePSGP", REG_SZ, "1", 2);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariantSse2);

  kv::test_hooks::resetMathDispatch();
  const uint64_t wide = 1;
  kvtest::registrySetRaw(HKEY_LOCAL_MACHINE, kDirect3DKey, "DisablePSGP", REG_QWORD, &wide, 8);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariantSse2);

  kv::test_hooks::resetMathDispatch();
  kvtest::registrySetRaw(HKEY_LOCAL_MACHINE, kDirect3DKey, "DisablePSGP", REG_DWORD, &wide, 8);
  EXPECT_EQ(setUpMathDispatch(1), kv::kMathVariantSse2);
}

TEST_F(DispatchSelection, SecondSetUpChangesNothing) {
  useProcessor(kMmxBit | kSseBit | kSse2Bit);
  reportsOs(PF_3DNOW_INSTRUCTIONS_AVAILABLE, false);
  const DWORD first = setUpMathDispatch(1);
  const kv::MathDispatchTable before = kv::g_mathDispatchTable;

  // A different processor and settings afterwards make no difference.
  setSetting("DisablePSGP", 1);
  useProcessor(0);
  EXPECT_EQ(setUpMathDispatch(1), first);
  EXPECT_EQ(mathVariant(), first);
  EXPECT_TRUE(tableEquals(kv::g_mathDispatchTable, before));
  EXPECT_TRUE(g_processor.leavesAsked.empty());
}

TEST_F(DispatchSelection, FirstCallOfAnyOperationSetsUpAndContinues) {
  useProcessor(kMmxBit | kSseBit | kSse2Bit);
  reportsOs(PF_3DNOW_INSTRUCTIONS_AVAILABLE, false);
  setSetting("DisablePSGP", 1);
  ASSERT_EQ(mathVariant(), kv::kMathVariantNotSetUp);

  kv::Matrix scaled;
  EXPECT_EQ(kv::matrixScaling(&scaled, 2.0f, 3.0f, 4.0f), &scaled);
  EXPECT_EQ(mathVariant(), kv::kMathVariantBaseline);
  EXPECT_EQ(scaled.m[1][1], 3.0f);

  // The same through a stub of another kind of operation.
  kv::test_hooks::resetMathDispatch();
  const uint16_t half = 0x3C00;
  float value = 0.0f;
  EXPECT_EQ(kv::float16To32Array(&value, &half, 1), &value);
  EXPECT_EQ(value, 1.0f);
  EXPECT_EQ(mathVariant(), kv::kMathVariantBaseline);
}

TEST_F(DispatchSelection, NoSlotIsEverNull) {
  // Both the stubs and the portable list (and so every table made from it).
  const kv::MathDispatchTable *tables[] = {&kv::g_mathDispatchTable, &kv::portableRoutineList()};
  for (const kv::MathDispatchTable *table : tables) {
    void (*slots[kv::kMathSlotCount])();
    std::memcpy(slots, table, sizeof slots);
    for (int i = 0; i < kv::kMathSlotCount; ++i) EXPECT_NE(slots[i], nullptr) << "slot " << i;
  }
}

TEST_F(DispatchSelection, EveryEntryReachesAWrittenRoutineThroughItsStub) {
  setSetting("DisablePSGP", 1);
  kv::Matrix m = kv::identityMatrix();
  m.m[3][0] = 5.0f;
  kv::Vector4 out{7.0f, 7.0f, 7.0f, 7.0f};
  const kv::Vector2 v{1.0f, 2.0f};
  EXPECT_EQ(kv::vec2Transform(&out, &v, &m), &out);
  EXPECT_EQ(out.x, 6.0f);
  EXPECT_EQ(out.w, 1.0f);

  float determinant = 5.0f;
  kv::Matrix inverse;
  EXPECT_EQ(kv::matrixInverse(&inverse, &determinant, &m), &inverse);
  EXPECT_EQ(determinant, 1.0f);
  EXPECT_EQ(inverse.m[3][0], -5.0f);
  EXPECT_EQ(kv::matrixDeterminant(&m), 1.0f);
  kv::Vector3 scale{}, translation{};
  kv::Quaternion rotation{};
  EXPECT_EQ(kv::matrixDecompose(&scale, &rotation, &translation, &m), S_OK);
  EXPECT_EQ(translation.x, 5.0f);

  kv::Vector3 patch[1] = {{9.0f, 9.0f, 9.0f}};
  const kv::Vector3 corners[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const kv::Vector3 normals[3] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
  const kv::Vector2 atCornerOne{0.0f, 1.0f};
  EXPECT_EQ(kv::evaluateTrianglePatch(corners, normals, &atCornerOne, 1, patch), patch);
  EXPECT_NEAR(patch[0].y, 1.0f, 1e-6f);
}

TEST(ProcessorDetection, SimdSupportReadsLeafOneOnly) {
  struct Case {
    FakeProcessor processor;
    DWORD expected;
  };
  FakeProcessor none;
  none.hasCpuid = false;
  FakeProcessor leafZeroOnly;
  leafZeroOnly.maxBasicLeaf = 0;
  leafZeroOnly.leaf1Edx = kSseBit | kSse2Bit;
  FakeProcessor sse;
  sse.leaf1Edx = kSseBit;
  FakeProcessor both;
  both.leaf1Edx = kMmxBit | kSseBit | kSse2Bit;
  FakeProcessor sse2Only;
  sse2Only.leaf1Edx = kSse2Bit;
  for (const Case &c : {Case{none, 0}, Case{leafZeroOnly, 0}, Case{sse, 4}, Case{both, 12}, Case{sse2Only, 8}}) {
    g_processor = c.processor;
    kv::test_hooks::setCpuidFunction(&fakeCpuid);
    EXPECT_EQ(kv::detectSimdSupport(), c.expected);
  }
  kv::test_hooks::setCpuidFunction(nullptr);
}

// The processor's own identification instruction, as the detection runs it outside tests:
// leaf 0 names the highest leaf and a vendor of twelve printable characters (EBX, EDX,
// ECX), and leaf 1's SSE and SSE2 bits are what the detection reports.
TEST(ProcessorDetection, TheRealInstructionAnswersLeafZeroAndOne) {
  kv::test_hooks::setCpuidFunction(nullptr);
  kv::CpuidResult leaf0{}, leaf1{};
  ASSERT_TRUE(kv::queryCpuid(0, &leaf0));
  ASSERT_GE(leaf0.eax, 1u);
  char vendor[13] = {};
  std::memcpy(vendor, &leaf0.ebx, 4);
  std::memcpy(vendor + 4, &leaf0.edx, 4);
  std::memcpy(vendor + 8, &leaf0.ecx, 4);
  for (char c : std::string(vendor, 12)) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << vendor;
  ASSERT_TRUE(kv::queryCpuid(1, &leaf1));
  EXPECT_EQ(kv::detectSimdSupport(), ((leaf1.edx >> 25) & 1u ? 4u : 0u) | ((leaf1.edx >> 26) & 1u ? 8u : 0u));
#if defined(__SSE2__)
  EXPECT_EQ(kv::detectSimdSupport(), 12u) << "this build itself needs SSE2";
#endif
}

// Leaf 1 failing after leaf 0 answered: nothing is reported.
TEST(ProcessorDetection, ALeafOneThatFailsReportsNothing) {
  kv::test_hooks::setCpuidFunction([](uint32_t leaf, kv::CpuidResult *r) {
    *r = {};
    r->eax = 1;
    r->edx = 0xFFFFFFFFu;
    return leaf == 0;
  });
  EXPECT_EQ(kv::detectSimdSupport(), 0u);
  kv::test_hooks::setCpuidFunction(nullptr);
}

TEST(ProcessorDetection, ExtendedFeaturesCollectEveryReportedBit) {
  kv::test_hooks::setCpuidFunction(&fakeCpuid);
  g_processor = FakeProcessor{};
  g_processor.hasCpuid = false;
  EXPECT_EQ(kv::detectExtendedFeatures(), 0x1u);

  g_processor = FakeProcessor{};
  g_processor.maxBasicLeaf = 0;
  EXPECT_EQ(kv::detectExtendedFeatures(), 0x1u);

  // Extended leaves exist only when the highest one is above 0x80000000.
  g_processor = FakeProcessor{};
  g_processor.leaf1Edx = kMmxBit | kSseBit;
  g_processor.extendedEdx = k3DNowBit;
  EXPECT_EQ(kv::detectExtendedFeatures(), 0x1u | 0x2u | 0x20u | 0x40u);

  g_processor.maxExtendedLeaf = 0x80000001u;
  g_processor.extendedEdx = k3DNowBit | k3DNowExtBit | kMmxExtBit;
  EXPECT_EQ(kv::detectExtendedFeatures(), 0x1u | 0x2u | 0x4u | 0x20u | 0x40u | 0x80u | 0x100u | 0x200u);
  kv::test_hooks::setCpuidFunction(nullptr);
  g_processor = FakeProcessor{};
}

}  // namespace
}  // namespace kvmathtest
