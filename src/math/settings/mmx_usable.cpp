// Whether MMX code may be used: the registry can forbid it at any time, the processor is
// asked once.
#include "math/direct3d_settings.h"
#include "math/math_test_hooks.h"
#include "math/table/processor_detection.h"

#if defined(_MSC_VER) && defined(_M_IX86)
#include <mmintrin.h>
#endif

namespace kv {

namespace {

int g_mmxState = -1;  // -1 not yet tested, 0 not used, 1 used

// Leaves the MMX registers free for x87 code after the test.
void clearMmxState() {
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
  __asm__ __volatile__("emms");
#elif defined(_MSC_VER) && defined(_M_IX86)
  _mm_empty();
#endif
}

bool mmxDisabledInRegistry() {
  DWORD value = 0;
  return readDirect3DSetting(REG_DWORD, "DisableMMX", &value, sizeof value) && value != 0;
}

}  // namespace

int isMmxUsable() {
  if (mmxDisabledInRegistry()) {
    g_mmxState = 0;
    return 0;
  }
  if (g_mmxState < 0) {
    g_mmxState = 0;
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    CpuidResult r{};
    if (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL && info.wProcessorLevel >= 5 &&
        queryCpuid(1, &r) && ((r.edx >> 23) & 1u)) {
      clearMmxState();
      g_mmxState = 1;
    }
  }
  return g_mmxState;
}

namespace test_hooks {

void resetMmxState() { g_mmxState = -1; }

}  // namespace test_hooks

}  // namespace kv
