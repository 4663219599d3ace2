// The scene's life as a host sees it: made on first need, sized by setWindowSize,
// disposed, and the device set-up's fallbacks and messages.
#include <algorithm>
#include <string>
#include <vector>

#include "api/library_under_test.h"
#include "testing/d3d9_control.h"
#include "testing/win32_control.h"

namespace {

std::vector<std::string> createDeviceCalls() {
  std::vector<std::string> calls;
  for (const std::string &line : kvtest::d3d9CallLog())
    if (line.rfind("CreateDevice(", 0) == 0) calls.push_back(line);
  return calls;
}

void expectOneBox(const char *text) {
  const auto boxes = kvtest::messageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, text);
  EXPECT_EQ(boxes[0].caption, "test");
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK));
}

using SceneCreation = HostTest;

TEST_F(SceneCreation, FirstCallMakesTheSceneWithTheDefaultBackBuffer) {
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 0);
  const float corners[6] = {0, 0, 0, 1, 1, 0};
  EXPECT_EQ(kv.makePolygon(0, corners), 1u);
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 1);

  D3DPRESENT_PARAMETERS pp;
  ASSERT_TRUE(kvtest::d3d9LastPresentParameters(&pp));
  EXPECT_EQ(pp.BackBufferWidth, 544u);
  EXPECT_EQ(pp.BackBufferHeight, 416u);
  EXPECT_EQ(pp.BackBufferFormat, D3DFMT_A8R8G8B8);
  EXPECT_EQ(pp.BackBufferCount, 1u);
  EXPECT_EQ(pp.MultiSampleType, D3DMULTISAMPLE_NONE);
  EXPECT_EQ(pp.MultiSampleQuality, 0u);
  EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
  EXPECT_EQ(pp.hDeviceWindow, nullptr);
  EXPECT_EQ(pp.Windowed, TRUE);  // windowed, although the type check asks about full screen
  EXPECT_EQ(pp.EnableAutoDepthStencil, TRUE);
  EXPECT_EQ(pp.AutoDepthStencilFormat, D3DFMT_D16);
  EXPECT_EQ(pp.Flags, static_cast<DWORD>(D3DPRESENTFLAG_LOCKABLE_BACKBUFFER));
  EXPECT_EQ(pp.FullScreen_RefreshRateInHz, 0u);
  EXPECT_EQ(pp.PresentationInterval, static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE));
  EXPECT_TRUE(kvtest::messageBoxes().empty());
}

TEST_F(SceneCreation, CreateIsIdempotentAndDisposeMakesRoomForAFreshScene) {
  EXPECT_EQ(kv.create(), 1);
  EXPECT_EQ(kv.create(), 1);
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 1);
  const float corners[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  EXPECT_EQ(kv.makePolygon(1, corners), 1u);
  EXPECT_EQ(kv.makePolygon(1, corners), 2u);

  kv.dispose();
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 0);
  kv.dispose();  // twice: nothing
  EXPECT_EQ(kv.makePolygon(1, corners), 1u);  // a fresh scene numbers from 1 again
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 1);
}

TEST_F(SceneCreation, DisposeWithoutASceneDoesNothing) {
  kvtest::d3d9EnableCallLog(true);
  kv.dispose();
  EXPECT_TRUE(kvtest::d3d9CallLog().empty());
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 0);
}

TEST_F(SceneCreation, WindowSizeBeforeTheSceneSizesTheBackBuffer) {
  EXPECT_EQ(kv.setWindowSize(320, 200), 320u);
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 0);  // setWindowSize creates nothing
  ASSERT_EQ(kv.create(), 1);
  D3DPRESENT_PARAMETERS pp;
  ASSERT_TRUE(kvtest::d3d9LastPresentParameters(&pp));
  EXPECT_EQ(pp.BackBufferWidth, 320u);
  EXPECT_EQ(pp.BackBufferHeight, 200u);
}

TEST_F(SceneCreation, WindowSizeAfterTheSceneWaitsForTheNextReset) {
  ASSERT_EQ(kv.create(), 1);
  kvtest::d3d9EnableCallLog(true);
  kv.setWindowSize(200, 100);
  EXPECT_TRUE(kvtest::d3d9CallLog().empty());  // the device is not touched

  HostImage frame(200, 100);
  kvtest::d3d9LoseDevice();
  kvtest::d3d9MakeResettable();
  EXPECT_EQ(kv.drawPaint(frame.handle(), 200, 100), 0);
  D3DPRESENT_PARAMETERS pp;
  ASSERT_TRUE(kvtest::d3d9LastPresentParameters(&pp));
  EXPECT_EQ(pp.BackBufferWidth, 200u);
  EXPECT_EQ(pp.BackBufferHeight, 100u);
  EXPECT_EQ(pp.Windowed, TRUE);
}

