// The adapter object: creation, device-type and format questions, capabilities.
#include <cstdlib>

#include "d3d9/format_table.h"
#include "d3d9/raster/rasterizer.h"
#include "d3d9_test_support.h"

namespace kvd3d_test {
namespace {

TEST(Direct3DCreate9Test, AcceptsOnlyTheSdkVersionWithOrWithoutTheDebugBit) {
  kvtest::d3d9Reset();
  EXPECT_EQ(Direct3DCreate9(31), nullptr);
  EXPECT_EQ(Direct3DCreate9(0), nullptr);
  Ref<IDirect3D9> plain(Direct3DCreate9(32));
  Ref<IDirect3D9> debug(Direct3DCreate9(32 | 0x80000000u));
  EXPECT_TRUE(plain);
  EXPECT_TRUE(debug);
}

TEST(Direct3DCreate9Test, InjectedFailureYieldsNullUntilCleared) {
  kvtest::d3d9Reset();
  kvtest::d3d9FailCreate(true);
  EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
  kvtest::d3d9FailCreate(false);
  Ref<IDirect3D9> d3d(Direct3DCreate9(D3D_SDK_VERSION));
  EXPECT_TRUE(d3d);
}

// The environment is read once per process, so each case runs in a fresh child process.
TEST(EnvironmentFaultsTest, AreReadAtTheFirstCreateOfTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("KVPOLYGON_D3D9_FAULTS", "create", 1);
        std::exit(Direct3DCreate9(D3D_SDK_VERSION) == nullptr ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        setenv("KVPOLYGON_D3D9_FAULTS", "typecheck, hal-mixed,ref,bogus", 1);
        IDirect3D9 *d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!d3d) std::exit(10);
        if (d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, FALSE) !=
            D3DERR_NOTAVAILABLE)
          std::exit(11);
        D3DPRESENT_PARAMETERS pp = libraryParameters();
        IDirect3DDevice9 *device = nullptr;
        if (d3d->CreateDevice(0, D3DDEVTYPE_HAL, testWindow(), D3DCREATE_MIXED_VERTEXPROCESSING, &pp, &device) !=
            D3DERR_NOTAVAILABLE)
          std::exit(12);
        if (d3d->CreateDevice(0, D3DDEVTYPE_REF, testWindow(), D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device) !=
            D3DERR_NOTAVAILABLE)
          std::exit(13);
        if (d3d->CreateDevice(0, D3DDEVTYPE_HAL, testWindow(), D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device) !=
            D3D_OK)
          std::exit(14);
        device->Release();
        d3d->Release();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

class AdapterTest : public D3D9Test {};

TEST_F(AdapterTest, ReportsOneAdapterWithAThirtyTwoBitDisplayMode) {
  EXPECT_EQ(d3d_->GetAdapterCount(), 1u);
  D3DDISPLAYMODE mode{};
  ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
  EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
  EXPECT_GT(mode.Width, 0u);
  EXPECT_EQ(d3d_->GetAdapterDisplayMode(1, &mode), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->GetAdapterDisplayMode(0, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->GetAdapterModeCount(0, D3DFMT_X8R8G8B8), 1u);
  EXPECT_EQ(d3d_->GetAdapterModeCount(0, D3DFMT_R5G6B5), 0u) << "the one mode is 32-bit";
  EXPECT_EQ(d3d_->GetAdapterModeCount(1, D3DFMT_X8R8G8B8), 0u);

  // The device answers with the adapter's mode, for its one swap chain only.
  makeDevice();
  D3DDISPLAYMODE deviceMode{};
  ASSERT_EQ(device_->GetDisplayMode(0, &deviceMode), D3D_OK);
  EXPECT_EQ(deviceMode.Format, mode.Format);
  EXPECT_EQ(deviceMode.Width, mode.Width);
  EXPECT_EQ(device_->GetDisplayMode(1, &deviceMode), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetDisplayMode(0, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(AdapterTest, DeviceTypeCheckFollowsDisplayAndBackBufferRules) {
  // The library's own question: full-screen 32-bit on the HAL.
  EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, FALSE), D3D_OK);
  EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, FALSE), D3D_OK);
  EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_UNKNOWN, TRUE), D3D_OK);
  EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_UNKNOWN, FALSE), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, FALSE), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, TRUE), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d_->CheckDeviceType(1, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, FALSE), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_SW, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, FALSE), D3DERR_INVALIDCALL);

  kvtest::d3d9FailCheckDeviceType(true);
  EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, FALSE), D3DERR_NOTAVAILABLE);
  kvtest::d3d9FailCheckDeviceType(false);
  EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, FALSE), D3D_OK);
}

