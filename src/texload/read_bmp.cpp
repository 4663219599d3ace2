// Windows bitmaps: readBmp takes the file with its 14-byte file header, readDib the same
// data from the info header on. Both decode through one path into a single 2D surface,
// top row first, either pointing into the caller's data or in a buffer of its own.
#include <cstring>

#include "pixel/convert/row_halves.h"
#include "texload/bmp_run_length.h"
#include "texload/decode_budget.h"
#include "texload/image_readers.h"

namespace kv {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kRgbMaskHeaderSize = 52;
constexpr uint32_t kAlphaMaskHeaderSize = 56;
constexpr uint32_t kPaletteEntries = 256;

// Every byte count of a decoded surface stays below 2 GiB, as it must in a 32-bit process:
// a header asking for more is rejected rather than computed wrongly.
constexpr uint64_t kMaxSurfaceBytes = 0x7FFFFFFF;

enum Compression : uint32_t { kUncompressed = 0, kRunLength8 = 1, kRunLength4 = 2, kBitFields = 3 };

enum Mask { kRed, kGreen, kBlue, kAlpha };

uint16_t read16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t read32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t roundUpTo4(uint64_t bytes) { return (bytes + 3) & ~uint64_t(3); }

struct DibHeader {
  uint32_t size = 0;          // the header's own size, which says which variant it is
  int64_t width = 0;
  int64_t height = 0;         // negative: rows stored top row first
  uint32_t planes = 0;
  uint32_t bitCount = 0;
  uint32_t compression = kUncompressed;
  uint32_t coloursUsed = 0;
  uint32_t masks[4] = {};     // red, green, blue, alpha
  uint32_t entrySize = 4;     // bytes of one colour table entry
};

bool readHeader(const uint8_t *data, uint32_t size, DibHeader &header) {
  if (size < 4) return false;
  header.size = read32(data);
  if (header.size > size) return false;
  if (header.size == kCoreHeaderSize) {
    header.width = static_cast<int16_t>(read16(data + 4));
    header.height = static_cast<int16_t>(read16(data + 6));
    header.planes = read16(data + 8);
    header.bitCount = read16(data + 10);
    header.entrySize = 3;
    return true;
  }
  if (header.size < kInfoHeaderSize) return false;
  header.width = static_cast<int32_t>(read32(data + 4));
  header.height = static_cast<int32_t>(read32(data + 8));
  header.planes = read16(data + 12);
  header.bitCount = read16(data + 14);
  header.compression = read32(data + 16);
  header.coloursUsed = read32(data + 32);
  if (header.size >= kRgbMaskHeaderSize) {
    for (int i = kRed; i <= kBlue; ++i) header.masks[i] = read32(data + 40 + 4 * i);
  }
  if (header.size >= kAlphaMaskHeaderSize) header.masks[kAlpha] = read32(data + 52);
  return true;
}

// Bit-field layouts that are a Direct3D format as they stand. Any other layout of 16, 24
// or 32 bits is unpacked into floating RGBA.
struct MaskedFormat {
  uint32_t bitCount;
  uint32_t masks[4];
  D3DFORMAT format;
  uint32_t skipBytes;  // the pixels start this many bytes into the pixel data
};

constexpr MaskedFormat kMaskedFormats[] = {
    {16, {0xFF, 0xFF, 0xFF, 0xFF00}, D3DFMT_A8L8, 0},
    {16, {0xF800, 0x7E0, 0x1F, 0}, D3DFMT_R5G6B5, 0},
    {16, {0x7C00, 0x3E0, 0x1F, 0}, D3DFMT_X1R5G5B5, 0},
    {16, {0x7C00, 0x3E0, 0x1F, 0x8000}, D3DFMT_A1R5G5B5, 0},
    {16, {0xF00, 0xF0, 0xF, 0xF000}, D3DFMT_A4R4G4B4, 0},
    {16, {0xF00, 0xF0, 0xF, 0}, D3DFMT_X4R4G4B4, 0},
    {16, {0xE0, 0x1C, 0x3, 0xFF00}, D3DFMT_A8R3G3B2, 0},
    {16, {0xFFFF, 0xFFFF, 0xFFFF, 0}, D3DFMT_L16, 0},
    {24, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_R8G8B8, 0},
    {32, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_X8R8G8B8, 0},
    {32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, D3DFMT_A8R8G8B8, 0},
    {32, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}, D3DFMT_A2B10G10R10, 0},
    {32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, D3DFMT_A8B8G8R8, 0},
    {32, {0xFF, 0xFF00, 0xFF0000, 0}, D3DFMT_X8B8G8R8, 0},
    {32, {0xFFFF, 0xFFFF0000, 0, 0}, D3DFMT_G16R16, 0},
    {32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, D3DFMT_A2R10G10B10, 0},
    // Blue, green, red in each pixel's upper three bytes: read one byte later, they are
    // X8R8G8B8 with the next pixel's first byte as the unused fourth.
    {32, {0xFF000000, 0xFF0000, 0xFF00, 0}, D3DFMT_X8R8G8B8, 1},
};

