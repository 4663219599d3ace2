// The creation rules shared by 2D, cube and volume textures: pools against usages, formats
// against the adapter, sizes against the capabilities, and the length of the mip chain.
#pragma once

#include <d3d9.h>

namespace kvd3d {

struct TextureRequest {
  D3DRESOURCETYPE type;  // D3DRTYPE_TEXTURE, D3DRTYPE_CUBETEXTURE or D3DRTYPE_VOLUMETEXTURE
  UINT width, height, depth;
  UINT levels;  // 0 = the full chain
  DWORD usage;
  D3DFORMAT format;
  D3DPOOL pool;
};

// Levels down to 1x1(x1): floor(log2(largest side)) + 1.
UINT fullChainLength(UINT width, UINT height, UINT depth);

// max(1, size >> level)
inline UINT levelSize(UINT size, UINT level) {
  const UINT shifted = level >= 32 ? 0 : size >> level;
  return shifted ? shifted : 1;
}

// D3D_OK with the number of levels to make, or D3DERR_INVALIDCALL.
HRESULT checkTextureRequest(const TextureRequest &request, D3DDEVTYPE deviceType, const D3DCAPS9 &caps,
                            UINT &levelCount);

// Whether the application may lock the levels of such a texture.
bool textureLevelsLockable(DWORD usage, D3DPOOL pool);

}  // namespace kvd3d
