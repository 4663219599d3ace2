// The BMP and DIB reader on bitmaps made here: header variants, palettes, bit fields,
// run-length streams, row order, the copy-free path and hostile sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bitmap_builder.h"
#include "scene/texture_loading.h"
#include "texload/decode_budget.h"
#include "texload/image_readers.h"

namespace {

using kvtest::BitmapLayout;
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

BitmapLayout paletted(uint16_t bitCount, int32_t width, int32_t height, std::vector<uint8_t> pixels) {
  BitmapLayout layout;
  layout.bitCount = bitCount;
  layout.width = width;
  layout.height = height;
  layout.coloursUsed = 2;
  layout.colourTable = {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0};  // blue, green, red, unused
  layout.pixels = std::move(pixels);
  return layout;
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

// Big enough that the bitmap image and the decoded rows are written by two threads, each
// half its own rows: every pixel must land where one thread would put it.
TEST(ReadBmp, BigLibraryTextureKeepsEveryPixelInPlace) {
  constexpr uint32_t kWidth = 701, kHeight = 403;  // odd, so the halves differ
  std::vector<uint32_t> source(size_t(kWidth) * kHeight);
  for (uint32_t y = 0; y < kHeight; ++y)  // host order: bottom row first
    for (uint32_t x = 0; x < kWidth; ++x) source[size_t(y) * kWidth + x] = 0x80000000u | y << 12 | x;
  size_t size = 0;
  auto file = kv::buildBmpImage(source.data(), int(kWidth), int(kHeight), &size);
  ASSERT_TRUE(file);
  ASSERT_EQ(size, 54 + source.size() * 4);
  ASSERT_EQ(std::memcmp(file.get() + 54, source.data(), source.size() * 4), 0);
  DecodedRecord record;
  ASSERT_EQ(kv::readBmp(record.image, file.get(), uint32_t(size)), S_OK);
  ASSERT_EQ(record.image.rowPitch, kWidth * 4);
  for (uint32_t y = 0; y < kHeight; ++y) {
    const uint32_t stored = kHeight - 1 - y;  // the decoded image runs top row first
    ASSERT_EQ(std::memcmp(record.image.pixels + size_t(y) * kWidth * 4, source.data() + size_t(stored) * kWidth,
                          kWidth * 4),
              0)
        << "row " << y;
  }
}

// A decoded image's row padding is never written by the reader: it must be zero even where
// the buffer reuses the memory of an image decoded and released before.
TEST(ReadBmp, RowPaddingIsZeroInMemoryAnEarlierImageUsed) {
  constexpr int32_t kWidth = 1001, kHeight = 700;  // 24-bit rows: 3003 bytes, padded to 3004
  BitmapLayout full;
  full.width = kWidth;
  full.height = kHeight * 3004 / (kWidth * 4);  // same decoded size, every byte written
  full.pixels = std::vector<uint8_t>(size_t(kWidth) * 4 * full.height, 0xFF);
  {
    DecodedRecord first;
    ASSERT_EQ(readBmpBytes(first, makeBmp(full)), S_OK);
    ASSERT_EQ(first.image.ownsPixels, 1u);
  }
  BitmapLayout padded;
  padded.bitCount = 24;
  padded.width = kWidth;
  padded.height = kHeight;
  padded.pixels = std::vector<uint8_t>(size_t(3004) * kHeight, 0x11);
  DecodedRecord second;
  ASSERT_EQ(readBmpBytes(second, makeBmp(padded)), S_OK);
  ASSERT_EQ(second.image.rowPitch, 3004u);
  for (uint32_t y = 0; y < uint32_t(kHeight); ++y)
    ASSERT_EQ(second.image.pixels[size_t(y) * 3004 + 3003], 0) << "row " << y;
}

TEST(ReadBmp, TopRowFirstFileIsUsedInPlaceAndAHeaderOnlyReadStillSeesAlpha) {
  BitmapLayout layout;
  layout.width = 2;
  layout.height = -2;
  layout.pixels = std::vector<uint8_t>(16, 0);
  layout.pixels[15] = 0x80;
  const auto file = makeBmp(layout);
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
  BitmapLayout layout;
  layout.pixels = {1, 2, 3, 0};
  auto file = makeBmp(layout);
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
    BitmapLayout layout;
    layout.headerSize = size;
    layout.pixels = std::vector<uint8_t>(64, 0);
    DecodedRecord record;
    EXPECT_EQ(readDibBytes(record, makeDib(layout)), E_FAIL) << size;
  }
  // A core header: 16-bit sizes, 3-byte colour table entries.
  BitmapLayout core = paletted(8, 2, 1, {1, 0, 0, 0});
  core.headerSize = 12;
  core.colourTable.resize(256 * 3, 0x77);
  core.colourTable[3] = 0xAA;  // entry 1: blue
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, makeDib(core)), S_OK);
  EXPECT_EQ(record.image.pixels[0], 1);
  EXPECT_EQ(record.image.palette[4 + 2], 0xAA);
  // Longer info headers are read; their further fields are ignored.
  BitmapLayout v5;
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
    BitmapLayout layout;
    layout.headerSize = 56;
    layout.planes = c.planes;
    layout.bitCount = c.bitCount;
    layout.compression = c.compression;
    layout.pixels = std::vector<uint8_t>(64, 0);
    DecodedRecord record;
    EXPECT_EQ(readDibBytes(record, makeDib(layout)), E_FAIL)
        << c.planes << " " << c.bitCount << " " << c.compression;
  }
}

