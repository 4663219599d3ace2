// DDS output: a 128-byte header that names the format the way the library's DDS reader
// recognises it, the palette for palettised formats, then every face (or volume) with its
// levels from the largest.
#include <cstring>
#include <vector>

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
constexpr uint32_t kCapsComplex = 0x8;
constexpr uint32_t kHeaderDepth = 0x800000;
constexpr uint32_t kCaps2AllFaces = 0x200 | 0xFC00;
constexpr uint32_t kCaps2Volume = 0x200000;

void put32(uint8_t *at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool isBlockFormat(uint32_t format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
         format == D3DFMT_DXT5;
}

// The rows of one locked level (or volume slice) as the DDS layout has them.
void appendRows(std::vector<uint8_t> &out, const uint8_t *bits, uint32_t pitch, const kv::DdsLevelLayout &layout) {
  const uint64_t rows = layout.sliceBytes / layout.rowPitch;
  for (uint64_t row = 0; row < rows; ++row) {
    const uint8_t *from = bits + row * pitch;
    out.insert(out.end(), from, from + layout.rowPitch);
  }
}

}  // namespace

std::string writeTextureDds(const std::string &path, const BuiltTexture &texture) {
  const kv::DdsFormatEntry *entry = kv::findDdsFormat(texture.format);
  if (!entry) return formatName(texture.format) + " cannot be stored in a DDS file";
  if (hasPalette(texture.format) && texture.palette.size() != 256) return "no palette for " + formatName(texture.format);
  const UINT levels = texture.levels;
  const bool blocks = isBlockFormat(texture.format);
  const bool cube = texture.type == D3DRTYPE_CUBETEXTURE, volume = texture.type == D3DRTYPE_VOLUMETEXTURE;
  const kv::DdsLevelLayout topLayout = kv::ddsLevelLayout(*entry, texture.width, texture.height);

  std::vector<uint8_t> out(128, 0);
  uint8_t *header = out.data();
  std::memcpy(header, "DDS ", 4);
  put32(header + 4, 124);
  put32(header + 8, kHeaderFlags | (blocks ? kHeaderLinearSize : kHeaderPitch) | (levels > 1 ? kHeaderMipCount : 0) |
                        (volume ? kHeaderDepth : 0));
  put32(header + 12, texture.height);
  put32(header + 16, texture.width);
  put32(header + 20, static_cast<uint32_t>(blocks ? topLayout.sliceBytes : topLayout.rowPitch));
  put32(header + 24, volume ? texture.depth : 0);
  put32(header + 28, levels);
  put32(header + 76, 32);
  put32(header + 80, entry->flags);
  put32(header + 84, entry->fourCc);
  put32(header + 88, entry->bitCount);
  put32(header + 92, entry->mask1);
  put32(header + 96, entry->mask2);
  put32(header + 100, entry->mask3);
  put32(header + 104, entry->mask4);
  put32(header + 108, kCapsTexture | (levels > 1 ? kCapsComplexMipmap : 0) | (cube || volume ? kCapsComplex : 0));
  put32(header + 112, cube ? kCaps2AllFaces : volume ? kCaps2Volume : 0);
  if (hasPalette(texture.format)) {
    const auto *palette = reinterpret_cast<const uint8_t *>(texture.palette.data());
    out.insert(out.end(), palette, palette + 256 * sizeof(PALETTEENTRY));
  }

  // Faces one after another, each with all its levels; a volume level holds its slices.
  const UINT faces = cube ? 6 : 1;
  for (UINT face = 0; face < faces; ++face) {
    for (UINT level = 0; level < levels; ++level) {
      const std::string failure = "cannot read level " + std::to_string(level);
      if (volume) {
        D3DVOLUME_DESC desc{};
        D3DLOCKED_BOX locked{};
        if (FAILED(texture.volume->GetLevelDesc(level, &desc)) ||
            FAILED(texture.volume->LockBox(level, &locked, nullptr, D3DLOCK_READONLY)))
          return failure;
        const kv::DdsLevelLayout layout = kv::ddsLevelLayout(*entry, desc.Width, desc.Height);
        for (UINT z = 0; z < desc.Depth; ++z) {
          appendRows(out, static_cast<const uint8_t *>(locked.pBits) + size_t(z) * uint32_t(locked.SlicePitch),
                     static_cast<uint32_t>(locked.RowPitch), layout);
        }
        texture.volume->UnlockBox(level);
        continue;
      }
      D3DSURFACE_DESC desc{};
      D3DLOCKED_RECT locked{};
      const auto cubeFace = static_cast<D3DCUBEMAP_FACES>(face);
      const bool ok = cube ? SUCCEEDED(texture.cube->GetLevelDesc(level, &desc)) &&
                                 SUCCEEDED(texture.cube->LockRect(cubeFace, level, &locked, nullptr, D3DLOCK_READONLY))
                           : SUCCEEDED(texture.texture->GetLevelDesc(level, &desc)) &&
                                 SUCCEEDED(texture.texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY));
      if (!ok) return failure;
      appendRows(out, static_cast<const uint8_t *>(locked.pBits), static_cast<uint32_t>(locked.Pitch),
                 kv::ddsLevelLayout(*entry, desc.Width, desc.Height));
      if (cube) {
        texture.cube->UnlockRect(cubeFace, level);
      } else {
        texture.texture->UnlockRect(level);
      }
    }
  }
  return writeOutput(path, out);
}

}  // namespace kvtex
