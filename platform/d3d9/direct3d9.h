// IDirect3D9: the adapter object Direct3DCreate9 returns. One adapter, one display mode,
// HAL and REF device types, and the device factory.
#pragma once

#include <d3d9.h>

namespace kvd3d {

class Direct3D9 final : public IDirect3D9 {
 public:
  Direct3D9() = default;

  STDMETHOD(QueryInterface)(REFIID riid, void **ppvObj) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD(RegisterSoftwareDevice)(void *pInitializeFunction) override;
  STDMETHOD_(UINT, GetAdapterCount)() override;
  STDMETHOD(GetAdapterIdentifier)(UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER9 *pIdentifier) override;
  STDMETHOD_(UINT, GetAdapterModeCount)(UINT Adapter, D3DFORMAT Format) override;
  STDMETHOD(EnumAdapterModes)(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE *pMode) override;
  STDMETHOD(GetAdapterDisplayMode)(UINT Adapter, D3DDISPLAYMODE *pMode) override;
  STDMETHOD(CheckDeviceType)(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat, D3DFORMAT BackBufferFormat,
                             BOOL bWindowed) override;
  STDMETHOD(CheckDeviceFormat)(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                               D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
  STDMETHOD(CheckDeviceMultiSampleType)(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat, BOOL Windowed,
                                        D3DMULTISAMPLE_TYPE MultiSampleType, DWORD *pQualityLevels) override;
  STDMETHOD(CheckDepthStencilMatch)(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                    D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) override;
  STDMETHOD(CheckDeviceFormatConversion)(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SourceFormat,
                                         D3DFORMAT TargetFormat) override;
  STDMETHOD(GetDeviceCaps)(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9 *pCaps) override;
  STDMETHOD_(HMONITOR, GetAdapterMonitor)(UINT Adapter) override;
  STDMETHOD(CreateDevice)(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                          D3DPRESENT_PARAMETERS *pPresentationParameters,
                          IDirect3DDevice9 **ppReturnedDeviceInterface) override;

  // The one display mode of the one adapter.
  static D3DDISPLAYMODE displayMode();

 private:
  ~Direct3D9() = default;
  ULONG refs_ = 1;
};

}  // namespace kvd3d