TEST(ReadDib, OneBitImageWithoutColourCountGetsTwoEntriesAndWhiteForTheRest) {
  BitmapLayout layout = paletted(1, 10, 1, {0xA5, 0x80, 0, 0});
  layout.coloursUsed = 0;
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, makeDib(layout)), S_OK);
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
  BitmapLayout layout;
  layout.bitCount = 24;
  layout.width = 3;
  layout.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
  auto dib = makeDib(layout);
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
  BitmapLayout layout;
  layout.bitCount = 16;
  layout.compression = 3;
  layout.masks[0] = 0x7C00;
  layout.masks[1] = 0x3E0;
  layout.masks[2] = 0x1F;
  layout.masks[3] = 0x8000;
  layout.pixels = {0, 0x80, 0, 0};
  DecodedRecord record;
  EXPECT_EQ(readDibBytes(record, makeDib(layout)), E_FAIL);  // 40 bytes: masks after it
  layout.headerSize = 52;
  ASSERT_EQ(readDibBytes(record, makeDib(layout)), S_OK);
  EXPECT_EQ(record.image.format, uint32_t(D3DFMT_X1R5G5B5));  // no alpha mask in 52 bytes
  layout.headerSize = 56;
  ASSERT_EQ(readDibBytes(record, makeDib(layout)), S_OK);
  EXPECT_EQ(record.image.format, uint32_t(D3DFMT_A1R5G5B5));
}

TEST(ReadDib, UnlistedMasksUnpackToFloatsBetweenZeroAndOne) {
  BitmapLayout layout;
  layout.headerSize = 56;
  layout.bitCount = 16;
  layout.compression = 3;
  layout.masks[0] = 0x3E0;
  layout.masks[1] = 0x7C00;
  layout.masks[2] = 0x1F;
  const uint16_t value = (3 << 10) | (31 << 5) | 7;
  layout.pixels = {uint8_t(value), uint8_t(value >> 8), 0, 0};
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, makeDib(layout)), S_OK);
  ASSERT_EQ(record.image.format, uint32_t(D3DFMT_A32B32G32R32F));
  EXPECT_EQ(record.image.rowPitch, 16u);
  EXPECT_FLOAT_EQ(floatAt(record.image, 0, 0), 1.0f);
  EXPECT_FLOAT_EQ(floatAt(record.image, 0, 1), 3.0f / 31);
  EXPECT_FLOAT_EQ(floatAt(record.image, 0, 2), 7.0f / 31);
  EXPECT_FLOAT_EQ(floatAt(record.image, 0, 3), 1.0f);

  // Only an alpha mask: the colour channels read 0, alpha its field.
  layout.masks[0] = layout.masks[1] = layout.masks[2] = 0;
  layout.masks[3] = 0xF000;
  layout.pixels = {0, 0x50, 0, 0};
  ASSERT_EQ(readDibBytes(record, makeDib(layout)), S_OK);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(floatAt(record.image, 0, c), 0.0f);
  EXPECT_FLOAT_EQ(floatAt(record.image, 0, 3), 5.0f / 15);
}

