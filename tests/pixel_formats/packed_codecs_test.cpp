#include <cmath>

#include "codec_test_support.h"
#include "pixel/formats/pixel_codec_test_hooks.h"
#include "pixel/formats/private_formats.h"

namespace kv {
namespace {

using test::FloatRow;
using test::makeCodec;
using test::Surface;

// What each floating channel of a packed format keeps, worked out from the format table
// by the rule of the format's class: bits 0 means not stored (the channel reads `fixed`).
struct ChannelRule {
  uint32_t bits[4];
  bool isSigned[4];
  float fixed[4];
  bool luminance;
};

ChannelRule ruleFor(uint32_t format) {
  const PixelFormatInfo &info = lookupFormatInfo(format);
  ChannelRule rule = {{0, 0, 0, 0}, {false, false, false, false}, {1, 1, 1, 1}, false};
  switch (info.formatClass) {
    case FormatClass::Rgb:
      rule = {{info.redBits, info.greenBits, info.blueBits, info.alphaBits}, {}, {1, 1, 1, 1}, false};
      if (format == D3DFMT_A8) rule.fixed[0] = rule.fixed[1] = rule.fixed[2] = 0.0f;
      break;
    case FormatClass::Luminance:
      rule = {{info.redBits, info.redBits, info.redBits, info.alphaBits}, {}, {1, 1, 1, 1}, true};
      break;
    case FormatClass::Signed: {
      // U, V, W to R, G, B; a signed Q or the unsigned extra bits to A.
      const bool signedAlpha = info.alphaBits != 0;
      const uint32_t alphaBits = format == D3DFMT_CxV8U8 ? 0 : (signedAlpha ? info.alphaBits : info.extraBits);
      rule = {{info.blueBits, info.greenBits, info.redBits, alphaBits}, {true, true, true, signedAlpha}, {1, 1, 1, 1}, false};
      break;
    }
    default:
      break;
  }
  return rule;
}

float maximumOf(uint32_t bits, bool isSigned) {
  return isSigned ? static_cast<float>((1u << (bits - 1)) - 1) : static_cast<float>((uint64_t{1} << bits) - 1);
}

// Round to nearest (halves up), clamp to the field, read back as level times 1/M.
float quantised(float v, uint32_t bits, bool isSigned) {
  const float m = maximumOf(bits, isSigned);
  float q = std::floor(v * m + 0.5f);
  q = std::fmax(isSigned ? -m : 0.0f, std::fmin(q, m));
  return q * (1.0f / m);
}

const uint32_t kPackedFormats[] = {
    D3DFMT_R8G8B8,      D3DFMT_A8R8G8B8,    D3DFMT_X8R8G8B8,    D3DFMT_R5G6B5,   D3DFMT_X1R5G5B5,
    D3DFMT_A1R5G5B5,    D3DFMT_A4R4G4B4,    D3DFMT_X4R4G4B4,    D3DFMT_R3G3B2,   D3DFMT_A8R3G3B2,
    D3DFMT_A8,          D3DFMT_A2B10G10R10, D3DFMT_A2R10G10B10, D3DFMT_A8B8G8R8, D3DFMT_X8B8G8R8,
    D3DFMT_G16R16,      D3DFMT_A16B16G16R16, D3DFMT_L8,         D3DFMT_A8L8,     D3DFMT_A4L4,
    D3DFMT_L16,         FMT_A16L16,         FMT_R16G16B16,      D3DFMT_V8U8,     D3DFMT_L6V5U5,
    D3DFMT_X8L8V8U8,    D3DFMT_V16U16,      D3DFMT_A2W10V10U10, D3DFMT_Q8W8V8U8, D3DFMT_Q16W16V16U16,
};

class PackedRoundTrip : public ::testing::TestWithParam<uint32_t> {};

TEST_P(PackedRoundTrip, WrittenRowReadsBackAsItsQuantisedValue) {
  const uint32_t format = GetParam();
  const ChannelRule rule = ruleFor(format);
  const uint32_t width = 37;
  Surface surface(format, width, 2, width * lookupFormatInfo(format).bitsPerPixel / 8);
  auto codec = makeCodec(surface.box());
  ASSERT_NE(codec, nullptr);
  const bool anySigned = rule.isSigned[0];
  const FloatRow input = test::randomRow(width, anySigned ? -1.2f : -0.2f, 1.2f, format);
  for (uint32_t y = 0; y < 2; ++y) {
    FloatRow row = input;
    codec->writeRow(y, 0, row.data());
    FloatRow back(width * 4);
    codec->readRow(y, 0, back.data());
    for (uint32_t x = 0; x < width; ++x) {
      const float *in = &input[4 * x];
      float source[4] = {in[0], in[1], in[2], in[3]};
      if (rule.luminance) source[0] = source[1] = source[2] = 0.2125f * in[0] + 0.7154f * in[1] + 0.0721f * in[2];
      for (int c = 0; c < 4; ++c) {
        const float expected = rule.bits[c] ? quantised(source[c], rule.bits[c], rule.isSigned[c]) : rule.fixed[c];
        ASSERT_EQ(back[4 * x + c], expected) << "row " << y << " pixel " << x << " channel " << c << " in " << in[c];
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryPackedFormat, PackedRoundTrip, ::testing::ValuesIn(kPackedFormats));

// Known words decode to known floats: one pattern per format with distinct channel values.
struct KnownPattern {
  uint32_t format;
  uint64_t word;
  float r, g, b, a;
};

TEST(PackedFormats, KnownBitPatternsDecodeToKnownFloats) {
  const float b255 = 1.0f / 255, b31 = 1.0f / 31, b63 = 1.0f / 63, b15 = 1.0f / 15, b1023 = 1.0f / 1023;
  const float b65535 = 1.0f / 65535, s127 = 1.0f / 127, s15 = 1.0f / 15, s511 = 1.0f / 511, s32767 = 1.0f / 32767;
  const KnownPattern patterns[] = {
      {D3DFMT_R8G8B8, 0x102030, 0x10 * b255, 0x20 * b255, 0x30 * b255, 1},
      {D3DFMT_A8R8G8B8, 0x80102030, 0x10 * b255, 0x20 * b255, 0x30 * b255, 0x80 * b255},
      {D3DFMT_X8R8G8B8, 0x80102030, 0x10 * b255, 0x20 * b255, 0x30 * b255, 1},
      {D3DFMT_R5G6B5, (3u << 11) | (40u << 5) | 7u, 3 * b31, 40 * b63, 7 * b31, 1},
      {D3DFMT_X1R5G5B5, 0x8000 | (3u << 10) | (9u << 5) | 7u, 3 * b31, 9 * b31, 7 * b31, 1},
      {D3DFMT_A1R5G5B5, 0x8000 | (3u << 10) | (9u << 5) | 7u, 3 * b31, 9 * b31, 7 * b31, 1},
      {D3DFMT_A1R5G5B5, (3u << 10), 3 * b31, 0, 0, 0},
      {D3DFMT_A4R4G4B4, 0x9123, 1 * b15, 2 * b15, 3 * b15, 9 * b15},
      {D3DFMT_X4R4G4B4, 0x9123, 1 * b15, 2 * b15, 3 * b15, 1},
      {D3DFMT_R3G3B2, (5u << 5) | (2u << 2) | 1u, 5.0f * (1.0f / 7), 2.0f * (1.0f / 7), 1.0f / 3, 1},
      {D3DFMT_A8R3G3B2, 0x4000 | (5u << 5) | (2u << 2) | 1u, 5.0f * (1.0f / 7), 2.0f * (1.0f / 7), 1.0f / 3, 0x40 * b255},
      {D3DFMT_A8, 0x40, 0, 0, 0, 0x40 * b255},
      {D3DFMT_A2B10G10R10, (2u << 30) | (300u << 20) | (200u << 10) | 100u, 100 * b1023, 200 * b1023, 300 * b1023, 2.0f / 3},
      {D3DFMT_A2R10G10B10, (2u << 30) | (300u << 20) | (200u << 10) | 100u, 300 * b1023, 200 * b1023, 100 * b1023, 2.0f / 3},
      {D3DFMT_A8B8G8R8, 0x80302010, 0x10 * b255, 0x20 * b255, 0x30 * b255, 0x80 * b255},
      {D3DFMT_X8B8G8R8, 0x80302010, 0x10 * b255, 0x20 * b255, 0x30 * b255, 1},
      {D3DFMT_G16R16, 0x20001000, 0x1000 * b65535, 0x2000 * b65535, 1, 1},
      {D3DFMT_A16B16G16R16, 0x4000300020001000ull, 0x1000 * b65535, 0x2000 * b65535, 0x3000 * b65535, 0x4000 * b65535},
      {D3DFMT_L8, 0x40, 0x40 * b255, 0x40 * b255, 0x40 * b255, 1},
      {D3DFMT_A8L8, 0x8040, 0x40 * b255, 0x40 * b255, 0x40 * b255, 0x80 * b255},
      {D3DFMT_A4L4, 0x93, 3 * b15, 3 * b15, 3 * b15, 9 * b15},
      {D3DFMT_L16, 0x1234, 0x1234 * b65535, 0x1234 * b65535, 0x1234 * b65535, 1},
      {D3DFMT_D16_LOCKABLE, 0x1234, 0x1234 * b65535, 0x1234 * b65535, 0x1234 * b65535, 1},
      {FMT_A16L16, 0x80001234, 0x1234 * b65535, 0x1234 * b65535, 0x1234 * b65535, 0x8000 * b65535},
      {FMT_R16G16B16, 0x300020001000ull, 0x3000 * b65535, 0x2000 * b65535, 0x1000 * b65535, 1},
      {D3DFMT_V8U8, 0x80FF, -1 * s127, -127 * s127, 1, 1},
      {D3DFMT_V8U8, 0x7F05, 5 * s127, 127 * s127, 1, 1},
      {D3DFMT_L6V5U5, (40u << 10) | (0x10u << 5) | 0x0Fu, 15 * s15, -15 * s15, 1, 40.0f / 63},
      {D3DFMT_X8L8V8U8, 0xAA40FE02, 2 * s127, -2 * s127, 1, 0x40 * b255},
      {D3DFMT_V16U16, 0x8000FFFF, -1 * s32767, -32767 * s32767, 1, 1},
      {D3DFMT_A2W10V10U10, (1u << 30) | (0x200u << 20) | (0x1FFu << 10) | 0x3FFu, -1 * s511, 511 * s511, -511 * s511, 1.0f / 3},
      {D3DFMT_Q8W8V8U8, 0x80FF7F01, 1 * s127, 127 * s127, -1 * s127, -127 * s127},
      {D3DFMT_Q16W16V16U16, 0x8000FFFF7FFF0001ull, 1 * s32767, 32767 * s32767, -1 * s32767, -32767 * s32767},
  };
  for (const KnownPattern &p : patterns) {
    const uint32_t bytes = lookupFormatInfo(p.format).bitsPerPixel / 8;
    Surface surface(p.format, 1, 1, bytes);
    std::memcpy(surface.row(0), &p.word, bytes);
    auto codec = makeCodec(surface.box());
    float px[4];
    codec->readRow(0, 0, px);
    EXPECT_EQ(px[0], p.r) << "format " << p.format;
    EXPECT_EQ(px[1], p.g) << "format " << p.format;
    EXPECT_EQ(px[2], p.b) << "format " << p.format;
    EXPECT_EQ(px[3], p.a) << "format " << p.format;
  }
}

TEST(PackedFormats, EveryA8R8G8B8ByteSurvivesTheRoundTrip) {
  Surface surface(D3DFMT_A8R8G8B8, 256, 1, 1024);
  for (int i = 0; i < 256; ++i) {
    const uint8_t v = static_cast<uint8_t>(i);
    const uint8_t pixel[4] = {v, static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i * 13)};
    std::memcpy(surface.row(0) + 4 * i, pixel, 4);
  }
  const std::vector<uint8_t> before = surface.bytes;
  auto codec = makeCodec(surface.box());
  FloatRow row(256 * 4);
  codec->readRow(0, 0, row.data());
  codec->writeRow(0, 0, row.data());
  EXPECT_EQ(surface.bytes, before);
}

TEST(PackedFormats, X8R8G8B8ReadsOpaqueAndStoresZeroInItsTopByte) {
  Surface surface(D3DFMT_X8R8G8B8, 1, 1, 4);
  auto codec = makeCodec(surface.box());
  float px[4] = {1.0f, 0.0f, 0.5f, 0.25f};
  codec->writeRow(0, 0, px);
  uint32_t word;
  std::memcpy(&word, surface.row(0), 4);
  EXPECT_EQ(word, 0x00FF0080u);
  codec->readRow(0, 0, px);
  EXPECT_EQ(px[3], 1.0f);
}

TEST(SignedFormats, MostNegativeFieldReadsMinusOneAndMinusOneStoresMinusMaximum) {
  Surface surface(D3DFMT_V8U8, 2, 1, 4);
  const uint8_t raw[4] = {0x80, 0x81, 0, 0};  // U = -128, V = -127
  std::memcpy(surface.row(0), raw, 4);
  auto codec = makeCodec(surface.box());
  float row[8];
  codec->readRow(0, 0, row);
  EXPECT_EQ(row[0], -1.0f);
  EXPECT_EQ(row[1], -1.0f);
  float write[8] = {-1.0f, -0.5f, 0, 0, 1.0f, 0.5f, 0, 0};
  codec->writeRow(0, 0, write);
  EXPECT_EQ(static_cast<int8_t>(surface.row(0)[0]), -127);
  EXPECT_EQ(static_cast<int8_t>(surface.row(0)[1]), -63);  // -63.5 rounds half up
  EXPECT_EQ(static_cast<int8_t>(surface.row(0)[2]), 127);
  EXPECT_EQ(static_cast<int8_t>(surface.row(0)[3]), 64);
}

TEST(SignedFormats, CxV8U8DerivesBlueAndGivesZeroWhenTheSquareRootHasNoRealValue) {
  Surface surface(D3DFMT_CxV8U8, 2, 1, 4);
  const uint8_t raw[4] = {0, 0, 127, 127};
  std::memcpy(surface.row(0), raw, 4);
  auto codec = makeCodec(surface.box());
  float row[8];
  codec->readRow(0, 0, row);
  EXPECT_EQ(row[2], 1.0f);
  EXPECT_EQ(row[3], 1.0f);
  EXPECT_EQ(row[6], 0.0f);
  float write[8] = {0.5f, -0.5f, 0.9f, 0.1f, 0, 0, 0, 0};
  codec->writeRow(0, 0, write);
  EXPECT_EQ(surface.row(0)[0], 64);
  EXPECT_EQ(static_cast<int8_t>(surface.row(0)[1]), -63);
}

TEST(PackedFormats, BoxOriginAndPitchesPlaceRowsAndSlices) {
  Surface surface(D3DFMT_L8, 6, 4, 6, 3);
  PixelBox box = surface.box();
  const uint32_t region[6] = {2, 1, 5, 3, 1, 3};
  std::memcpy(box.box, region, sizeof region);
  auto codec = makeCodec(box);
  ASSERT_EQ(codec->width(), 3u);
  ASSERT_EQ(codec->height(), 2u);
  ASSERT_EQ(codec->depth(), 2u);
  FloatRow row = test::constantRow(3, 1.0f, 1.0f, 1.0f, 1.0f);
  codec->writeRow(1, 1, row.data());
  for (uint32_t z = 0; z < 3; ++z)
    for (uint32_t y = 0; y < 4; ++y)
      for (uint32_t x = 0; x < 6; ++x) {
        const bool inside = z == 2 && y == 2 && x >= 2 && x < 5;
        EXPECT_EQ(surface.row(y, z)[x], inside ? 255 : 0) << x << "," << y << "," << z;
      }
}

TEST(PackedFormats, InvertedBoxConvertsNothing) {
  Surface surface(D3DFMT_A8R8G8B8, 4, 4, 16);
  PixelBox box = surface.box();
  box.box[kBoxLeft] = 3;
  box.box[kBoxRight] = 1;
  auto codec = makeCodec(box);
  EXPECT_EQ(codec->width(), 0u);
  float row[4] = {1, 1, 1, 1};
  codec->writeRow(0, 0, row);
  EXPECT_EQ(std::count(surface.bytes.begin(), surface.bytes.end(), 0), static_cast<long>(surface.bytes.size()));
}

TEST(PackedFormats, RowsOutsideTheBoxReadZeroAndAreNeverWritten) {
  Surface surface(D3DFMT_A8R8G8B8, 2, 2, 8, 2);
  PixelBox box = surface.box();
  box.box[kBoxBottom] = 1;
  box.box[kBoxBack] = 1;
  auto codec = makeCodec(box);
  float row[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  codec->writeRow(1, 0, row);
  codec->writeRow(0, 1, row);
  EXPECT_EQ(std::count(surface.bytes.begin(), surface.bytes.end(), 0), static_cast<long>(surface.bytes.size()));
  codec->readRow(5, 0, row);
  for (float v : row) EXPECT_EQ(v, 0.0f);
}

// The vector routines and the reference loops agree bit for bit, including values out of
// range, not-a-numbers, and widths that leave a remainder.
class VectorRoutines : public ::testing::TestWithParam<uint32_t> {
 protected:
  void TearDown() override { setPixelCodecSimdEnabled(true); }
};

TEST_P(VectorRoutines, MatchTheReferenceLoops) {
  if (!pixelCodecSimdAvailable()) GTEST_SKIP() << "no vector routines on this processor";
  const uint32_t format = GetParam();
  const uint32_t bytes = lookupFormatInfo(format).bitsPerPixel / 8;
  for (uint32_t width : {1u, 3u, 4u, 7u, 8u, 13u, 64u, 67u}) {
    FloatRow input = test::randomRow(width, -0.3f, 1.3f, width * 31 + format);
    input[0] = std::nanf("");
    if (width > 2) input[6] = 0.5f / 255.0f, input[9] = -0.0f, input[10] = 1e30f;
    Surface vectorSurface(format, width, 1, width * bytes), plainSurface(format, width, 1, width * bytes);
    FloatRow vectorRead(width * 4), plainRead(width * 4);
    {
      setPixelCodecSimdEnabled(true);
      auto codec = makeCodec(vectorSurface.box());
      FloatRow row = input;
      codec->writeRow(0, 0, row.data());
      codec->readRow(0, 0, vectorRead.data());
    }
    {
      setPixelCodecSimdEnabled(false);
      auto codec = makeCodec(plainSurface.box());
      FloatRow row = input;
      codec->writeRow(0, 0, row.data());
      codec->readRow(0, 0, plainRead.data());
    }
    ASSERT_EQ(vectorSurface.bytes, plainSurface.bytes) << "width " << width;
    ASSERT_EQ(std::memcmp(vectorRead.data(), plainRead.data(), width * 16), 0) << "width " << width;
  }
}

INSTANTIATE_TEST_SUITE_P(UnsignedFormatsUpToFourBytes, VectorRoutines,
                         ::testing::Values(D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5,
                                           D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_X4R4G4B4, D3DFMT_R3G3B2,
                                           D3DFMT_A8R3G3B2, D3DFMT_A8, D3DFMT_A2B10G10R10, D3DFMT_A2R10G10B10,
                                           D3DFMT_A8B8G8R8, D3DFMT_X8B8G8R8, D3DFMT_G16R16, D3DFMT_L8, D3DFMT_A8L8,
                                           D3DFMT_A4L4, D3DFMT_L16, D3DFMT_D16_LOCKABLE, FMT_A16L16,
                                           // no vector routine: both paths take the loop
                                           D3DFMT_V8U8));

}  // namespace
}  // namespace kv
