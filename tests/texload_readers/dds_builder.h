// DDS files for the tests: a 128-byte header with the fields the reader looks at.
#pragma once

#include "reader_test_support.h"

namespace kv::test {

struct DdsLayout {
  uint32_t width = 4, height = 4, depth = 0, mipCount = 0;
  uint32_t headerFlags = 0x1007;
  uint32_t pfSize = 32, pfFlags = 0x4, fourCc = D3DFMT_DXT1, bitCount = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  uint32_t caps2 = 0;
};

inline Bytes ddsFile(const DdsLayout &s, size_t payload) {
  Bytes b(128 + payload, 0);
  b[0] = 'D', b[1] = 'D', b[2] = 'S', b[3] = ' ';
  putLe32(b, 4, 124);
  putLe32(b, 8, s.headerFlags);
  putLe32(b, 12, s.height);
  putLe32(b, 16, s.width);
  putLe32(b, 24, s.depth);
  putLe32(b, 28, s.mipCount);
  putLe32(b, 76, s.pfSize);
  putLe32(b, 80, s.pfFlags);
  putLe32(b, 84, s.fourCc);
  putLe32(b, 88, s.bitCount);
  for (int i = 0; i < 4; ++i) putLe32(b, 92 + 4 * i, s.masks[i]);
  putLe32(b, 112, s.caps2);
  return b;
}

inline DdsLayout uncompressed(uint32_t flags, uint32_t bits, uint32_t m1, uint32_t m2, uint32_t m3, uint32_t m4) {
  DdsLayout s;
  s.pfFlags = flags;
  s.fourCc = 0;
  s.bitCount = bits;
  s.masks[0] = m1, s.masks[1] = m2, s.masks[2] = m3, s.masks[3] = m4;
  return s;
}

}  // namespace kv::test