TEST_F(AdapterTest, TextureFormatsAreExactlyTheOnesTheSamplerReads) {
  const D3DFORMAT formats[] = {
      D3DFMT_R8G8B8,   D3DFMT_A8R8G8B8,     D3DFMT_X8R8G8B8,      D3DFMT_R5G6B5,       D3DFMT_X1R5G5B5,
      D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4,     D3DFMT_R3G3B2,        D3DFMT_A8,           D3DFMT_A8R3G3B2,
      D3DFMT_X4R4G4B4, D3DFMT_A2B10G10R10,  D3DFMT_A8B8G8R8,      D3DFMT_X8B8G8R8,     D3DFMT_G16R16,
      D3DFMT_A2R10G10B10, D3DFMT_A16B16G16R16, D3DFMT_A8P8,       D3DFMT_P8,           D3DFMT_L8,
      D3DFMT_A8L8,     D3DFMT_A4L4,         D3DFMT_V8U8,          D3DFMT_L6V5U5,       D3DFMT_X8L8V8U8,
      D3DFMT_Q8W8V8U8, D3DFMT_V16U16,       D3DFMT_A2W10V10U10,   D3DFMT_UYVY,         D3DFMT_YUY2,
      D3DFMT_DXT1,     D3DFMT_DXT2,         D3DFMT_DXT3,          D3DFMT_DXT4,         D3DFMT_DXT5,
      D3DFMT_D16,      D3DFMT_D24S8,        D3DFMT_L16,           D3DFMT_Q16W16V16U16, D3DFMT_R16F,
      D3DFMT_G16R16F,  D3DFMT_A16B16G16R16F, D3DFMT_R32F,         D3DFMT_G32R32F,      D3DFMT_A32B32G32R32F,
      D3DFMT_CxV8U8,   D3DFMT_MULTI2_ARGB8, D3DFMT_VERTEXDATA};
  for (D3DFORMAT format : formats) {
    const HRESULT expected = kvd3d::raster::canSampleFormat(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
    EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, format), expected)
        << "format " << format;
  }
  EXPECT_TRUE(kvd3d::raster::canSampleFormat(D3DFMT_A8R8G8B8));
}

TEST_F(AdapterTest, FormatCheckAnswersRenderTargetsDepthAndQueries) {
  auto check = [&](DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format) {
    return d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, usage, type, format);
  };
  for (D3DFORMAT depth : {D3DFMT_D16, D3DFMT_D16_LOCKABLE, D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D32})
    EXPECT_EQ(check(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, depth), D3D_OK) << depth;
  EXPECT_EQ(check(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D15S1), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_TEXTURE, D3DFMT_D16), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, D3DFMT_A8R8G8B8), D3D_OK);
  EXPECT_EQ(check(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_X8R8G8B8), D3D_OK);
  EXPECT_EQ(check(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_R5G6B5), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(D3DUSAGE_RENDERTARGET, D3DRTYPE_VOLUMETEXTURE, D3DFMT_A8R8G8B8), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(0, D3DRTYPE_SURFACE, D3DFMT_DXT1), D3D_OK);
  EXPECT_EQ(check(0, D3DRTYPE_SURFACE, D3DFMT_D16), D3DERR_NOTAVAILABLE);
  // Mipmaps are never generated: success, but the "no autogen" kind.
  EXPECT_EQ(check(D3DUSAGE_AUTOGENMIPMAP, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3DOK_NOAUTOGEN);
  EXPECT_EQ(check(D3DUSAGE_QUERY_FILTER, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3D_OK);
  EXPECT_EQ(check(D3DUSAGE_QUERY_SRGBREAD, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3DERR_NOTAVAILABLE);
  // Bad adapter or device type is a caller error; an unknown display format is not available.
  EXPECT_EQ(d3d_->CheckDeviceFormat(1, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_NULLREF, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
            D3DERR_NOTAVAILABLE);
}

TEST_F(AdapterTest, RefusedFormatIsNotAvailableAndCannotBeMade) {
  kvtest::d3d9RefuseFormat(D3DFMT_A8R8G8B8, true);
  EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_X8R8G8B8),
            D3D_OK);
  makeDevice();
  Ref<IDirect3DTexture9> texture;
  EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.out(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, texture.out(), nullptr), D3D_OK);
  kvtest::d3d9RefuseFormat(D3DFMT_A8R8G8B8, false);
  EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
            D3D_OK);
}

