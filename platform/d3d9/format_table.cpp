#include "d3d9/format_table.h"

#include <cstdint>

namespace kvd3d {
namespace {

using K = FormatKind;

// Bits per pixel from the format's own definition; DXT stores 8 (DXT1) or 16 bytes per 4x4
// block; the packed YUV formats store two pixels in one 32-bit macropixel.
constexpr FormatInfo kFormats[] = {
    {D3DFMT_R8G8B8, K::color, 1, 1, 3, true},
    {D3DFMT_A8R8G8B8, K::color, 1, 1, 4, true},
    {D3DFMT_X8R8G8B8, K::color, 1, 1, 4, true},
    {D3DFMT_R5G6B5, K::color, 1, 1, 2, true},
    {D3DFMT_X1R5G5B5, K::color, 1, 1, 2, true},
    {D3DFMT_A1R5G5B5, K::color, 1, 1, 2, true},
    {D3DFMT_A4R4G4B4, K::color, 1, 1, 2, true},
    {D3DFMT_R3G3B2, K::color, 1, 1, 1, true},
    {D3DFMT_A8, K::color, 1, 1, 1, true},
    {D3DFMT_A8R3G3B2, K::color, 1, 1, 2, true},
    {D3DFMT_X4R4G4B4, K::color, 1, 1, 2, true},
    {D3DFMT_A2B10G10R10, K::color, 1, 1, 4, true},
    {D3DFMT_A8B8G8R8, K::color, 1, 1, 4, true},
    {D3DFMT_X8B8G8R8, K::color, 1, 1, 4, true},
    {D3DFMT_G16R16, K::color, 1, 1, 4, true},
    {D3DFMT_A2R10G10B10, K::color, 1, 1, 4, true},
    {D3DFMT_A16B16G16R16, K::color, 1, 1, 8, true},
    {D3DFMT_A8P8, K::palette, 1, 1, 2, true},
    {D3DFMT_P8, K::palette, 1, 1, 1, true},
    {D3DFMT_L8, K::color, 1, 1, 1, true},
    {D3DFMT_A8L8, K::color, 1, 1, 2, true},
    {D3DFMT_A4L4, K::color, 1, 1, 1, true},
    {D3DFMT_L16, K::color, 1, 1, 2, true},
    {D3DFMT_V8U8, K::bump, 1, 1, 2, true},
    {D3DFMT_L6V5U5, K::bump, 1, 1, 2, true},
    {D3DFMT_X8L8V8U8, K::bump, 1, 1, 4, true},
    {D3DFMT_Q8W8V8U8, K::bump, 1, 1, 4, true},
    {D3DFMT_V16U16, K::bump, 1, 1, 4, true},
    {D3DFMT_A2W10V10U10, K::bump, 1, 1, 4, true},
    {D3DFMT_Q16W16V16U16, K::bump, 1, 1, 8, true},
    {D3DFMT_CxV8U8, K::bump, 1, 1, 2, true},
    {D3DFMT_UYVY, K::yuv, 2, 1, 4, true},
    {D3DFMT_R8G8_B8G8, K::yuv, 2, 1, 4, true},
    {D3DFMT_YUY2, K::yuv, 2, 1, 4, true},
    {D3DFMT_G8R8_G8B8, K::yuv, 2, 1, 4, true},
    {D3DFMT_DXT1, K::block, 4, 4, 8, true},
    {D3DFMT_DXT2, K::block, 4, 4, 16, true},
    {D3DFMT_DXT3, K::block, 4, 4, 16, true},
    {D3DFMT_DXT4, K::block, 4, 4, 16, true},
    {D3DFMT_DXT5, K::block, 4, 4, 16, true},
    {D3DFMT_R16F, K::floating, 1, 1, 2, true},
    {D3DFMT_G16R16F, K::floating, 1, 1, 4, true},
    {D3DFMT_A16B16G16R16F, K::floating, 1, 1, 8, true},
    {D3DFMT_R32F, K::floating, 1, 1, 4, true},
    {D3DFMT_G32R32F, K::floating, 1, 1, 8, true},
    {D3DFMT_A32B32G32R32F, K::floating, 1, 1, 16, true},
    {D3DFMT_MULTI2_ARGB8, K::multi, 1, 1, 8, false},
    // Only the two lockable depth formats have a defined layout an application may read.
    {D3DFMT_D16_LOCKABLE, K::depth, 1, 1, 2, true},
    {D3DFMT_D32, K::depth, 1, 1, 4, false},
    {D3DFMT_D15S1, K::depth, 1, 1, 2, false},
    {D3DFMT_D24S8, K::depth, 1, 1, 4, false},
    {D3DFMT_D24X8, K::depth, 1, 1, 4, false},
    {D3DFMT_D24X4S4, K::depth, 1, 1, 4, false},
    {D3DFMT_D16, K::depth, 1, 1, 2, false},
    {D3DFMT_D32F_LOCKABLE, K::depth, 1, 1, 4, true},
    {D3DFMT_D24FS8, K::depth, 1, 1, 4, false},
    {D3DFMT_VERTEXDATA, K::data, 1, 1, 1, false},
    {D3DFMT_INDEX16, K::data, 1, 1, 2, false},
    {D3DFMT_INDEX32, K::data, 1, 1, 4, false},
};

}  // namespace

const FormatInfo *findFormat(D3DFORMAT format) {
  for (const FormatInfo &row : kFormats)
    if (row.format == format) return &row;
  return nullptr;
}

bool levelPitch(const FormatInfo &info, UINT width, UINT &pitch) {
  const uint64_t blocks = (uint64_t(width) + info.blockWidth - 1) / info.blockWidth;
  uint64_t bytes = blocks * info.blockBytes;
  // Uncompressed rows start on DWORD boundaries, as display drivers lay them out; callers
  // that assume a tight pitch are caught by it.
  if (info.blockWidth == 1) bytes = (bytes + 3) & ~uint64_t(3);
  if (bytes > 0x7fffffffu) return false;
  pitch = UINT(bytes);
  return true;
}

UINT blockRows(const FormatInfo &info, UINT height) {
  return UINT((uint64_t(height) + info.blockHeight - 1) / info.blockHeight);
}

}  // namespace kvd3d
