// Bitmap files made byte by byte for the reader tests.
#pragma once

#include <cstdint>
#include <vector>

#include "texload/decoded_image.h"

namespace kvtest {

struct BitmapSpec {
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
inline std::vector<uint8_t> makeDib(const BitmapSpec &spec) {
  std::vector<uint8_t> out(spec.headerSize < 4 ? 4 : spec.headerSize, 0);
  put32(out, 0, spec.headerSize);
  if (spec.headerSize == 12) {
    put16(out, 4, uint16_t(spec.width));
    put16(out, 6, uint16_t(spec.height));
    put16(out, 8, spec.planes);
    put16(out, 10, spec.bitCount);
  } else if (spec.headerSize >= 40) {
    put32(out, 4, uint32_t(spec.width));
    put32(out, 8, uint32_t(spec.height));
    put16(out, 12, spec.planes);
    put16(out, 14, spec.bitCount);
    put32(out, 16, spec.compression);
    put32(out, 32, spec.coloursUsed);
    for (uint32_t i = 0; i < 4 && 44 + 4 * i <= spec.headerSize; ++i) put32(out, 40 + 4 * i, spec.masks[i]);
  }
  out.insert(out.end(), spec.colourTable.begin(), spec.colourTable.end());
  out.insert(out.end(), spec.pixels.begin(), spec.pixels.end());
  return out;
}

// The same behind a 14-byte file header whose size field is the file's length.
inline std::vector<uint8_t> makeBmp(const BitmapSpec &spec) {
  std::vector<uint8_t> out(14, 0);
  out[0] = 'B';
  out[1] = 'M';
  const std::vector<uint8_t> dib = makeDib(spec);
  out.insert(out.end(), dib.begin(), dib.end());
  put32(out, 2, uint32_t(out.size()));
  put32(out, 10, uint32_t(14 + spec.headerSize + spec.colourTable.size()));
  return out;
}

// A record that releases what the readers left in it.
struct DecodedRecord {
  kv::DecodedImage image;
  DecodedRecord() { image.decodePixels = 1; }
  ~DecodedRecord() { kv::releaseDecodedImage(image); }
};

}  // namespace kvtest
