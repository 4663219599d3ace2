// The BMP and DIB reader on bitmaps made here: header variants, palettes, bit fields,
// run-length streams, row order, the copy-free path and hostile sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bitmap_builder.h"
#include "scene/texture_loading.h"
#include "texload/image_readers.h"

namespace {

using kvtest::BitmapSpec;
using kvtest::DecodedRecord;
using kvtest::makeBmp;
using kvtest::makeDib;

// Each read starts from a record that owns nothing, as the dispatcher hands it over.
HRESULT readBmpBytes(DecodedRecord &record, const std::vector<uint8_t> &file) {
  kv::releaseDecodedImage(record.image);
  return kv::readBmp(record.image, file.data(), uint32_t(file.size()));
}

HRESULT readDibBytes(DecodedRecord &record, const std::vector<uint8_t> &data) {
  kv::releaseDecodedImage(record.image);
  return kv::readDib(record.image, data.data(), uint32_t(data.size()));
}

std::vector<uint8_t> row(const kv::DecodedImage &image, uint32_t y, uint32_t bytes) {
  const uint8_t *p = image.pixels + size_t(y) * image.rowPitch;
  return {p, p + bytes};
}

float floatAt(const kv::DecodedImage &image, uint32_t x, uint32_t channel) {
  float v;
  std::memcpy(&v, image.pixels + 16 * x + 4 * channel, 4);
  return v;
}

BitmapSpec paletted(uint16_t bitCount, int32_t width, int32_t height, std::vector<uint8_t> pixels) {
  BitmapSpec spec;
  spec.bitCount = bitCount;
  spec.width = width;
  spec.height = height;
  spec.coloursUsed = 2;
  spec.colourTable = {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0};  // blue, green, red, unused
  spec.pixels = std::move(pixels);
  return spec;
}

TEST(ReadBmp, LibraryTextureIsCopiedTopRowFirstAndReportsAlphaOnlyWhenAFourthByteIsSet) {
  const uint32_t pixels[6] = {0x00010203, 0x00040506, 0x00070809,   // bottom row
                              0x000A0B0C, 0x000D0E0F, 0x00101112};  // top row
  for (uint32_t alpha : {0u, 1u}) {
    uint32_t source[6];
    std::memcpy(source, pixels, sizeof source);
    source[4] |= alpha << 24;
    size_t size = 0;
    auto file = kv::buildBmpImage(source, 3, 2, &size);
    DecodedRecord record;
    ASSERT_EQ(kv::readBmp(record.image, file.get(), uint32_t(size)), S_OK);
    EXPECT_EQ(record.image.format, uint32_t(alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8));
    EXPECT_EQ(record.image.width, 3u);
    EXPECT_EQ(record.image.height, 2u);
    EXPECT_EQ(record.image.depth, 1u);
    EXPECT_EQ(record.image.rowPitch, 12u);
    EXPECT_EQ(record.image.ownsPixels, 1u);
    EXPECT_EQ(record.image.palette, nullptr);
    EXPECT_EQ(std::memcmp(record.image.pixels, source + 3, 12), 0);
    EXPECT_EQ(std::memcmp(record.image.pixels + 12, source, 12), 0);
  }
}

TEST(ReadBmp, TopRowFirstFileIsUsedInPlaceAndAHeaderOnlyReadStillSeesAlpha) {
  BitmapSpec spec;
  spec.width = 2;
  spec.height = -2;
  spec.pixels = std::vector<uint8_t>(16, 0);
  spec.pixels[15] = 0x80;
  const auto file = makeBmp(spec);
  DecodedRecord record;
  ASSERT_EQ(readBmpBytes(record, file), S_OK);
  EXPECT_EQ(record.image.pixels, file.data() + 54);
  EXPECT_EQ(record.image.ownsPixels, 0u);
  EXPECT_EQ(record.image.format, uint32_t(D3DFMT_A8R8G8B8));

  DecodedRecord header;
  header.image.decodePixels = 0;
  ASSERT_EQ(readBmpBytes(header, file), S_OK);
  EXPECT_EQ(header.image.format, uint32_t(D3DFMT_A8R8G8B8));
  EXPECT_EQ(header.image.pixels, nullptr);
  EXPECT_EQ(header.image.height, 2u);
}

TEST(ReadBmp, FileSizeFieldMayNotExceedTheData) {
  BitmapSpec spec;
  spec.pixels = {1, 2, 3, 0};
  auto file = makeBmp(spec);
  DecodedRecord record;
  kvtest::put32(file, 2, uint32_t(file.size() + 1));
  EXPECT_EQ(readBmpBytes(record, file), E_FAIL);
  kvtest::put32(file, 2, uint32_t(file.size() - 1));
  EXPECT_EQ(readBmpBytes(record, file), S_OK);
  file[1] = 'A';
  EXPECT_EQ(readBmpBytes(record, file), E_FAIL);
}

TEST(ReadBmp, PixelsFollowTheColourTableWhateverTheOffsetFieldSays) {
  auto file = makeBmp(paletted(8, 1, 1, {1, 0, 0, 0}));
  kvtest::put32(file, 10, 200);
  DecodedRecord record;
  ASSERT_EQ(readBmpBytes(record, file), S_OK);
  EXPECT_EQ(record.image.pixels[0], 1);
}

TEST(ReadDib, HeaderSizesSelectTheVariantAndOddOnesAreRejected) {
  for (uint32_t size : {0u, 4u, 11u, 13u, 39u}) {
    BitmapSpec spec;
    spec.headerSize = size;
    spec.pixels = std::vector<uint8_t>(64, 0);
    DecodedRecord record;
    EXPECT_EQ(readDibBytes(record, makeDib(spec)), E_FAIL) << size;
  }
  // A core header: 16-bit sizes, 3-byte colour table entries.
  BitmapSpec core = paletted(8, 2, 1, {1, 0, 0, 0});
  core.headerSize = 12;
  core.colourTable.resize(256 * 3, 0x77);
  core.colourTable[3] = 0xAA;  // entry 1: blue
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, makeDib(core)), S_OK);
  EXPECT_EQ(record.image.pixels[0], 1);
  EXPECT_EQ(record.image.palette[4 + 2], 0xAA);
  // Longer info headers are read; their further fields are ignored.
  BitmapSpec v5;
  v5.headerSize = 124;
  v5.pixels = {1, 2, 3, 0};
  DecodedRecord longer;
  EXPECT_EQ(readDibBytes(longer, makeDib(v5)), S_OK);
  EXPECT_EQ(longer.image.format, uint32_t(D3DFMT_X8R8G8B8));
}

