#include "render/polygon_drawing.h"

namespace kv {

namespace {

enum class Target { Render, Stage0, Stage1 };

struct StateSetting {
  Target target;
  DWORD state;
  DWORD value;
};

// Set for every polygon, in this order. Alpha testing stays off; ALPHAFUNC is set anyway.
constexpr StateSetting kPolygonStates[] = {
    {Target::Render, D3DRS_ZENABLE, TRUE},
    {Target::Render, D3DRS_ZWRITEENABLE, TRUE},
    {Target::Render, D3DRS_CULLMODE, D3DCULL_NONE},
    {Target::Stage0, D3DTSS_COLOROP, D3DTOP_SELECTARG1},
    {Target::Stage0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
    {Target::Stage0, D3DTSS_COLORARG2, D3DTA_DIFFUSE},
    {Target::Render, D3DRS_LIGHTING, FALSE},
    {Target::Stage0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
    {Target::Stage0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
    {Target::Stage0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
    {Target::Stage1, D3DTSS_COLOROP, D3DTOP_MODULATE},
    {Target::Stage1, D3DTSS_COLORARG1, D3DTA_CURRENT},
    {Target::Stage1, D3DTSS_COLORARG2, D3DTA_TEXTURE},
    {Target::Stage1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
    {Target::Stage1, D3DTSS_ALPHAARG1, D3DTA_CURRENT},
    {Target::Stage1, D3DTSS_ALPHAARG2, D3DTA_TEXTURE},
    {Target::Render, D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL},
    {Target::Render, D3DRS_ALPHABLENDENABLE, TRUE},
    {Target::Render, D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
    {Target::Render, D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
};

void applyPolygonStates(IDirect3DDevice9 *device) {
  for (const StateSetting &s : kPolygonStates) {
    if (s.target == Target::Render)
      device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(s.state), s.value);
    else
      device->SetTextureStageState(s.target == Target::Stage0 ? 0 : 1, static_cast<D3DTEXTURESTAGESTATETYPE>(s.state),
                                   s.value);
  }
}

}  // namespace

void drawPolygon(const KvPolygonSet &scene, IDirect3DDevice9 *device, const KvPolygon &polygon) {
  applyPolygonStates(device);
  for (DWORD stage = 0; stage < 2; ++stage)
    if (IDirect3DTexture9 *texture = scene.textureOf(polygon.textures[stage])) device->SetTexture(stage, texture);
  const Matrix world = polygon.worldMatrix();
  device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX *>(&world));
  device->SetFVF(kPolygonVertexFormat);
  const UINT triangles = polygon.quad ? 2 : 1;
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, triangles, polygon.corners, sizeof(PolygonVertex));
}

}  // namespace kv
