#include <iterator>
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

// Every row of the table, field by field, in table order, as the formats are defined
// (bits per pixel, channel widths, signed formats' W/V/U, depth formats' stencil/depth bits,
// the substitute candidates).
TEST(FormatTable, EveryRowHoldsItsFormatsDefinition) {
  const PixelFormatInfo want[] = {
      {20, FormatClass::Rgb, 24, 0, 0, 8, 8, 8, 0},  // D3DFMT_R8G8B8
      {21, FormatClass::Rgb, 32, 0, 8, 8, 8, 8, 1},  // D3DFMT_A8R8G8B8
      {22, FormatClass::Rgb, 32, 0, 0, 8, 8, 8, 1},  // D3DFMT_X8R8G8B8
      {23, FormatClass::Rgb, 16, 0, 0, 5, 6, 5, 1},  // D3DFMT_R5G6B5
      {24, FormatClass::Rgb, 16, 0, 0, 5, 5, 5, 1},  // D3DFMT_X1R5G5B5
      {40, FormatClass::Palette, 16, 0, 8, 8, 8, 8, 1},  // D3DFMT_A8P8
      {41, FormatClass::Palette, 8, 0, 8, 8, 8, 8, 1},  // D3DFMT_P8
      {25, FormatClass::Rgb, 16, 0, 1, 5, 5, 5, 1},  // D3DFMT_A1R5G5B5
      {26, FormatClass::Rgb, 16, 0, 4, 4, 4, 4, 1},  // D3DFMT_A4R4G4B4
      {27, FormatClass::Rgb, 8, 0, 0, 3, 3, 2, 1},  // D3DFMT_R3G3B2
      {28, FormatClass::Rgb, 8, 0, 8, 0, 0, 0, 1},  // D3DFMT_A8
      {29, FormatClass::Rgb, 16, 0, 8, 3, 3, 2, 1},  // D3DFMT_A8R3G3B2
      {30, FormatClass::Rgb, 16, 0, 0, 4, 4, 4, 1},  // D3DFMT_X4R4G4B4
      {31, FormatClass::Rgb, 32, 0, 2, 10, 10, 10, 1},  // D3DFMT_A2B10G10R10
      {32, FormatClass::Rgb, 32, 0, 8, 8, 8, 8, 1},  // D3DFMT_A8B8G8R8
      {33, FormatClass::Rgb, 32, 0, 0, 8, 8, 8, 1},  // D3DFMT_X8B8G8R8
      {34, FormatClass::Rgb, 32, 0, 0, 16, 16, 0, 1},  // D3DFMT_G16R16
      {35, FormatClass::Rgb, 32, 0, 2, 10, 10, 10, 1},  // D3DFMT_A2R10G10B10
      {36, FormatClass::Rgb, 64, 0, 16, 16, 16, 16, 1},  // D3DFMT_A16B16G16R16
      {50, FormatClass::Luminance, 8, 0, 0, 8, 8, 8, 1},  // D3DFMT_L8
      {51, FormatClass::Luminance, 16, 0, 8, 8, 8, 8, 1},  // D3DFMT_A8L8
      {52, FormatClass::Luminance, 8, 0, 4, 4, 4, 4, 1},  // D3DFMT_A4L4
      {81, FormatClass::Luminance, 16, 0, 0, 16, 16, 16, 1},  // D3DFMT_L16
      {60, FormatClass::Signed, 16, 0, 0, 0, 8, 8, 1},  // D3DFMT_V8U8
      {61, FormatClass::Signed, 16, 6, 0, 0, 5, 5, 1},  // D3DFMT_L6V5U5
      {62, FormatClass::Signed, 32, 8, 0, 0, 8, 8, 1},  // D3DFMT_X8L8V8U8
      {63, FormatClass::Signed, 32, 0, 8, 8, 8, 8, 1},  // D3DFMT_Q8W8V8U8
      {64, FormatClass::Signed, 32, 0, 0, 0, 16, 16, 1},  // D3DFMT_V16U16
      {67, FormatClass::Signed, 32, 2, 0, 10, 10, 10, 1},  // D3DFMT_A2W10V10U10
      {110, FormatClass::Signed, 64, 0, 16, 16, 16, 16, 1},  // D3DFMT_Q16W16V16U16
      {117, FormatClass::Signed, 16, 8, 0, 0, 8, 8, 0},  // D3DFMT_CxV8U8
      {test::fourCc("UYVY"), FormatClass::Rgb, 16, 0, 0, 8, 8, 8, 0},  // D3DFMT_UYVY
      {test::fourCc("RGBG"), FormatClass::Rgb, 16, 0, 0, 8, 8, 8, 0},  // D3DFMT_R8G8_B8G8
      {test::fourCc("YUY2"), FormatClass::Rgb, 16, 0, 0, 8, 8, 8, 0},  // D3DFMT_YUY2
      {test::fourCc("GRGB"), FormatClass::Rgb, 16, 0, 0, 8, 8, 8, 0},  // D3DFMT_G8R8_G8B8
      {test::fourCc("DXT1"), FormatClass::Rgb, 16, 0, 1, 5, 6, 5, 0},  // D3DFMT_DXT1
      {test::fourCc("DXT2"), FormatClass::Rgb, 16, 0, 4, 5, 6, 5, 0},  // D3DFMT_DXT2
      {test::fourCc("DXT3"), FormatClass::Rgb, 16, 0, 4, 5, 6, 5, 0},  // D3DFMT_DXT3
      {test::fourCc("DXT4"), FormatClass::Rgb, 16, 0, 8, 5, 6, 5, 0},  // D3DFMT_DXT4
      {test::fourCc("DXT5"), FormatClass::Rgb, 16, 0, 8, 5, 6, 5, 0},  // D3DFMT_DXT5
      {70, FormatClass::DepthStencil, 16, 1, 0, 0, 0, 16, 1},  // D3DFMT_D16_LOCKABLE
      {82, FormatClass::DepthStencil, 32, 1, 0, 0, 0, 32, 0},  // D3DFMT_D32F_LOCKABLE
      {71, FormatClass::DepthStencil, 32, 0, 0, 0, 0, 32, 1},  // D3DFMT_D32
      {73, FormatClass::DepthStencil, 16, 0, 0, 0, 1, 15, 1},  // D3DFMT_D15S1
      {75, FormatClass::DepthStencil, 32, 0, 0, 0, 8, 24, 1},  // D3DFMT_D24S8
      {80, FormatClass::DepthStencil, 16, 0, 0, 0, 0, 16, 1},  // D3DFMT_D16
      {77, FormatClass::DepthStencil, 32, 0, 0, 0, 0, 24, 1},  // D3DFMT_D24X8
      {79, FormatClass::DepthStencil, 32, 0, 0, 0, 4, 24, 1},  // D3DFMT_D24X4S4
      {83, FormatClass::DepthStencil, 32, 0, 0, 0, 8, 24, 0},  // D3DFMT_D24FS8
      {111, FormatClass::Rgb, 16, 0, 0, 16, 0, 0, 0},  // D3DFMT_R16F
      {112, FormatClass::Rgb, 32, 0, 0, 16, 16, 0, 0},  // D3DFMT_G16R16F
      {113, FormatClass::Rgb, 64, 0, 16, 16, 16, 16, 0},  // D3DFMT_A16B16G16R16F
      {114, FormatClass::Rgb, 32, 0, 0, 32, 0, 0, 0},  // D3DFMT_R32F
      {115, FormatClass::Rgb, 64, 0, 0, 32, 32, 0, 0},  // D3DFMT_G32R32F
      {116, FormatClass::Rgb, 128, 0, 32, 32, 32, 32, 0},  // D3DFMT_A32B32G32R32F
      {test::fourCc("AL16"), FormatClass::Luminance, 32, 0, 16, 16, 16, 16, 0},  // FMT_A16L16
      {test::fourCc(" R16"), FormatClass::Rgb, 48, 0, 0, 16, 16, 16, 0},  // FMT_R16G16B16
  };
  static_assert(std::size(want) == kPixelFormatCount);
  const PixelFormatInfo *table = pixelFormatTable();
  for (uint32_t i = 0; i < kPixelFormatCount; ++i) {
    const PixelFormatInfo &row = table[i], &w = want[i];
    EXPECT_EQ(row.format, w.format) << "row " << i;
    EXPECT_EQ(row.formatClass, w.formatClass) << "row " << i;
    EXPECT_EQ(row.bitsPerPixel, w.bitsPerPixel) << "row " << i;
    EXPECT_EQ(row.extraBits, w.extraBits) << "row " << i;
    EXPECT_EQ(row.alphaBits, w.alphaBits) << "row " << i;
    EXPECT_EQ(row.redBits, w.redBits) << "row " << i;
    EXPECT_EQ(row.greenBits, w.greenBits) << "row " << i;
    EXPECT_EQ(row.blueBits, w.blueBits) << "row " << i;
    EXPECT_EQ(row.candidate, w.candidate) << "row " << i;
    EXPECT_EQ(&lookupFormatInfo(w.format), &row) << "row " << i;
  }
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
