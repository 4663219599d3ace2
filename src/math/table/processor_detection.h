// What the processor reports through its identification instruction (cpuid). Neither
// test looks at the vendor string.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kv {

struct CpuidResult {
  uint32_t eax, ebx, ecx, edx;
};

// Runs the identification instruction for a leaf; false when it cannot run here (an
// old 32-bit processor without it, or a processor family that has no such instruction).
using CpuidFunction = bool (*)(uint32_t leaf, CpuidResult *result);

// Through the function in force (the real instruction unless a test replaced it).
bool queryCpuid(uint32_t leaf, CpuidResult *result);

// 4 when the processor reports SSE, 8 when it reports SSE2 (both: 12); 0 otherwise.
DWORD detectSimdSupport();

// A bit set of the kFeature* values below; kFeatureCpuid is always set.
DWORD detectExtendedFeatures();

constexpr DWORD kFeatureCpuid = 0x1;
constexpr DWORD kFeatureBasicLeaves = 0x2;
constexpr DWORD kFeatureExtendedLeaves = 0x4;
constexpr DWORD kFeatureMmx = 0x20;
constexpr DWORD kFeatureSse = 0x40;
constexpr DWORD kFeature3DNow = 0x80;
constexpr DWORD kFeature3DNowExtensions = 0x100;
constexpr DWORD kFeatureMmxExtensions = 0x200;

}  // namespace kv
