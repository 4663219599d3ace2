// One row per D3DFORMAT the stand-in runtime knows: how its pixels are stored and what kind
// of data it holds. Storage sizes, lock pitches and format-support answers come from here.
#pragma once

#include <d3d9.h>

#include <cstdint>

namespace kvd3d {

enum class FormatKind : uint8_t {
  color,      // RGB(A), luminance, alpha-only: ordinary sampled formats
  bump,       // signed (bump-map) formats
  yuv,        // packed 2x1 macropixel formats
  block,      // DXT1..DXT5, 4x4 blocks
  floating,   // 16/32-bit float formats
  palette,    // P8, A8P8
  depth,      // depth / stencil formats
  multi,      // multi-element texture
  data        // vertex / index data, never a pixel surface
};

struct FormatInfo {
  D3DFORMAT format;
  FormatKind kind;
  UINT blockWidth;   // texels per storage block horizontally (4 for DXT, 2 for packed YUV, else 1)
  UINT blockHeight;  // texels per storage block vertically
  UINT blockBytes;   // bytes per storage block
  bool lockable;     // false only for depth formats without a defined bit layout
};

// The row for a format, or nullptr for formats the runtime does not know.
const FormatInfo *findFormat(D3DFORMAT format);

// Bytes between rows of storage blocks at this width (rows of DWORDs for uncompressed
// formats), and the number of block rows at this height. False when the size overflows.
bool levelPitch(const FormatInfo &info, UINT width, UINT &pitch);
UINT blockRows(const FormatInfo &info, UINT height);

inline bool isDepthFormat(D3DFORMAT format) {
  const FormatInfo *info = findFormat(format);
  return info && info->kind == FormatKind::depth;
}

}  // namespace kvd3d
