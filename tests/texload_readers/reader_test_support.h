// Shared pieces of the reader tests: running one reader the way the dispatcher does, a
// record that releases itself, and little-endian byte builders for test files.
#pragma once

#include "texload/decode_budget.h"
#include "texload/image_readers.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kv::test {

using Bytes = std::vector<uint8_t>;
using Reader = HRESULT (*)(DecodedImage &, const uint8_t *, uint32_t);

// A record as the dispatcher hands it to a reader, released when the test ends.
struct ScopedImage {
  DecodedImage image;
  ScopedImage() { clearDecodedImage(image); }
  ~ScopedImage() { releaseDecodedImage(image); }
  ScopedImage(const ScopedImage &) = delete;
  ScopedImage &operator=(const ScopedImage &) = delete;
  DecodedImage *operator->() { return &image; }
};

// Sets the fields the dispatcher sets before each try, then runs the reader.
inline HRESULT runReader(Reader reader, ImageFileFormat format, ScopedImage &out, const Bytes &data,
                         bool decodePixels = true) {
  out.image.decodePixels = decodePixels ? 1 : 0;
  out.image.resourceType = D3DRTYPE_TEXTURE;
  out.image.fileFormat = format;
  return reader(out.image, data.data(), static_cast<uint32_t>(data.size()));
}

// A decode pixel limit for the life of a test, the default put back after it.
struct PixelLimit {
  explicit PixelLimit(uint64_t pixels) { setDecodePixelLimit(pixels); }
  ~PixelLimit() { setDecodePixelLimit(0); }
  PixelLimit(const PixelLimit &) = delete;
  PixelLimit &operator=(const PixelLimit &) = delete;
};

inline void putLe16(Bytes &b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void putLe32(Bytes &b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void append(Bytes &b, const std::string &text) { b.insert(b.end(), text.begin(), text.end()); }

inline void append(Bytes &b, std::initializer_list<uint8_t> bytes) { b.insert(b.end(), bytes); }

inline void appendFloat(Bytes &b, float v, bool bigEndian) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(bits >> (bigEndian ? 24 - 8 * i : 8 * i)));
}

inline float floatAt(const DecodedImage &image, uint32_t x, uint32_t y, uint32_t channel) {
  float v;
  std::memcpy(&v, image.pixels + y * image.rowPitch + x * 16 + channel * 4, 4);
  return v;
}

inline uint32_t wordAt(const DecodedImage &image, uint32_t x, uint32_t y) {
  uint32_t v;
  std::memcpy(&v, image.pixels + y * image.rowPitch + x * 4, 4);
  return v;
}

}  // namespace kv::test
