// The stand-in Windows services behave as the library's calls expect of the real ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "testing/win32_control.h"

namespace {

constexpr const char *kKey = "Software\\Direct3D";

LONG queryDword(const char *value, DWORD *out, DWORD *type, DWORD *size) {
  HKEY key = nullptr;
  const LONG opened = RegOpenKeyA(HKEY_LOCAL_MACHINE, kKey, &key);
  if (opened != ERROR_SUCCESS) return opened;
  const LONG result = RegQueryValueExA(key, value, nullptr, type, reinterpret_cast<BYTE *>(out), size);
  RegCloseKey(key);
  return result;
}

TEST(Registry, DwordValuesReadBackWithTheirTypeAndSize) {
  kvtest::registryClear();
  kvtest::registrySetDword(HKEY_LOCAL_MACHINE, kKey, "DisablePSGP", 1);
  DWORD value = 0, type = 0, size = 4;
  ASSERT_EQ(queryDword("DisablePSGP", &value, &type, &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(size, 4u);
  // Key paths and value names are case-insensitive, as on the platform.
  ASSERT_EQ(queryDword("disablepsgp", &value, &type, &size), ERROR_SUCCESS);
}

TEST(Registry, MissingKeyValueAndShortBuffersAreReported) {
  kvtest::registryClear();
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, kKey, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);

  const unsigned char eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  kvtest::registrySetRaw(HKEY_LOCAL_MACHINE, kKey, "Wide", REG_BINARY, eight, 8);
  DWORD value = 0, type = 0, size = 4;
  EXPECT_EQ(queryDword("Absent", &value, &type, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(queryDword("Wide", &value, &type, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(value, 0u);  // nothing copied into a buffer that is too small
}

TEST(Registry, StringValuesKeepTheirType) {
  kvtest::registryClear();
  kvtest::registrySetRaw(HKEY_LOCAL_MACHINE, kKey, "DisableMMX", REG_SZ, "1", 2);
  DWORD value = 0, type = 0, size = 4;
  ASSERT_EQ(queryDword("DisableMMX", &value, &type, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 2u);
}

TEST(Registry, EnvironmentSeedsDirect3DSettings) {
  kvtest::registryClear();
  setenv("KVPOLYGON_REG_KvDoNotMute", "0x10", 1);
  setenv("KVPOLYGON_REG_Broken", "one", 1);
  kvtest::registrySeedFromEnvironment();
  unsetenv("KVPOLYGON_REG_KvDoNotMute");
  unsetenv("KVPOLYGON_REG_Broken");
  DWORD value = 0, type = 0, size = 4;
  ASSERT_EQ(queryDword("KvDoNotMute", &value, &type, &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 16u);
  EXPECT_EQ(queryDword("Broken", &value, &type, &size), ERROR_FILE_NOT_FOUND);
  kvtest::registryClear();
}

TEST(Registry, BadHandlesAreRefused) {
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, kKey, nullptr), ERROR_INVALID_HANDLE);
}

TEST(MessageBox, OneLineOnStandardErrorAndRecorded) {
  kvtest::clearMessageBoxes();
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "test2", "test", MB_OK), IDOK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "test: test2\n");
  const auto boxes = kvtest::messageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "test2");
  EXPECT_EQ(boxes[0].caption, "test");
}

TEST(ServiceRecords, OnlyTheMostRecentMessageBoxesDebugLinesAndMuteCallsAreKept) {
  kvtest::resetModules();
  kvtest::clearMessageBoxes();
  kvtest::clearDebugOutput();
  kvtest::clearDebugSetMuteCalls();
  kvtest::setDebugOutputEcho(false);
  auto mute = reinterpret_cast<int(WINAPI *)(DWORD)>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("d3d9.dll"), "DebugSetMute")));
  ASSERT_NE(mute, nullptr);
  const size_t calls = kvtest::kRecordsKept * 4 + 3;
  testing::internal::CaptureStderr();
  for (size_t i = 0; i < calls; ++i) {
    const std::string text = std::to_string(i);
    MessageBoxA(nullptr, text.c_str(), "test", MB_OK);
    OutputDebugStringA(text.c_str());
    mute(static_cast<DWORD>(i));  // the value tells the calls apart
  }
  testing::internal::GetCapturedStderr();
  kvtest::setDebugOutputEcho(true);
  const auto boxes = kvtest::messageBoxes();
  const auto lines = kvtest::debugOutput();
  const auto mutes = kvtest::debugSetMuteCalls();
  ASSERT_EQ(boxes.size(), kvtest::kRecordsKept);
  ASSERT_EQ(lines.size(), kvtest::kRecordsKept);
  ASSERT_EQ(mutes.size(), kvtest::kRecordsKept);
  EXPECT_EQ(boxes.front().text, std::to_string(calls - kvtest::kRecordsKept));
  EXPECT_EQ(boxes.back().text, std::to_string(calls - 1));
  EXPECT_EQ(lines.front(), std::to_string(calls - kvtest::kRecordsKept));
  EXPECT_EQ(lines.back(), std::to_string(calls - 1));
  EXPECT_EQ(mutes.front().mute, calls - kvtest::kRecordsKept);
  EXPECT_EQ(mutes.back().mute, calls - 1);
  EXPECT_EQ(mutes.back().module, "d3d9.dll");
  mute(0);
  kvtest::clearMessageBoxes();
  kvtest::clearDebugOutput();
  kvtest::clearDebugSetMuteCalls();
}

