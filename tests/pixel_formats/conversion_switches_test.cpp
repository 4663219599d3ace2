// Colour key, gamma, range conversion, ordered dithering and error diffusion: each changes
// what it must and nothing else.
#include <cmath>
#include <numeric>

#include "codec_test_support.h"

namespace kv {
namespace {

using test::FloatRow;
using test::makeCodec;
using test::Surface;

uint32_t word32(Surface &s, uint32_t x, uint32_t y = 0) {
  uint32_t w;
  std::memcpy(&w, s.row(y) + 4 * x, 4);
  return w;
}

void putWord32(Surface &s, uint32_t x, uint32_t w, uint32_t y = 0) { std::memcpy(s.row(y) + 4 * x, &w, 4); }

TEST(ColorKey, PixelsEqualToTheKeyReadAsTransparentBlackAndOthersAreUntouched) {
  Surface surface(D3DFMT_A8R8G8B8, 3, 1, 12);
  putWord32(surface, 0, 0xFF102030);
  putWord32(surface, 1, 0xFE102030);
  putWord32(surface, 2, 0xFF102031);
  PixelBox box = surface.box();
  box.colorKey = 0xFF102030;
  auto codec = makeCodec(box);
  float row[12];
  codec->readRow(0, 0, row);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(row[c], 0.0f);
  EXPECT_EQ(row[7], 254 * (1.0f / 255));
  EXPECT_EQ(row[10], 0x31 * (1.0f / 255));
}

TEST(ColorKey, KeyZeroMeansNoKey) {
  Surface surface(D3DFMT_X8R8G8B8, 1, 1, 4);
  PixelBox box = surface.box();
  box.colorKey = 0;
  auto codec = makeCodec(box);
  EXPECT_FALSE(codec->hasColorKey());
  float row[4];
  codec->readRow(0, 0, row);
  EXPECT_EQ(row[3], 1.0f);
}

TEST(ColorKey, KeyIsComparedAtTheFormatsPrecision) {
  // 0x102030 in 5:6:5 is (2, 8, 6); the key's alpha is irrelevant to an opaque format.
  Surface surface(D3DFMT_R5G6B5, 2, 1, 4);
  const uint16_t keyed = (2u << 11) | (8u << 5) | 6u, other = (2u << 11) | (8u << 5) | 7u;
  std::memcpy(surface.row(0), &keyed, 2);
  std::memcpy(surface.row(0) + 2, &other, 2);
  PixelBox box = surface.box();
  box.colorKey = 0x00102030;
  auto codec = makeCodec(box);
  EXPECT_EQ(codec->colorKeyFloat()[0], 2.0f / 31.0f);
  EXPECT_EQ(codec->colorKeyFloat()[3], 1.0f);
  float row[8];
  codec->readRow(0, 0, row);
  EXPECT_EQ(row[0] + row[1] + row[2] + row[3], 0.0f);
  EXPECT_EQ(row[6], 7.0f / 31.0f);
}

TEST(ColorKey, GammaEncodedBoxStillMatchesTheStoredKey) {
  Surface surface(D3DFMT_X8R8G8B8, 1, 1, 4);
  putWord32(surface, 0, 0x00405060);
  PixelBox box = surface.box();
  box.colorKey = 0xFF405060;
  box.gamma = true;
  auto codec = makeCodec(box);
  float row[4];
  codec->readRow(0, 0, row);
  EXPECT_EQ(row[0] + row[1] + row[2] + row[3], 0.0f);
}

TEST(ColorKey, PreparingTheKeyLeavesNoErrorBehindForTheFirstRow) {
  Surface plain(D3DFMT_R5G6B5, 4, 1, 8), keyed(D3DFMT_R5G6B5, 4, 1, 8);
  PixelBox plainBox = plain.box(), keyedBox = keyed.box();
  plainBox.diffusion = keyedBox.diffusion = true;
  keyedBox.colorKey = 0xFF123456;
  auto a = makeCodec(plainBox), b = makeCodec(keyedBox);
  FloatRow row1 = test::constantRow(4, 0.3f, 0.6f, 0.2f, 1.0f), row2 = row1;
  a->writeRow(0, 0, row1.data());
  b->writeRow(0, 0, row2.data());
  EXPECT_EQ(plain.bytes, keyed.bytes);
}

TEST(Gamma, OneSidedModeUsesThePowerCurveOnColourOnly) {
  Surface surface(D3DFMT_A8R8G8B8, 1, 1, 4);
  putWord32(surface, 0, 0x80FF8040);
  PixelBox box = surface.box();
  box.gamma = true;
  auto codec = makeCodec(box);
  float row[4];
  codec->readRow(0, 0, row);
  EXPECT_EQ(row[0], 1.0f);
  EXPECT_NEAR(row[1], std::pow(128.0 / 255.0, 2.2), 2e-3);
  EXPECT_NEAR(row[2], std::pow(64.0 / 255.0, 2.2), 2e-3);
  EXPECT_EQ(row[3], 128 * (1.0f / 255));  // alpha is linear

  codec->writeRow(0, 0, row);  // encoding undoes decoding
  EXPECT_EQ(word32(surface, 0), 0x80FF8040u);
}

TEST(Gamma, BothEndsEncodedSquareOnReadAndTakeTheRootOnWrite) {
  Surface source(D3DFMT_A8R8G8B8, 1, 1, 4), destination(D3DFMT_X8R8G8B8, 1, 1, 4);
  putWord32(source, 0, 0x80FF8040);
  PixelBox a = source.box(), b = destination.box();
  a.gamma = b.gamma = true;
  auto reader = makeCodec(a), writer = makeCodec(b);
  ASSERT_EQ(connectCodecs(*writer, *reader), S_OK);
  EXPECT_TRUE(reader->bothGamma());
  EXPECT_TRUE(writer->bothGamma());
  float row[4];
  reader->readRow(0, 0, row);
  const float g = 128.0f / 255.0f;
  EXPECT_EQ(row[1], g * g);
  writer->writeRow(0, 0, row);
  EXPECT_EQ(word32(destination, 0), 0x00FF8040u);
}

TEST(Gamma, SignedFormatsHaveNoneExceptTheLuminanceOfL6V5U5) {
  Surface v8u8(D3DFMT_V8U8, 1, 1, 2), l6v5u5(D3DFMT_L6V5U5, 1, 1, 2);
  PixelBox a = v8u8.box(), b = l6v5u5.box();
  a.gamma = b.gamma = true;
  EXPECT_FALSE(makeCodec(a)->gamma());
  auto codec = makeCodec(b);
  ASSERT_TRUE(codec->gamma());
  const uint16_t word = (32u << 10) | (5u << 5) | 5u;
  std::memcpy(l6v5u5.row(0), &word, 2);
  float row[4];
  codec->readRow(0, 0, row);
  EXPECT_EQ(row[0], 5.0f / 15.0f);
  EXPECT_NEAR(row[3], std::pow(32.0 / 63.0, 2.2), 2e-3);
}

TEST(Gamma, FloatingValuesBeyondTheTablesSaturateAtOne) {
  Surface surface(D3DFMT_A32B32G32R32F, 1, 1, 16);
  PixelBox box = surface.box();
  box.gamma = true;
  auto codec = makeCodec(box);
  float row[4] = {4.0f, -2.0f, 1e30f, 0.5f};
  codec->writeRow(0, 0, row);
  codec->readRow(0, 0, row);
  EXPECT_EQ(row[0], 1.0f);
  EXPECT_EQ(row[1], 0.0f);
  EXPECT_EQ(row[2], 1.0f);
  EXPECT_EQ(row[3], 0.5f);
}

struct RangeCase {
  uint32_t sourceFormat, destinationFormat;
  float in[4];
  uint32_t expected;  // destination word
};

TEST(RangeConversion, DestinationConvertsFromTheSourceRange) {
  const RangeCase cases[] = {
      // Unorm to SignedRgb: colour 2x - 1, alpha copied.
      {D3DFMT_A8R8G8B8, D3DFMT_X8L8V8U8, {1.0f, 0.0f, 0.5f, 0.5f}, 0x0080817F},
      // SignedRgb to Unorm: colour (x + 1) / 2, alpha copied.
      {D3DFMT_V8U8, D3DFMT_A8R8G8B8, {-1.0f, 1.0f, 0.0f, 0.25f}, 0x4000FF80},
      // Snorm to Unorm: all four.
      {D3DFMT_Q8W8V8U8, D3DFMT_A8R8G8B8, {-1.0f, 1.0f, 0.0f, -1.0f}, 0x0000FF80},
      // Unorm to Snorm: all four.
      {D3DFMT_A8R8G8B8, D3DFMT_Q8W8V8U8, {1.0f, 0.0f, 0.5f, 0.0f}, 0x8100817F},
      // Snorm to SignedRgb: colour copied, alpha (x + 1) / 2.
      {D3DFMT_Q8W8V8U8, D3DFMT_A2W10V10U10, {-1.0f, 1.0f, 0.0f, -1.0f}, 0x0007FE01},
      // Float to Unorm: clamped.
      {D3DFMT_R32F, D3DFMT_A8R8G8B8, {-3.0f, 7.0f, 0.5f, 2.0f}, 0xFF00FF80},
  };
  for (const RangeCase &c : cases) {
    Surface source(c.sourceFormat, 1, 1, 16), destination(c.destinationFormat, 1, 1, 4);
    auto reader = makeCodec(source.box()), writer = makeCodec(destination.box());
    ASSERT_EQ(connectCodecs(*writer, *reader), S_OK);
    EXPECT_EQ(writer->otherRange(), reader->range());
    float row[4] = {c.in[0], c.in[1], c.in[2], c.in[3]};
    writer->writeRow(0, 0, row);
    EXPECT_EQ(word32(destination, 0), c.expected) << c.sourceFormat << " -> " << c.destinationFormat;
    EXPECT_EQ(row[0], c.in[0]);  // converted in the scratch row, not in the caller's
  }
}

TEST(RangeConversion, SameRangeAndFloatDestinationsConvertNothing) {
  Surface a(D3DFMT_A8R8G8B8, 1, 1, 4), b(D3DFMT_R5G6B5, 1, 1, 2), f(D3DFMT_R32F, 1, 1, 4);
  auto ca = makeCodec(a.box()), cb = makeCodec(b.box()), cf = makeCodec(f.box());
  EXPECT_EQ(connectCodecs(*cb, *ca), S_OK);
  EXPECT_EQ(cb->otherRange(), ValueRange::None);
  EXPECT_EQ(connectCodecs(*cf, *ca), S_OK);
  EXPECT_EQ(cf->otherRange(), ValueRange::None);
}

// Four rows of one 16-bit format, each `colour` throughout, written with ordered dithering.
Surface ditheredRows(uint32_t format, uint32_t width, const float *colour) {
  Surface surface(format, width, 4, width * 2);
  PixelBox box = surface.box();
  box.dither = true;
  auto codec = makeCodec(box);
  for (uint32_t y = 0; y < 4; ++y) {
    FloatRow row = test::constantRow(width, colour[0], colour[1], colour[2], colour[3]);
    codec->writeRow(y, 0, row.data());
  }
  return surface;
}

uint16_t word16(Surface &s, uint32_t x, uint32_t y) {
  uint16_t w;
  std::memcpy(&w, s.row(y) + 2 * x, 2);
  return w;
}

TEST(Dithering, OrderedTableAlternatesGreyInAFourByFourPatternMirroredOnOddRows) {
  const float table[4][4] = {{31, 15, 27, 11}, {7, 23, 3, 19}, {25, 9, 29, 13}, {1, 17, 5, 21}};
  const uint32_t width = 6;
  const float grey[4] = {0.5f, 0.0f, 0.0f, 1.0f};
  Surface surface = ditheredRows(D3DFMT_R5G6B5, width, grey);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t k = y % 2 ? width - 1 - x : x;
      EXPECT_EQ(word16(surface, x, y) >> 11, table[y][k % 4] >= 16 ? 16 : 15) << x << "," << y;
    }
}

TEST(Dithering, ExactlyRepresentableValuesAreLeftAlone) {
  const float levels[4] = {3 / 15.0f, 7 / 15.0f, 15 / 15.0f, 9 / 15.0f};
  Surface surface = ditheredRows(D3DFMT_A4R4G4B4, 8, levels);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 8; ++x) EXPECT_EQ(word16(surface, x, y), 0x937F);
}

