// Methods this off-screen fixed-function device does not offer. Each fails cleanly (or
// accepts the "unbind" form with a null object) so that no host can crash the runtime.
#include "d3d9/call_log.h"
#include "d3d9/device.h"

namespace kvd3d {

HRESULT Device::SetCursorProperties(UINT, UINT, IDirect3DSurface9 *) { return D3DERR_INVALIDCALL; }
void Device::SetCursorPosition(int, int, DWORD) {}
BOOL Device::ShowCursor(BOOL) { return FALSE; }

HRESULT Device::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS *, IDirect3DSwapChain9 **pSwapChain) {
  if (pSwapChain) *pSwapChain = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT Device::GetRasterStatus(UINT, D3DRASTER_STATUS *) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetDialogBoxMode(BOOL) { return D3DERR_INVALIDCALL; }

HRESULT Device::CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9 **ppVertexBuffer, HANDLE *) {
  if (ppVertexBuffer) *ppVertexBuffer = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT Device::CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9 **ppIndexBuffer, HANDLE *) {
  if (ppIndexBuffer) *ppIndexBuffer = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT Device::GetFrontBufferData(UINT, IDirect3DSurface9 *) { return D3DERR_INVALIDCALL; }

HRESULT Device::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9 *pRenderTarget) {
  KVD3D_LOG("SetRenderTarget", RenderTargetIndex, pRenderTarget);
  return D3DERR_INVALIDCALL;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9 *pNewZStencil) {
  KVD3D_LOG("SetDepthStencilSurface", pNewZStencil);
  return D3DERR_INVALIDCALL;
}

HRESULT Device::SetClipPlane(DWORD, const float *) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetClipPlane(DWORD, float *) { return D3DERR_INVALIDCALL; }

HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE, IDirect3DStateBlock9 **ppSB) {
  if (ppSB) *ppSB = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT Device::BeginStateBlock() { return D3DERR_INVALIDCALL; }

HRESULT Device::EndStateBlock(IDirect3DStateBlock9 **ppSB) {
  if (ppSB) *ppSB = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT Device::SetPaletteEntries(UINT, const PALETTEENTRY *) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetPaletteEntries(UINT, PALETTEENTRY *) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetCurrentTexturePalette(UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetCurrentTexturePalette(UINT *) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetNPatchMode(float) { return D3DERR_INVALIDCALL; }
float Device::GetNPatchMode() { return 0.f; }

// Vertex and index buffers are never made here, so nothing can be bound to draw from.
HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) { return D3DERR_INVALIDCALL; }

HRESULT Device::ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer9 *, IDirect3DVertexDeclaration9 *, DWORD) {
  return D3DERR_INVALIDCALL;
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9 *, IDirect3DVertexDeclaration9 **ppDecl) {
  if (ppDecl) *ppDecl = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9 *pDecl) {
  return pDecl ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT Device::GetVertexDeclaration(IDirect3DVertexDeclaration9 **ppDecl) {
  if (!ppDecl) return D3DERR_INVALIDCALL;
  *ppDecl = nullptr;
  return D3D_OK;
}

HRESULT Device::CreateVertexShader(const DWORD *, IDirect3DVertexShader9 **ppShader) {
  if (ppShader) *ppShader = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9 *pShader) { return pShader ? D3DERR_INVALIDCALL : D3D_OK; }

HRESULT Device::GetVertexShader(IDirect3DVertexShader9 **ppShader) {
  if (!ppShader) return D3DERR_INVALIDCALL;
  *ppShader = nullptr;
  return D3D_OK;
}

HRESULT Device::SetVertexShaderConstantF(UINT, const float *, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetVertexShaderConstantF(UINT, float *, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetVertexShaderConstantI(UINT, const int *, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetVertexShaderConstantI(UINT, int *, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetVertexShaderConstantB(UINT, const BOOL *, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetVertexShaderConstantB(UINT, BOOL *, UINT) { return D3DERR_INVALIDCALL; }

HRESULT Device::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9 *pStreamData, UINT, UINT) {
  if (StreamNumber >= caps().MaxStreams) return D3DERR_INVALIDCALL;
  return pStreamData ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT Device::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9 **ppStreamData, UINT *pOffsetInBytes,
                                UINT *pStride) {
  if (!ppStreamData || !pOffsetInBytes || !pStride || StreamNumber >= caps().MaxStreams) return D3DERR_INVALIDCALL;
  *ppStreamData = nullptr;
  *pOffsetInBytes = 0;
  *pStride = 0;
  return D3D_OK;
}

HRESULT Device::SetStreamSourceFreq(UINT, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetStreamSourceFreq(UINT, UINT *) { return D3DERR_INVALIDCALL; }

HRESULT Device::SetIndices(IDirect3DIndexBuffer9 *pIndexData) { return pIndexData ? D3DERR_INVALIDCALL : D3D_OK; }

HRESULT Device::GetIndices(IDirect3DIndexBuffer9 **ppIndexData) {
  if (!ppIndexData) return D3DERR_INVALIDCALL;
  *ppIndexData = nullptr;
  return D3D_OK;
}

HRESULT Device::CreatePixelShader(const DWORD *, IDirect3DPixelShader9 **ppShader) {
  if (ppShader) *ppShader = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT Device::SetPixelShader(IDirect3DPixelShader9 *pShader) { return pShader ? D3DERR_INVALIDCALL : D3D_OK; }

HRESULT Device::GetPixelShader(IDirect3DPixelShader9 **ppShader) {
  if (!ppShader) return D3DERR_INVALIDCALL;
  *ppShader = nullptr;
  return D3D_OK;
}

HRESULT Device::SetPixelShaderConstantF(UINT, const float *, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetPixelShaderConstantF(UINT, float *, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetPixelShaderConstantI(UINT, const int *, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetPixelShaderConstantI(UINT, int *, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::SetPixelShaderConstantB(UINT, const BOOL *, UINT) { return D3DERR_INVALIDCALL; }
HRESULT Device::GetPixelShaderConstantB(UINT, BOOL *, UINT) { return D3DERR_INVALIDCALL; }

HRESULT Device::DrawRectPatch(UINT, const float *, const D3DRECTPATCH_INFO *) { return D3DERR_INVALIDCALL; }
HRESULT Device::DrawTriPatch(UINT, const float *, const D3DTRIPATCH_INFO *) { return D3DERR_INVALIDCALL; }
HRESULT Device::DeletePatch(UINT) { return D3DERR_INVALIDCALL; }

// No query type is supported; a null output asks exactly that.
HRESULT Device::CreateQuery(D3DQUERYTYPE, IDirect3DQuery9 **ppQuery) {
  if (ppQuery) *ppQuery = nullptr;
  return D3DERR_NOTAVAILABLE;
}

}  // namespace kvd3d
