// System information and processor features, read from the real processor. A 32-bit
// library sees an x86-64 processor as an "Intel architecture" one, so that is what is reported.
#include <windows.h>

#include <map>

#include "testing/win32_control.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define KV_HAVE_CPUID 1
#endif

namespace {

struct CpuRegisters {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
};

CpuRegisters cpuid(unsigned leaf) {
  CpuRegisters r;
#ifdef KV_HAVE_CPUID
  __cpuid(leaf, r.eax, r.ebx, r.ecx, r.edx);
#else
  (void)leaf;
#endif
  return r;
}

bool realFeature(DWORD feature) {
#ifdef KV_HAVE_CPUID
  const unsigned maxLeaf = cpuid(0).eax;
  const unsigned edx1 = maxLeaf >= 1 ? cpuid(1).edx : 0;
  const unsigned maxExtended = cpuid(0x80000000u).eax;
  const unsigned edxExt = maxExtended >= 0x80000001u ? cpuid(0x80000001u).edx : 0;
  switch (feature) {
    case PF_MMX_INSTRUCTIONS_AVAILABLE: return (edx1 >> 23) & 1;
    case PF_XMMI_INSTRUCTIONS_AVAILABLE: return (edx1 >> 25) & 1;
    case PF_XMMI64_INSTRUCTIONS_AVAILABLE: return (edx1 >> 26) & 1;
    case PF_3DNOW_INSTRUCTIONS_AVAILABLE: return (edxExt >> 31) & 1;
    default: return false;
  }
#else
  (void)feature;
  return false;
#endif
}

std::map<DWORD, bool> &overrides() {
  static std::map<DWORD, bool> o;
  return o;
}

WORD g_levelOverride = 0;  // 0: the real processor's family

}  // namespace

extern "C" BOOL WINAPI IsProcessorFeaturePresent(DWORD ProcessorFeature) {
  auto it = overrides().find(ProcessorFeature);
  if (it != overrides().end()) return it->second ? TRUE : FALSE;
  return realFeature(ProcessorFeature) ? TRUE : FALSE;
}

extern "C" void WINAPI GetSystemInfo(LPSYSTEM_INFO info) {
  if (!info) return;
  *info = SYSTEM_INFO{};
  info->dwPageSize = 4096;
  info->dwAllocationGranularity = 65536;
  info->dwNumberOfProcessors = 1;
#ifdef KV_HAVE_CPUID
  info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
  const unsigned signature = cpuid(1).eax;
  unsigned family = (signature >> 8) & 0xF;
  if (family == 0xF) family += (signature >> 20) & 0xFF;
  info->wProcessorLevel = g_levelOverride ? g_levelOverride : static_cast<WORD>(family);
  info->wProcessorRevision = static_cast<WORD>(signature & 0xFFFF);
  info->dwProcessorType = 586;
#elif defined(__aarch64__)
  info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM64;
#else
  info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
#endif
}

namespace kvtest {

void setProcessorFeature(DWORD feature, bool present) { overrides()[feature] = present; }
void setProcessorLevel(WORD level) { g_levelOverride = level; }
void resetProcessorFeatures() {
  overrides().clear();
  g_levelOverride = 0;
}

}  // namespace kvtest
