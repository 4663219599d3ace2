#include <cmath>

#include "codec_test_support.h"

namespace kv {
namespace {

using test::FloatRow;
using test::fourCc;
using test::makeCodec;
using test::Surface;

float clampUnit(float x) { return std::fmin(1.0f, std::fmax(0.0f, x)); }

// Expected decoding of a YUY2 row: odd pixels take the (-1, 9, 9, -1) / 16 taps over the
// chroma of the neighbouring pairs, with pairs beyond either end repeating the end pair.
FloatRow expectedYuy2(const std::vector<uint8_t> &bytes, uint32_t width) {
  const uint32_t pairs = width / 2;
  auto cb = [&](int j) { return static_cast<int>(bytes[4 * std::clamp(j, 0, static_cast<int>(pairs) - 1) + 1]); };
  auto cr = [&](int j) { return static_cast<int>(bytes[4 * std::clamp(j, 0, static_cast<int>(pairs) - 1) + 3]); };
  auto taps = [](auto c, int j) { return (9 * (c(j) + c(j + 1)) - c(j - 1) - c(j + 2) + 8) >> 4; };
  FloatRow out;
  for (uint32_t x = 0; x < width; ++x) {
    const int j = static_cast<int>(x / 2);
    const int u = (x % 2 ? taps(cb, j) : cb(j)) - 128, v = (x % 2 ? taps(cr, j) : cr(j)) - 128;
    const float l = static_cast<float>(bytes[2 * x] - 16) * 0.00456621f;
    out.push_back(clampUnit(l + static_cast<float>(v) * 0.00625893f));
    out.push_back(clampUnit(l - static_cast<float>(u) * 0.00153632f - static_cast<float>(v) * 0.00318811f));
    out.push_back(clampUnit(l + static_cast<float>(u) * 0.00791071f));
    out.push_back(1.0f);
  }
  return out;
}

TEST(PairFormats, Yuy2ChromaTapsAndEdgeRulesForEveryWidth) {
  for (uint32_t width : {2u, 4u, 6u, 8u, 10u, 16u}) {
    Surface surface(fourCc("YUY2"), width, 1, width * 2);
    std::mt19937 random(width);
    for (uint32_t i = 0; i < width * 2; ++i) surface.row(0)[i] = static_cast<uint8_t>(random());
    const std::vector<uint8_t> bytes(surface.row(0), surface.row(0) + width * 2);
    auto codec = makeCodec(surface.box());
    FloatRow row(width * 4);
    codec->readRow(0, 0, row.data());
    const FloatRow expected = expectedYuy2(bytes, width);
    for (uint32_t i = 0; i < width * 4; ++i) ASSERT_EQ(row[i], expected[i]) << "width " << width << " float " << i;
  }
}

TEST(PairFormats, UyvyHoldsChromaInTheLowByte) {
  Surface yuy2(fourCc("YUY2"), 4, 1, 8), uyvy(fourCc("UYVY"), 4, 1, 8);
  const uint8_t a[8] = {100, 90, 110, 160, 120, 70, 130, 200};
  const uint8_t b[8] = {90, 100, 160, 110, 70, 120, 200, 130};
  std::memcpy(yuy2.row(0), a, 8);
  std::memcpy(uyvy.row(0), b, 8);
  FloatRow ra(16), rb(16);
  makeCodec(yuy2.box())->readRow(0, 0, ra.data());
  makeCodec(uyvy.box())->readRow(0, 0, rb.data());
  EXPECT_EQ(ra, rb);
}

TEST(PairFormats, Yuy2EncodesStudioRangeLumaAndTheFirstPixelsChroma) {
  Surface surface(fourCc("YUY2"), 4, 1, 8);
  auto codec = makeCodec(surface.box());
  float row[16] = {1, 1, 1, 1, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 1, 1};
  codec->writeRow(0, 0, row);
  codec.reset();  // the pending row is written back on destruction
  const uint8_t *b = surface.row(0);
  EXPECT_EQ(b[0], 235);  // white
  EXPECT_EQ(b[1], 128);
  EXPECT_EQ(b[2], 16);   // black
  EXPECT_EQ(b[3], 128);
  EXPECT_EQ(b[4], 16 + 65);                   // red: trunc(65.481 + 0.5) + 16
  EXPECT_EQ(b[5], 128 + static_cast<int>(std::trunc(-37.797f + 0.5f)));
  EXPECT_EQ(b[6], 16 + 25);                   // blue
  EXPECT_EQ(b[7], 240);                       // red's Cr: 112 + 128
}

TEST(PairFormats, OddBoxesKeepThePixelOutsideTheBoxAndReadOnlyTheBox) {
  for (uint32_t left : {0u, 1u}) {
    Surface surface(fourCc("YUY2"), 4, 2, 8);
    const uint8_t grey[8] = {126, 128, 126, 128, 126, 128, 126, 128};
    std::memcpy(surface.row(0), grey, 8);
    std::memcpy(surface.row(1), grey, 8);
    PixelBox box = surface.box();
    box.box[kBoxLeft] = left;
    box.box[kBoxRight] = left + 3;  // widths 3 with either edge odd
    auto codec = makeCodec(box);
    ASSERT_EQ(codec->width(), 3u);
    FloatRow white = test::constantRow(3, 1, 1, 1, 1);
    codec->writeRow(0, 0, white.data());
    FloatRow other(12);
    codec->readRow(1, 0, other.data());  // another row: the pending one goes out first
    const uint8_t *b = surface.row(0);
    for (uint32_t x = 0; x < 4; ++x) {
      const bool inside = x >= left && x < left + 3;
      EXPECT_EQ(b[2 * x], inside ? 235 : 126) << "left " << left << " pixel " << x;
    }
    EXPECT_NEAR(other[0], 110 * 0.00456621f, 1e-6);
  }
}

TEST(PairFormats, OnePixelWideBoxReadsAndWritesInsideItsPair) {
  Surface surface(fourCc("YUY2"), 2, 1, 4);
  const uint8_t bytes[4] = {16, 128, 235, 128};
  std::memcpy(surface.row(0), bytes, 4);
  PixelBox box = surface.box();
  box.box[kBoxLeft] = 1;
  auto codec = makeCodec(box);
  ASSERT_EQ(codec->width(), 1u);
  float px[4];
  codec->readRow(0, 0, px);
  EXPECT_NEAR(px[0], 1.0f, 1e-5);
  float black[4] = {0, 0, 0, 1};
  codec->writeRow(0, 0, black);
  codec.reset();
  EXPECT_EQ(surface.row(0)[0], 16);
  EXPECT_EQ(surface.row(0)[2], 16);
}

TEST(PairFormats, SharedRedAndBlueFormatsReadBothPixelsAndClampOnWrite) {
  Surface rgbg(fourCc("RGBG"), 2, 1, 4), grgb(fourCc("GRGB"), 2, 1, 4);
  const uint8_t a[4] = {10, 200, 20, 100};  // G0, R, G1, B
  const uint8_t b[4] = {200, 10, 100, 20};  // R, G0, B, G1
  std::memcpy(rgbg.row(0), a, 4);
  std::memcpy(grgb.row(0), b, 4);
  const float k = 1.0f / 255;
  for (Surface *s : {&rgbg, &grgb}) {
    auto codec = makeCodec(s->box());
    float row[8];
    codec->readRow(0, 0, row);
    const float expected[8] = {200 * k, 10 * k, 100 * k, 1, 200 * k, 20 * k, 100 * k, 1};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(row[i], expected[i]);
    float write[8] = {1.5f, 0.5f, -0.25f, 1, 0, 0.25f, 1, 1};
    codec->writeRow(0, 0, write);
  }
  const uint8_t wantA[4] = {128, 255, 64, 0}, wantB[4] = {255, 128, 0, 64};
  EXPECT_EQ(std::memcmp(rgbg.row(0), wantA, 4), 0);
  EXPECT_EQ(std::memcmp(grgb.row(0), wantB, 4), 0);
}

// Every pair of a row, not only the first: pair j is bytes 4j to 4j + 3, laid out as
// G0 R G1 B (RGBG) or R G0 B G1 (GRGB), both pixels sharing its red and blue.
TEST(PairFormats, SharedRedAndBlueFormatsReadEveryPairOfARow) {
  constexpr uint32_t kWidth = 6;
  const float k = 1.0f / 255;
  for (const bool greenFirst : {true, false}) {
    Surface surface(fourCc(greenFirst ? "RGBG" : "GRGB"), kWidth, 1, 2 * kWidth);
    for (uint32_t i = 0; i < 2 * kWidth; ++i) surface.row(0)[i] = static_cast<uint8_t>(17 * i + 3);
    const uint8_t *bytes = surface.row(0);
    auto codec = makeCodec(surface.box());
    float row[4 * kWidth];
    codec->readRow(0, 0, row);
    for (uint32_t x = 0; x < kWidth; ++x) {
      const uint8_t *pair = bytes + 4 * (x / 2);
      const int red = greenFirst ? pair[1] : pair[0], blue = greenFirst ? pair[3] : pair[2];
      const int green = greenFirst ? pair[x % 2 ? 2 : 0] : pair[x % 2 ? 3 : 1];
      EXPECT_EQ(row[4 * x], red * k) << x;
      EXPECT_EQ(row[4 * x + 1], green * k) << x;
      EXPECT_EQ(row[4 * x + 2], blue * k) << x;
      EXPECT_EQ(row[4 * x + 3], 1.0f) << x;
    }
  }
}

TEST(PairFormats, ColourKeyMatchesAPixelThatEncodesLikeTheKey) {
  Surface surface(fourCc("YUY2"), 2, 1, 4);
  auto writer = makeCodec(surface.box());
  float key[8] = {0x40 / 255.0f, 0x80 / 255.0f, 0xC0 / 255.0f, 1, 0x40 / 255.0f, 0x80 / 255.0f, 0xC0 / 255.0f, 1};
  writer->writeRow(0, 0, key);
  writer.reset();
  PixelBox box = surface.box();
  box.colorKey = 0xFF4080C0;
  auto reader = makeCodec(box);
  float row[8];
  reader->readRow(0, 0, row);
  for (float v : row) EXPECT_EQ(v, 0.0f);
}

}  // namespace
}  // namespace kv