TEST(ReadDib, RejectsBadPlanesBitCountsAndCompressions) {
  struct Case { uint16_t planes, bitCount; uint32_t compression; };
  for (const Case c : {Case{2, 32, 0}, Case{1, 2, 0}, Case{1, 64, 0}, Case{1, 32, 4},
                       Case{1, 8, 3}, Case{1, 24, 1}, Case{1, 32, 2}}) {
    BitmapSpec spec;
    spec.headerSize = 56;
    spec.planes = c.planes;
    spec.bitCount = c.bitCount;
    spec.compression = c.compression;
    spec.pixels = std::vector<uint8_t>(64, 0);
    DecodedRecord record;
    EXPECT_EQ(readDibBytes(record, makeDib(spec)), E_FAIL)
        << c.planes << " " << c.bitCount << " " << c.compression;
  }
}

TEST(ReadDib, OneBitImageWithoutColourCountGetsTwoEntriesAndWhiteForTheRest) {
  BitmapSpec spec = paletted(1, 10, 1, {0xA5, 0x80, 0, 0});
  spec.coloursUsed = 0;
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, makeDib(spec)), S_OK);
  EXPECT_EQ(record.image.format, uint32_t(D3DFMT_P8));
  EXPECT_EQ(record.image.rowPitch, 12u);
  EXPECT_EQ(row(record.image, 0, 10), (std::vector<uint8_t>{1, 0, 1, 0, 0, 1, 0, 1, 1, 0}));
  const uint8_t *palette = record.image.palette;
  EXPECT_EQ(std::vector<uint8_t>(palette, palette + 8),
            (std::vector<uint8_t>{0x30, 0x20, 0x10, 255, 0x60, 0x50, 0x40, 255}));
  for (int i = 8; i < 1024; ++i) ASSERT_EQ(palette[i], 255) << i;
}

TEST(ReadDib, FourBitRowsUnpackHighNibbleFirstAndFlipBottomUp) {
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, makeDib(paletted(4, 3, 2, {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0}))), S_OK);
  EXPECT_EQ(row(record.image, 0, 3), (std::vector<uint8_t>{4, 5, 6}));
  EXPECT_EQ(row(record.image, 1, 3), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(ReadDib, TwentyFourBitRowsArePaddedToFourBytes) {
  BitmapSpec spec;
  spec.bitCount = 24;
  spec.width = 3;
  spec.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
  auto dib = makeDib(spec);
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, dib), S_OK);
  EXPECT_EQ(record.image.format, uint32_t(D3DFMT_R8G8B8));
  EXPECT_EQ(record.image.rowPitch, 12u);
  EXPECT_EQ(row(record.image, 0, 9), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  dib.resize(dib.size() - 3);  // the last row needs only its 9 bytes, not its padding
  EXPECT_EQ(readDibBytes(record, dib), S_OK);
  dib.pop_back();
  EXPECT_EQ(readDibBytes(record, dib), E_FAIL);
}

