// CreateDevice: argument checks, presentation parameters in and out, injected failures.
#include "d3d9_test_support.h"

namespace kvd3d_test {
namespace {

class DeviceCreationTest : public D3D9Test {};

TEST_F(DeviceCreationTest, TheLibrarysParametersMakeADeviceAndAreWrittenBackResolved) {
  D3DPRESENT_PARAMETERS pp = libraryParameters();
  pp.BackBufferCount = 0;
  ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, testWindow(), D3DCREATE_MIXED_VERTEXPROCESSING, &pp,
                               device_.out()),
            D3D_OK);
  EXPECT_EQ(pp.BackBufferCount, 1u);
  EXPECT_EQ(pp.BackBufferWidth, 544u);
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 1);

  D3DPRESENT_PARAMETERS last{};
  ASSERT_TRUE(kvtest::d3d9LastPresentParameters(&last));
  EXPECT_EQ(last.BackBufferCount, 0u) << "recorded as passed, before resolution";
  EXPECT_EQ(last.AutoDepthStencilFormat, D3DFMT_D16);

  D3DDEVICE_CREATION_PARAMETERS creation{};
  ASSERT_EQ(device_->GetCreationParameters(&creation), D3D_OK);
  EXPECT_EQ(creation.DeviceType, D3DDEVTYPE_HAL);
  EXPECT_EQ(creation.hFocusWindow, testWindow());
  EXPECT_EQ(creation.BehaviorFlags, DWORD(D3DCREATE_MIXED_VERTEXPROCESSING));
}

TEST_F(DeviceCreationTest, WindowedDefaultsFillZeroSizeAndUnknownFormat) {
  D3DPRESENT_PARAMETERS pp = libraryParameters(0, 0);
  pp.BackBufferFormat = D3DFMT_UNKNOWN;
  ASSERT_EQ(createDevice(pp), D3D_OK);
  Ref<IDirect3DSurface9> back;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out()), D3D_OK);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Width, 640u);
  EXPECT_EQ(desc.Height, 480u);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
}

TEST_F(DeviceCreationTest, RefusesBadArgumentsWithoutMakingADevice) {
  D3DPRESENT_PARAMETERS pp = libraryParameters();
  IDirect3DDevice9 *device = reinterpret_cast<IDirect3DDevice9 *>(1);
  const DWORD mixed = D3DCREATE_MIXED_VERTEXPROCESSING;
  // Vertex processing must be exactly one of the three.
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, testWindow(), 0, &pp, &device), D3DERR_INVALIDCALL);
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, testWindow(),
                               D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, testWindow(),
                               D3DCREATE_PUREDEVICE | D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CreateDevice(1, D3DDEVTYPE_HAL, testWindow(), mixed, &pp, &device), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_SW, testWindow(), mixed, &pp, &device), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, testWindow(), mixed, nullptr, &device), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, testWindow(), mixed, &pp, nullptr), D3DERR_INVALIDCALL);
  // No focus window and no device window.
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, mixed, &pp, &device), D3DERR_INVALIDCALL);
  D3DPRESENT_PARAMETERS withWindow = pp;
  withWindow.hDeviceWindow = testWindow();
  Ref<IDirect3DDevice9> ok;
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, mixed, &withWindow, ok.out()), D3D_OK);
  ok.reset();
  D3DPRESENT_PARAMETERS threeBuffers = pp;
  threeBuffers.BackBufferCount = 3;  // the most there may be
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, testWindow(), mixed, &threeBuffers, ok.out()), D3D_OK);
  ok.reset();

  auto tryParameters = [&](void (*change)(D3DPRESENT_PARAMETERS &)) {
    D3DPRESENT_PARAMETERS bad = libraryParameters();
    change(bad);
    return d3d_->CreateDevice(0, D3DDEVTYPE_HAL, testWindow(), mixed, &bad, &device);
  };
  EXPECT_EQ(tryParameters([](D3DPRESENT_PARAMETERS &p) { p.BackBufferCount = 4; }), D3DERR_INVALIDCALL);
  EXPECT_EQ(tryParameters([](D3DPRESENT_PARAMETERS &p) { p.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES; }),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(tryParameters([](D3DPRESENT_PARAMETERS &p) { p.SwapEffect = D3DSWAPEFFECT(0); }), D3DERR_INVALIDCALL);
  EXPECT_EQ(tryParameters([](D3DPRESENT_PARAMETERS &p) { p.BackBufferFormat = D3DFMT_R5G6B5; }),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(tryParameters([](D3DPRESENT_PARAMETERS &p) { p.AutoDepthStencilFormat = D3DFMT_A8R8G8B8; }),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(tryParameters([](D3DPRESENT_PARAMETERS &p) { p.FullScreen_RefreshRateInHz = 60; }),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(tryParameters([](D3DPRESENT_PARAMETERS &p) {
              p.AutoDepthStencilFormat = D3DFMT_D16_LOCKABLE;
              p.Flags |= D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
            }),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(tryParameters([](D3DPRESENT_PARAMETERS &p) {
              p.Windowed = FALSE;
              p.BackBufferWidth = 0;
            }),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(tryParameters([](D3DPRESENT_PARAMETERS &p) { p.BackBufferWidth = 100000; }),
            D3DERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(kvtest::d3d9LiveDevices(), 0);
}

TEST_F(DeviceCreationTest, InjectedFailureHitsOnlyThatTypeAndProcessingPair) {
  kvtest::d3d9FailCreateDevice(D3DDEVTYPE_HAL, D3DCREATE_MIXED_VERTEXPROCESSING, true);
  kvtest::d3d9FailCreateDevice(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING, true);
  EXPECT_EQ(createDevice(libraryParameters(), D3DCREATE_MIXED_VERTEXPROCESSING), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(createDevice(libraryParameters(), D3DCREATE_HARDWARE_VERTEXPROCESSING), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(createDevice(libraryParameters(), D3DCREATE_SOFTWARE_VERTEXPROCESSING), D3D_OK);
  device_.reset();
  kvtest::d3d9FailCreateDevice(D3DDEVTYPE_HAL, D3DCREATE_MIXED_VERTEXPROCESSING, false);
  EXPECT_EQ(createDevice(libraryParameters(), D3DCREATE_MIXED_VERTEXPROCESSING), D3D_OK);
}

TEST_F(DeviceCreationTest, HardwareVertexProcessingNeedsTransformAndLightCaps) {
  D3DCAPS9 caps = kvtest::d3d9DefaultCaps();
  caps.DevCaps &= ~DWORD(D3DDEVCAPS_HWTRANSFORMANDLIGHT);
  kvtest::d3d9SetCaps(caps);
  EXPECT_EQ(createDevice(libraryParameters(), D3DCREATE_HARDWARE_VERTEXPROCESSING), D3DERR_INVALIDCALL);
  EXPECT_EQ(createDevice(libraryParameters(), D3DCREATE_SOFTWARE_VERTEXPROCESSING, D3DDEVTYPE_REF), D3D_OK);
}

TEST_F(DeviceCreationTest, SoftwareProcessingSwitchIsForMixedDevicesOnly) {
  makeDevice();
  EXPECT_EQ(device_->SetSoftwareVertexProcessing(TRUE), D3D_OK);
  EXPECT_TRUE(device_->GetSoftwareVertexProcessing());
  ASSERT_EQ(createDevice(libraryParameters(), D3DCREATE_HARDWARE_VERTEXPROCESSING), D3D_OK);
  EXPECT_EQ(device_->SetSoftwareVertexProcessing(TRUE), D3DERR_INVALIDCALL);
}

}  // namespace
}  // namespace kvd3d_test