TEST_F(SceneCreation, MissingDirect3DShowsTest1AndTheNextCallTriesAgain) {
  kvtest::d3d9FailCreate(true);
  EXPECT_EQ(kv.create(), 0);
  expectOneBox("test1");
  kvtest::clearMessageBoxes();
  EXPECT_EQ(kv.drawPaint(0, 544, 416), static_cast<int32_t>(0x80004005u));
  expectOneBox("test1");

  kvtest::d3d9FailCreate(false);
  kvtest::clearMessageBoxes();
  EXPECT_EQ(kv.create(), 1);
  EXPECT_TRUE(kvtest::messageBoxes().empty());
}

TEST_F(SceneCreation, FailedTypeCheckShowsTest2EvenThoughAReferenceDeviceWouldExist) {
  kvtest::d3d9FailCheckDeviceType(true);
  kvtest::d3d9EnableCallLog(true);
  const float corners[6] = {0, 0, 0, 1, 1, 0};
  EXPECT_EQ(kv.makePolygon(0, corners), 0u);
  expectOneBox("test2");
  EXPECT_TRUE(createDeviceCalls().empty());
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 0);

  kvtest::clearMessageBoxes();
  EXPECT_EQ(kv.clearPolygons(), 0);
  expectOneBox("test2");
}

TEST_F(SceneCreation, TypeCheckAsksAboutFullScreen32BitHardware) {
  kvtest::d3d9EnableCallLog(true);
  ASSERT_EQ(kv.create(), 1);
  const auto log = kvtest::d3d9CallLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "Direct3DCreate9(32)"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "CheckDeviceType(0, 1, 22, 22, 0)"), log.end());
}

TEST_F(SceneCreation, NoDeviceAtAllShowsTestAfterFourAttemptsInOrder) {
  kvtest::d3d9FailCreateDevice(D3DDEVTYPE_HAL, D3DCREATE_MIXED_VERTEXPROCESSING, true);
  kvtest::d3d9FailCreateDevice(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING, true);
  kvtest::d3d9FailCreateDevice(D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING, true);
  kvtest::d3d9FailCreateDevice(D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING, true);
  kvtest::d3d9EnableCallLog(true);
  EXPECT_EQ(kv.create(), 0);
  expectOneBox("test");
  const std::vector<std::string> expected = {"CreateDevice(0, 1, 128)", "CreateDevice(0, 1, 64)",
                                             "CreateDevice(0, 1, 32)", "CreateDevice(0, 2, 32)"};
  EXPECT_EQ(createDeviceCalls(), expected);
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 0);

  kvtest::clearMessageBoxes();
  kvtest::d3d9ClearCallLog();
  float angle = 1.0f;
  EXPECT_EQ(kv.setupRotZ(1, &angle, 0), 0);
  expectOneBox("test");
  EXPECT_EQ(createDeviceCalls().size(), 4u);
}

TEST_F(SceneCreation, DeviceAttemptsStopAtTheFirstSuccess) {
  kvtest::d3d9FailCreateDevice(D3DDEVTYPE_HAL, D3DCREATE_MIXED_VERTEXPROCESSING, true);
  kvtest::d3d9EnableCallLog(true);
  ASSERT_EQ(kv.create(), 1);
  const std::vector<std::string> expected = {"CreateDevice(0, 1, 128)", "CreateDevice(0, 1, 64)"};
  EXPECT_EQ(createDeviceCalls(), expected);
  EXPECT_TRUE(kvtest::messageBoxes().empty());
}

TEST_F(SceneCreation, OnlyTheReferenceDeviceLeft) {
  kvtest::d3d9FailCreateDevice(D3DDEVTYPE_HAL, D3DCREATE_MIXED_VERTEXPROCESSING, true);
  kvtest::d3d9FailCreateDevice(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING, true);
  kvtest::d3d9FailCreateDevice(D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING, true);
  kvtest::d3d9EnableCallLog(true);
  ASSERT_EQ(kv.create(), 1);
  EXPECT_EQ(createDeviceCalls().back(), "CreateDevice(0, 2, 32)");
  HostImage frame(544, 416);
  EXPECT_EQ(kv.drawPaint(frame.handle(), 544, 416), 0);
}

TEST_F(SceneCreation, NoForegroundWindowMeansNoDeviceUntilOneAppears) {
  kvtest::setForegroundWindow(nullptr);  // windowed devices need a focus window
  EXPECT_EQ(kv.create(), 0);
  expectOneBox("test");
  kvtest::setForegroundWindow(kvtest::defaultForegroundWindow());
  EXPECT_EQ(kv.create(), 1);
}

}  // namespace