// Where the pixels lie and what they become.
struct DibLayout {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  uint32_t entryCount = 0;      // colour table entries
  uint64_t pixelOffset = 0;     // from the start of the info header
  uint32_t width = 0;
  uint32_t height = 0;          // rows, whichever way they are stored
  bool topDown = false;
  uint64_t sourceRowBytes = 0;
  uint64_t sourcePitch = 0;
  uint32_t rowBytes = 0;        // of a decoded row
  uint32_t rowPitch = 0;
};

bool isPaletted(const DibLayout &layout) { return layout.format == D3DFMT_P8; }

bool isUnpackedByMasks(const DibLayout &layout) {
  return layout.format == D3DFMT_A32B32G32R32F;
}

D3DFORMAT formatByBitCount(uint32_t bitCount) {
  switch (bitCount) {
    case 1:
    case 4:
    case 8: return D3DFMT_P8;
    case 16: return D3DFMT_X1R5G5B5;
    case 24: return D3DFMT_R8G8B8;
    case 32: return D3DFMT_X8R8G8B8;
    default: return D3DFMT_UNKNOWN;
  }
}

bool chooseMaskedFormat(const DibHeader &header, DibLayout &layout) {
  if (header.size < kRgbMaskHeaderSize) return false;  // the masks must be in the header
  if (header.bitCount != 16 && header.bitCount != 24 && header.bitCount != 32) return false;
  for (const MaskedFormat &row : kMaskedFormats) {
    if (row.bitCount == header.bitCount &&
        std::memcmp(row.masks, header.masks, sizeof row.masks) == 0) {
      layout.format = row.format;
      layout.pixelOffset += row.skipBytes;
      return true;
    }
  }
  layout.format = D3DFMT_A32B32G32R32F;
  return true;
}

bool chooseFormat(const DibHeader &header, DibLayout &layout) {
  if (header.compression == kBitFields) return chooseMaskedFormat(header, layout);
  if (header.compression > kBitFields) return false;
  layout.format = formatByBitCount(header.bitCount);
  // Each run-length code is made for one pixel size: bytes for 8-bit indices, nibbles for
  // 4-bit ones. Any other pairing would spread indices the file never meant.
  if (header.compression == kRunLength8 && header.bitCount != 8) return false;
  if (header.compression == kRunLength4 && header.bitCount != 4) return false;
  return layout.format != D3DFMT_UNKNOWN;
}

uint32_t decodedBytesPerPixel(const DibLayout &layout, uint32_t bitCount) {
  if (isPaletted(layout)) return 1;
  if (isUnpackedByMasks(layout)) return 16;
  return bitCount / 8;
}

