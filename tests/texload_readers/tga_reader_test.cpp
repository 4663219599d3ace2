#include "reader_test_support.h"

#include <gtest/gtest.h>

namespace kv::test {
namespace {

struct TgaLayout {
  uint8_t idLength = 0, colorMapType = 0, imageType = 3;
  uint16_t firstEntry = 0, mapLength = 0;
  uint8_t entryBits = 0;
  uint16_t width = 4, height = 2;
  uint8_t pixelBits = 8, descriptor = 0x20;
};

Bytes tgaHeader(const TgaLayout &s) {
  Bytes b(18, 0);
  b[0] = s.idLength;
  b[1] = s.colorMapType;
  b[2] = s.imageType;
  putLe16(b, 3, s.firstEntry);
  putLe16(b, 5, s.mapLength);
  b[7] = s.entryBits;
  putLe16(b, 12, s.width);
  putLe16(b, 14, s.height);
  b[16] = s.pixelBits;
  b[17] = s.descriptor;
  b.insert(b.end(), s.idLength, 'i');
  return b;
}

HRESULT readTgaFile(ScopedImage &out, const Bytes &file, bool decodePixels = true) {
  return runReader(readTga, ImageFileFormat::Tga, out, file, decodePixels);
}

Bytes pixelsOf(const DecodedImage &image) {
  return Bytes(image.pixels, image.pixels + image.rowPitch * image.height);
}

TEST(TgaReader, TopFirstRawGreyscalePointsIntoTheData) {
  TgaLayout s;
  s.idLength = 3;
  Bytes file = tgaHeader(s);
  append(file, {1, 2, 3, 4, 5, 6, 7, 8});
  ScopedImage out;
  ASSERT_EQ(readTgaFile(out, file), S_OK);
  EXPECT_EQ(out->format, static_cast<uint32_t>(D3DFMT_L8));
  EXPECT_EQ(out->pixels, file.data() + 21);
  EXPECT_EQ(out->ownsPixels, 0u);
  EXPECT_EQ(out->rowPitch, 4u);
  EXPECT_EQ(out->slicePitch, 0u);
  EXPECT_EQ(out->depth, 1u);

  file.pop_back();
  ScopedImage shortOut;
  EXPECT_EQ(readTgaFile(shortOut, file), E_FAIL);
}

TEST(TgaReader, EachCornerOrderLandsTopLeftFirst) {
  // Stored pixels 1..8 of a 4x2 image, in the order each descriptor names.
  const Bytes stored = {1, 2, 3, 4, 5, 6, 7, 8};
  struct Case {
    uint8_t descriptor;
    Bytes expected;
  } cases[] = {
      {0x00, {5, 6, 7, 8, 1, 2, 3, 4}},  // bottom row first
      {0x10, {8, 7, 6, 5, 4, 3, 2, 1}},  // bottom row first, right to left
      {0x30, {4, 3, 2, 1, 8, 7, 6, 5}},  // top row first, right to left
  };
  for (const Case &c : cases) {
    TgaLayout s;
    s.descriptor = c.descriptor;
    Bytes file = tgaHeader(s);
    file.insert(file.end(), stored.begin(), stored.end());
    ScopedImage out;
    ASSERT_EQ(readTgaFile(out, file), S_OK);
    EXPECT_EQ(out->ownsPixels, 1u);
    EXPECT_EQ(pixelsOf(out.image), c.expected) << int(c.descriptor);
  }
}

TEST(TgaReader, RunLengthPacketsRepeatOrCopy) {
  TgaLayout s;
  s.imageType = 11;
  s.width = 4;
  s.height = 2;
  Bytes file = tgaHeader(s);
  append(file, {0x83, 9, 0x03, 1, 2, 3, 4});
  ScopedImage out;
  ASSERT_EQ(readTgaFile(out, file), S_OK);
  EXPECT_EQ(pixelsOf(out.image), (Bytes{9, 9, 9, 9, 1, 2, 3, 4}));

  // A run that crosses the end of a row carries on into the next one.
  Bytes crossing = tgaHeader(s);
  append(crossing, {0x85, 7, 0x01, 1, 2});
  ScopedImage carried;
  ASSERT_EQ(readTgaFile(carried, crossing), S_OK);
  EXPECT_EQ(pixelsOf(carried.image), (Bytes{7, 7, 7, 7, 7, 7, 1, 2}));

  // Data that ends inside a packet, or before a packet header.
  for (const Bytes &tail : {Bytes{0x83, 9, 0x03, 1, 2, 3}, Bytes{0x83, 9}, Bytes{0x83}}) {
    Bytes cut = tgaHeader(s);
    cut.insert(cut.end(), tail.begin(), tail.end());
    ScopedImage rejected;
    EXPECT_EQ(readTgaFile(rejected, cut), E_FAIL);
  }
}

TEST(TgaReader, RunLengthTrueColourFromTheTopRight) {
  TgaLayout s;
  s.imageType = 10;
  s.pixelBits = 24;
  s.width = 2;
  s.height = 1;
  s.descriptor = 0x30;
  Bytes file = tgaHeader(s);
  append(file, {0x01, 1, 2, 3, 4, 5, 6});
  ScopedImage out;
  ASSERT_EQ(readTgaFile(out, file), S_OK);
  EXPECT_EQ(out->format, static_cast<uint32_t>(D3DFMT_R8G8B8));
  EXPECT_EQ(out->rowPitch, 6u);
  EXPECT_EQ(pixelsOf(out.image), (Bytes{4, 5, 6, 1, 2, 3}));
}

TEST(TgaReader, SixteenBitAlphaIsDroppedWhenNoPixelUsesIt) {
  TgaLayout s;
  s.imageType = 2;
  s.pixelBits = 16;
  s.width = 2;
  s.height = 1;
  Bytes file = tgaHeader(s);
  append(file, {0xFF, 0x7F, 0x00, 0x00});
  ScopedImage decoded;
  ASSERT_EQ(readTgaFile(decoded, file), S_OK);
  EXPECT_EQ(decoded->format, static_cast<uint32_t>(D3DFMT_X1R5G5B5));
  ScopedImage headerOnly;
  ASSERT_EQ(readTgaFile(headerOnly, file, false), S_OK);
  EXPECT_EQ(headerOnly->format, static_cast<uint32_t>(D3DFMT_A1R5G5B5));

  file[19] = 0x80;
  ScopedImage withAlpha;
  ASSERT_EQ(readTgaFile(withAlpha, file), S_OK);
  EXPECT_EQ(withAlpha->format, static_cast<uint32_t>(D3DFMT_A1R5G5B5));
}

TgaLayout colourMapped(uint16_t first, uint16_t length, uint8_t entryBits) {
  TgaLayout s;
  s.colorMapType = 1;
  s.imageType = 1;
  s.firstEntry = first;
  s.mapLength = length;
  s.entryBits = entryBits;
  s.width = 1;
  s.height = 1;
  return s;
}

TEST(TgaReader, ColourMapFillsItsRangeOfThePalette) {
  TgaLayout s = colourMapped(5, 2, 24);
  Bytes file = tgaHeader(s);
  append(file, {1, 2, 3, 10, 20, 30, 5});
  ScopedImage out;
  ASSERT_EQ(readTgaFile(out, file), S_OK);
  EXPECT_EQ(out->format, static_cast<uint32_t>(D3DFMT_P8));
  ASSERT_NE(out->palette, nullptr);
  EXPECT_EQ(out->ownsPalette, 1u);
  EXPECT_EQ(Bytes(out->palette + 20, out->palette + 28), (Bytes{3, 2, 1, 255, 30, 20, 10, 255}));
  EXPECT_EQ(Bytes(out->palette, out->palette + 4), (Bytes{255, 255, 255, 255}));
  EXPECT_EQ(Bytes(out->palette + 1020, out->palette + 1024), (Bytes{255, 255, 255, 255}));
  EXPECT_EQ(out->pixels[0], 5);
}

TEST(TgaReader, ColourMapEntriesOfEverySize) {
  struct Case {
    uint8_t entryBits;
    Bytes stored;
    Bytes expected;
  } cases[] = {
      {15, {0x1F, 0x7C}, {255, 0, 255, 255}},       // alpha bit ignored: opaque
      {16, {0x1F, 0xFC, 0x00, 0x00}, {255, 0, 255, 255}},
      {32, {1, 2, 3, 0}, {3, 2, 1, 255}},           // all-zero alpha is taken as opaque
      {32, {1, 2, 3, 128, 4, 5, 6, 0}, {3, 2, 1, 128}},
  };
  for (const Case &c : cases) {
    const uint16_t entries = static_cast<uint16_t>(c.stored.size() / ((c.entryBits + 7) / 8));
    Bytes file = tgaHeader(colourMapped(0, entries, c.entryBits));
    file.insert(file.end(), c.stored.begin(), c.stored.end());
    file.push_back(0);
    ScopedImage out;
    ASSERT_EQ(readTgaFile(out, file), S_OK);
    EXPECT_EQ(Bytes(out->palette, out->palette + 4), c.expected) << int(c.entryBits);
  }
  // A 16-bit map with its alpha bit clear everywhere counts as opaque.
  Bytes file = tgaHeader(colourMapped(0, 1, 16));
  append(file, {0x00, 0x7C, 0});
  ScopedImage out;
  ASSERT_EQ(readTgaFile(out, file), S_OK);
  EXPECT_EQ(Bytes(out->palette, out->palette + 4), (Bytes{255, 0, 0, 255}));
}

TEST(TgaReader, ColourMapPastEntry255IsRefusedOnlyWhenDecoding) {
  Bytes file = tgaHeader(colourMapped(200, 57, 24));
  file.insert(file.end(), 57 * 3 + 1, 0);
  ScopedImage decoded;
  EXPECT_EQ(readTgaFile(decoded, file), E_FAIL);
  ScopedImage headerOnly;
  EXPECT_EQ(readTgaFile(headerOnly, file, false), S_OK);
  EXPECT_EQ(headerOnly->palette, nullptr);
}

TEST(TgaReader, ImplausibleHeadersAreRefused) {
  Bytes valid = tgaHeader(TgaLayout{});
  valid.insert(valid.end(), 8, 0);
  auto with = [&](size_t at, uint8_t value) {
    Bytes b = valid;
    b[at] = value;
    return b;
  };
  const Bytes rejected[] = {
      with(1, 2),            with(1, 255),          // colour map type
      with(2, 0),            with(2, 4),  with(2, 12), with(2, 0x13),  // image type
      with(12, 0),                                   // width 0
      with(16, 16),                                  // 16-bit greyscale
      with(0, 200),                                  // ID longer than the data
  };
  for (const Bytes &file : rejected) {
    ScopedImage out;
    EXPECT_EQ(readTgaFile(out, file), E_FAIL);
  }
  // A colour map longer than the data; an entry size that no map uses.
  TgaLayout longMap = colourMapped(0, 100, 24);
  TgaLayout oddEntry = colourMapped(0, 1, 8);
  TgaLayout noMap = colourMapped(0, 0, 24);
  noMap.colorMapType = 0;
  for (const TgaLayout &s : {longMap, oddEntry, noMap}) {
    Bytes file = tgaHeader(s);
    file.insert(file.end(), 8, 0);
    ScopedImage out;
    EXPECT_EQ(readTgaFile(out, file), E_FAIL);
  }
  ScopedImage tooShort;
  EXPECT_EQ(readTgaFile(tooShort, Bytes(valid.begin(), valid.begin() + 17)), E_FAIL);
}

TEST(TgaReader, HugeRunLengthImageNeedsDataForEveryPacket) {
  TgaLayout s;
  s.imageType = 10;
  s.pixelBits = 32;
  s.width = s.height = 0xFFFF;
  Bytes file = tgaHeader(s);
  for (int i = 0; i < 64; ++i) append(file, {0xFF, 1, 2, 3, 4});
  ScopedImage out;
  EXPECT_EQ(readTgaFile(out, file), E_FAIL);
  EXPECT_EQ(out->ownsPixels, 0u);
}

}  // namespace
}  // namespace kv::test
