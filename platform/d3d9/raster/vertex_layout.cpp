#include "vertex_layout.h"

namespace kvd3d::raster {
namespace {

// Number of floats a position element takes, or 0 when the pipeline cannot use it.
int positionFloats(DWORD position) {
  switch (position) {
    case D3DFVF_XYZ: return 3;
    case D3DFVF_XYZRHW: return 4;
    // Blend weights follow the position; with vertex blending off they are skipped.
    case D3DFVF_XYZB1: return 4;
    case D3DFVF_XYZB2: return 5;
    case D3DFVF_XYZB3: return 6;
    case D3DFVF_XYZB4: return 7;
    case D3DFVF_XYZB5: return 8;
    default: return 0;  // none, or XYZW which fixed function cannot consume
  }
}

int texCoordFloats(DWORD fvf, int set) {
  switch ((fvf >> (16 + 2 * set)) & 3) {
    case D3DFVF_TEXTUREFORMAT1: return 1;
    case D3DFVF_TEXTUREFORMAT3: return 3;
    case D3DFVF_TEXTUREFORMAT4: return 4;
    default: return 2;
  }
}

}  // namespace

bool parseFvf(DWORD fvf, VertexLayout &layout) {
  layout = VertexLayout{};
  if (fvf & (D3DFVF_RESERVED0 | 0x2000)) return false;  // reserved bits (0x4000 belongs to XYZW)
  const int floats = positionFloats(fvf & D3DFVF_POSITION_MASK);
  if (floats == 0) return false;
  layout.pretransformed = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
  int offset = floats * 4;
  if (fvf & D3DFVF_NORMAL) offset += 12;
  if (fvf & D3DFVF_PSIZE) offset += 4;
  if (fvf & D3DFVF_DIFFUSE) {
    layout.diffuseOffset = offset;
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) {
    layout.specularOffset = offset;
    offset += 4;
  }
  const int sets = static_cast<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
  if (sets > kMaxTexCoordSets) return false;
  layout.texCoordCount = sets;
  for (int i = 0; i < sets; ++i) {
    layout.texCoordOffset[i] = offset;
    layout.texCoordSize[i] = texCoordFloats(fvf, i);
    offset += layout.texCoordSize[i] * 4;
  }
  layout.size = offset;
  return true;
}

}  // namespace kvd3d::raster
