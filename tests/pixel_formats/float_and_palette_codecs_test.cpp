#include <cmath>

#include "codec_test_support.h"
#include "math/half_float.h"

namespace kv {
namespace {

using test::FloatRow;
using test::makeCodec;
using test::Surface;

TEST(FloatFormats, ThirtyTwoBitChannelsAreCopiedAsTheyAreAndTheOthersReadOne) {
  struct Case {
    uint32_t format;
    uint32_t channels;
  };
  for (Case c : {Case{D3DFMT_R32F, 1}, Case{D3DFMT_G32R32F, 2}, Case{D3DFMT_A32B32G32R32F, 4}, Case{D3DFMT_D32F_LOCKABLE, 1}}) {
    const uint32_t width = 5;
    Surface surface(c.format, width, 1, width * 4 * c.channels);
    auto codec = makeCodec(surface.box());
    FloatRow input = test::randomRow(width, -1e6f, 1e6f, c.format);
    input[1] = -3.5e30f;
    FloatRow row = input, back(width * 4);
    codec->writeRow(0, 0, row.data());
    codec->readRow(0, 0, back.data());
    for (uint32_t x = 0; x < width; ++x)
      for (uint32_t ch = 0; ch < 4; ++ch)
        EXPECT_EQ(back[4 * x + ch], ch < c.channels ? input[4 * x + ch] : 1.0f) << c.format;
    float first;
    std::memcpy(&first, surface.row(0), 4);
    EXPECT_EQ(first, input[0]);  // R is the first float in memory
  }
}

TEST(FloatFormats, HalfChannelsGoThroughTheHalfConversions) {
  struct Case {
    uint32_t format;
    uint32_t channels;
  };
  for (Case c : {Case{D3DFMT_R16F, 1}, Case{D3DFMT_G16R16F, 2}, Case{D3DFMT_A16B16G16R16F, 4}}) {
    const uint32_t width = 9;
    Surface surface(c.format, width, 1, width * 2 * c.channels);
    auto codec = makeCodec(surface.box());
    FloatRow input = test::randomRow(width, -70000.0f, 70000.0f, c.format);
    input[4] = 1.0f, input[8] = 200000.0f;  // the second and third pixel's R
    FloatRow row = input, back(width * 4);
    codec->writeRow(0, 0, row.data());
    codec->readRow(0, 0, back.data());
    for (uint32_t x = 0; x < width; ++x)
      for (uint32_t ch = 0; ch < 4; ++ch) {
        const float expected = ch < c.channels ? float16To32(float32To16(input[4 * x + ch])) : 1.0f;
        EXPECT_EQ(back[4 * x + ch], expected) << c.format << " pixel " << x;
      }
    uint16_t secondR;
    std::memcpy(&secondR, surface.row(0) + 2 * c.channels, 2);
    EXPECT_EQ(secondR, 0x3C00);
    EXPECT_EQ(back[8], 131008.0f);  // saturates, no infinity
  }
}

TEST(FloatFormats, ValuesOutsideTheUnitRangeAreNeitherClampedNorRangeConverted) {
  Surface source(D3DFMT_V8U8, 2, 1, 4), destination(D3DFMT_R32F, 2, 1, 8);
  auto reader = makeCodec(source.box());
  auto writer = makeCodec(destination.box());
  ASSERT_EQ(connectCodecs(*writer, *reader), S_OK);
  EXPECT_EQ(writer->otherRange(), ValueRange::None);
  float row[8] = {-0.75f, 0, 0, 0, 7.5f, 0, 0, 0};
  writer->writeRow(0, 0, row);
  float stored[2];
  std::memcpy(stored, destination.row(0), 8);
  EXPECT_EQ(stored[0], -0.75f);
  EXPECT_EQ(stored[1], 7.5f);
}

std::vector<uint8_t> makePalette() {
  std::vector<uint8_t> palette(256 * 4);
  for (int i = 0; i < 256; ++i) {
    palette[4 * i] = static_cast<uint8_t>(i);
    palette[4 * i + 1] = static_cast<uint8_t>(255 - i);
    palette[4 * i + 2] = static_cast<uint8_t>(i / 2);
    palette[4 * i + 3] = static_cast<uint8_t>(i % 2 ? 255 : 128);
  }
  return palette;
}

TEST(PaletteFormats, P8ReadsAllFourChannelsFromThePaletteEntry) {
  std::vector<uint8_t> palette = makePalette();
  Surface surface(D3DFMT_P8, 2, 1, 2);
  surface.row(0)[0] = 10, surface.row(0)[1] = 11;
  PixelBox box = surface.box();
  box.palette = palette.data();
  auto codec = makeCodec(box);
  float row[8];
  codec->readRow(0, 0, row);
  const float b = 1.0f / 255;
  EXPECT_EQ(row[0], 10 * b);
  EXPECT_EQ(row[1], 245 * b);
  EXPECT_EQ(row[2], 5 * b);
  EXPECT_EQ(row[3], 128 * b);
  EXPECT_EQ(row[7], 1.0f);
}

TEST(PaletteFormats, WithoutAPaletteEveryPixelReadsOpaqueWhite) {
  Surface surface(D3DFMT_P8, 3, 1, 3);
  surface.row(0)[1] = 200;
  auto codec = makeCodec(surface.box());
  FloatRow row(12);
  codec->readRow(0, 0, row.data());
  for (float v : row) EXPECT_EQ(v, 1.0f);
}

TEST(PaletteFormats, P8WritesTheNearestEntryAndTiesKeepTheLowerIndex) {
  std::vector<uint8_t> palette(256 * 4, 0);
  // Entries 3 and 7 are equal and nearest to mid grey; entry 9 is white.
  for (int i : {3, 7}) palette[4 * i] = palette[4 * i + 1] = palette[4 * i + 2] = palette[4 * i + 3] = 128;
  for (int c = 0; c < 4; ++c) palette[4 * 9 + c] = 255;
  Surface surface(D3DFMT_P8, 3, 1, 3);
  PixelBox box = surface.box();
  box.palette = palette.data();
  auto codec = makeCodec(box);
  float row[12] = {0.5f, 0.5f, 0.5f, 0.5f, 0.95f, 0.95f, 0.95f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  codec->writeRow(0, 0, row);
  EXPECT_EQ(surface.row(0)[0], 3);
  EXPECT_EQ(surface.row(0)[1], 9);
  EXPECT_EQ(surface.row(0)[2], 0);
}

TEST(PaletteFormats, A8P8MatchesColourOnlyAndPacksAlphaAsAByte) {
  std::vector<uint8_t> palette = makePalette();
  Surface surface(D3DFMT_A8P8, 2, 1, 4);
  PixelBox box = surface.box();
  box.palette = palette.data();
  auto codec = makeCodec(box);
  const float b = 1.0f / 255;
  // Entry 40 is (40, 215, 20); the palette's own alpha (128) does not matter.
  float row[8] = {40 * b, 215 * b, 20 * b, 0.25f, 41 * b, 214 * b, 20 * b, 1.0f};
  codec->writeRow(0, 0, row);
  EXPECT_EQ(surface.row(0)[0], 40);
  EXPECT_EQ(surface.row(0)[1], 64);  // 63.75 rounds up
  EXPECT_EQ(surface.row(0)[2], 41);
  EXPECT_EQ(surface.row(0)[3], 255);
  float back[8];
  codec->readRow(0, 0, back);
  EXPECT_EQ(back[0], 40 * b);
  EXPECT_EQ(back[3], 64 * b);
}

TEST(PaletteFormats, A8P8DithersAlphaInSerpentineOrder) {
  const float table[2][4] = {{31, 15, 27, 11}, {7, 23, 3, 19}};
  Surface surface(D3DFMT_A8P8, 4, 2, 8);
  PixelBox box = surface.box();
  box.dither = true;
  auto codec = makeCodec(box);
  for (uint32_t y = 0; y < 2; ++y) {
    FloatRow row = test::constantRow(4, 1, 1, 1, 0.5f);
    codec->writeRow(y, 0, row.data());
    for (uint32_t x = 0; x < 4; ++x) {
      const uint32_t k = y ? 3 - x : x;
      EXPECT_EQ(surface.row(y)[2 * x + 1], table[y][k] >= 16 ? 128 : 127) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace kv
