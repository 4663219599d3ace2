// Portable float maps: "PF" (three floats a pixel) and "Pf" (one), rows stored from the
// bottom, decoded into A32B32G32R32F pixels of a buffer of the reader's own. The header
// numbers are read with the runtime's formatted scan; the dispatcher has made the numeric
// locale "C" so that the decimal point is ".".
#include "texload/byte_reading.h"
#include "texload/decode_budget.h"
#include "texload/header_line.h"
#include "texload/image_readers.h"

#include <cstdio>
#include <cstring>

namespace kv {
namespace {

constexpr uint32_t kSignatureSize = 3;

// A header line: non-empty, its line feed within reach. Advances position past it.
bool takeLine(const uint8_t *data, uint32_t size, uint64_t &position, HeaderLine &line) {
  if (!copyHeaderLine(data + position, size - position, line) || line.length == 0) return false;
  position += line.length + 1;
  return true;
}

float readFloat(const uint8_t *p, bool littleEndian) {
  const uint8_t bytes[4] = {littleEndian ? p[0] : p[3], littleEndian ? p[1] : p[2],
                            littleEndian ? p[2] : p[1], littleEndian ? p[3] : p[0]};
  const uint32_t bits = readLe32(bytes);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

HRESULT readPfm(DecodedImage &image, const uint8_t *data, uint32_t size) {
  if (size < 4 || data[0] != 'P' || (data[1] != 'F' && data[1] != 'f') || data[2] != '\n')
    return E_FAIL;
  const uint32_t channels = data[1] == 'F' ? 3 : 1;

  uint64_t position = kSignatureSize;
  HeaderLine line;
  char extra[HeaderLine::kCapacity];
  unsigned width = 0, height = 0;
  if (!takeLine(data, size, position, line) ||
      std::sscanf(line.text, "%u %u%255s", &width, &height, extra) != 2)
    return E_FAIL;
  if (position >= size) return E_FAIL;
  float scale = 0;
  if (!takeLine(data, size, position, line) || std::sscanf(line.text, "%f%255s", &scale, extra) != 1)
    return E_FAIL;
  // Only the sign of the scale matters: negative means little-endian floats.
  const bool littleEndian = scale < 0.0f;

  // A map without pixels has nothing to show; a texture cannot be made of it.
  if (width == 0 || height == 0) return E_FAIL;
  const uint64_t pixelCount = static_cast<uint64_t>(width) * height;
  if (!fitsImageBytes(pixelCount, 16) || size - position < pixelCount * 4 * channels) return E_FAIL;
  const uint64_t outputBytes = pixelCount * 16;
  DecodeCost cost;
  cost.pixels = pixelCount;
  cost.bytes = outputBytes;
  cost.fileBytes = size;
  const HRESULT budget = checkDecodeBudget(cost);
  if (FAILED(budget)) return budget;

  image.format = D3DFMT_A32B32G32R32F;
  image.rowPitch = width * 16;
  image.width = width;
  image.height = height;
  image.depth = 1;
  image.slicePitch = 0;
  uint8_t *pixels = allocateImageBuffer(static_cast<size_t>(outputBytes));
  if (!pixels) return E_OUTOFMEMORY;
  image.pixels = pixels;
  image.ownsPixels = 1;

  const uint8_t *src = data + position;
  for (uint32_t stored = 0; stored < height; ++stored) {
    float *out = reinterpret_cast<float *>(pixels + static_cast<size_t>(height - 1 - stored) * image.rowPitch);
    for (uint32_t x = 0; x < width; ++x, src += 4 * channels, out += 4) {
      out[0] = readFloat(src, littleEndian);
      out[1] = channels == 3 ? readFloat(src + 4, littleEndian) : out[0];
      out[2] = channels == 3 ? readFloat(src + 8, littleEndian) : out[0];
      out[3] = 1.0f;
    }
  }
  return S_OK;
}

}  // namespace kv
