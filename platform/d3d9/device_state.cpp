// State setters and getters. Setters are plain stores into the draw state: they run for
// every polygon a host draws.
#include "d3d9/call_log.h"
#include "d3d9/device.h"
#include "d3d9/texture_base.h"

namespace kvd3d {
namespace {

constexpr DWORD kFirstWorld = 256;
constexpr DWORD kLastWorld = 511;

D3DMATRIX multiply(const D3DMATRIX &a, const D3DMATRIX &b) {
  D3DMATRIX out{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      out.m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c] + a.m[r][3] * b.m[3][c];
  return out;
}

bool zRangeValid(float z) { return z >= 0.f && z <= 1.f; }  // false for NaN too

}  // namespace

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX *pMatrix) {
  KVD3D_LOG("SetTransform", State);
  if (!pMatrix) return D3DERR_INVALIDCALL;
  const DWORD state = State;
  if (state == D3DTS_VIEW) {
    state_.view = *pMatrix;
  } else if (state == D3DTS_PROJECTION) {
    state_.projection = *pMatrix;
  } else if (state == kFirstWorld) {
    state_.world = *pMatrix;
  } else if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) {
    textureTransforms_[state - D3DTS_TEXTURE0] = *pMatrix;
  } else if (state > kFirstWorld && state <= kLastWorld) {
    try {
      extraWorld_[state] = *pMatrix;
    } catch (const std::bad_alloc &) {
      return E_OUTOFMEMORY;
    }
  } else {
    return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX *pMatrix) {
  if (!pMatrix) return D3DERR_INVALIDCALL;
  const DWORD state = State;
  if (state == D3DTS_VIEW) {
    *pMatrix = state_.view;
  } else if (state == D3DTS_PROJECTION) {
    *pMatrix = state_.projection;
  } else if (state == kFirstWorld) {
    *pMatrix = state_.world;
  } else if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) {
    *pMatrix = textureTransforms_[state - D3DTS_TEXTURE0];
  } else if (state > kFirstWorld && state <= kLastWorld) {
    auto it = extraWorld_.find(state);
    *pMatrix = it != extraWorld_.end() ? it->second : D3DMATRIX{{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};
  } else {
    return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

// The new matrix is pMatrix times the current one.
HRESULT Device::MultiplyTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX *pMatrix) {
  KVD3D_LOG("MultiplyTransform", State);
  D3DMATRIX current;
  if (!pMatrix) return D3DERR_INVALIDCALL;
  if (HRESULT hr = GetTransform(State, &current); FAILED(hr)) return hr;
  const D3DMATRIX product = multiply(*pMatrix, current);
  return SetTransform(State, &product);
}

HRESULT Device::SetViewport(const D3DVIEWPORT9 *pViewport) {
  KVD3D_LOG("SetViewport");
  if (!pViewport) return D3DERR_INVALIDCALL;
  const D3DVIEWPORT9 &v = *pViewport;
  const uint64_t right = uint64_t(v.X) + v.Width, bottom = uint64_t(v.Y) + v.Height;
  if (v.Width == 0 || v.Height == 0 || right > parameters_.BackBufferWidth || bottom > parameters_.BackBufferHeight)
    return D3DERR_INVALIDCALL;
  if (!zRangeValid(v.MinZ) || !zRangeValid(v.MaxZ)) return D3DERR_INVALIDCALL;
  state_.viewport = v;
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9 *pViewport) {
  KVD3D_LOG("GetViewport");
  if (!pViewport) return D3DERR_INVALIDCALL;
  *pViewport = state_.viewport;
  return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9 *pMaterial) {
  KVD3D_LOG("SetMaterial");
  if (!pMaterial) return D3DERR_INVALIDCALL;
  material_ = *pMaterial;
  return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9 *pMaterial) {
  if (!pMaterial) return D3DERR_INVALIDCALL;
  *pMaterial = material_;
  return D3D_OK;
}

// Lights are kept so that a host reads back what it set; the rasterizer does not light.
HRESULT Device::SetLight(DWORD Index, const D3DLIGHT9 *pLight) {
  KVD3D_LOG("SetLight", Index);
  if (!pLight) return D3DERR_INVALIDCALL;
  if (pLight->Type < D3DLIGHT_POINT || pLight->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
  try {
    LightSlot &slot = lights_[Index];
    slot.light = *pLight;
    slot.set = true;
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  return D3D_OK;
}

HRESULT Device::GetLight(DWORD Index, D3DLIGHT9 *pLight) {
  if (!pLight) return D3DERR_INVALIDCALL;
  auto it = lights_.find(Index);
  if (it == lights_.end() || !it->second.set) return D3DERR_INVALIDCALL;
  *pLight = it->second.light;
  return D3D_OK;
}

HRESULT Device::LightEnable(DWORD Index, BOOL Enable) {
  KVD3D_LOG("LightEnable", Index, Enable);
  try {
    LightSlot &slot = lights_[Index];
    if (!slot.set) {
      // Enabling a light never set gives it the default: a white directional light along +z.
      slot.light = {};
      slot.light.Type = D3DLIGHT_DIRECTIONAL;
      slot.light.Diffuse = {1.f, 1.f, 1.f, 0.f};
      slot.light.Direction = {0.f, 0.f, 1.f};
      slot.set = true;
    }
    slot.enabled = Enable ? TRUE : FALSE;
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD Index, BOOL *pEnable) {
  if (!pEnable) return D3DERR_INVALIDCALL;
  auto it = lights_.find(Index);
  if (it == lights_.end() || !it->second.set) return D3DERR_INVALIDCALL;
  *pEnable = it->second.enabled;
  return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
  KVD3D_LOG("SetRenderState", State, Value);
  if (DWORD(State) >= DWORD(raster::kRenderStateCount)) return D3DERR_INVALIDCALL;
  state_.renderState[State] = Value;
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE State, DWORD *pValue) {
  if (!pValue || DWORD(State) >= DWORD(raster::kRenderStateCount)) return D3DERR_INVALIDCALL;
  *pValue = state_.renderState[State];
  return D3D_OK;
}

HRESULT Device::SetClipStatus(const D3DCLIPSTATUS9 *pClipStatus) {
  if (!pClipStatus) return D3DERR_INVALIDCALL;
  clipStatus_ = *pClipStatus;
  return D3D_OK;
}

HRESULT Device::GetClipStatus(D3DCLIPSTATUS9 *pClipStatus) {
  if (!pClipStatus) return D3DERR_INVALIDCALL;
  *pClipStatus = clipStatus_;
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD Stage, IDirect3DBaseTexture9 **ppTexture) {
  if (!ppTexture) return D3DERR_INVALIDCALL;
  *ppTexture = nullptr;
  if (Stage >= DWORD(raster::kMaxSamplers)) return D3DERR_INVALIDCALL;
  if (BindableTexture *texture = bound_[Stage]) {
    *ppTexture = texture->asBaseTexture();
    (*ppTexture)->AddRef();
  }
  return D3D_OK;
}

HRESULT Device::SetTexture(DWORD Stage, IDirect3DBaseTexture9 *pTexture) {
  KVD3D_LOG("SetTexture", Stage, pTexture);
  if (Stage >= DWORD(raster::kMaxSamplers)) return D3DERR_INVALIDCALL;
  BindableTexture *previous = bound_[Stage];
  if (previous && previous->asBaseTexture() == pTexture) return D3D_OK;
  BindableTexture *next = nullptr;
  if (pTexture) {
    next = dynamic_cast<BindableTexture *>(pTexture);
    if (!next || next->owner() != this) return D3DERR_INVALIDCALL;
    const D3DPOOL pool = next->trackedPool();
    if (pool == D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
    if (pool == D3DPOOL_SYSTEMMEM && !(caps().DevCaps & D3DDEVCAPS_TEXTURESYSTEMMEMORY)) return D3DERR_INVALIDCALL;
    next->bind();
  }
  bound_[Stage] = next;
  if (Stage < DWORD(raster::kMaxStages)) state_.texture[Stage] = next ? next->view() : raster::TextureView{};
  if (previous) previous->unbind();
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD *pValue) {
  if (!pValue || Stage >= DWORD(raster::kMaxStages) || DWORD(Type) >= DWORD(raster::kStageStateCount))
    return D3DERR_INVALIDCALL;
  *pValue = state_.stageState[Stage][Type];
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
  KVD3D_LOG("SetTextureStageState", Stage, Type, Value);
  if (Stage >= DWORD(raster::kMaxStages) || DWORD(Type) >= DWORD(raster::kStageStateCount))
    return D3DERR_INVALIDCALL;
  state_.stageState[Stage][Type] = Value;
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD *pValue) {
  if (!pValue || Sampler >= DWORD(raster::kMaxSamplers) || DWORD(Type) >= DWORD(raster::kSamplerStateCount))
    return D3DERR_INVALIDCALL;
  *pValue = state_.samplerState[Sampler][Type];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
  KVD3D_LOG("SetSamplerState", Sampler, Type, Value);
  if (Sampler >= DWORD(raster::kMaxSamplers) || DWORD(Type) >= DWORD(raster::kSamplerStateCount))
    return D3DERR_INVALIDCALL;
  state_.samplerState[Sampler][Type] = Value;
  return D3D_OK;
}

HRESULT Device::ValidateDevice(DWORD *pNumPasses) {
  if (!pNumPasses) return D3DERR_INVALIDCALL;
  *pNumPasses = 1;
  return D3D_OK;
}

HRESULT Device::SetScissorRect(const RECT *pRect) {
  if (!pRect) return D3DERR_INVALIDCALL;
  scissor_ = *pRect;
  return D3D_OK;
}

HRESULT Device::GetScissorRect(RECT *pRect) {
  if (!pRect) return D3DERR_INVALIDCALL;
  *pRect = scissor_;
  return D3D_OK;
}

// Only a mixed-mode device may switch between software and hardware vertex processing.
HRESULT Device::SetSoftwareVertexProcessing(BOOL bSoftware) {
  if (!(creation_.BehaviorFlags & D3DCREATE_MIXED_VERTEXPROCESSING)) return D3DERR_INVALIDCALL;
  softwareVertexProcessing_ = bSoftware ? TRUE : FALSE;
  return D3D_OK;
}

BOOL Device::GetSoftwareVertexProcessing() { return softwareVertexProcessing_; }

HRESULT Device::SetFVF(DWORD FVF) {
  KVD3D_LOG("SetFVF", FVF);
  state_.fvf = FVF;
  return D3D_OK;
}

HRESULT Device::GetFVF(DWORD *pFVF) {
  if (!pFVF) return D3DERR_INVALIDCALL;
  *pFVF = state_.fvf;
  return D3D_OK;
}

void Device::SetGammaRamp(UINT iSwapChain, DWORD, const D3DGAMMARAMP *pRamp) {
  if (iSwapChain == 0 && pRamp) gamma_ = *pRamp;
}

void Device::GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP *pRamp) {
  if (iSwapChain == 0 && pRamp) *pRamp = gamma_;
}

}  // namespace kvd3d
