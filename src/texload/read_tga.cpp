// TGA files: colour-mapped, true-colour and greyscale images, stored raw or run-length
// encoded, in any of the four corner orders. The format has no signature, so the header
// must be plausible in every field before anything is taken from it.
#include "texload/byte_reading.h"
#include "texload/decode_budget.h"
#include "texload/image_readers.h"

#include <cstring>

namespace kv {
namespace {

constexpr uint32_t kHeaderSize = 18;
constexpr uint32_t kImageTypeBits = 0x0B;
constexpr uint32_t kImageTypeRle = 0x08;
constexpr uint32_t kDescriptorTopFirst = 0x20;
constexpr uint32_t kDescriptorRightToLeft = 0x10;
constexpr uint32_t kPaletteEntries = 256;
constexpr uint32_t kPaletteBytes = kPaletteEntries * 4;

struct TgaHeader {
  uint32_t idLength;
  uint32_t colorMapType;
  uint32_t imageType;
  uint32_t firstEntry;
  uint32_t mapLength;
  uint32_t entryBits;
  uint32_t width;
  uint32_t height;
  uint32_t pixelBits;
  uint32_t descriptor;
};

TgaHeader parseHeader(const uint8_t *data) {
  return {data[0],           data[1],           data[2],  readLe16(data + 3),
          readLe16(data + 5), data[7],           readLe16(data + 12), readLe16(data + 14),
          data[16],          data[17]};
}

// The pixel format the header describes, or 0 when it describes none that is read.
uint32_t pixelFormat(const TgaHeader &header) {
  switch (header.imageType & 3) {
    case 1:
      return header.colorMapType != 0 && header.pixelBits == 8 ? static_cast<uint32_t>(D3DFMT_P8) : 0;
    case 2:
      switch (header.pixelBits) {
        case 15: return D3DFMT_X1R5G5B5;
        case 16: return D3DFMT_A1R5G5B5;
        case 24: return D3DFMT_R8G8B8;
        case 32: return D3DFMT_A8R8G8B8;
        default: return 0;
      }
    case 3:
      return header.pixelBits == 8 ? static_cast<uint32_t>(D3DFMT_L8) : 0;
    default:
      return 0;
  }
}

bool plausible(const TgaHeader &header) {
  if (header.colorMapType > 1 || (header.imageType & ~kImageTypeBits) != 0) return false;
  if (header.width == 0 || header.height == 0) return false;
  if (header.colorMapType == 1 && header.entryBits != 15 && header.entryBits != 16 &&
      header.entryBits != 24 && header.entryBits != 32)
    return false;
  return pixelFormat(header) != 0;
}

uint8_t expand5(uint32_t c) { return static_cast<uint8_t>((c << 3) | (c >> 2)); }

// One stored colour map entry as (red, green, blue, alpha).
void convertMapEntry(const uint8_t *src, uint32_t entryBits, uint8_t *out) {
  if (entryBits <= 16) {
    const uint32_t v = readLe16(src);
    out[0] = expand5((v >> 10) & 0x1F);
    out[1] = expand5((v >> 5) & 0x1F);
    out[2] = expand5(v & 0x1F);
    out[3] = entryBits == 15 ? 255 : ((v & 0x8000) ? 255 : 0);
  } else {
    out[0] = src[2];
    out[1] = src[1];
    out[2] = src[0];
    out[3] = entryBits == 32 ? src[3] : 255;
  }
}

HRESULT readPalette(DecodedImage &image, const TgaHeader &header, const uint8_t *map) {
  if (header.firstEntry + header.mapLength > kPaletteEntries) return E_FAIL;
  uint8_t *palette = allocateImageBuffer(kPaletteBytes);
  if (!palette) return E_OUTOFMEMORY;
  image.palette = palette;
  image.ownsPalette = 1;
  std::memset(palette, 255, kPaletteBytes);
  const uint32_t entryBytes = (header.entryBits + 7) / 8;
  bool anyAlpha = false;
  for (uint32_t i = 0; i < header.mapLength; ++i) {
    uint8_t *out = palette + (header.firstEntry + i) * 4;
    convertMapEntry(map + i * entryBytes, header.entryBits, out);
    anyAlpha = anyAlpha || out[3] != 0;
  }
  // A map whose alpha is zero throughout was written by a tool that ignores alpha.
  if (!anyAlpha) {
    for (uint32_t i = 0; i < header.mapLength; ++i) palette[(header.firstEntry + i) * 4 + 3] = 255;
  }
  return S_OK;
}

// Hands out the stored pixels one at a time, raw or through run-length packets. A packet
// may run on past the end of a row; its remaining pixels go to the next row in image order.
class PixelSource {
 public:
  PixelSource(const uint8_t *data, uint64_t size, uint32_t pixelBytes, bool rle)
      : data_(data), size_(size), pixelBytes_(pixelBytes), rle_(rle) {}

  // The next pixel's bytes, or null when the data ends first.
  const uint8_t *next() {
    if (!rle_) return take();
    if (left_ == 0) {
      if (position_ >= size_) return nullptr;
      const uint8_t packet = data_[position_++];
      left_ = (packet & 0x7Fu) + 1;
      run_ = (packet & 0x80u) ? take() : nullptr;
      if ((packet & 0x80u) && !run_) return nullptr;
    }
    --left_;
    return run_ ? run_ : take();
  }

