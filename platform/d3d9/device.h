// IDirect3DDevice9 of the software runtime: an off-screen device with one implicit swap
// chain (A8R8G8B8 / X8R8G8B8 back buffers, optional 16-bit depth buffer), the resources it
// made, the draw state the rasterizer reads, and the lost / not-reset cycle.
#pragma once

#include <d3d9.h>

#include <map>
#include <vector>

#include "d3d9/pixel_storage.h"
#include "d3d9/raster/rasterizer.h"
#include "d3d9/swap_chain.h"
#include "d3d9/tracked_resource.h"

namespace kvd3d {

class Direct3D9;
class Surface;
class BindableTexture;

class Device final : public IDirect3DDevice9 {
 public:
  enum class Health { ok, lost, notReset };

  // `parameters` has passed resolvePresentParameters.
  static HRESULT create(Direct3D9 *direct3d, const D3DDEVICE_CREATION_PARAMETERS &creation,
                        const D3DPRESENT_PARAMETERS &parameters, Device **out);

  // Resources register themselves for the lifetime of the object.
  void track(TrackedResource *resource);
  void untrack(TrackedResource *resource);
  void setHealth(Health health) { health_ = health; }
  const D3DPRESENT_PARAMETERS &presentParameters() const { return parameters_; }
  StorageRecycler &storageRecycler() { return recycler_; }
  // Finishes queued drawing first.
  void setDrawingThreads(int threads) {
    rasterizer_.finish();
    rasterizer_.setThreads(threads);
  }
  Health health() const { return health_; }

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID riid, void **ppvObj) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // Lifecycle and queries (device_lifecycle.cpp)
  STDMETHOD(TestCooperativeLevel)() override;
  STDMETHOD_(UINT, GetAvailableTextureMem)() override;
  STDMETHOD(EvictManagedResources)() override;
  STDMETHOD(GetDirect3D)(IDirect3D9 **ppD3D9) override;
  STDMETHOD(GetDeviceCaps)(D3DCAPS9 *pCaps) override;
  STDMETHOD(GetDisplayMode)(UINT iSwapChain, D3DDISPLAYMODE *pMode) override;
  STDMETHOD(GetCreationParameters)(D3DDEVICE_CREATION_PARAMETERS *pParameters) override;
  STDMETHOD_(UINT, GetNumberOfSwapChains)() override;
  STDMETHOD(GetSwapChain)(UINT iSwapChain, IDirect3DSwapChain9 **pSwapChain) override;
  STDMETHOD(Reset)(D3DPRESENT_PARAMETERS *pPresentationParameters) override;
  STDMETHOD(Present)(const RECT *pSourceRect, const RECT *pDestRect, HWND hDestWindowOverride,
                     const RGNDATA *pDirtyRegion) override;
  STDMETHOD(GetBackBuffer)(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                           IDirect3DSurface9 **ppBackBuffer) override;
  STDMETHOD(GetRenderTarget)(DWORD RenderTargetIndex, IDirect3DSurface9 **ppRenderTarget) override;
  STDMETHOD(GetDepthStencilSurface)(IDirect3DSurface9 **ppZStencilSurface) override;

  // Resources (device_resources.cpp)
  STDMETHOD(CreateTexture)(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                           IDirect3DTexture9 **ppTexture, HANDLE *pSharedHandle) override;
  STDMETHOD(CreateVolumeTexture)(UINT Width, UINT Height, UINT Depth, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                 D3DPOOL Pool, IDirect3DVolumeTexture9 **ppVolumeTexture,
                                 HANDLE *pSharedHandle) override;
  STDMETHOD(CreateCubeTexture)(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                               IDirect3DCubeTexture9 **ppCubeTexture, HANDLE *pSharedHandle) override;
  STDMETHOD(CreateRenderTarget)(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                DWORD MultisampleQuality, BOOL Lockable, IDirect3DSurface9 **ppSurface,
                                HANDLE *pSharedHandle) override;
  STDMETHOD(CreateDepthStencilSurface)(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                       DWORD MultisampleQuality, BOOL Discard, IDirect3DSurface9 **ppSurface,
                                       HANDLE *pSharedHandle) override;
  STDMETHOD(CreateOffscreenPlainSurface)(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                         IDirect3DSurface9 **ppSurface, HANDLE *pSharedHandle) override;
  STDMETHOD(GetRenderTargetData)(IDirect3DSurface9 *pRenderTarget, IDirect3DSurface9 *pDestSurface) override;
  STDMETHOD(UpdateSurface)(IDirect3DSurface9 *pSourceSurface, const RECT *pSourceRect,
                           IDirect3DSurface9 *pDestinationSurface, const POINT *pDestPoint) override;
  STDMETHOD(UpdateTexture)(IDirect3DBaseTexture9 *pSourceTexture,
                           IDirect3DBaseTexture9 *pDestinationTexture) override;
  STDMETHOD(StretchRect)(IDirect3DSurface9 *pSourceSurface, const RECT *pSourceRect, IDirect3DSurface9 *pDestSurface,
                         const RECT *pDestRect, D3DTEXTUREFILTERTYPE Filter) override;
  STDMETHOD(ColorFill)(IDirect3DSurface9 *pSurface, const RECT *pRect, D3DCOLOR color) override;