// Sizes of source and decoded rows; false when the surface would not fit in 32 bits.
bool measureRows(const DibHeader &header, DibLayout &layout) {
  if (header.width < 0) return false;
  layout.width = static_cast<uint32_t>(header.width);
  layout.topDown = header.height < 0;
  const uint64_t rows = static_cast<uint64_t>(layout.topDown ? -header.height : header.height);
  // A height of -2^31 has no positive counterpart among the heights a header can give.
  if (rows > INT32_MAX) return false;
  const uint64_t width = layout.width;
  if (header.bitCount < 8) {
    layout.sourceRowBytes = (width * header.bitCount + 7) / 8;
  } else {
    layout.sourceRowBytes = width * (header.bitCount / 8);
  }
  layout.sourcePitch = roundUpTo4(layout.sourceRowBytes);
  const uint64_t rowBytes = width * decodedBytesPerPixel(layout, header.bitCount);
  const uint64_t rowPitch = roundUpTo4(rowBytes);
  if (rowPitch > kMaxSurfaceBytes || rowPitch * rows > kMaxSurfaceBytes) return false;
  layout.height = static_cast<uint32_t>(rows);
  layout.rowBytes = static_cast<uint32_t>(rowBytes);
  layout.rowPitch = static_cast<uint32_t>(rowPitch);
  return true;
}

bool readLayout(const DibHeader &header, uint32_t size, DibLayout &layout) {
  if (header.coloursUsed != 0) {
    layout.entryCount = header.coloursUsed;
  } else if (header.bitCount <= 8) {
    layout.entryCount = 1u << header.bitCount;
  }
  // The pixels follow the colour table directly, whatever the file header says.
  layout.pixelOffset = header.size + uint64_t(header.entrySize) * layout.entryCount;
  if (layout.pixelOffset > size) return false;
  if (header.planes != 1) return false;
  if (!chooseFormat(header, layout)) return false;
  if (layout.pixelOffset > size) return false;  // again: a format may start a byte later
  if (!measureRows(header, layout)) return false;
  if (header.compression == kUncompressed || header.compression == kBitFields) {
    // Run-length data is measured by its decoder, read by read. No product here overflows:
    // a source pitch is never above the decoded one, whose surface fits in 31 bits.
    if (layout.height > 0 &&
        layout.pixelOffset + (layout.height - 1) * layout.sourcePitch + layout.sourceRowBytes > size) {
      return false;
    }
  }
  return true;
}

bool isRunLength(const DibHeader &header) {
  return header.compression == kRunLength8 || header.compression == kRunLength4;
}

// A run-length code fills at most 255 pixels from two bytes.
constexpr uint64_t kMostRunPixels = 255;

// What a copy of the pixels costs. Stored rows were measured against the data already;
// run-length data must be long enough to reach the rows, at its best, before a large
// buffer is taken for them.
DecodeCost dibDecodeCost(uint32_t size, const DibHeader &header, const DibLayout &layout) {
  DecodeCost cost;
  cost.pixels = uint64_t(layout.width) * layout.height;
  cost.bytes = uint64_t(layout.rowPitch) * layout.height;
  cost.fileBytes = size;
  if (isRunLength(header)) cost.leastFileBytes = layout.pixelOffset + cost.pixels / kMostRunPixels * 2;
  return cost;
}

HRESULT buildPalette(DecodedImage &image, const uint8_t *table, const DibHeader &header,
                     const DibLayout &layout) {
  uint8_t *palette = allocateImageBuffer(kPaletteEntries * 4);
  if (!palette) return E_OUTOFMEMORY;
  image.palette = palette;
  image.ownsPalette = 1;
  std::memset(palette, 0xFF, kPaletteEntries * 4);
  const uint32_t defined = layout.entryCount < kPaletteEntries ? layout.entryCount : kPaletteEntries;
  for (uint32_t i = 0; i < defined; ++i) {
    const uint8_t *entry = table + i * header.entrySize;  // blue, green, red
    palette[4 * i + 0] = entry[2];
    palette[4 * i + 1] = entry[1];
    palette[4 * i + 2] = entry[0];
  }
  return S_OK;
}

