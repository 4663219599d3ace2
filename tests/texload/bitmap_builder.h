// Bitmap files made byte by byte for the reader tests.
#pragma once

#include <cstdint>
#include <vector>

#include "texload/decoded_image.h"

namespace kvtest {

struct BitmapLayout {
  uint32_t headerSize = 40;
  int32_t width = 1;
  int32_t height = 1;
  uint16_t planes = 1;
  uint16_t bitCount = 32;
  uint32_t compression = 0;
  uint32_t coloursUsed = 0;
  uint32_t masks[4] = {};              // written when the header is long enough for them
  std::vector<uint8_t> colourTable;    // raw entries
  std::vector<uint8_t> pixels;         // raw pixel data
};

inline void put16(std::vector<uint8_t> &out, size_t at, uint32_t v) {
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
}

inline void put32(std::vector<uint8_t> &out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

// The info header, colour table and pixels, as readDib takes them.
inline std::vector<uint8_t> makeDib(const BitmapLayout &layout) {
  std::vector<uint8_t> out(layout.headerSize < 4 ? 4 : layout.headerSize, 0);
  put32(out, 0, layout.headerSize);
  if (layout.headerSize == 12) {
    put16(out, 4, uint16_t(layout.width));
    put16(out, 6, uint16_t(layout.height));
    put16(out, 8, layout.planes);
    put16(out, 10, layout.bitCount);
  } else if (layout.headerSize >= 40) {
    put32(out, 4, uint32_t(layout.width));
    put32(out, 8, uint32_t(layout.height));
    put16(out, 12, layout.planes);
    put16(out, 14, layout.bitCount);
    put32(out, 16, layout.compression);
    put32(out, 32, layout.coloursUsed);
    for (uint32_t i = 0; i < 4 && 44 + 4 * i <= layout.headerSize; ++i) put32(out, 40 + 4 * i, layout.masks[i]);
  }
  out.insert(out.end(), layout.colourTable.begin(), layout.colourTable.end());
  out.insert(out.end(), layout.pixels.begin(), layout.pixels.end());
  return out;
}

// The same behind a 14-byte file header whose size field is the file's length.
inline std::vector<uint8_t> makeBmp(const BitmapLayout &layout) {
  std::vector<uint8_t> out(14, 0);
  out[0] = 'B';
  out[1] = 'M';
  const std::vector<uint8_t> dib = makeDib(layout);
  out.insert(out.end(), dib.begin(), dib.end());
  put32(out, 2, uint32_t(out.size()));
  put32(out, 10, uint32_t(14 + layout.headerSize + layout.colourTable.size()));
  return out;
}

// A record that releases what the readers left in it.
struct DecodedRecord {
  kv::DecodedImage image;
  DecodedRecord() { image.decodePixels = 1; }
  ~DecodedRecord() { kv::releaseDecodedImage(image); }
};

}  // namespace kvtest