double meanLevel(Surface &s) {
  double sum = 0;
  for (uint32_t y = 0; y < s.height; ++y) sum += std::accumulate(s.row(y), s.row(y) + s.width, 0.0);
  return sum / (s.width * s.height);
}

TEST(ErrorDiffusion, KeepsTheAverageOfAValueBetweenLevels) {
  const uint32_t width = 64, height = 16;
  Surface diffused(D3DFMT_L8, width, height, width), rounded(D3DFMT_L8, width, height, width);
  PixelBox box = diffused.box();
  box.diffusion = true;
  auto withDiffusion = makeCodec(box), without = makeCodec(rounded.box());
  for (uint32_t y = 0; y < height; ++y) {
    FloatRow a = test::constantRow(width, 100.3f / 255, 100.3f / 255, 100.3f / 255, 1), b = a;
    withDiffusion->writeRow(y, 0, a.data());
    without->writeRow(y, 0, b.data());
  }
  EXPECT_EQ(meanLevel(rounded), 100.0);
  EXPECT_NEAR(meanLevel(diffused), 100.3, 0.03);
}

TEST(ErrorDiffusion, CarriesSevenSixteenthsToTheNextPixel) {
  // 0.4 of a level: pixel 0 rounds down (error 0.4), pixel 1 gets 0.4 + 0.175 and rounds
  // up (error -0.425), pixel 2 gets 0.4 - 0.186 and rounds down.
  Surface surface(D3DFMT_A8, 3, 1, 3);
  PixelBox box = surface.box();
  box.diffusion = true;
  auto codec = makeCodec(box);
  FloatRow row = test::constantRow(3, 0, 0, 0, 0.4f / 255);
  codec->writeRow(0, 0, row.data());
  EXPECT_EQ(surface.row(0)[0], 0);
  EXPECT_EQ(surface.row(0)[1], 1);
  EXPECT_EQ(surface.row(0)[2], 0);
}

TEST(ErrorDiffusion, OnePixelRowsSpillIntoTheGuardEntriesOnly) {
  Surface surface(D3DFMT_A8R8G8B8, 1, 8, 4);
  PixelBox box = surface.box();
  box.diffusion = true;
  box.dither = true;
  auto codec = makeCodec(box);
  for (uint32_t y = 0; y < 8; ++y) {
    float row[4] = {0.3f, 0.7f, 0.51f, 0.49f};
    codec->writeRow(y, 0, row);
  }
  for (uint32_t y = 0; y < 8; ++y) EXPECT_NEAR((word32(surface, 0, y) >> 16) & 0xFF, 0.3 * 255, 1.5);
}

}  // namespace
}  // namespace kv
