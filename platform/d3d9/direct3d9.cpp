#include "d3d9/direct3d9.h"

#include <cstring>
#include <new>

#include "d3d9/call_log.h"
#include "d3d9/control_state.h"
#include "d3d9/default_caps.h"
#include "d3d9/device.h"
#include "d3d9/format_support.h"
#include "d3d9/present_parameters.h"

namespace kvd3d {

D3DDISPLAYMODE Direct3D9::displayMode() { return {1920, 1080, 60, kDisplayFormat}; }

HRESULT Direct3D9::QueryInterface(REFIID riid, void **ppvObj) {
  if (!ppvObj) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirect3D9) {
    *ppvObj = static_cast<IDirect3D9 *>(this);
    AddRef();
    return S_OK;
  }
  *ppvObj = nullptr;
  return E_NOINTERFACE;
}

ULONG Direct3D9::AddRef() { return ++refs_; }

ULONG Direct3D9::Release() {
  if (refs_ == 0) return 0;
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT Direct3D9::RegisterSoftwareDevice(void *) { return D3DERR_INVALIDCALL; }

UINT Direct3D9::GetAdapterCount() { return 1; }

HRESULT Direct3D9::GetAdapterIdentifier(UINT Adapter, DWORD, D3DADAPTER_IDENTIFIER9 *pIdentifier) {
  if (Adapter != 0 || !pIdentifier) return D3DERR_INVALIDCALL;
  std::memset(pIdentifier, 0, sizeof *pIdentifier);
  std::strcpy(pIdentifier->Driver, "kvd3d9.so");
  std::strcpy(pIdentifier->Description, "kvPolygon software rasterizer");
  std::strcpy(pIdentifier->DeviceName, "\\\\.\\DISPLAY1");
  pIdentifier->DriverVersion.QuadPart = 0x0009000000000001LL;
  pIdentifier->DeviceIdentifier = {0x6b767064, 0x3364, 0x0039, {'s', 't', 'a', 'n', 'd', 'i', 'n', 0}};
  return D3D_OK;
}

UINT Direct3D9::GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) {
  return Adapter == 0 && Format == kDisplayFormat ? 1 : 0;
}

HRESULT Direct3D9::EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE *pMode) {
  if (Adapter != 0 || !pMode) return D3DERR_INVALIDCALL;
  if (Format != kDisplayFormat) return D3DERR_NOTAVAILABLE;
  if (Mode != 0) return D3DERR_INVALIDCALL;
  *pMode = displayMode();
  return D3D_OK;
}

HRESULT Direct3D9::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE *pMode) {
  KVD3D_LOG("GetAdapterDisplayMode", Adapter);
  if (Adapter != 0 || !pMode) return D3DERR_INVALIDCALL;
  *pMode = displayMode();
  return D3D_OK;
}

HRESULT Direct3D9::CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat,
                                   D3DFORMAT BackBufferFormat, BOOL bWindowed) {
  KVD3D_LOG("CheckDeviceType", Adapter, DevType, AdapterFormat, BackBufferFormat, bWindowed);
  return checkDeviceType(Adapter, DevType, AdapterFormat, BackBufferFormat, bWindowed);
}

HRESULT Direct3D9::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                                     D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) {
  KVD3D_LOG("CheckDeviceFormat", Adapter, DeviceType, AdapterFormat, Usage, RType, CheckFormat);
  return checkDeviceFormat(Adapter, DeviceType, AdapterFormat, Usage, RType, CheckFormat);
}

HRESULT Direct3D9::CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat, BOOL,
                                              D3DMULTISAMPLE_TYPE MultiSampleType, DWORD *pQualityLevels) {
  if (HRESULT hr = checkAdapterAndType(Adapter, DeviceType); FAILED(hr)) return hr;
  if (MultiSampleType > D3DMULTISAMPLE_16_SAMPLES) return D3DERR_INVALIDCALL;
  const bool drawable = isRenderTargetFormat(SurfaceFormat) || isDrawableDepthFormat(SurfaceFormat);
  if (MultiSampleType != D3DMULTISAMPLE_NONE || !drawable) return D3DERR_NOTAVAILABLE;
  if (pQualityLevels) *pQualityLevels = 1;
  return D3D_OK;
}

