// The services around the Direct3D settings: reading a setting, the MMX test, the debug
// mute and the memory-operator check.
#include <cstdlib>
#include <string>

#include "math/direct3d_settings.h"
#include "math_test_support.h"

namespace kvmathtest {
namespace {

class Direct3DSettings : public MathStateTest {};

TEST_F(Direct3DSettings, ReadsDwordsAndLeavesTheBufferAloneOtherwise) {
  DWORD value = 0xAAAAAAAA;
  EXPECT_EQ(kv::readDirect3DSetting(REG_DWORD, "DisableMMX", &value, 4), 0);  // no key at all
  EXPECT_EQ(value, 0xAAAAAAAAu);

  setSetting("DisableMMX", 7);
  EXPECT_EQ(kv::readDirect3DSetting(REG_DWORD, "DisableMMX", &value, 4), 1);
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(kv::readDirect3DSetting(REG_DWORD, "disablemmx", &value, 4), 1);  // names ignore case

  value = 0xAAAAAAAA;
  EXPECT_EQ(kv::readDirect3DSetting(REG_DWORD, "KvDoNotMute", &value, 4), 0);  // missing value
  kvtest::registrySetRaw(HKEY_LOCAL_MACHINE, kDirect3DKey, "Text", REG_SZ, "1", 2);
  EXPECT_EQ(kv::readDirect3DSetting(REG_DWORD, "Text", &value, 4), 0);
  const uint64_t wide = 1;
  kvtest::registrySetRaw(HKEY_LOCAL_MACHINE, kDirect3DKey, "Wide", REG_DWORD, &wide, 8);
  EXPECT_EQ(kv::readDirect3DSetting(REG_DWORD, "Wide", &value, 4), 0);
  EXPECT_EQ(value, 0xAAAAAAAAu);

  EXPECT_EQ(kv::readDirect3DSetting(REG_DWORD, nullptr, &value, 4), 0);
  EXPECT_EQ(kv::readDirect3DSetting(REG_DWORD, "DisableMMX", nullptr, 4), 0);
}

TEST_F(Direct3DSettings, ShortDwordsAreZeroExtendedOverTheWholeWord) {
  const unsigned char bytes[3] = {0x01, 0x02, 0x03};
  for (DWORD length = 0; length <= 3; ++length) {
    kvtest::registrySetRaw(HKEY_LOCAL_MACHINE, kDirect3DKey, "Short", REG_DWORD, bytes, length);
    DWORD value = 0xAAAAAAAA;
    EXPECT_EQ(kv::readDirect3DSetting(REG_DWORD, "Short", &value, 4), 1) << length;
    const DWORD expected[4] = {0, 0x01, 0x0201, 0x030201};
    EXPECT_EQ(value, expected[length]) << length;
  }
  const unsigned char on = 1;  // a one-byte DisableMMX is honoured
  kvtest::registrySetRaw(HKEY_LOCAL_MACHINE, kDirect3DKey, "DisableMMX", REG_DWORD, &on, 1);
  EXPECT_EQ(kv::isMmxUsable(), 0);
}

TEST_F(Direct3DSettings, MmxIsUsedWhenTheProcessorHasItUntilTheRegistryForbidsIt) {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  if (info.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL || info.wProcessorLevel < 5)
    GTEST_SKIP() << "not an x86 processor";
  useProcessor(kMmxBit);
  EXPECT_EQ(kv::isMmxUsable(), 1);
  EXPECT_EQ(kv::isMmxUsable(), 1);
  const size_t asked = g_processor.leavesAsked.size();
  EXPECT_EQ(asked, 1u);  // the processor is tested once

  setSetting("DisableMMX", 1);
  EXPECT_EQ(kv::isMmxUsable(), 0);
  setSetting("DisableMMX", 0);
  EXPECT_EQ(kv::isMmxUsable(), 0);  // once forbidden, off for the process
  EXPECT_EQ(g_processor.leavesAsked.size(), asked);
}

TEST_F(Direct3DSettings, MmxIsNotUsedWithoutItOrWithoutTheInstruction) {
  useProcessor(kSseBit);
  EXPECT_EQ(kv::isMmxUsable(), 0);
  kv::test_hooks::resetMmxState();
  g_processor.hasCpuid = false;
  EXPECT_EQ(kv::isMmxUsable(), 0);
}

TEST_F(Direct3DSettings, MmxNeedsProcessorLevelFive) {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  if (info.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL) GTEST_SKIP() << "not an x86 processor";
  useProcessor(kMmxBit);
  kvtest::setProcessorLevel(5);
  EXPECT_EQ(kv::isMmxUsable(), 1);
  kv::test_hooks::resetMmxState();
  kvtest::setProcessorLevel(4);
  EXPECT_EQ(kv::isMmxUsable(), 0);
}

TEST_F(Direct3DSettings, MuteReturnsThePreviousValueAndReachesTheRuntime) {
  EXPECT_EQ(kv::setDebugMute(1), 0u);
  EXPECT_EQ(kv::setDebugMute(0), 1u);
  EXPECT_EQ(kv::setDebugMute(5), 0u);
  EXPECT_EQ(kv::setDebugMute(0), 5u);
  const auto calls = kvtest::debugSetMuteCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].module, "d3d9.dll");
  EXPECT_EQ(calls[0].mute, 1u);
  EXPECT_EQ(calls[1].mute, 0u);
  EXPECT_EQ(calls[2].mute, 5u);
}

