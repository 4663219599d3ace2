// The call log tests read through the control surface.
#include "d3d9_test_support.h"

namespace kvd3d_test {
namespace {

class CallLogTest : public D3D9Test {};

TEST_F(CallLogTest, RecordsCallsWithTheirArgumentsOnlyWhileOn) {
  makeDevice();
  device_->SetRenderState(D3DRS_ZENABLE, TRUE);
  EXPECT_TRUE(kvtest::d3d9CallLog().empty()) << "off by default";

  kvtest::d3d9EnableCallLog(true);
  Ref<IDirect3DTexture9> texture;
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.out(), nullptr), D3D_OK);
  const float vertices[3 * 7] = {};
  D3DMATRIX identity{};
  device_->TestCooperativeLevel();
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.f, 0);
  device_->BeginScene();
  device_->SetRenderState(D3DRS_ZENABLE, TRUE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device_->SetTexture(1, texture.get());
  device_->SetTexture(0, nullptr);
  device_->SetTransform(D3DTS_WORLD, &identity);
  device_->SetFVF(D3DFVF_XYZ | D3DFVF_TEX2);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 1, vertices, 28);
  device_->EndScene();
  Ref<IDirect3DSurface9> back, copy;
  device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.out());
  device_->CreateOffscreenPlainSurface(544, 416, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.out(), nullptr);
  device_->GetRenderTargetData(back.get(), copy.get());

  const std::vector<std::string> expected = {
      "CreateTexture(4, 4, 1, 0, 21, 1)",
      "TestCooperativeLevel()",
      "Clear(0, null, 3, 0, 1, 0)",
      "BeginScene()",
      "SetRenderState(7, 1)",
      "SetTextureStageState(0, 2, 2)",
      "SetTexture(1, ptr)",
      "SetTexture(0, null)",
      "SetTransform(256)",
      "SetFVF(514)",
      "DrawPrimitiveUP(5, 1, 28)",
      "EndScene()",
      "GetBackBuffer(0, 0, 0)",
      "CreateOffscreenPlainSurface(544, 416, 21, 2)",
      "GetRenderTargetData()",
  };
  EXPECT_EQ(kvtest::d3d9CallLog(), expected);

  // A texture lock is one call, however it is carried out.
  kvtest::d3d9ClearCallLog();
  D3DLOCKED_RECT locked{};
  texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
  texture->UnlockRect(0);
  copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  copy->UnlockRect();
  const std::vector<std::string> lockLines = {"Texture::LockRect(0, null, 16)", "Texture::UnlockRect(0)",
                                              "Surface::LockRect(null, 16)", "Surface::UnlockRect()"};
  EXPECT_EQ(kvtest::d3d9CallLog(), lockLines);

  kvtest::d3d9ClearCallLog();
  EXPECT_TRUE(kvtest::d3d9CallLog().empty());
  kvtest::d3d9EnableCallLog(false);
  device_->BeginScene();
  device_->EndScene();
  EXPECT_TRUE(kvtest::d3d9CallLog().empty());
}

TEST_F(CallLogTest, AdapterCallsAreLoggedAndResetTurnsTheLogOff) {
  kvtest::d3d9EnableCallLog(true);
  Ref<IDirect3D9> other(Direct3DCreate9(D3D_SDK_VERSION));
  other->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, FALSE);
  D3DPRESENT_PARAMETERS pp = libraryParameters();
  other->CreateDevice(0, D3DDEVTYPE_HAL, testWindow(), D3DCREATE_MIXED_VERTEXPROCESSING, &pp, device_.out());
  device_->Reset(&pp);
  const std::vector<std::string> expected = {"Direct3DCreate9(32)", "CheckDeviceType(0, 1, 22, 22, 0)",
                                             "CreateDevice(0, 1, 128)", "Reset()"};
  EXPECT_EQ(kvtest::d3d9CallLog(), expected);
  kvtest::d3d9Reset();
  EXPECT_TRUE(kvtest::d3d9CallLog().empty());
  device_->BeginScene();
  EXPECT_TRUE(kvtest::d3d9CallLog().empty());
  device_->EndScene();
}

}  // namespace
}  // namespace kvd3d_test
