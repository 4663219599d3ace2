#include "math/table/processor_detection.h"

#include "math/math_test_hooks.h"

#if defined(_MSC_VER) && (defined(_M_IX86) || defined(_M_X64))
#include <intrin.h>
#define KV_CPUID_MSVC 1
#elif defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#include <cpuid.h>
#define KV_CPUID_GCC 1
#endif

namespace kv {

namespace {

bool executeCpuid(uint32_t leaf, CpuidResult *result) {
#if defined(KV_CPUID_MSVC)
  int registers[4] = {};
#if defined(_M_IX86)
  __try {
    __cpuid(registers, static_cast<int>(leaf));
  } __except (1) {
    return false;
  }
#else
  __cpuid(registers, static_cast<int>(leaf));
#endif
  *result = {static_cast<uint32_t>(registers[0]), static_cast<uint32_t>(registers[1]),
             static_cast<uint32_t>(registers[2]), static_cast<uint32_t>(registers[3])};
  return true;
#elif defined(KV_CPUID_GCC)
#if defined(__i386__)
  // Zero here means the instruction itself is missing (the flag test fails).
  if (__get_cpuid_max(0, nullptr) == 0) return false;
#endif
  unsigned a = 0, b = 0, c = 0, d = 0;
  __cpuid(leaf, a, b, c, d);
  *result = {a, b, c, d};
  return true;
#else
  (void)leaf;
  (void)result;
  return false;
#endif
}

CpuidFunction g_cpuid = &executeCpuid;

constexpr uint32_t bit(uint32_t value, int index) { return (value >> index) & 1u; }

}  // namespace

bool queryCpuid(uint32_t leaf, CpuidResult *result) { return g_cpuid(leaf, result); }

DWORD detectSimdSupport() {
  CpuidResult r{};
  if (!queryCpuid(0, &r) || r.eax == 0) return 0;
  if (!queryCpuid(1, &r)) return 0;
  return (bit(r.edx, 25) ? 4u : 0u) | (bit(r.edx, 26) ? 8u : 0u);
}

DWORD detectExtendedFeatures() {
  DWORD features = kFeatureCpuid;
  CpuidResult r{};
  if (!queryCpuid(0, &r) || r.eax == 0) return features;
  features |= kFeatureBasicLeaves;
  if (queryCpuid(1, &r)) {
    if (bit(r.edx, 23)) features |= kFeatureMmx;
    if (bit(r.edx, 25)) features |= kFeatureSse;
  }
  if (!queryCpuid(0x80000000u, &r) || r.eax <= 0x80000000u) return features;
  features |= kFeatureExtendedLeaves;
  if (queryCpuid(0x80000001u, &r)) {
    if (bit(r.edx, 31)) features |= kFeature3DNow;
    if (bit(r.edx, 30)) features |= kFeature3DNowExtensions;
    if (bit(r.edx, 22)) features |= kFeatureMmxExtensions;
  }
  return features;
}

namespace test_hooks {

CpuidFunction setCpuidFunction(CpuidFunction function) {
  const CpuidFunction previous = g_cpuid;
  g_cpuid = function ? function : &executeCpuid;
  return previous;
}

}  // namespace test_hooks

}  // namespace kv