 private:
  const uint8_t *take() {
    if (size_ - position_ < pixelBytes_) return nullptr;
    const uint8_t *pixel = data_ + position_;
    position_ += pixelBytes_;
    return pixel;
  }

  const uint8_t *data_;
  uint64_t size_;
  uint64_t position_ = 0;
  uint32_t pixelBytes_;
  bool rle_;
  uint32_t left_ = 0;
  const uint8_t *run_ = nullptr;
};

// The fewest bytes of pixel data that can fill the image. Every run-length packet holds at
// most 128 pixels and costs a header byte and one pixel at least.
uint64_t leastPixelBytes(const TgaHeader &header, uint32_t pixelBytes) {
  const uint64_t pixelCount = static_cast<uint64_t>(header.width) * header.height;
  if ((header.imageType & kImageTypeRle) == 0) return pixelCount * pixelBytes;
  return (pixelCount + 127) / 128 * (1 + pixelBytes);
}

HRESULT decodeIntoBuffer(DecodedImage &image, const TgaHeader &header, const uint8_t *pixelData,
                         uint64_t available, uint32_t pixelBytes) {
  const bool rle = (header.imageType & kImageTypeRle) != 0;
  const uint64_t pixelCount = static_cast<uint64_t>(header.width) * header.height;
  // Data too short to fill the image is refused before a buffer is taken for it.
  if (available < leastPixelBytes(header, pixelBytes) || !fitsImageBytes(pixelCount, pixelBytes)) return E_FAIL;
  uint8_t *pixels = allocateImageBuffer(static_cast<size_t>(pixelCount * pixelBytes));
  if (!pixels) return E_OUTOFMEMORY;
  image.pixels = pixels;
  image.ownsPixels = 1;

  const bool topFirst = (header.descriptor & kDescriptorTopFirst) != 0;
  const bool rightToLeft = (header.descriptor & kDescriptorRightToLeft) != 0;
  const uint32_t rowPitch = header.width * pixelBytes;
  PixelSource source(pixelData, available, pixelBytes, rle);
  for (uint32_t stored = 0; stored < header.height; ++stored) {
    const uint32_t row = topFirst ? stored : header.height - 1 - stored;
    uint8_t *out = pixels + static_cast<size_t>(row) * rowPitch;
    for (uint32_t i = 0; i < header.width; ++i) {
      const uint8_t *pixel = source.next();
      if (!pixel) return E_FAIL;
      const uint32_t column = rightToLeft ? header.width - 1 - i : i;
      std::memcpy(out + static_cast<size_t>(column) * pixelBytes, pixel, pixelBytes);
    }
  }
  return S_OK;
}

bool anyTopBitSet(const uint8_t *pixels, uint64_t pixelCount) {
  for (uint64_t i = 0; i < pixelCount; ++i) {
    if (pixels[i * 2 + 1] & 0x80) return true;
  }
  return false;
}

}  // namespace

HRESULT readTga(DecodedImage &image, const uint8_t *data, uint32_t size) {
  if (size < kHeaderSize) return E_FAIL;
  const TgaHeader header = parseHeader(data);
  if (!plausible(header)) return E_FAIL;
  const uint32_t format = pixelFormat(header);

  uint64_t position = kHeaderSize;
  if (size - position < header.idLength) return E_FAIL;
  position += header.idLength;
  // The colour map is skipped whatever the colour map type says.
  const uint64_t mapBytes = static_cast<uint64_t>(header.mapLength) * ((header.entryBits + 7) / 8);
  if (size - position < mapBytes) return E_FAIL;

  if (image.decodePixels && format == D3DFMT_P8) {
    const HRESULT hr = readPalette(image, header, data + position);
    if (FAILED(hr)) return hr;
  }
  position += mapBytes;

  const uint32_t pixelBytes = (header.pixelBits + 7) / 8;
  DecodeCost cost;
  cost.pixels = uint64_t(header.width) * header.height;
  cost.bytes = cost.pixels * pixelBytes;
  cost.fileBytes = size;
  cost.leastFileBytes = position + leastPixelBytes(header, pixelBytes);
  const HRESULT budget = checkDecodeBudget(cost);
  if (FAILED(budget)) return budget;

  image.format = format;
  image.rowPitch = header.width * pixelBytes;
  image.width = header.width;
  image.height = header.height;
  image.depth = 1;
  image.slicePitch = 0;
  image.pixels = const_cast<uint8_t *>(data + position);
  if (!image.decodePixels) return S_OK;

  const uint64_t available = size - position;
  const uint64_t pixelCount = static_cast<uint64_t>(header.width) * header.height;
  const bool inPlace = (header.imageType & kImageTypeRle) == 0 &&
                       (header.descriptor & kDescriptorTopFirst) != 0 &&
                       (header.descriptor & kDescriptorRightToLeft) == 0;
  if (inPlace) {
    if (available < pixelCount * pixelBytes) return E_FAIL;
  } else {
    image.pixels = nullptr;
    const HRESULT hr = decodeIntoBuffer(image, header, data + position, available, pixelBytes);
    if (FAILED(hr)) return hr;
  }

  if (format == D3DFMT_A1R5G5B5 && !anyTopBitSet(image.pixels, pixelCount))
    image.format = D3DFMT_X1R5G5B5;
  return S_OK;
}

}  // namespace kv