// A 32-bit bitmap whose unused fourth bytes are not all zero carries alpha in them.
bool anyFourthByteSet(const uint8_t *pixels, const DibLayout &layout) {
  if (layout.width == 0) return false;
  for (uint32_t row = 0; row < layout.height; ++row) {
    const uint8_t *p = pixels + row * layout.sourcePitch;
    for (uint32_t x = 0; x < layout.width; ++x) {
      if (p[4 * x + 3] != 0) return true;
    }
  }
  return false;
}

void unpackBits1(uint8_t *out, const uint8_t *source, uint32_t width) {
  for (uint32_t i = 0; i < width; ++i) out[i] = (source[i / 8] >> (7 - i % 8)) & 1;
}

void unpackBits4(uint8_t *out, const uint8_t *source, uint32_t width) {
  for (uint32_t i = 0; i < width; ++i) {
    out[i] = (i & 1) ? source[i / 2] & 0x0F : source[i / 2] >> 4;
  }
}

// One channel of a bit-field pixel mapped to 0.0 ... 1.0.
struct MaskedChannel {
  uint32_t shift = 0;
  uint32_t reduced = 0;  // the mask shifted down; 0 for a channel the file lacks
  float scale = 0.0f;
  float absent = 1.0f;   // the value of a channel the file lacks

  float decode(uint32_t value) const {
    return reduced ? static_cast<float>((value >> shift) & reduced) * scale : absent;
  }
};

class MaskUnpacker {
 public:
  MaskUnpacker(const uint32_t masks[4], uint32_t bitCount) : bytes_(bitCount / 8) {
    const bool noColour = masks[kRed] == 0 && masks[kGreen] == 0 && masks[kBlue] == 0;
    for (int i = kRed; i <= kAlpha; ++i) {
      MaskedChannel &channel = channels_[i];
      if (noColour && i != kAlpha) channel.absent = 0.0f;
      if (masks[i] == 0) continue;
      while (!((masks[i] >> channel.shift) & 1)) ++channel.shift;
      channel.reduced = masks[i] >> channel.shift;
      channel.scale = 1.0f / static_cast<float>(channel.reduced);
    }
  }

  void unpackRow(uint8_t *out, const uint8_t *source, uint32_t width) const {
    for (uint32_t x = 0; x < width; ++x, source += bytes_, out += 16) {
      uint32_t value = 0;
      for (uint32_t b = 0; b < bytes_; ++b) value |= uint32_t(source[b]) << (8 * b);
      float rgba[4];
      for (int i = kRed; i <= kAlpha; ++i) rgba[i] = channels_[i].decode(value);
      std::memcpy(out, rgba, sizeof rgba);
    }
  }

 private:
  uint32_t bytes_;
  MaskedChannel channels_[4];
};

// Stored rows in file order, each to its place counted from the top; a big image in two
// halves at once.
HRESULT decodeRows(uint8_t *buffer, const uint8_t *pixels, const DibHeader &header,
                   const DibLayout &layout) {
  const MaskUnpacker unpacker(header.masks, header.bitCount);
  runRowHalves(layout.height, uint64_t(layout.width) * layout.height, true, [&](uint32_t first, uint32_t last) {
    for (uint32_t row = first; row < last; ++row) {
      const uint32_t outRow = layout.topDown ? row : layout.height - 1 - row;
      uint8_t *out = buffer + uint64_t(outRow) * layout.rowPitch;
      const uint8_t *source = pixels + size_t(row) * layout.sourcePitch;
      if (header.bitCount == 1) {
        unpackBits1(out, source, layout.width);
      } else if (header.bitCount == 4) {
        unpackBits4(out, source, layout.width);
      } else if (isUnpackedByMasks(layout)) {
        unpacker.unpackRow(out, source, layout.width);
      } else {
        std::memcpy(out, source, layout.rowBytes);
      }
    }
    return true;
  });
  return S_OK;
}

