// The five readers seen through decodeImage: their place in the order, what ImageInfo
// reports for them, and the numeric locale the two text-headed ones rely on.
#include "dds_builder.h"
#include "support/comma_locale.h"
#include "texload/decode_image.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace kv::test {
namespace {

HRESULT decode(ScopedImage &out, const Bytes &file, ImageInfo &info) {
  return decodeImage(out.image, file.data(), static_cast<uint32_t>(file.size()), &info, TRUE);
}

TEST(ReaderDispatch, CubeMapWithNineLevelsHasABoxOnEveryRecord) {
  DdsLayout s = uncompressed(0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  s.width = s.height = 256;
  s.mipCount = 9;
  s.caps2 = 0xFE00;
  size_t faceBytes = 0;
  for (uint32_t size = 256; size >= 1; size /= 2) faceBytes += size * size * 4;
  ScopedImage out;
  ImageInfo info;
  ASSERT_EQ(decode(out, ddsFile(s, 6 * faceBytes), info), S_OK);
  EXPECT_EQ(info.mipLevels, 9u);
  EXPECT_EQ(info.resourceType, D3DRTYPE_CUBETEXTURE);
  EXPECT_EQ(info.fileFormat, ImageFileFormat::Dds);
  int records = 0;
  for (DecodedImage *face = &out.image; face; face = face->nextFace) {
    for (DecodedImage *level = face; level; level = level->nextMip, ++records) {
      const uint32_t whole[6] = {0, 0, level->width, level->height, 0, level->depth};
      EXPECT_TRUE(std::equal(whole, whole + 6, level->box)) << records;
    }
  }
  EXPECT_EQ(records, 54);
}

TEST(ReaderDispatch, VolumeReportsItsDepth) {
  DdsLayout s = uncompressed(0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  s.headerFlags |= 0x800000;
  s.width = s.height = s.depth = 4;
  s.mipCount = 3;
  ScopedImage out;
  ImageInfo info;
  ASSERT_EQ(decode(out, ddsFile(s, 292), info), S_OK);
  EXPECT_EQ(info.resourceType, D3DRTYPE_VOLUMETEXTURE);
  EXPECT_EQ(info.depth, 4u);
  EXPECT_EQ(info.mipLevels, 3u);
}

TEST(ReaderDispatch, PixmapThatFailsAfterAllocatingLeavesNothingBehind) {
  // The pixel buffer is taken at the height; the data then ends two pixels short.
  Bytes file;
  append(file, "P6 2 2 255\n");
  append(file, {1, 2, 3, 4, 5, 6});
  ScopedImage out;
  ImageInfo info;
  EXPECT_EQ(decode(out, file, info), ERR_INVALIDDATA);
  EXPECT_EQ(out->pixels, nullptr);
  EXPECT_EQ(out->ownsPixels, 0u);
}

TEST(ReaderDispatch, TgaIsFoundByItsHeaderAlone) {
  const Bytes file = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 8, 0x20, 7, 9};
  ScopedImage out;
  ImageInfo info;
  ASSERT_EQ(decode(out, file, info), S_OK);
  EXPECT_EQ(info.fileFormat, ImageFileFormat::Tga);
  EXPECT_EQ(info.format, D3DFMT_L8);
  EXPECT_EQ(out->pixels, file.data() + 18);
}

using CommaLocale = kvtest::CommaLocaleTest;

TEST_F(CommaLocale, FloatMapScaleWithADecimalPointStillReads) {
  Bytes file;
  append(file, "Pf\n1 1\n-1.0\n");
  appendFloat(file, 0.75f, false);
  ScopedImage out;
  ImageInfo info;
  ASSERT_EQ(decode(out, file, info), S_OK);
  EXPECT_EQ(info.fileFormat, ImageFileFormat::Pfm);
  EXPECT_EQ(floatAt(out.image, 0, 0, 0), 0.75f);
  EXPECT_EQ(std::string(std::setlocale(LC_NUMERIC, nullptr)), active_);
}

TEST_F(CommaLocale, RadianceExposureWithADecimalPointStillReads) {
  Bytes file;
  append(file, "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\nEXPOSURE=0.5\n\n-Y 1 +X 1\n");
  append(file, {128, 64, 0, 129});
  ScopedImage out;
  ImageInfo info;
  ASSERT_EQ(decode(out, file, info), S_OK);
  EXPECT_EQ(info.fileFormat, ImageFileFormat::Hdr);
  EXPECT_EQ(floatAt(out.image, 0, 0, 0), 2.0078125f);
  EXPECT_EQ(std::string(std::setlocale(LC_NUMERIC, nullptr)), active_);
}

}  // namespace
}  // namespace kv::test
