// Scenes, Clear and the drawing calls, checked here and handed to the rasterizer with the
// back buffer and the automatic depth buffer as the target.
#include <cstring>
#include <new>
#include <vector>

#include "d3d9/call_log.h"
#include "d3d9/device.h"
#include "d3d9/surface.h"

namespace kvd3d {
namespace {

// Vertices a triangle primitive type needs for a count, or 0 for types not drawn.
uint64_t triangleVertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount) {
  switch (type) {
    case D3DPT_TRIANGLELIST:
      return uint64_t(primitiveCount) * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return uint64_t(primitiveCount) + 2;
    default:
      return 0;  // points and lines are not drawn by this device
  }
}

}  // namespace

raster::RenderTarget Device::renderTarget() const {
  raster::RenderTarget target{};
  const Surface &color = *backBuffers_[0];
  target.color = color.storage().bits();
  target.colorPitch = color.storage().pitch();
  target.colorFormat = color.desc().Format;
  target.width = color.desc().Width;
  target.height = color.desc().Height;
  if (autoDepth_) {
    target.depth = autoDepth_->storage().bits();
    target.depthPitch = autoDepth_->storage().pitch();
    target.depthFormat = autoDepth_->desc().Format;
  } else {
    target.depthFormat = D3DFMT_UNKNOWN;
  }
  return target;
}

HRESULT Device::BeginScene() {
  KVD3D_LOG("BeginScene");
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  KVD3D_LOG("EndScene");
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  // The scene is complete: the helpers start on it while the host asks for the frame.
  rasterizer_.drawAhead();
  return D3D_OK;
}

HRESULT Device::Clear(DWORD Count, const D3DRECT *pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) {
  KVD3D_LOG("Clear", Count, pRects, Flags, Color, Z, Stencil);
  if ((Count == 0) != (pRects == nullptr)) return D3DERR_INVALIDCALL;
  constexpr DWORD kAllFlags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
  if (Flags == 0 || (Flags & ~kAllFlags)) return D3DERR_INVALIDCALL;
  // The only depth buffers are 16-bit without stencil.
  if ((Flags & D3DCLEAR_ZBUFFER) && !autoDepth_) return D3DERR_INVALIDCALL;
  if (Flags & D3DCLEAR_STENCIL) return D3DERR_INVALIDCALL;
  if ((Flags & D3DCLEAR_ZBUFFER) && !(Z >= 0.f && Z <= 1.f)) return D3DERR_INVALIDCALL;
  if (health_ != Health::ok || backBuffers_.empty()) return D3D_OK;  // a lost device draws nothing
  // A clear that replaces every byte of the back buffer needs no frame set aside there by a
  // read-back brought back first.
  Surface &back = *backBuffers_[0];
  if ((Flags & D3DCLEAR_TARGET) &&
      raster::Rasterizer::clearReplacesColor(back.desc().Format, back.desc().Width, back.desc().Height,
                                             back.storage().pitch(), state_.viewport, Count, pRects))
    back.storage().dropSetAsideFrame();
  rasterizer_.clear(renderTarget(), state_.viewport, Count, pRects, Flags, Color, Z, Stencil);
  return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                const void *pVertexStreamZeroData, UINT VertexStreamZeroStride) {
  KVD3D_LOG("DrawPrimitiveUP", PrimitiveType, PrimitiveCount, VertexStreamZeroStride);
  if (!inScene_ || !pVertexStreamZeroData || VertexStreamZeroStride == 0 || PrimitiveCount == 0)
    return D3DERR_INVALIDCALL;
  if (triangleVertexCount(PrimitiveType, PrimitiveCount) == 0) return D3DERR_INVALIDCALL;
  if (PrimitiveCount > caps().MaxPrimitiveCount) return D3DERR_INVALIDCALL;
  if (gCallLogOn) appendDrawnWorld(state_.world);
  if (health_ != Health::ok || backBuffers_.empty()) return D3D_OK;
  return rasterizer_.drawPrimitiveUP(state_, renderTarget(), PrimitiveType, PrimitiveCount, pVertexStreamZeroData,
                                     VertexStreamZeroStride);
}

// Drawn by gathering the indexed vertices into one run and drawing that. Indices outside
// [MinVertexIndex, MinVertexIndex + NumVertices) are refused rather than read.
HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices,
                                       UINT PrimitiveCount, const void *pIndexData, D3DFORMAT IndexDataFormat,
                                       const void *pVertexStreamZeroData, UINT VertexStreamZeroStride) {
  KVD3D_LOG("DrawIndexedPrimitiveUP", PrimitiveType, MinVertexIndex, NumVertices, PrimitiveCount, IndexDataFormat,
            VertexStreamZeroStride);
  if (!inScene_ || !pIndexData || !pVertexStreamZeroData || VertexStreamZeroStride == 0 || PrimitiveCount == 0 ||
      NumVertices == 0)
    return D3DERR_INVALIDCALL;
  if (IndexDataFormat != D3DFMT_INDEX16 && IndexDataFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
  const uint64_t count = triangleVertexCount(PrimitiveType, PrimitiveCount);
  if (count == 0 || PrimitiveCount > caps().MaxPrimitiveCount) return D3DERR_INVALIDCALL;
  const uint64_t bytes = count * VertexStreamZeroStride;
  if (bytes > (uint64_t(256) << 20)) return E_OUTOFMEMORY;
  std::vector<BYTE> gathered;
  try {
    gathered.resize(size_t(bytes));
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  const uint64_t lastVertex = uint64_t(MinVertexIndex) + NumVertices;
  const BYTE *vertices = static_cast<const BYTE *>(pVertexStreamZeroData);
  for (uint64_t i = 0; i < count; ++i) {
    UINT index;
    if (IndexDataFormat == D3DFMT_INDEX16) {
      index = static_cast<const WORD *>(pIndexData)[i];
    } else {
      index = static_cast<const DWORD *>(pIndexData)[i];
    }
    if (index < MinVertexIndex || index >= lastVertex) return D3DERR_INVALIDCALL;
    std::memcpy(&gathered[size_t(i * VertexStreamZeroStride)], vertices + size_t(index) * VertexStreamZeroStride,
                VertexStreamZeroStride);
  }
  if (health_ != Health::ok || backBuffers_.empty()) return D3D_OK;
  return rasterizer_.drawPrimitiveUP(state_, renderTarget(), PrimitiveType, PrimitiveCount, gathered.data(),
                                     VertexStreamZeroStride);
}

}  // namespace kvd3d
