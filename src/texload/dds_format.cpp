#include "texload/dds_format.h"

#include "texload/byte_reading.h"

namespace kv {
namespace {

// Searched in order; the first row that matches wins.
constexpr DdsFormatEntry kDdsFormatTable[] = {
    {D3DFMT_R8G8B8, 0x40, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0, 24},
    {D3DFMT_A8R8G8B8, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 32},
    {D3DFMT_X8R8G8B8, 0x40, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, 32},
    {D3DFMT_R5G6B5, 0x40, 0, 16, 0xF800, 0x7E0, 0x1F, 0, 16},
    {D3DFMT_X1R5G5B5, 0x40, 0, 16, 0x7C00, 0x3E0, 0x1F, 0, 16},
    {D3DFMT_A1R5G5B5, 0x41, 0, 16, 0x7C00, 0x3E0, 0x1F, 0x8000, 16},
    {D3DFMT_A4R4G4B4, 0x41, 0, 16, 0xF00, 0xF0, 0xF, 0xF000, 16},
    {D3DFMT_R3G3B2, 0x40, 0, 8, 0xE0, 0x1C, 0x3, 0, 8},
    {D3DFMT_A8, 0x2, 0, 8, 0, 0, 0, 0xFF, 8},
    {D3DFMT_A8R3G3B2, 0x41, 0, 16, 0xE0, 0x1C, 0x3, 0xFF00, 16},
    {D3DFMT_X4R4G4B4, 0x40, 0, 16, 0xF00, 0xF0, 0xF, 0, 16},
    {D3DFMT_A2B10G10R10, 0x41, 0, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, 32},
    {D3DFMT_A8B8G8R8, 0x41, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 32},
    {D3DFMT_X8B8G8R8, 0x40, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0, 32},
    {D3DFMT_G16R16, 0x40, 0, 32, 0xFFFF, 0xFFFF0000, 0, 0, 32},
    {D3DFMT_A2R10G10B10, 0x41, 0, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, 32},
    {D3DFMT_A8P8, 0x21, 0, 16, 0, 0, 0, 0xFF00, 16},
    {D3DFMT_P8, 0x20 /* palette */, 0, 8, 0, 0, 0, 0, 8},
    {D3DFMT_L8, 0x20000, 0, 8, 0xFF, 0, 0, 0, 8},
    {D3DFMT_A8L8, 0x20001, 0, 16, 0xFF, 0, 0, 0xFF00, 16},
    {D3DFMT_A4L4, 0x20001, 0, 8, 0xF, 0, 0, 0xF0, 8},
    {D3DFMT_L16, 0x20000, 0, 16, 0xFFFF, 0, 0, 0, 16},
    {D3DFMT_V8U8, 0x80000, 0, 16, 0xFF, 0xFF00, 0, 0, 16},
    {D3DFMT_L6V5U5, 0x40000, 0, 16, 0x1F, 0x3E0, 0xFC00, 0, 16},
    {D3DFMT_X8L8V8U8, 0x40000, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0, 32},
    {D3DFMT_Q8W8V8U8, 0x80000, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 32},
    {D3DFMT_V16U16, 0x80000, 0, 32, 0xFFFF, 0xFFFF0000, 0, 0, 32},
    {D3DFMT_A2W10V10U10, 0x80001, 0, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, 32},
    {D3DFMT_UYVY, 0x4, D3DFMT_UYVY, 0, 0, 0, 0, 0, 16},
    {D3DFMT_R8G8_B8G8, 0x4, D3DFMT_R8G8_B8G8, 0, 0, 0, 0, 0, 16},
    {D3DFMT_YUY2, 0x4, D3DFMT_YUY2, 0, 0, 0, 0, 0, 16},
    {D3DFMT_G8R8_G8B8, 0x4, D3DFMT_G8R8_G8B8, 0, 0, 0, 0, 0, 16},
    {D3DFMT_DXT1, 0x4, D3DFMT_DXT1, 0, 0, 0, 0, 0, 0},
    {D3DFMT_DXT2, 0x4, D3DFMT_DXT2, 0, 0, 0, 0, 0, 0},
    {D3DFMT_DXT3, 0x4, D3DFMT_DXT3, 0, 0, 0, 0, 0, 0},
    {D3DFMT_DXT4, 0x4, D3DFMT_DXT4, 0, 0, 0, 0, 0, 0},
    {D3DFMT_DXT5, 0x4, D3DFMT_DXT5, 0, 0, 0, 0, 0, 0},
    {D3DFMT_D16_LOCKABLE, 0x400, 0, 16, 0, 0xFFFF, 0, 0, 16},
    {D3DFMT_D32F_LOCKABLE, 0x4, D3DFMT_D32F_LOCKABLE, 0, 0, 0, 0, 0, 32},
    {D3DFMT_A16B16G16R16, 0x4, D3DFMT_A16B16G16R16, 0, 0, 0, 0, 0, 64},
    {D3DFMT_Q16W16V16U16, 0x4, D3DFMT_Q16W16V16U16, 0, 0, 0, 0, 0, 64},
    {D3DFMT_R16F, 0x4, D3DFMT_R16F, 0, 0, 0, 0, 0, 16},
    {D3DFMT_G16R16F, 0x4, D3DFMT_G16R16F, 0, 0, 0, 0, 0, 32},
    {D3DFMT_A16B16G16R16F, 0x4, D3DFMT_A16B16G16R16F, 0, 0, 0, 0, 0, 64},
    {D3DFMT_R32F, 0x4, D3DFMT_R32F, 0, 0, 0, 0, 0, 32},
    {D3DFMT_G32R32F, 0x4, D3DFMT_G32R32F, 0, 0, 0, 0, 0, 64},
    {D3DFMT_A32B32G32R32F, 0x4, D3DFMT_A32B32G32R32F, 0, 0, 0, 0, 0, 128},
    {D3DFMT_CxV8U8, 0x4, D3DFMT_CxV8U8, 0, 0, 0, 0, 0, 16},
};

}  // namespace

std::span<const DdsFormatEntry> ddsFormatTable() { return kDdsFormatTable; }

const DdsFormatEntry *findDdsFormat(uint32_t format) {
  for (const DdsFormatEntry &row : kDdsFormatTable) {
    if (row.format == format) return &row;
  }
  return nullptr;
}

DdsLevelLayout ddsLevelLayout(const DdsFormatEntry &entry, uint32_t w, uint32_t h) {
  uint64_t pitch = static_cast<uint64_t>(entry.bitsPerPixel / 8) * w;
  uint64_t rows = h;
  switch (entry.format) {
    case D3DFMT_DXT1:
      pitch = (static_cast<uint64_t>(w) + 3) / 4 * 8;
      rows = (static_cast<uint64_t>(h) + 3) / 4;
      break;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      pitch = (static_cast<uint64_t>(w) + 3) / 4 * 16;
      rows = (static_cast<uint64_t>(h) + 3) / 4;
      break;
    case D3DFMT_YUY2:
    case D3DFMT_UYVY:
    case D3DFMT_R8G8_B8G8:
    case D3DFMT_G8R8_G8B8:
      pitch = (static_cast<uint64_t>(w) + 1) / 2 * 4;
      break;
    default:
      break;
  }
  if (!fitsImageBytes(pitch, 1)) return {pitch, pitch};
  return {pitch, pitch * rows};
}

}  // namespace kv
