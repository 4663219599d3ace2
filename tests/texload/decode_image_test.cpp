// decodeImage: the readers' order, what is left after failures, the caller's ImageInfo and
// boxes, and the numeric locale around the readers.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap_builder.h"
#include "scene/texture_loading.h"
#include "support/comma_locale.h"
#include "texload/decode_image.h"

namespace {

using kvtest::DecodedRecord;

std::vector<uint8_t> libraryTexture(uint32_t width, uint32_t height, uint32_t fourthByte) {
  std::vector<uint32_t> pixels(width * height, 0x00336699);
  pixels.back() |= fourthByte << 24;
  size_t size = 0;
  auto file = kv::buildBmpImage(pixels.data(), int(width), int(height), &size);
  return {file.get(), file.get() + size};
}

TEST(DecodeImage, NullDataOrZeroSizeIsAnInvalidCall) {
  DecodedRecord record;
  kv::ImageInfo info;
  const uint8_t byte = 0;
  EXPECT_EQ(kv::decodeImage(record.image, nullptr, 10, &info, TRUE), D3DERR_INVALIDCALL);
  EXPECT_EQ(kv::decodeImage(record.image, &byte, 0, &info, TRUE), D3DERR_INVALIDCALL);
}

TEST(DecodeImage, WithoutInfoOrPixelsNothingIsExamined) {
  DecodedRecord record;
  const char garbage[] = "not an image at all";
  EXPECT_EQ(kv::decodeImage(record.image, garbage, sizeof garbage, nullptr, FALSE), S_OK);
  EXPECT_EQ(record.image.format, 0u);
}

TEST(DecodeImage, ZeroBytesOfAnyLengthAreRejectedByEveryReader) {
  for (uint32_t size : {1u, 4u, 14u, 54u, 4096u}) {
    const std::vector<uint8_t> zeros(size, 0);
    DecodedRecord record;
    kv::ImageInfo info;
    EXPECT_EQ(kv::decodeImage(record.image, zeros.data(), size, &info, TRUE), kv::ERR_INVALIDDATA);
    EXPECT_EQ(record.image.pixels, nullptr);
    EXPECT_EQ(record.image.palette, nullptr);
    EXPECT_EQ(record.image.ownsPixels + record.image.ownsPalette, 0u);
  }
}

TEST(DecodeImage, BitmapFileIsTakenFirstAndItsInfoHeaderAloneLast) {
  for (uint32_t fourthByte : {0u, 0xFFu}) {
    const auto file = libraryTexture(5, 3, fourthByte);
    const auto expectedFormat = fourthByte ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    DecodedRecord bmp;
    kv::ImageInfo info;
    ASSERT_EQ(kv::decodeImage(bmp.image, file.data(), uint32_t(file.size()), &info, TRUE), S_OK);
    EXPECT_EQ(info.width, 5u);
    EXPECT_EQ(info.height, 3u);
    EXPECT_EQ(info.depth, 1u);
    EXPECT_EQ(info.mipLevels, 1u);
    EXPECT_EQ(info.format, expectedFormat);
    EXPECT_EQ(info.resourceType, D3DRTYPE_TEXTURE);
    EXPECT_EQ(info.fileFormat, kv::ImageFileFormat::Bmp);
    const uint32_t box[6] = {0, 0, 5, 3, 0, 1};
    EXPECT_EQ(std::memcmp(bmp.image.box, box, sizeof box), 0);

    DecodedRecord dib;
    ASSERT_EQ(kv::decodeImage(dib.image, file.data() + 14, uint32_t(file.size() - 14), &info, TRUE), S_OK);
    EXPECT_EQ(info.fileFormat, kv::ImageFileFormat::Dib);
    EXPECT_EQ(dib.image.fileFormat, kv::ImageFileFormat::Dib);
    EXPECT_EQ(info.format, expectedFormat);
  }
}

TEST(DecodeImage, HeaderOnlyDecodeFillsTheSameInfoWithoutPixels) {
  const auto file = libraryTexture(4, 2, 1);
  DecodedRecord record;
  kv::ImageInfo info;
  ASSERT_EQ(kv::decodeImage(record.image, file.data(), uint32_t(file.size()), &info, FALSE), S_OK);
  EXPECT_EQ(record.image.pixels, nullptr);
  EXPECT_EQ(info.format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(info.width, 4u);
  EXPECT_EQ(record.image.box[2], 4u);
}

TEST(DecodeImage, AReaderThatFailsAfterAllocatingLeavesNothingBehind) {
  // A run-length bitmap whose stream stops short: the reader has made its palette and its
  // pixel buffer when it gives up, and the dispatcher must free both.
  kvtest::BitmapLayout layout;
  layout.bitCount = 8;
  layout.compression = 1;
  layout.width = 4;
  layout.height = 4;
  layout.coloursUsed = 1;
  layout.colourTable = {1, 2, 3, 0};
  layout.pixels = {4, 1, 0, 0};
  const auto file = kvtest::makeBmp(layout);
  DecodedRecord record;
  kv::ImageInfo info;
  EXPECT_EQ(kv::decodeImage(record.image, file.data(), uint32_t(file.size()), &info, TRUE), kv::ERR_INVALIDDATA);
  EXPECT_EQ(record.image.pixels, nullptr);
  EXPECT_EQ(record.image.palette, nullptr);
  EXPECT_EQ(record.image.ownsPixels + record.image.ownsPalette, 0u);
}

std::string numericLocale() { return std::setlocale(LC_NUMERIC, nullptr); }

using DecodeImageWithCommaLocale = kvtest::CommaLocaleTest;

TEST_F(DecodeImageWithCommaLocale, PutsTheLocaleBackOnEveryPath) {
  const auto good = libraryTexture(2, 2, 0);
  const std::vector<uint8_t> bad(64, 0);
  for (const auto *file : {&good, &bad}) {
    DecodedRecord record;
    kv::ImageInfo info;
    kv::decodeImage(record.image, file->data(), uint32_t(file->size()), &info, TRUE);
    EXPECT_EQ(numericLocale(), active_);
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 1.5);
    EXPECT_STREQ(text, "1,5");
  }
}

}  // namespace