TEST_F(Direct3DSettings, BothRuntimesAreMutedRetailFirst) {
  kvtest::setModuleLoaded("d3d9d.dll", true);
  kv::setDebugMute(1);
  const auto calls = kvtest::debugSetMuteCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].module, "d3d9.dll");
  EXPECT_EQ(calls[1].module, "d3d9d.dll");
}

TEST_F(Direct3DSettings, OnceOneRuntimeIsFoundTheOtherIsNotLookedForAgain) {
  kv::setDebugMute(1);  // only d3d9.dll is loaded
  kvtest::setModuleLoaded("d3d9d.dll", true);
  kv::setDebugMute(0);
  const auto calls = kvtest::debugSetMuteCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].module, "d3d9.dll");
}

TEST_F(Direct3DSettings, WithoutALoadedRuntimeMuteOnlyStoresAndLooksAgainLater) {
  kvtest::setModuleLoaded("d3d9.dll", false);
  EXPECT_EQ(kv::setDebugMute(1), 0u);
  EXPECT_EQ(kv::setDebugMute(0), 1u);
  EXPECT_TRUE(kvtest::debugSetMuteCalls().empty());
  kvtest::setModuleLoaded("d3d9.dll", true);  // loaded later: found on the next call
  EXPECT_EQ(kv::setDebugMute(1), 0u);
  EXPECT_EQ(kvtest::debugSetMuteCalls().size(), 1u);
}

TEST_F(Direct3DSettings, DoNotMuteKeepsTheRuntimeUntouchedAndIsReadOnce) {
  setSetting("KvDoNotMute", 1);
  EXPECT_EQ(kv::setDebugMute(1), 0u);
  EXPECT_EQ(kv::setDebugMute(0), 1u);
  EXPECT_TRUE(kvtest::debugSetMuteCalls().empty());
  setSetting("KvDoNotMute", 0);  // read once per process: still in force
  kv::setDebugMute(1);
  EXPECT_TRUE(kvtest::debugSetMuteCalls().empty());

  // The other way round: absent at the first call, so set later it changes nothing.
  kv::test_hooks::resetDebugMuteState();
  kvtest::registryRemoveKey(HKEY_LOCAL_MACHINE, kDirect3DKey);
  kv::setDebugMute(1);
  setSetting("KvDoNotMute", 3);
  kv::setDebugMute(0);
  EXPECT_EQ(kvtest::debugSetMuteCalls().size(), 2u);
}

// Allocation pairs for the memory-operator check.
int g_releases = 0;
int g_nullReleases = 0;
char g_block;
void *sameBlockEveryTime(std::size_t) { return &g_block; }
void *nothingForZero(std::size_t) { return nullptr; }
void *freshBlock(std::size_t) { return std::malloc(1); }
void countRelease(void *block) {
  if (!block) {
    ++g_nullReleases;
    return;
  }
  ++g_releases;
  if (block != &g_block) std::free(block);
}

std::vector<std::string> warningLines() {
  return {
      "kvPolygon: (WARN) Overloaded ::new and ::delete operators do not conform to C++ standards:\r\n",
      "kvPolygon: (WARN) An allocation of zero bytes should return a unique non-null pointer to at\r\n",
      "kvPolygon: (WARN) least zero bytes. Deletion of a null pointer should quietly do nothing.\r\n",
      "kvPolygon: (WARN) kvPolygon relies upon this behavior.\r\n",
  };
}

class NewDeleteCheck : public MathStateTest {
 protected:
  void SetUp() override {
    MathStateTest::SetUp();
    kvtest::setDebugOutputEcho(false);
    g_releases = g_nullReleases = 0;
  }
  void TearDown() override {
    kvtest::setDebugOutputEcho(true);
    MathStateTest::TearDown();
  }
  static void use(kv::test_hooks::NewDeleteFunctions functions) { kv::test_hooks::setNewDeleteFunctions(&functions); }
};

TEST_F(NewDeleteCheck, ConformingOperatorsAreQuiet) {
  use({&freshBlock, &countRelease});
  kv::checkNewDelete();
  EXPECT_TRUE(kvtest::debugOutput().empty());
  EXPECT_EQ(g_releases, 2);
  EXPECT_EQ(g_nullReleases, 1);
}

TEST_F(NewDeleteCheck, TheSameBlockTwiceEarnsTheFourLinesAndIsFreedOnce) {
  use({&sameBlockEveryTime, &countRelease});
  kv::checkNewDelete();
  EXPECT_EQ(kvtest::debugOutput(), warningLines());
  EXPECT_EQ(g_releases, 1);
  EXPECT_EQ(g_nullReleases, 1);
}

TEST_F(NewDeleteCheck, NullForZeroBytesWarnsAndTheCheckRunsOnlyOnce) {
  use({&nothingForZero, &countRelease});
  kv::checkNewDelete();
  kv::checkNewDelete();
  EXPECT_EQ(kvtest::debugOutput(), warningLines());
  EXPECT_EQ(g_releases, 0);
  EXPECT_EQ(g_nullReleases, 1);
}

TEST_F(NewDeleteCheck, MathSetUpRunsTheCheckAndCarriesOn) {
  use({&nothingForZero, &countRelease});
  setSetting("DisablePSGP", 1);
  EXPECT_EQ(kv::setUpMathDispatch(1), kv::kMathVariantBaseline);
  EXPECT_EQ(kvtest::debugOutput().size(), 4u);
}

}  // namespace
}  // namespace kvmathtest
