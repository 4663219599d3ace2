// DDS output: a 128-byte header that names the format the way the library's DDS reader
// recognises it, the palette for palettised formats, then every level from the largest.
#include <cstring>
#include <fstream>

#include "kvtex.h"
#include "texload/dds_format.h"

namespace kvtex {
namespace {

constexpr uint32_t kHeaderFlags = 0x1 | 0x2 | 0x4 | 0x1000;  // caps, height, width, pixel format
constexpr uint32_t kHeaderPitch = 0x8;
constexpr uint32_t kHeaderMipCount = 0x20000;
constexpr uint32_t kHeaderLinearSize = 0x80000;
constexpr uint32_t kCapsTexture = 0x1000;
constexpr uint32_t kCapsComplexMipmap = 0x8 | 0x400000;

void put32(uint8_t *at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool isBlockFormat(uint32_t format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
         format == D3DFMT_DXT5;
}

}  // namespace

std::string writeTextureDds(const std::string &path, IDirect3DTexture9 *texture, const PALETTEENTRY *palette) {
  D3DSURFACE_DESC top{};
  if (FAILED(texture->GetLevelDesc(0, &top))) return "cannot read the texture";
  const kv::DdsFormatEntry *entry = kv::findDdsFormat(top.Format);
  if (!entry) return formatName(top.Format) + " cannot be stored in a DDS file";
  if (hasPalette(top.Format) && !palette) return "no palette for " + formatName(top.Format);
  const UINT levels = texture->GetLevelCount();
  const bool blocks = isBlockFormat(top.Format);
  const kv::DdsLevelLayout topLayout = kv::ddsLevelLayout(*entry, top.Width, top.Height);

  uint8_t header[128] = {};
  std::memcpy(header, "DDS ", 4);
  put32(header + 4, 124);
  put32(header + 8, kHeaderFlags | (blocks ? kHeaderLinearSize : kHeaderPitch) | (levels > 1 ? kHeaderMipCount : 0));
  put32(header + 12, top.Height);
  put32(header + 16, top.Width);
  put32(header + 20, static_cast<uint32_t>(blocks ? topLayout.sliceBytes : topLayout.rowPitch));
  put32(header + 28, levels);
  put32(header + 76, 32);
  put32(header + 80, entry->flags);
  put32(header + 84, entry->fourCc);
  put32(header + 88, entry->bitCount);
  put32(header + 92, entry->mask1);
  put32(header + 96, entry->mask2);
  put32(header + 100, entry->mask3);
  put32(header + 104, entry->mask4);
  put32(header + 108, kCapsTexture | (levels > 1 ? kCapsComplexMipmap : 0));

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return "cannot write " + path;
  out.write(reinterpret_cast<const char *>(header), sizeof header);
  if (hasPalette(top.Format)) out.write(reinterpret_cast<const char *>(palette), 256 * sizeof(PALETTEENTRY));

  for (UINT level = 0; level < levels; ++level) {
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->GetLevelDesc(level, &desc)) ||
        FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY)))
      return "cannot read level " + std::to_string(level);
    const kv::DdsLevelLayout layout = kv::ddsLevelLayout(*entry, desc.Width, desc.Height);
    const uint64_t rows = layout.sliceBytes / layout.rowPitch;
    for (uint64_t row = 0; row < rows; ++row) {
      out.write(static_cast<const char *>(locked.pBits) + row * static_cast<uint64_t>(locked.Pitch),
                static_cast<std::streamsize>(layout.rowPitch));
    }
    texture->UnlockRect(level);
  }
  if (!out.flush()) return "cannot write " + path;
  return {};
}

}  // namespace kvtex