TEST(ReadDib, BlueGreenRedInTheUpperBytesAreReadOneByteLater) {
  BitmapLayout layout;
  layout.headerSize = 52;
  layout.compression = 3;
  layout.width = 2;
  layout.height = -1;
  layout.masks[0] = 0xFF000000;
  layout.masks[1] = 0xFF0000;
  layout.masks[2] = 0xFF00;
  layout.pixels = {0, 1, 2, 3, 0, 4, 5, 6};
  auto dib = makeDib(layout);
  DecodedRecord record;
  EXPECT_EQ(readDibBytes(record, dib), E_FAIL);  // the shifted row needs one byte more
  dib.push_back(0);
  ASSERT_EQ(readDibBytes(record, dib), S_OK);
  EXPECT_EQ(record.image.format, uint32_t(D3DFMT_X8R8G8B8));
  EXPECT_EQ(record.image.pixels, dib.data() + 53);
  layout.height = 0;  // no rows, but the pixels still may not start past the data
  layout.pixels.clear();
  EXPECT_EQ(readDibBytes(record, makeDib(layout)), E_FAIL);
}

TEST(ReadDib, ColourCountsAbove256KeepTheirTableButFillOnly256Entries) {
  BitmapLayout layout = paletted(8, 1, 1, {7, 0, 0, 0});
  layout.coloursUsed = 300;
  layout.colourTable.resize(300 * 4, 0x33);
  DecodedRecord record;
  ASSERT_EQ(readDibBytes(record, makeDib(layout)), S_OK);
  EXPECT_EQ(record.image.pixels[0], 7);
  EXPECT_EQ(record.image.palette[4 * 255], 0x33);
  EXPECT_EQ(record.image.palette[4 * 255 + 3], 255);
  layout.coloursUsed = 0xFFFFFFFF;  // a table far beyond the data
  EXPECT_EQ(readDibBytes(record, makeDib(layout)), E_FAIL);
}

TEST(ReadDib, SizesBeyondThirtyOneBitsOrNegativeWidthsAreRejected) {
  struct Case { int32_t width, height; uint16_t bitCount; uint32_t compression; };
  for (const Case c : {Case{-1, 1, 32, 0}, Case{0x7FFFFFFF, 1, 32, 0}, Case{0x40000000, 2, 8, 1},
                       Case{65536, 65536, 8, 1}, Case{1, int32_t(0x80000000), 8, 1}}) {
    BitmapLayout layout;
    layout.bitCount = c.bitCount;
    layout.compression = c.compression;
    layout.width = c.width;
    layout.height = c.height;
    layout.pixels = {0, 1, 0, 0};
    DecodedRecord record;
    EXPECT_EQ(readDibBytes(record, makeDib(layout)), E_FAIL) << c.width << "x" << c.height;
  }
}