TEST(ForegroundWindow, FixedAndNonNullUnlessATestSaysOtherwise) {
  EXPECT_NE(GetForegroundWindow(), nullptr);
  EXPECT_EQ(GetForegroundWindow(), GetForegroundWindow());
  kvtest::setForegroundWindow(nullptr);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  kvtest::setForegroundWindow(kvtest::defaultForegroundWindow());
}

TEST(DebugOutput, TextIsRecordedInOrder) {
  kvtest::clearDebugOutput();
  kvtest::setDebugOutputEcho(false);
  OutputDebugStringA("one\r\n");
  OutputDebugStringA(nullptr);
  OutputDebugStringA("two\r\n");
  kvtest::setDebugOutputEcho(true);
  const auto lines = kvtest::debugOutput();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "two\r\n");
}

TEST(Modules, OnlyLoadedRuntimesAreFoundAndLoadingAddsThem) {
  kvtest::resetModules();
  kvtest::clearDebugSetMuteCalls();
  HMODULE retail = GetModuleHandleA("d3d9.dll");
  ASSERT_NE(retail, nullptr);
  EXPECT_EQ(GetModuleHandleA("D3D9.DLL"), retail);
  EXPECT_EQ(GetModuleHandleA("d3d9d.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleA("user32.dll"), nullptr);
  EXPECT_EQ(LoadLibraryA("nosuch.dll"), nullptr);

  FARPROC proc = GetProcAddress(retail, "DebugSetMute");
  ASSERT_NE(proc, nullptr);
  EXPECT_EQ(GetProcAddress(retail, "NoSuchEntry"), nullptr);
  auto mute = reinterpret_cast<int(WINAPI *)(DWORD)>(reinterpret_cast<void (*)()>(proc));
  mute(1);

  kvtest::setModuleLoaded("d3d9d.dll", true);
  HMODULE debug = GetModuleHandleA("d3d9d.dll");
  ASSERT_NE(debug, nullptr);
  auto muteDebug = reinterpret_cast<int(WINAPI *)(DWORD)>(
      reinterpret_cast<void (*)()>(GetProcAddress(debug, "DebugSetMute")));
  muteDebug(0);
  const auto calls = kvtest::debugSetMuteCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].module, "d3d9.dll");
  EXPECT_EQ(calls[0].mute, 1u);
  EXPECT_EQ(calls[1].module, "d3d9d.dll");
  kvtest::resetModules();
  EXPECT_EQ(GetModuleHandleA("d3d9d.dll"), nullptr);
}

TEST(SystemInfo, ReportsAnIntelArchitectureProcessorOnX86) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
#if defined(__x86_64__) || defined(__i386__)
  EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
  EXPECT_GE(info.wProcessorLevel, 5);
  EXPECT_TRUE(IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE));
#endif
  kvtest::setProcessorFeature(PF_3DNOW_INSTRUCTIONS_AVAILABLE, true);
  EXPECT_TRUE(IsProcessorFeaturePresent(PF_3DNOW_INSTRUCTIONS_AVAILABLE));
  kvtest::resetProcessorFeatures();
  EXPECT_FALSE(IsProcessorFeaturePresent(12345));
}

}  // namespace
