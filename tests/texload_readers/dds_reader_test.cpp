#include "dds_builder.h"

#include <gtest/gtest.h>

namespace kv::test {
namespace {

HRESULT readDdsFile(ScopedImage &out, const Bytes &file) {
  return runReader(readDds, ImageFileFormat::Dds, out, file);
}

TEST(DdsReader, Dxt1WithoutMipCountIsOneLevelPointingIntoTheData) {
  DdsLayout s;
  s.width = s.height = 256;
  Bytes file = ddsFile(s, 32768);
  ScopedImage out;
  ASSERT_EQ(readDdsFile(out, file), S_OK);
  EXPECT_EQ(out->format, static_cast<uint32_t>(D3DFMT_DXT1));
  EXPECT_EQ(out->rowPitch, 512u);
  EXPECT_EQ(out->slicePitch, 32768u);
  EXPECT_EQ(out->pixels, file.data() + 128);
  EXPECT_EQ(out->ownsPixels, 0u);
  EXPECT_EQ(out->nextMip, nullptr);
  EXPECT_EQ(out->resourceType, static_cast<uint32_t>(D3DRTYPE_TEXTURE));

  file.pop_back();
  ScopedImage shortOut;
  EXPECT_EQ(readDdsFile(shortOut, file), E_FAIL);
}

TEST(DdsReader, BlockSizesOfTheSmallestLevels) {
  DdsLayout dxt5;
  dxt5.width = dxt5.height = 1;
  dxt5.fourCc = D3DFMT_DXT5;
  ScopedImage five;
  ASSERT_EQ(readDdsFile(five, ddsFile(dxt5, 16)), S_OK);
  EXPECT_EQ(five->rowPitch, 16u);
  EXPECT_EQ(five->slicePitch, 16u);

  DdsLayout dxt1;
  dxt1.width = dxt1.height = 2;
  ScopedImage one;
  ASSERT_EQ(readDdsFile(one, ddsFile(dxt1, 8)), S_OK);
  EXPECT_EQ(one->slicePitch, 8u);
}

TEST(DdsReader, FourCharacterCodeOverridesTheOtherFlags) {
  DdsLayout s;
  s.pfFlags = 0x45;
  s.bitCount = 32;
  s.masks[0] = 0xFF0000;
  ScopedImage out;
  ASSERT_EQ(readDdsFile(out, ddsFile(s, 8)), S_OK);
  EXPECT_EQ(out->format, static_cast<uint32_t>(D3DFMT_DXT1));
}

TEST(DdsReader, CubeMapNeedsAllSixFacesAndLinksEveryLevel) {
  DdsLayout s;
  s.width = s.height = 8;
  s.mipCount = 3;
  s.caps2 = 0x200 | 0xFC00;
  const size_t faceBytes = 32 + 8 + 8;  // 8x8, 4x4, 2x2 in DXT1 blocks
  Bytes file = ddsFile(s, 6 * faceBytes);
  ScopedImage out;
  ASSERT_EQ(readDdsFile(out, file), S_OK);
  EXPECT_EQ(out->resourceType, static_cast<uint32_t>(D3DRTYPE_CUBETEXTURE));
  int records = 0, faces = 0;
  const uint8_t *expected = file.data() + 128;
  for (DecodedImage *face = &out.image; face; face = face->nextFace, ++faces) {
    uint32_t size = 8;
    for (DecodedImage *level = face; level; level = level->nextMip, ++records, size /= 2) {
      EXPECT_EQ(level->width, size);
      EXPECT_EQ(level->pixels, expected);
      EXPECT_EQ(level->format, static_cast<uint32_t>(D3DFMT_DXT1));
      if (level != face) {
        EXPECT_EQ(level->nextFace, nullptr);
      }
      expected += level->slicePitch;
    }
  }
  EXPECT_EQ(faces, 6);
  EXPECT_EQ(records, 18);

  for (uint32_t missing : {0x400u, 0x800u, 0x1000u, 0x2000u, 0x4000u, 0x8000u}) {
    s.caps2 = 0xFC00 & ~missing;
    ScopedImage fiveFaces;
    EXPECT_EQ(readDdsFile(fiveFaces, ddsFile(s, 6 * faceBytes)), E_FAIL) << missing;
  }
}

TEST(DdsReader, VolumeLevelsHalveEveryAxis) {
  DdsLayout s = uncompressed(0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  s.headerFlags |= 0x800000;
  s.width = s.height = s.depth = 4;
  s.mipCount = 3;
  ScopedImage out;
  Bytes file = ddsFile(s, 292);
  ASSERT_EQ(readDdsFile(out, file), S_OK);
  EXPECT_EQ(out->resourceType, static_cast<uint32_t>(D3DRTYPE_VOLUMETEXTURE));
  EXPECT_EQ(out->format, static_cast<uint32_t>(D3DFMT_A8R8G8B8));
  const DecodedImage *second = out->nextMip;
  ASSERT_NE(second, nullptr);
  ASSERT_NE(second->nextMip, nullptr);
  EXPECT_EQ(out->depth, 4u);
  EXPECT_EQ(out->slicePitch, 64u);
  EXPECT_EQ(second->pixels, file.data() + 128 + 256);
  EXPECT_EQ(second->width, 2u);
  EXPECT_EQ(second->height, 2u);
  EXPECT_EQ(second->depth, 2u);
  EXPECT_EQ(second->nextMip->depth, 1u);
  EXPECT_EQ(second->nextMip->pixels, file.data() + 128 + 288);

  ScopedImage shortOut;
  EXPECT_EQ(readDdsFile(shortOut, ddsFile(s, 291)), E_FAIL);
}

TEST(DdsReader, FieldsComparedDependOnTheFlags) {
  struct Case {
    DdsLayout layout;
    uint32_t format;
  } cases[] = {
      // Luminance: the bit count is not compared, the first mask is.
      {uncompressed(0x20000, 99, 0xFF, 0, 0, 0), D3DFMT_L8},
      // The two 10-bit layouts differ only in their masks.
      {uncompressed(0x41, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000), D3DFMT_A2R10G10B10},
      {uncompressed(0x41, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000), D3DFMT_A2B10G10R10},
      {uncompressed(0x40, 32, 0xFFFF, 0xFFFF0000, 0, 0), D3DFMT_G16R16},
      {uncompressed(0x80000, 32, 0xFFFF, 0xFFFF0000, 0, 0), D3DFMT_V16U16},
      {uncompressed(0x400, 16, 0, 0xFFFF, 0, 0), D3DFMT_D16_LOCKABLE},
      // RGB without alpha ignores the alpha mask.
      {uncompressed(0x40, 32, 0xFF0000, 0xFF00, 0xFF, 0x12345678), D3DFMT_X8R8G8B8},
  };
  for (const Case &c : cases) {
    ScopedImage out;
    ASSERT_EQ(readDdsFile(out, ddsFile(c.layout, 4 * 4 * 4)), S_OK) << c.format;
    EXPECT_EQ(out->format, c.format);
  }
  // Numbered codes: the format number stands in the code field.
  DdsLayout half;
  half.fourCc = D3DFMT_A16B16G16R16F;
  ScopedImage out;
  ASSERT_EQ(readDdsFile(out, ddsFile(half, 128)), S_OK);
  EXPECT_EQ(out->format, static_cast<uint32_t>(D3DFMT_A16B16G16R16F));
  EXPECT_EQ(out->rowPitch, 32u);
}

TEST(DdsReader, UnknownOrMalformedPixelFormatsAreRefused) {
  DdsLayout badSize;
  badSize.pfSize = 24;
  DdsLayout badCode;
  badCode.fourCc = MAKEFOURCC('A', 'T', 'I', '1');
  DdsLayout rgb64 = uncompressed(0x40, 64, 0xFF0000, 0xFF00, 0xFF, 0);
  DdsLayout bgr24 = uncompressed(0x40, 24, 0xFF, 0xFF00, 0xFF0000, 0);
  for (const DdsLayout &s : {badSize, badCode, rgb64, bgr24}) {
    ScopedImage out;
    EXPECT_EQ(readDdsFile(out, ddsFile(s, 4096)), E_FAIL);
  }
}

TEST(DdsReader, PaletteFollowsTheHeader) {
  DdsLayout s = uncompressed(0x20, 8, 0, 0, 0, 0);
  ScopedImage out;
  Bytes file = ddsFile(s, 1024 + 16);
  ASSERT_EQ(readDdsFile(out, file), S_OK);
  EXPECT_EQ(out->format, static_cast<uint32_t>(D3DFMT_P8));
  EXPECT_EQ(out->palette, file.data() + 128);
  EXPECT_EQ(out->ownsPalette, 0u);
  EXPECT_EQ(out->pixels, file.data() + 128 + 1024);

  ScopedImage noPalette;
  EXPECT_EQ(readDdsFile(noPalette, ddsFile(s, 1023)), E_FAIL);
}

TEST(DdsReader, PackedYuvRowsRoundWidthToPairs) {
  DdsLayout s;
  s.width = 3;
  s.height = 2;
  s.fourCc = D3DFMT_YUY2;
  ScopedImage out;
  ASSERT_EQ(readDdsFile(out, ddsFile(s, 16)), S_OK);
  EXPECT_EQ(out->rowPitch, 8u);
  EXPECT_EQ(out->slicePitch, 16u);

  DdsLayout rgb = uncompressed(0x40, 24, 0xFF0000, 0xFF00, 0xFF, 0);
  rgb.width = 3;
  rgb.height = 1;
  ScopedImage packed;
  ASSERT_EQ(readDdsFile(packed, ddsFile(rgb, 9)), S_OK);
  EXPECT_EQ(packed->rowPitch, 9u);
}

TEST(DdsReader, HeaderSizesThatCannotBeBackedByDataAreRefused) {
  DdsLayout huge = uncompressed(0x40, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  huge.width = huge.height = 0xFFFFFFFF;
  DdsLayout manyLevels;
  manyLevels.width = manyLevels.height = 1;
  manyLevels.mipCount = 0xFFFFFFFF;
  DdsLayout emptyWidth;
  emptyWidth.width = 0;
  emptyWidth.mipCount = 0xFFFFFFFF;
  DdsLayout deepVolume = huge;
  deepVolume.width = deepVolume.height = 1;
  deepVolume.headerFlags |= 0x800000;
  deepVolume.depth = 0xFFFFFFFF;
  // 2^31 pixels of 16 bytes a row, 2^29 rows: 2^64 bytes, which must not wrap to 0.
  DdsLayout wrapping;
  wrapping.fourCc = D3DFMT_A32B32G32R32F;
  wrapping.width = 0x80000000u;
  wrapping.height = 0x20000000u;
  for (const DdsLayout &s : {huge, manyLevels, emptyWidth, deepVolume, wrapping}) {
    ScopedImage out;
    EXPECT_EQ(readDdsFile(out, ddsFile(s, 64)), E_FAIL);
  }
  for (uint32_t size : {0u, 3u, 4u, 127u}) {
    Bytes file = ddsFile(DdsLayout{}, 0);
    file.resize(size);
    ScopedImage out;
    EXPECT_EQ(readDdsFile(out, file), E_FAIL) << size;
  }
}

// The pixel limit counts every slice of a volume: with a limit of 16 x 16 x 4 pixels, a
// volume of four 16 x 16 slices is read and one of five refused, though each slice fits.
TEST(DdsReader, ThePixelLimitCountsEverySliceOfAVolume) {
  DdsLayout volume = uncompressed(0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  volume.headerFlags |= 0x800000;
  volume.width = volume.height = 16;
  const PixelLimit limit(16 * 16 * 4);
  volume.depth = 4;
  ScopedImage fits;
  EXPECT_EQ(readDdsFile(fits, ddsFile(volume, 16 * 16 * 4 * 4)), S_OK);
  volume.depth = 5;
  ScopedImage tooMany;
  EXPECT_EQ(readDdsFile(tooMany, ddsFile(volume, 16 * 16 * 5 * 4)), E_FAIL);
}

}  // namespace
}  // namespace kv::test
