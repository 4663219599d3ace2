// DDS files: a 128-byte header, then every face's mipmap levels (each level's slices in
// turn), already in a Direct3D 9 pixel format. Nothing is converted or copied: every
// level's record points into the caller's data.
#include "texload/byte_reading.h"
#include "texload/dds_format.h"
#include "texload/decode_budget.h"
#include "texload/image_readers.h"

#include <algorithm>

namespace kv {
namespace {

constexpr uint32_t kDdsMagic = MAKEFOURCC('D', 'D', 'S', ' ');
constexpr uint32_t kHeaderSize = 128;
constexpr uint32_t kPaletteBytes = 1024;

constexpr uint32_t kHeaderFlagVolume = 0x800000;
constexpr uint32_t kCaps2AllFaces = 0xFC00;

// The one pixel format flag the reader tests by name. The others (alpha pixels 0x1, alpha
// only 0x2, palette 0x20, RGB 0x40, luminance 0x20000, bump luminance 0x40000, bump du/dv
// 0x80000) only enter the format table and the comparison sets below.
constexpr uint32_t kPfFourCc = 0x4;

// Which header fields a row must match, by the pixel format flags that give them meaning.
// Luminance is missing from the bit-count set: luminance rows are told apart by masks.
constexpr uint32_t kCompareBitCount = 0xC4462;
constexpr uint32_t kCompareMask1 = 0xE4040;
constexpr uint32_t kCompareMask2 = 0xC4440;
constexpr uint32_t kCompareMask3 = 0xC4040;
constexpr uint32_t kCompareMask4 = 0x80003;

struct DdsPixelFormat {
  uint32_t size, flags, fourCc, bitCount, mask1, mask2, mask3, mask4;
};

bool fieldMatches(uint32_t flags, uint32_t compareFlags, uint32_t fileValue, uint32_t rowValue) {
  return (flags & compareFlags) == 0 || fileValue == rowValue;
}

const DdsFormatEntry *recogniseFormat(const DdsPixelFormat &pf) {
  if (pf.size != 32) return nullptr;
  // A four-character code names the format by itself, whatever else the flags say.
  const uint32_t flags = (pf.flags & kPfFourCc) ? kPfFourCc : pf.flags;
  for (const DdsFormatEntry &row : ddsFormatTable()) {
    if (row.flags != flags) continue;
    if (fieldMatches(flags, kPfFourCc, pf.fourCc, row.fourCc) &&
        fieldMatches(flags, kCompareBitCount, pf.bitCount, row.bitCount) &&
        fieldMatches(flags, kCompareMask1, pf.mask1, row.mask1) &&
        fieldMatches(flags, kCompareMask2, pf.mask2, row.mask2) &&
        fieldMatches(flags, kCompareMask3, pf.mask3, row.mask3) &&
        fieldMatches(flags, kCompareMask4, pf.mask4, row.mask4))
      return &row;
  }
  return nullptr;
}

bool isPaletteFormat(uint32_t format) { return format == D3DFMT_P8 || format == D3DFMT_A8P8; }

uint32_t halve(uint32_t value) { return value > 1 ? value / 2 : 1; }

// Levels of a full mipmap chain: halving the longest side until it is 1.
uint32_t fullChainLevels(uint32_t width, uint32_t height, uint32_t depth) {
  uint32_t side = std::max({width, height, depth});
  uint32_t levels = 1;
  while (side > 1) {
    side /= 2;
    ++levels;
  }
  return levels;
}

}  // namespace

HRESULT readDds(DecodedImage &image, const uint8_t *data, uint32_t size) {
  if (size < 4 || readLe32(data) != kDdsMagic || size < kHeaderSize) return E_FAIL;

  const uint32_t headerFlags = readLe32(data + 8);
  const uint32_t height = readLe32(data + 12);
  const uint32_t width = readLe32(data + 16);
  const bool volume = (headerFlags & kHeaderFlagVolume) != 0;
  uint32_t depth = volume ? readLe32(data + 24) : 1;
  if (depth == 0) depth = 1;
  // A level without pixels occupies no bytes, so a chain of them would never reach the end
  // of the data: a file that claims one has nothing to show and is refused.
  if (width == 0 || height == 0) return E_FAIL;

  const uint32_t caps2Faces = readLe32(data + 112) & kCaps2AllFaces;
  if (caps2Faces != 0 && caps2Faces != kCaps2AllFaces) return E_FAIL;
  const uint32_t faces = caps2Faces ? 6 : 1;
  uint32_t levels = readLe32(data + 28);
  if (levels == 0) levels = 1;
  // Levels past the 1 x 1 one are no texture's; each would cost a record and as little as
  // a byte of data.
  if (levels > fullChainLevels(width, height, depth)) return E_FAIL;

  const DdsPixelFormat pf = {readLe32(data + 76), readLe32(data + 80), readLe32(data + 84),
                             readLe32(data + 88), readLe32(data + 92), readLe32(data + 96),
                             readLe32(data + 100), readLe32(data + 104)};
  const DdsFormatEntry *entry = recogniseFormat(pf);
  if (!entry) return E_FAIL;

  DecodeCost cost;
  cost.pixels = uint64_t(width) * height * depth;
  cost.bytes = uint64_t(faces) * levels * sizeof(DecodedImage);
  cost.fileBytes = size;
  const HRESULT budget = checkDecodeBudget(cost);
  if (FAILED(budget)) return budget;

  image.resourceType = volume ? D3DRTYPE_VOLUMETEXTURE
                              : (faces == 6 ? D3DRTYPE_CUBETEXTURE : D3DRTYPE_TEXTURE);

  uint64_t position = kHeaderSize;
  uint8_t *palette = nullptr;
  if (isPaletteFormat(entry->format)) {
    if (size - position < kPaletteBytes) return E_FAIL;
    palette = const_cast<uint8_t *>(data + position);
    position += kPaletteBytes;
  }

  DecodedImage *faceTop = &image;
  for (uint32_t face = 0; face < faces; ++face) {
    if (face > 0) {
      DecodedImage *next = newLinkedImage();
      if (!next) return E_OUTOFMEMORY;
      faceTop->nextFace = next;
      faceTop = next;
    }
    DecodedImage *record = faceTop;
    uint32_t w = width, h = height, d = depth;
    for (uint32_t level = 0; level < levels; ++level) {
      if (level > 0) {
        DecodedImage *next = newLinkedImage();
        if (!next) return E_OUTOFMEMORY;
        record->nextMip = next;
        record = next;
      }
      const DdsLevelLayout layout = ddsLevelLayout(*entry, w, h);
      if (layout.sliceBytes > kMaxImageBytes) return E_FAIL;
      const uint64_t levelBytes = layout.sliceBytes * d;
      if (levelBytes > size - position) return E_FAIL;
      record->format = entry->format;
      record->rowPitch = static_cast<uint32_t>(layout.rowPitch);
      record->slicePitch = static_cast<uint32_t>(layout.sliceBytes);
      record->width = w;
      record->height = h;
      record->depth = d;
      record->pixels = const_cast<uint8_t *>(data + position);
      record->palette = palette;
      record->ownsPixels = 0;
      record->ownsPalette = 0;
      record->decodePixels = image.decodePixels;
      record->resourceType = image.resourceType;
      record->fileFormat = image.fileFormat;
      position += levelBytes;
      w = halve(w);
      h = halve(h);
      d = halve(d);
    }
  }
  return S_OK;
}

}  // namespace kv
