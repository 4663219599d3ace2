#include "pixel/blocks/block_compression.h"

#include "pixel/blocks/alpha_blocks.h"
#include "pixel/blocks/block_compression_kernels.h"
#include "pixel/blocks/block_diffusion.h"
#include "pixel/blocks/block_layout.h"
#include "pixel/blocks/colour_block.h"
#include "pixel/blocks/premultiplied_alpha.h"
#include "pixel/blocks/single_precision_scope.h"

namespace kv {

uint32_t dxtBlockBytes(uint32_t format) {
  switch (format) {
    case D3DFMT_DXT1:
      return 8;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      return 16;
    default:
      return 0;
  }
}

void decodeDxtBlock(uint32_t format, const uint8_t *block, float pixels[16][4]) {
  [[maybe_unused]] const SinglePrecisionScope singlePrecision;
  switch (format) {
    case D3DFMT_DXT1:
      decodeColourBlock(block, pixels);
      break;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
      decodeColourBlock(block + 8, pixels);
      decodeExplicitAlpha(block, pixels);
      if (format == D3DFMT_DXT2) unpremultiplyAlpha(pixels);
      break;
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      decodeColourBlock(block + 8, pixels);
      decodeInterpolatedAlpha(block, pixels);
      if (format == D3DFMT_DXT4) unpremultiplyAlpha(pixels);
      break;
    default:
      break;
  }
}

void encodeDxtBlock(uint32_t format, const float pixels[16][4], bool dither, uint8_t *block) {
  encodeDxtBlockWith(preferredBlockKernels(), format, pixels, dither, block);
}

void encodeDxtBlockWith(const BlockKernels &kernels, uint32_t format, const float pixels[16][4], bool dither,
                        uint8_t *block) {
  if (dxtBlockBytes(format) == 0) return;
  [[maybe_unused]] const SinglePrecisionScope singlePrecision;
  // The blocks hold [0, 1] only; clamping first keeps every code in range and every
  // fit finite, whatever the caller hands in (not-a-number becomes 0).
  float own[16][4];
  for (int p = 0; p < kBlockPixels; ++p) {
    for (int c = 0; c < 4; ++c) own[p][c] = clampUnit(pixels[p][c]);
  }
  switch (format) {
    case D3DFMT_DXT1:
      if (dither) {
        float alphas[16];
        for (int p = 0; p < kBlockPixels; ++p) alphas[p] = own[p][3];
        quantiseChannel(alphas, true, [&own](int p, float a) { return own[p][3] = truncated(a + 0.5f); });
      }
      encodeColourBlock(kernels, own, true, dither, block);
      break;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
      if (format == D3DFMT_DXT2) premultiplyAlpha(own);
      encodeExplicitAlpha(own, dither, block);
      encodeColourBlock(kernels, own, false, dither, block + 8);
      break;
    default:
      if (format == D3DFMT_DXT4) premultiplyAlpha(own);
      encodeInterpolatedAlpha(kernels, own, dither, block);
      encodeColourBlock(kernels, own, false, dither, block + 8);
      break;
  }
}

}  // namespace kv