HRESULT Direct3D9::CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                          D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) {
  if (HRESULT hr = checkAdapterAndType(Adapter, DeviceType); FAILED(hr)) return hr;
  if (AdapterFormat != kDisplayFormat) return D3DERR_NOTAVAILABLE;
  if (!isRenderTargetFormat(RenderTargetFormat)) return D3DERR_NOTAVAILABLE;
  return isDrawableDepthFormat(DepthStencilFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D9::CheckDeviceFormatConversion(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT, D3DFORMAT) {
  if (HRESULT hr = checkAdapterAndType(Adapter, DeviceType); FAILED(hr)) return hr;
  return D3DERR_NOTAVAILABLE;  // no copies between surfaces, so no conversions either
}

HRESULT Direct3D9::GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9 *pCaps) {
  KVD3D_LOG("GetDeviceCaps", Adapter, DeviceType);
  if (HRESULT hr = checkAdapterAndType(Adapter, DeviceType); FAILED(hr)) return hr;
  if (!pCaps) return D3DERR_INVALIDCALL;
  *pCaps = currentCaps(DeviceType);
  return D3D_OK;
}

HMONITOR Direct3D9::GetAdapterMonitor(UINT Adapter) {
  static int monitor;
  return Adapter == 0 ? reinterpret_cast<HMONITOR>(&monitor) : nullptr;
}

HRESULT Direct3D9::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                D3DPRESENT_PARAMETERS *pPresentationParameters,
                                IDirect3DDevice9 **ppReturnedDeviceInterface) {
  KVD3D_LOG("CreateDevice", Adapter, DeviceType, BehaviorFlags);
  ControlState &state = control();
  if (pPresentationParameters) state.lastPresentParameters = *pPresentationParameters;
  if (!ppReturnedDeviceInterface || !pPresentationParameters) return D3DERR_INVALIDCALL;
  *ppReturnedDeviceInterface = nullptr;
  if (HRESULT hr = checkAdapterAndType(Adapter, DeviceType); FAILED(hr)) return hr;

  const DWORD vertexProcessing = vertexProcessingFlag(BehaviorFlags);
  if (vertexProcessing == 0) return D3DERR_INVALIDCALL;
  if ((BehaviorFlags & D3DCREATE_PUREDEVICE) && vertexProcessing != D3DCREATE_HARDWARE_VERTEXPROCESSING)
    return D3DERR_INVALIDCALL;
  const D3DCAPS9 caps = currentCaps(DeviceType);
  if (vertexProcessing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && !(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT))
    return D3DERR_INVALIDCALL;
  if (state.failedCreateDevice.count({DWORD(DeviceType), vertexProcessing})) return D3DERR_NOTAVAILABLE;

  D3DPRESENT_PARAMETERS resolved{};
  if (HRESULT hr = resolvePresentParameters(*pPresentationParameters, hFocusWindow, caps, resolved); FAILED(hr))
    return hr;
  const D3DDEVICE_CREATION_PARAMETERS creation{Adapter, DeviceType, hFocusWindow, BehaviorFlags};
  Device *device = nullptr;
  if (HRESULT hr = Device::create(this, creation, resolved, &device); FAILED(hr)) return hr;
  *pPresentationParameters = resolved;
  *ppReturnedDeviceInterface = device;
  return D3D_OK;
}

}  // namespace kvd3d

extern "C" __attribute__((visibility("default"))) IDirect3D9 *WINAPI Direct3DCreate9(UINT SDKVersion) {
  kvd3d::readEnvironmentFaultsOnce();
  KVD3D_LOG("Direct3DCreate9", SDKVersion);
  // The top bit asks for the debug runtime, which this runtime also is.
  if ((SDKVersion & 0x7fffffffu) != D3D_SDK_VERSION) return nullptr;
  if (kvd3d::control().failCreate) return nullptr;
  return new (std::nothrow) kvd3d::Direct3D9();
}
