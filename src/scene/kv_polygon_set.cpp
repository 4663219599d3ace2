#include "scene/kv_polygon_set.h"

#include <new>

#include "scene/requested_size.h"

namespace kv {

namespace {

// The messages the user sees when no device can be made; caption "test", no owner, OK only.
void tellUser(const char *text) { MessageBoxA(nullptr, text, "test", MB_OK); }

// The device attempts in the order they are tried; the first success ends the search.
struct DeviceAttempt {
  D3DDEVTYPE type;
  DWORD behaviour;
};
constexpr DeviceAttempt kDeviceAttempts[] = {
    {D3DDEVTYPE_HAL, D3DCREATE_MIXED_VERTEXPROCESSING},
    {D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
    {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
};

}  // namespace

std::unique_ptr<KvPolygonSet> KvPolygonSet::create(HWND window) {
  std::unique_ptr<KvPolygonSet> scene(new (std::nothrow) KvPolygonSet);
  if (!scene) return nullptr;
  if (FAILED(scene->initDevice(window))) return nullptr;
  return scene;
}

KvPolygonSet::~KvPolygonSet() {
  polygons_.clear();
  textures_.clear();
  imageBuffer_.reset();
  backBuffer_.reset();
  copySurface_.reset();
  device_.reset();
  d3d_.reset();
}

void KvPolygonSet::fillPresentParameters() {
  const BackBufferSize &size = requestedBackBufferSize();
  presentParameters_ = D3DPRESENT_PARAMETERS{};
  presentParameters_.BackBufferWidth = size.width;
  presentParameters_.BackBufferHeight = size.height;
  presentParameters_.BackBufferFormat = D3DFMT_A8R8G8B8;
  presentParameters_.BackBufferCount = 1;
  presentParameters_.MultiSampleType = D3DMULTISAMPLE_NONE;
  presentParameters_.MultiSampleQuality = 0;
  presentParameters_.SwapEffect = D3DSWAPEFFECT_DISCARD;
  presentParameters_.hDeviceWindow = nullptr;
  presentParameters_.Windowed = TRUE;
  presentParameters_.EnableAutoDepthStencil = TRUE;
  presentParameters_.AutoDepthStencilFormat = D3DFMT_D16;
  presentParameters_.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  presentParameters_.FullScreen_RefreshRateInHz = 0;
  presentParameters_.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
}

HRESULT KvPolygonSet::initDevice(HWND window) {
  d3d_.reset(Direct3DCreate9(D3D_SDK_VERSION));
  if (!d3d_) {
    tellUser("test1");
    return E_FAIL;
  }
  window_ = window;
  // The check asks about full-screen 32-bit operation, although the device is made windowed.
  if (FAILED(d3d_->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, FALSE))) {
    tellUser("test2");
    return E_FAIL;
  }
  fillPresentParameters();
  for (const DeviceAttempt &attempt : kDeviceAttempts) {
    if (SUCCEEDED(d3d_->CreateDevice(D3DADAPTER_DEFAULT, attempt.type, window_, attempt.behaviour,
                                     &presentParameters_, device_.put())) &&
        device_)
      return S_OK;
    device_.reset();
  }
  tellUser("test");
  return E_FAIL;
}

HRESULT KvPolygonSet::resetDevice() {
  fillPresentParameters();
  const HRESULT hr = device_->Reset(&presentParameters_);
  if (hr != S_OK) return hr;
  for (auto &entry : textures_) recreateTexture(*entry, device_.get());
  return S_OK;
}

}  // namespace kv
