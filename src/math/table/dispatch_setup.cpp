// The one-time choice of routines for this processor and the Direct3D settings.
#include "math/direct3d_settings.h"
#include "math/table/dispatch_state.h"
#include "math/table/dispatch_table.h"
#include "math/table/processor_detection.h"
#include "math/table/routine_sets.h"

namespace kv {

namespace {

// "DisablePSGP" narrows every routine table of the runtime; "DisableKvMathPSGP", when
// present, replaces it for ours. 1 means baseline only, 2 means "skip the 3DNow! path";
// anything else (absent, 0, 3 or more) means full detection.
DWORD readDispatchSetting() {
  DWORD value = 0;
  DWORD setting = 0;
  if (readDirect3DSetting(REG_DWORD, "DisablePSGP", &value, sizeof value)) setting = value;
  if (readDirect3DSetting(REG_DWORD, "DisableKvMathPSGP", &value, sizeof value)) setting = value;
  return setting;
}

// The 3DNow! path: on it the SSE and SSE2 sets are never considered.
void install3DNowPath(MathDispatchTable &table) {
  const DWORD features = detectExtendedFeatures();
  if ((features & kFeatureMmx) && (features & kFeature3DNow)) {
    install3DNowRoutines(table);
    g_installedMathRoutineGroups |= kRoutines3DNow;
    if ((features & kFeature3DNowExtensions) && (features & kFeatureMmxExtensions)) {
      installExtended3DNowRoutines(table);
      g_installedMathRoutineGroups |= kRoutines3DNowExtended;
    }
  }
  if (features & kFeatureSse) {
    installSseArrayRoutines(table);
    g_installedMathRoutineGroups |= kRoutinesSseArrays;
  }
}

}  // namespace

DWORD setUpMathDispatch(DWORD request) {
  (void)request;  // 1 is the only request there is
  checkNewDelete();
  if (g_mathVariant != kMathVariantNotSetUp) return g_mathVariant;

  // Marked as set up before the table is filled, so a math call made while filling it
  // returns from here at once and goes through the slot as it stands.
  g_mathVariant = kMathVariantBaseline;
  g_installedMathRoutineGroups = kRoutinesBaseline;
  g_mathDispatchTable = portableRoutineList();

  const DWORD setting = readDispatchSetting();
  if (setting == 1) return g_mathVariant;

  if (setting != 2 && IsProcessorFeaturePresent(PF_3DNOW_INSTRUCTIONS_AVAILABLE)) {
    g_mathVariant = kMathVariant3DNow;
    install3DNowPath(g_mathDispatchTable);
    return g_mathVariant;
  }

  // SSE2 on the processor's word alone; SSE also needs the operating system's support.
  // A build without the SIMD routines (not x86) keeps the baseline.
  if (!simdRoutinesBuilt()) return g_mathVariant;
  if (detectSimdSupport() & 8) {
    installSse2Routines(g_mathDispatchTable);
    g_installedMathRoutineGroups |= kRoutinesSse2;
    g_mathVariant = kMathVariantSse2;
  } else if (IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE)) {
    installSseRoutines(g_mathDispatchTable);
    g_installedMathRoutineGroups |= kRoutinesSse;
    g_mathVariant = kMathVariantSse;
  }
  return g_mathVariant;
}

}  // namespace kv