  // State (device_state.cpp)
  STDMETHOD(SetTransform)(D3DTRANSFORMSTATETYPE State, const D3DMATRIX *pMatrix) override;
  STDMETHOD(GetTransform)(D3DTRANSFORMSTATETYPE State, D3DMATRIX *pMatrix) override;
  STDMETHOD(MultiplyTransform)(D3DTRANSFORMSTATETYPE State, const D3DMATRIX *pMatrix) override;
  STDMETHOD(SetViewport)(const D3DVIEWPORT9 *pViewport) override;
  STDMETHOD(GetViewport)(D3DVIEWPORT9 *pViewport) override;
  STDMETHOD(SetMaterial)(const D3DMATERIAL9 *pMaterial) override;
  STDMETHOD(GetMaterial)(D3DMATERIAL9 *pMaterial) override;
  STDMETHOD(SetLight)(DWORD Index, const D3DLIGHT9 *pLight) override;
  STDMETHOD(GetLight)(DWORD Index, D3DLIGHT9 *pLight) override;
  STDMETHOD(LightEnable)(DWORD Index, BOOL Enable) override;
  STDMETHOD(GetLightEnable)(DWORD Index, BOOL *pEnable) override;
  STDMETHOD(SetRenderState)(D3DRENDERSTATETYPE State, DWORD Value) override;
  STDMETHOD(GetRenderState)(D3DRENDERSTATETYPE State, DWORD *pValue) override;
  STDMETHOD(SetClipStatus)(const D3DCLIPSTATUS9 *pClipStatus) override;
  STDMETHOD(GetClipStatus)(D3DCLIPSTATUS9 *pClipStatus) override;
  STDMETHOD(GetTexture)(DWORD Stage, IDirect3DBaseTexture9 **ppTexture) override;
  STDMETHOD(SetTexture)(DWORD Stage, IDirect3DBaseTexture9 *pTexture) override;
  STDMETHOD(GetTextureStageState)(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD *pValue) override;
  STDMETHOD(SetTextureStageState)(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
  STDMETHOD(GetSamplerState)(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD *pValue) override;
  STDMETHOD(SetSamplerState)(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
  STDMETHOD(ValidateDevice)(DWORD *pNumPasses) override;
  STDMETHOD(SetScissorRect)(const RECT *pRect) override;
  STDMETHOD(GetScissorRect)(RECT *pRect) override;
  STDMETHOD(SetSoftwareVertexProcessing)(BOOL bSoftware) override;
  STDMETHOD_(BOOL, GetSoftwareVertexProcessing)() override;
  STDMETHOD(SetFVF)(DWORD FVF) override;
  STDMETHOD(GetFVF)(DWORD *pFVF) override;
  STDMETHOD_(void, SetGammaRamp)(UINT iSwapChain, DWORD Flags, const D3DGAMMARAMP *pRamp) override;
  STDMETHOD_(void, GetGammaRamp)(UINT iSwapChain, D3DGAMMARAMP *pRamp) override;

  // Drawing (device_draw.cpp)
  STDMETHOD(BeginScene)() override;
  STDMETHOD(EndScene)() override;
  STDMETHOD(Clear)(DWORD Count, const D3DRECT *pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;
  STDMETHOD(DrawPrimitiveUP)(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, const void *pVertexStreamZeroData,
                             UINT VertexStreamZeroStride) override;
  STDMETHOD(DrawIndexedPrimitiveUP)(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices,
                                    UINT PrimitiveCount, const void *pIndexData, D3DFORMAT IndexDataFormat,
                                    const void *pVertexStreamZeroData, UINT VertexStreamZeroStride) override;

  // Not offered by this device (device_unsupported.cpp)
  STDMETHOD(SetCursorProperties)(UINT XHotSpot, UINT YHotSpot, IDirect3DSurface9 *pCursorBitmap) override;
  STDMETHOD_(void, SetCursorPosition)(int X, int Y, DWORD Flags) override;
  STDMETHOD_(BOOL, ShowCursor)(BOOL bShow) override;
  STDMETHOD(CreateAdditionalSwapChain)(D3DPRESENT_PARAMETERS *pPresentationParameters,
                                       IDirect3DSwapChain9 **pSwapChain) override;
  STDMETHOD(GetRasterStatus)(UINT iSwapChain, D3DRASTER_STATUS *pRasterStatus) override;
  STDMETHOD(SetDialogBoxMode)(BOOL bEnableDialogs) override;
  STDMETHOD(CreateVertexBuffer)(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                IDirect3DVertexBuffer9 **ppVertexBuffer, HANDLE *pSharedHandle) override;
  STDMETHOD(CreateIndexBuffer)(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                               IDirect3DIndexBuffer9 **ppIndexBuffer, HANDLE *pSharedHandle) override;
  STDMETHOD(GetFrontBufferData)(UINT iSwapChain, IDirect3DSurface9 *pDestSurface) override;
  STDMETHOD(SetRenderTarget)(DWORD RenderTargetIndex, IDirect3DSurface9 *pRenderTarget) override;
  STDMETHOD(SetDepthStencilSurface)(IDirect3DSurface9 *pNewZStencil) override;
  STDMETHOD(SetClipPlane)(DWORD Index, const float *pPlane) override;
  STDMETHOD(GetClipPlane)(DWORD Index, float *pPlane) override;
  STDMETHOD(CreateStateBlock)(D3DSTATEBLOCKTYPE Type, IDirect3DStateBlock9 **ppSB) override;
  STDMETHOD(BeginStateBlock)() override;
  STDMETHOD(EndStateBlock)(IDirect3DStateBlock9 **ppSB) override;
  STDMETHOD(SetPaletteEntries)(UINT PaletteNumber, const PALETTEENTRY *pEntries) override;
  STDMETHOD(GetPaletteEntries)(UINT PaletteNumber, PALETTEENTRY *pEntries) override;
  STDMETHOD(SetCurrentTexturePalette)(UINT PaletteNumber) override;
  STDMETHOD(GetCurrentTexturePalette)(UINT *PaletteNumber) override;
  STDMETHOD(SetNPatchMode)(float nSegments) override;
  STDMETHOD_(float, GetNPatchMode)() override;
  STDMETHOD(DrawPrimitive)(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
  STDMETHOD(DrawIndexedPrimitive)(D3DPRIMITIVETYPE Type, INT BaseVertexIndex, UINT MinVertexIndex, UINT NumVertices,
                                  UINT startIndex, UINT primCount) override;
  STDMETHOD(ProcessVertices)(UINT SrcStartIndex, UINT DestIndex, UINT VertexCount,
                             IDirect3DVertexBuffer9 *pDestBuffer, IDirect3DVertexDeclaration9 *pVertexDecl,
                             DWORD Flags) override;
  STDMETHOD(CreateVertexDeclaration)(const D3DVERTEXELEMENT9 *pVertexElements,
                                     IDirect3DVertexDeclaration9 **ppDecl) override;
  STDMETHOD(SetVertexDeclaration)(IDirect3DVertexDeclaration9 *pDecl) override;
  STDMETHOD(GetVertexDeclaration)(IDirect3DVertexDeclaration9 **ppDecl) override;
  STDMETHOD(CreateVertexShader)(const DWORD *pFunction, IDirect3DVertexShader9 **ppShader) override;
  STDMETHOD(SetVertexShader)(IDirect3DVertexShader9 *pShader) override;
  STDMETHOD(GetVertexShader)(IDirect3DVertexShader9 **ppShader) override;
  STDMETHOD(SetVertexShaderConstantF)(UINT StartRegister, const float *pConstantData, UINT Vector4fCount) override;
  STDMETHOD(GetVertexShaderConstantF)(UINT StartRegister, float *pConstantData, UINT Vector4fCount) override;
  STDMETHOD(SetVertexShaderConstantI)(UINT StartRegister, const int *pConstantData, UINT Vector4iCount) override;
  STDMETHOD(GetVertexShaderConstantI)(UINT StartRegister, int *pConstantData, UINT Vector4iCount) override;
  STDMETHOD(SetVertexShaderConstantB)(UINT StartRegister, const BOOL *pConstantData, UINT BoolCount) override;
  STDMETHOD(GetVertexShaderConstantB)(UINT StartRegister, BOOL *pConstantData, UINT BoolCount) override;
  STDMETHOD(SetStreamSource)(UINT StreamNumber, IDirect3DVertexBuffer9 *pStreamData, UINT OffsetInBytes,
                             UINT Stride) override;
  STDMETHOD(GetStreamSource)(UINT StreamNumber, IDirect3DVertexBuffer9 **ppStreamData, UINT *pOffsetInBytes,
                             UINT *pStride) override;
  STDMETHOD(SetStreamSourceFreq)(UINT StreamNumber, UINT Setting) override;
  STDMETHOD(GetStreamSourceFreq)(UINT StreamNumber, UINT *pSetting) override;
  STDMETHOD(SetIndices)(IDirect3DIndexBuffer9 *pIndexData) override;
  STDMETHOD(GetIndices)(IDirect3DIndexBuffer9 **ppIndexData) override;
  STDMETHOD(CreatePixelShader)(const DWORD *pFunction, IDirect3DPixelShader9 **ppShader) override;
  STDMETHOD(SetPixelShader)(IDirect3DPixelShader9 *pShader) override;
  STDMETHOD(GetPixelShader)(IDirect3DPixelShader9 **ppShader) override;
  STDMETHOD(SetPixelShaderConstantF)(UINT StartRegister, const float *pConstantData, UINT Vector4fCount) override;
  STDMETHOD(GetPixelShaderConstantF)(UINT StartRegister, float *pConstantData, UINT Vector4fCount) override;
  STDMETHOD(SetPixelShaderConstantI)(UINT StartRegister, const int *pConstantData, UINT Vector4iCount) override;
  STDMETHOD(GetPixelShaderConstantI)(UINT StartRegister, int *pConstantData, UINT Vector4iCount) override;
  STDMETHOD(SetPixelShaderConstantB)(UINT StartRegister, const BOOL *pConstantData, UINT BoolCount) override;
  STDMETHOD(GetPixelShaderConstantB)(UINT StartRegister, BOOL *pConstantData, UINT BoolCount) override;
  STDMETHOD(DrawRectPatch)(UINT Handle, const float *pNumSegs, const D3DRECTPATCH_INFO *pRectPatchInfo) override;
  STDMETHOD(DrawTriPatch)(UINT Handle, const float *pNumSegs, const D3DTRIPATCH_INFO *pTriPatchInfo) override;
  STDMETHOD(DeletePatch)(UINT Handle) override;
  STDMETHOD(CreateQuery)(D3DQUERYTYPE Type, IDirect3DQuery9 **ppQuery) override;

 private:
  Device(Direct3D9 *direct3d, const D3DDEVICE_CREATION_PARAMETERS &creation);
  ~Device();

  // The implicit swap chain's buffers for these parameters, and the state defaults for them.
  HRESULT buildSwapChain(const D3DPRESENT_PARAMETERS &parameters);
  void releaseSwapChain();
  void restoreDefaultState();
  void unbindAllTextures();
  bool holdsApplicationDefaultResources() const;
  raster::RenderTarget renderTarget() const;
  D3DCAPS9 caps() const;

  struct LightSlot {
    D3DLIGHT9 light{};
    bool set = false;
    BOOL enabled = FALSE;
  };

  ULONG refs_ = 1;
  Direct3D9 *direct3d_;
  D3DDEVICE_CREATION_PARAMETERS creation_;
  D3DPRESENT_PARAMETERS parameters_{};
  Health health_ = Health::ok;
  bool inScene_ = false;

  SwapChain swapChain_{this};
  std::vector<Surface *> backBuffers_;  // owned; Surface::Owner::device
  Surface *autoDepth_ = nullptr;         // owned; Surface::Owner::device
  std::vector<TrackedResource *> resources_;

  raster::DrawState state_;
  raster::Rasterizer rasterizer_;
  StorageRecycler recycler_;
  BindableTexture *bound_[raster::kMaxSamplers] = {};

  D3DMATRIX textureTransforms_[8];
  std::map<DWORD, D3DMATRIX> extraWorld_;  // D3DTS_WORLDMATRIX(1..255)
  D3DMATERIAL9 material_{};
  std::map<DWORD, LightSlot> lights_;
  RECT scissor_{};
  D3DCLIPSTATUS9 clipStatus_{};
  D3DGAMMARAMP gamma_{};
  BOOL softwareVertexProcessing_ = FALSE;
};

}  // namespace kvd3d