HRESULT decodeRunLengthRows(uint8_t *buffer, const uint8_t *pixels, size_t pixelBytes,
                            const DibHeader &header, const DibLayout &layout) {
  const int64_t pitch = layout.rowPitch;
  const int64_t rows = layout.height;
  const RunLengthTarget target{buffer, pitch * rows, layout.topDown ? 0 : (rows - 1) * pitch,
                               layout.topDown ? pitch : -pitch};
  const RunLengthCode code =
      header.compression == kRunLength4 ? RunLengthCode::Nibbles : RunLengthCode::Bytes;
  return decodeRunLength(code, pixels, pixelBytes, target);
}

HRESULT fillPixels(DecodedImage &image, const uint8_t *data, uint32_t size,
                     const DibHeader &header, const DibLayout &layout) {
  const uint8_t *pixels = data + layout.pixelOffset;
  const bool stored = header.compression == kUncompressed || header.compression == kBitFields;
  if (stored && layout.topDown && header.bitCount >= 8 && !isUnpackedByMasks(layout)) {
    // Already top row first in the surface's own layout: use the caller's bytes.
    image.pixels = const_cast<uint8_t *>(pixels);
    image.ownsPixels = 0;
    return S_OK;
  }
  // Stored rows copied whole and without padding write every byte: nothing to zero first.
  const bool everyByteWritten =
      stored && header.bitCount >= 8 && !isUnpackedByMasks(layout) && layout.rowBytes == layout.rowPitch;
  const size_t bytes = size_t(layout.rowPitch) * layout.height;
  uint8_t *buffer = everyByteWritten ? allocateImageBufferToFill(bytes) : allocateImageBuffer(bytes);
  if (!buffer) return E_OUTOFMEMORY;
  image.pixels = buffer;
  image.ownsPixels = 1;
  if (layout.rowPitch == 0 || layout.height == 0) return S_OK;  // nothing to fill
  if (!stored) return decodeRunLengthRows(buffer, pixels, size - layout.pixelOffset, header, layout);
  return decodeRows(buffer, pixels, header, layout);
}

}  // namespace

HRESULT readBmp(DecodedImage &image, const uint8_t *data, uint32_t size) {
  if (size < kFileHeaderSize || data[0] != 'B' || data[1] != 'M') return E_FAIL;
  if (read32(data + 2) > size) return E_FAIL;
  return readDib(image, data + kFileHeaderSize, size - kFileHeaderSize);
}

HRESULT readDib(DecodedImage &image, const uint8_t *data, uint32_t size) {
  DibHeader header;
  DibLayout layout;
  if (!readHeader(data, size, header) || !readLayout(header, size, layout)) return E_FAIL;
  const HRESULT budget = checkDecodeBudget(dibDecodeCost(size, header, layout));
  if (FAILED(budget)) return budget;
  if (image.decodePixels && isPaletted(layout)) {
    const HRESULT hr = buildPalette(image, data + header.size, header, layout);
    if (FAILED(hr)) return hr;
  }
  // Looked at even for a header-only read, so that the reported format already says alpha.
  if (header.compression == kUncompressed && layout.format == D3DFMT_X8R8G8B8 &&
      anyFourthByteSet(data + layout.pixelOffset, layout)) {
    layout.format = D3DFMT_A8R8G8B8;
  }
  image.format = layout.format;
  image.rowPitch = layout.rowPitch;
  image.width = layout.width;
  image.height = layout.height;
  image.depth = 1;
  image.slicePitch = 0;
  if (!image.decodePixels) return S_OK;
  return fillPixels(image, data, size, header, layout);
}

}  // namespace kv
