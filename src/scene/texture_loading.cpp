#include "scene/texture_loading.h"

#include <cstring>
#include <new>

#include "pixel/convert/row_halves.h"

namespace kv {

namespace {

// Images larger than this cannot be described by the BMP headers' 32-bit sizes.
constexpr uint64_t kMaxImageBytes = 0x7FFFFFFFu - kBmpHeaderSize;

void put16(uint8_t *p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

TextureEntryId nextEntryId() {
  static TextureEntryId last = 0;
  return ++last;
}

}  // namespace

PixelBlock buildBmpImage(const uint32_t *pixels, int width, int height, size_t *size) {
  if (!pixels || width <= 0 || height <= 0) return nullptr;
  const uint64_t pixelBytes = uint64_t(width) * uint64_t(height) * 4u;
  if (pixelBytes > kMaxImageBytes) return nullptr;
  const size_t total = static_cast<size_t>(pixelBytes) + kBmpHeaderSize;
  PixelBlock image(allocatePixelBlock(total, BlockContents::Unset));  // every byte is written below
  if (!image) return nullptr;
  uint8_t *h = image.get();
  std::memset(h, 0, kBmpHeaderSize);
  put16(h + 0, 0x4D42);  // "BM"
  put32(h + 2, static_cast<uint32_t>(total));
  put32(h + 10, kBmpHeaderSize);
  put32(h + 14, 40);
  put32(h + 18, static_cast<uint32_t>(width));
  put32(h + 22, static_cast<uint32_t>(height));  // positive: rows bottom-up, as the host's
  put16(h + 26, 1);
  put16(h + 28, 32);
  put32(h + 30, 0);
  put32(h + 34, static_cast<uint32_t>(pixelBytes));
  put32(h + 38, 2834);  // 72 dots per inch
  put32(h + 42, 2834);
  // A big image is copied in two halves at once.
  const size_t rowBytes = size_t(width) * 4;
  runRowHalves(uint32_t(height), uint64_t(width) * uint64_t(height), true, [&](uint32_t first, uint32_t last) {
    std::memcpy(h + kBmpHeaderSize + first * rowBytes, pixels + size_t(first) * size_t(width), (last - first) * rowBytes);
    return true;
  });
  *size = total;
  return image;
}

int loadTexture(KvPolygonSet &scene, const char *name, const uint32_t *pixels, int width, int height) {
  if (!name || std::strlen(name) > TextureList::kNameSize - 2) return 0;
  size_t size = 0;
  scene.imageBuffer() = buildBmpImage(pixels, width, height, &size);
  if (!scene.imageBuffer()) return 0;

  std::unique_ptr<TextureList> entry(new (std::nothrow) TextureList);
  if (entry) {
    std::strcpy(entry->name, name);
    entry->width = width;
    entry->height = height;
    // The entry keeps the bitmap image itself: a second copy of a large image cost as much
    // as the rest of the export's own work.
    entry->image = std::move(scene.imageBuffer());
    entry->id = nextEntryId();
    if (FAILED(makeEntryTexture(*entry, scene.device()))) entry.reset();
  }
  scene.imageBuffer().reset();
  if (!entry) return 0;
  return scene.textureEntries().add(std::move(entry)) ? 1 : 0;
}

}  // namespace kv