TEST(ReadDib, BitFieldsNeedTheMasksInsideTheHeader) {
  BitmapSpec spec;
  spec.bitCount = 16;
  spec.compression = 3;
  spec.masks[0] = 0x7C00;
  spec.masks[1] = 0x3E0;
  spec.masks[2] = 0x1F;
  spec.masks[3] = 0x8000;
  spec.pixels = {0, 0x80, 0, 0};
  DecodedRecord record;
  EXPECT_EQ(readDibBytes(record, makeDib(spec)), E_FAIL);  // 40 bytes: masks after it
  spec.headerSize = 52;
  ASSERT_EQ(readDibBytes(record, makeDib(spec)), S_OK);
  EXPECT_EQ(record.image.format, uint32_t(D3DFMT_X1R5G5B5));  // no alpha mask in 52 bytes
  spec.headerSize = 56;
  ASSERT_EQ(readDibBytes(record, makeDib(spec)), S_OK);
  EXPECT_EQ(record.image.format, uint32_t(D3DFMT_A1R5G5B5));
}

TEST(ReadDib, UnlistedMasksUnpackToFloatsBetweenZeroAndOne) {
  BitmapSpec spec;
  spec.headerSize = 56;
  spec.bitCount = 16;
  spec.compression = 3;
  spec.masks[0] = 0x3E0;
  spec.masks[1] = 0x7C00;
  spec.masks[2] = 0x1F;
  const uint16_t value = (3 << 10) | (31 << 5) | 7;
  spec.pixels = {uint8_t(value), uint8_t(value >> 8), 0, 0};
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, makeDib(spec)), S_OK);
  ASSERT_EQ(record.image.format, uint32_t(D3DFMT_A32B32G32R32F));
  EXPECT_EQ(record.image.rowPitch, 16u);
  EXPECT_FLOAT_EQ(floatAt(record.image, 0, 0), 1.0f);
  EXPECT_FLOAT_EQ(floatAt(record.image, 0, 1), 3.0f / 31);
  EXPECT_FLOAT_EQ(floatAt(record.image, 0, 2), 7.0f / 31);
  EXPECT_FLOAT_EQ(floatAt(record.image, 0, 3), 1.0f);

  // Only an alpha mask: the colour channels read 0, alpha its field.
  spec.masks[0] = spec.masks[1] = spec.masks[2] = 0;
  spec.masks[3] = 0xF000;
  spec.pixels = {0, 0x50, 0, 0};
  ASSERT_EQ(readDibBytes(record, makeDib(spec)), S_OK);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(floatAt(record.image, 0, c), 0.0f);
  EXPECT_FLOAT_EQ(floatAt(record.image, 0, 3), 5.0f / 15);
}

TEST(ReadDib, BlueGreenRedInTheUpperBytesAreReadOneByteLater) {
  BitmapSpec spec;
  spec.headerSize = 52;
  spec.compression = 3;
  spec.width = 2;
  spec.height = -1;
  spec.masks[0] = 0xFF000000;
  spec.masks[1] = 0xFF0000;
  spec.masks[2] = 0xFF00;
  spec.pixels = {0, 1, 2, 3, 0, 4, 5, 6};
  auto dib = makeDib(spec);
  DecodedRecord record;
  EXPECT_EQ(readDibBytes(record, dib), E_FAIL);  // the shifted row needs one byte more
  dib.push_back(0);
  ASSERT_EQ(readDibBytes(record, dib), S_OK);
  EXPECT_EQ(record.image.format, uint32_t(D3DFMT_X8R8G8B8));
  EXPECT_EQ(record.image.pixels, dib.data() + 53);
  spec.height = 0;  // no rows, but the pixels still may not start past the data
  spec.pixels.clear();
  EXPECT_EQ(readDibBytes(record, makeDib(spec)), E_FAIL);
}

TEST(ReadDib, ColourCountsAbove256KeepTheirTableButFillOnly256Entries) {
  BitmapSpec spec = paletted(8, 1, 1, {7, 0, 0, 0});
  spec.coloursUsed = 300;
  spec.colourTable.resize(300 * 4, 0x33);
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, makeDib(spec)), S_OK);
  EXPECT_EQ(record.image.pixels[0], 7);
  EXPECT_EQ(record.image.palette[4 * 255], 0x33);
  EXPECT_EQ(record.image.palette[4 * 255 + 3], 255);
  spec.coloursUsed = 0xFFFFFFFF;  // a table far beyond the data
  EXPECT_EQ(readDibBytes(record, makeDib(spec)), E_FAIL);
}

