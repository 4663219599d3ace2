#pragma once
// Reading one texel of any sampleable format as floating RGBA.
#include "rasterizer.h"

namespace kvd3d::raster {

// x and y are already inside the level; out receives r, g, b, a.
using TexelFetch = void (*)(const TextureView &view, int x, int y, float out[4]);

struct TexelFormat {
  D3DFORMAT format;
  int bytesPerTexel;  // 0 for block-compressed formats
  int blockBytes;     // bytes per 4x4 block, 0 for plain formats
  TexelFetch fetch;
};

// The row for a format, or nullptr when the sampler cannot read it.
const TexelFormat *findTexelFormat(D3DFORMAT format);

// True when the view describes readable memory for its format: non-empty, with a pitch
// that holds a whole row (of blocks).
bool isUsableTexture(const TextureView &view);

// Block-compressed texel readers.
void fetchDxt1(const TextureView &view, int x, int y, float out[4]);
void fetchDxt3(const TextureView &view, int x, int y, float out[4]);
void fetchDxt5(const TextureView &view, int x, int y, float out[4]);

}  // namespace kvd3d::raster