// A run-length bitmap of 4 x 3 palette indices.
std::vector<uint8_t> runLengthDib(uint32_t compression, int32_t height, std::vector<uint8_t> stream) {
  BitmapLayout layout = paletted(compression == 1 ? 8 : 4, 4, height, std::move(stream));
  layout.compression = compression;
  return makeDib(layout);
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

namespace {

TEST(ReadDib, AHeightOfMinus2To31IsRefusedEvenWithoutPixels) {
  // Width 0 makes every row empty, so no byte count gives the height away; read as top row
  // first it would be 2^31 rows pointing into the caller's data.
  for (const uint16_t bitCount : {8, 24, 32}) {
    BitmapLayout layout;
    layout.bitCount = bitCount;
    layout.width = 0;
    layout.height = int32_t(0x80000000);
    layout.colourTable.assign(bitCount == 8 ? 1024 : 0, 0);
    for (const bool decodePixels : {true, false}) {
      DecodedRecord record;
      record.image.decodePixels = decodePixels ? 1 : 0;
      EXPECT_EQ(readBmpBytes(record, makeBmp(layout)), E_FAIL) << bitCount << " " << decodePixels;
      EXPECT_EQ(record.image.pixels, nullptr);
    }
  }
  BitmapLayout tallest;
  tallest.width = 0;
  tallest.height = -0x7FFFFFFF;
  DecodedRecord record;
  EXPECT_EQ(readBmpBytes(record, makeBmp(tallest)), S_OK);
  EXPECT_EQ(record.image.height, 0x7FFFFFFFu);
}

TEST(ReadDibRunLength, EachCodeIsTakenOnlyWithItsOwnPixelSize) {
  // Compression 1 codes bytes (8-bit indices), compression 2 nibbles (4-bit ones).
  struct Case { uint32_t compression; uint16_t bitCount; HRESULT expected; };
  for (const Case c : {Case{1, 8, S_OK}, Case{2, 4, S_OK}, Case{1, 4, E_FAIL}, Case{2, 8, E_FAIL},
                       Case{1, 1, E_FAIL}, Case{2, 1, E_FAIL}, Case{1, 24, E_FAIL}, Case{2, 16, E_FAIL}}) {
    BitmapLayout layout = paletted(c.bitCount, 4, 2, {0, 1});
    layout.compression = c.compression;
    DecodedRecord record;
    EXPECT_EQ(readDibBytes(record, makeDib(layout)), c.expected) << c.compression << " at " << c.bitCount;
  }
}

TEST(ReadDibRunLength, AShortStreamMayNotAskForAHugeBuffer) {
  // 70 bytes whose header asks for 16384 x 32768 indices: 512 MiB, while runs of 255 pixels
  // in two bytes could fill it only from 4 MiB of data. An 8192 x 8192 image (64 MiB) is
  // within what any file may cost.
  struct Case { int32_t width, height; HRESULT expected; };
  for (const Case c : {Case{16384, 32768, E_FAIL}, Case{32768, 32768, E_FAIL}, Case{8192, 8192, S_OK}}) {
    BitmapLayout layout = paletted(8, c.width, c.height, {0, 1});
    layout.compression = 1;
    const std::vector<uint8_t> file = makeBmp(layout);
    DecodedRecord record;
    EXPECT_EQ(readBmpBytes(record, file), c.expected) << c.width << "x" << c.height << ", " << file.size() << " bytes";
  }
}

TEST(ReadDib, ThePixelLimitRefusesLargerImagesAndCanBeRaised) {
  BitmapLayout layout;
  layout.width = 6;
  layout.height = 5;
  layout.pixels.assign(6 * 5 * 4, 7);
  const std::vector<uint8_t> file = makeBmp(layout);
  DecodedRecord record;
  kv::setDecodePixelLimit(29);
  EXPECT_EQ(readBmpBytes(record, file), E_FAIL);
  kv::setDecodePixelLimit(30);
  EXPECT_EQ(readBmpBytes(record, file), S_OK);
  kv::setDecodePixelLimit(0);
  EXPECT_EQ(kv::decodePixelLimit(), kv::kDefaultDecodePixelLimit);
}

}  // namespace