TEST_F(AdapterTest, DefaultCapsDescribeAFixedFunctionSoftwareDevice) {
  D3DCAPS9 caps{};
  ASSERT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
  EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_HAL);
  EXPECT_EQ(caps.TextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY), 0u);
  EXPECT_TRUE(caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP);
  EXPECT_EQ(caps.MaxTextureWidth, 4096u);
  EXPECT_EQ(caps.MaxTextureHeight, 4096u);
  EXPECT_EQ(caps.MaxSimultaneousTextures, 8u);
  EXPECT_EQ(caps.MaxTextureBlendStages, 8u);
  EXPECT_EQ(caps.VertexShaderVersion, 0u);
  EXPECT_EQ(caps.MaxVertexShaderConst, 0u);
  EXPECT_EQ(caps.DeclTypes, 0u) << "no declaration types beyond what a flexible vertex format holds";
  EXPECT_EQ(caps.PixelShaderVersion, 0u);
  EXPECT_FALSE(caps.DevCaps & D3DDEVCAPS_TEXTURESYSTEMMEMORY);
  EXPECT_TRUE(caps.TextureOpCaps & D3DTEXOPCAPS_MODULATE);
  EXPECT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3D_OK);
  EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_REF);
  EXPECT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_SW, &caps), D3DERR_INVALIDCALL);
}

TEST_F(AdapterTest, CapsOverrideReachesAdapterAndDeviceUntilReset) {
  D3DCAPS9 caps = kvtest::d3d9DefaultCaps();
  caps.MaxTextureWidth = 256;
  caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
  kvtest::d3d9SetCaps(caps);
  D3DCAPS9 seen{};
  ASSERT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &seen), D3D_OK);
  EXPECT_EQ(seen.MaxTextureWidth, 256u);
  makeDevice();
  ASSERT_EQ(device_->GetDeviceCaps(&seen), D3D_OK);
  EXPECT_EQ(seen.MaxTextureWidth, 256u);
  EXPECT_TRUE(seen.TextureCaps & D3DPTEXTURECAPS_POW2);
  kvtest::d3d9ResetCaps();
  ASSERT_EQ(device_->GetDeviceCaps(&seen), D3D_OK);
  EXPECT_EQ(seen.MaxTextureWidth, 4096u);
}

TEST(FormatTableTest, BlockAndPackedFormatsPitchWholeBlocks) {
  UINT pitch = 0;
  const kvd3d::FormatInfo *dxt1 = kvd3d::findFormat(D3DFMT_DXT1);
  const kvd3d::FormatInfo *dxt5 = kvd3d::findFormat(D3DFMT_DXT5);
  const kvd3d::FormatInfo *yuy2 = kvd3d::findFormat(D3DFMT_YUY2);
  const kvd3d::FormatInfo *rgb = kvd3d::findFormat(D3DFMT_R8G8B8);
  ASSERT_TRUE(dxt1 && dxt5 && yuy2 && rgb);
  ASSERT_TRUE(kvd3d::levelPitch(*dxt1, 16, pitch));
  EXPECT_EQ(pitch, 32u);
  ASSERT_TRUE(kvd3d::levelPitch(*dxt5, 16, pitch));
  EXPECT_EQ(pitch, 64u);
  ASSERT_TRUE(kvd3d::levelPitch(*dxt1, 1, pitch));
  EXPECT_EQ(pitch, 8u);
  EXPECT_EQ(kvd3d::blockRows(*dxt1, 5), 2u);
  ASSERT_TRUE(kvd3d::levelPitch(*yuy2, 3, pitch));
  EXPECT_EQ(pitch, 8u);
  ASSERT_TRUE(kvd3d::levelPitch(*rgb, 13, pitch));  // 39 bytes, rows start on DWORDs
  EXPECT_EQ(pitch, 40u);
  EXPECT_FALSE(kvd3d::levelPitch(*kvd3d::findFormat(D3DFMT_A32B32G32R32F), 0xffffffffu, pitch));
  EXPECT_EQ(kvd3d::findFormat(D3DFMT_UNKNOWN), nullptr);
}

}  // namespace
}  // namespace kvd3d_test
