#include <set>

#include "codec_test_support.h"
#include "pixel/formats/private_formats.h"

namespace kv {
namespace {

using test::fourCc;

TEST(FormatTable, HasFiftySevenDistinctRowsStartingWithR8G8B8AndEndingWithThePrivateFormats) {
  const PixelFormatInfo *table = pixelFormatTable();
  std::set<uint32_t> formats;
  for (uint32_t i = 0; i < kPixelFormatCount; ++i) formats.insert(table[i].format);
  EXPECT_EQ(formats.size(), 57u);
  EXPECT_EQ(table[0].format, static_cast<uint32_t>(D3DFMT_R8G8B8));
  EXPECT_EQ(table[5].format, static_cast<uint32_t>(D3DFMT_A8P8));  // palettes come before A1R5G5B5
  EXPECT_EQ(table[55].format, FMT_A16L16);
  EXPECT_EQ(table[56].format, FMT_R16G16B16);
}

TEST(FormatTable, FourCharacterCodesAreLittleEndian) {
  EXPECT_EQ(fourCc("DXT1"), 0x31545844u);
  EXPECT_EQ(FMT_A16L16, fourCc("AL16"));
  EXPECT_EQ(FMT_R16G16B16, fourCc(" R16"));
  EXPECT_EQ(lookupFormatInfo(fourCc("DXT4")).alphaBits, 8u);
  EXPECT_EQ(lookupFormatInfo(fourCc("YUY2")).bitsPerPixel, 16u);
}

TEST(FormatTable, UnknownFormatGetsTheThirtyTwoBitRgbRow) {
  const PixelFormatInfo &unknown = lookupFormatInfo(0x12345678);
  EXPECT_EQ(unknown.format, 0u);
  EXPECT_EQ(unknown.formatClass, FormatClass::Rgb);
  EXPECT_EQ(unknown.bitsPerPixel, 32u);
  EXPECT_EQ(unknown.alphaBits, 8u);
  EXPECT_EQ(unknown.redBits, 8u);
  EXPECT_EQ(unknown.candidate, 0u);
  EXPECT_EQ(&lookupFormatInfo(D3DFMT_UNKNOWN), &unknown);
}

TEST(FormatTable, ClassCompatibilityAllowsOnlyTheListedSubstitutes) {
  const FormatClass all[] = {FormatClass::Rgb, FormatClass::Palette, FormatClass::Luminance, FormatClass::Signed,
                             FormatClass::DepthStencil};
  int allowed = 0;
  for (FormatClass wanted : all)
    for (FormatClass candidate : all) allowed += formatClassesCompatible(wanted, candidate);
  EXPECT_EQ(allowed, 7);
  EXPECT_TRUE(formatClassesCompatible(FormatClass::Palette, FormatClass::Rgb));
  EXPECT_TRUE(formatClassesCompatible(FormatClass::Luminance, FormatClass::Rgb));
  EXPECT_FALSE(formatClassesCompatible(FormatClass::Rgb, FormatClass::Luminance));
  EXPECT_FALSE(formatClassesCompatible(FormatClass::Signed, FormatClass::Rgb));
  EXPECT_FALSE(formatClassesCompatible(static_cast<FormatClass>(9), FormatClass::Rgb));
}

TEST(FormatTable, CodecsExistForEveryConvertibleRowAndNoDepthFormatButTheLockableOnes) {
  for (uint32_t i = 0; i < kPixelFormatCount; ++i) {
    const PixelFormatInfo &row = pixelFormatTable()[i];
    const bool depth = row.formatClass == FormatClass::DepthStencil;
    const bool lockableDepth = row.format == D3DFMT_D16_LOCKABLE || row.format == D3DFMT_D32F_LOCKABLE;
    EXPECT_EQ(hasPixelCodec(row.format), !depth || lockableDepth) << "format " << row.format;
  }
  EXPECT_FALSE(hasPixelCodec(0x12345678));
  std::unique_ptr<PixelCodec> codec;
  PixelBox box;
  box.format = D3DFMT_D24S8;
  EXPECT_EQ(createPixelCodec(box, codec), E_FAIL);
  EXPECT_EQ(codec, nullptr);
}

}  // namespace
}  // namespace kv