TEST(ReadDib, SizesBeyondThirtyOneBitsOrNegativeWidthsAreRejected) {
  struct Case { int32_t width, height; uint16_t bitCount; uint32_t compression; };
  for (const Case c : {Case{-1, 1, 32, 0}, Case{0x7FFFFFFF, 1, 32, 0}, Case{0x40000000, 2, 8, 1},
                       Case{65536, 65536, 8, 1}, Case{1, int32_t(0x80000000), 8, 1}}) {
    BitmapSpec spec;
    spec.bitCount = c.bitCount;
    spec.compression = c.compression;
    spec.width = c.width;
    spec.height = c.height;
    spec.pixels = {0, 1, 0, 0};
    DecodedRecord record;
    EXPECT_EQ(readDibBytes(record, makeDib(spec)), E_FAIL) << c.width << "x" << c.height;
  }
}

// A run-length bitmap of 4 x 3 palette indices.
std::vector<uint8_t> runLengthDib(uint32_t compression, int32_t height, std::vector<uint8_t> stream) {
  BitmapSpec spec = paletted(compression == 1 ? 8 : 4, 4, height, std::move(stream));
  spec.compression = compression;
  return makeDib(spec);
}

TEST(ReadDibRunLength, EndOfBitmapAloneSucceedsAndLeavesRowsZero) {
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, runLengthDib(1, 3, {0, 1})), S_OK);
  for (uint32_t y = 0; y < 3; ++y) EXPECT_EQ(row(record.image, y, 4), std::vector<uint8_t>(4, 0));
}

TEST(ReadDibRunLength, EightBitRunsEndOfLineAndAbsoluteRunsFillBottomUp) {
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, runLengthDib(1, 3, {4, 9, 0, 0, 0, 3, 1, 2, 3, 0, 1, 7, 0, 0, 2, 5, 2, 6, 0, 0})), S_OK);
  EXPECT_EQ(row(record.image, 2, 4), (std::vector<uint8_t>{9, 9, 9, 9}));
  EXPECT_EQ(row(record.image, 1, 4), (std::vector<uint8_t>{1, 2, 3, 7}));
  EXPECT_EQ(row(record.image, 0, 4), (std::vector<uint8_t>{5, 5, 6, 6}));
}

TEST(ReadDibRunLength, DeltaMovesDownWithoutChangingTheRowStart) {
  DecodedRecord record;
  // Delta (1, 1) from the bottom row, a run of 1; the end of line then goes to the row
  // above the one where the delta began.
  ASSERT_EQ(readDibBytes(record, runLengthDib(1, 3, {0, 2, 1, 1, 1, 8, 0, 0, 1, 4, 0, 1})), S_OK);
  EXPECT_EQ(row(record.image, 1, 4), (std::vector<uint8_t>{4, 8, 0, 0}));
  EXPECT_EQ(row(record.image, 2, 4), (std::vector<uint8_t>(4, 0)));
}

TEST(ReadDibRunLength, FourBitAbsoluteRunOfFivePixelsTakesFourBytesAfterThePair) {
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, runLengthDib(2, -2, {0, 5, 0x12, 0x34, 0x50, 0xEE, 3, 0xAB, 0, 1})), S_OK);
  EXPECT_EQ(row(record.image, 0, 4), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(row(record.image, 1, 4), (std::vector<uint8_t>{5, 0xA, 0xB, 0xA}));
}

TEST(ReadDibRunLength, RunsMayCrossRowsButNotTheBufferAndStreamsMayNotStopShort) {
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, runLengthDib(1, -2, {6, 1, 0, 1})), S_OK);
  EXPECT_EQ(row(record.image, 1, 4), (std::vector<uint8_t>{1, 1, 0, 0}));
  EXPECT_EQ(readDibBytes(record, runLengthDib(1, -2, {9, 1, 0, 1})), E_FAIL);
  EXPECT_EQ(readDibBytes(record, runLengthDib(1, 2, {0, 2, 0, 2, 1, 1})), E_FAIL);  // below the start
  EXPECT_EQ(readDibBytes(record, runLengthDib(1, 2, {4, 1, 0, 0})), E_FAIL);        // no more pairs
  EXPECT_EQ(readDibBytes(record, runLengthDib(1, 2, {0, 5, 1, 2})), E_FAIL);        // literals missing
  EXPECT_EQ(readDibBytes(record, runLengthDib(1, 2, {0, 2, 1})), E_FAIL);           // delta cut
  EXPECT_EQ(readDibBytes(record, runLengthDib(1, 2, {0, 0, 0, 0})), S_OK);         // every row ended
}

}  // namespace
