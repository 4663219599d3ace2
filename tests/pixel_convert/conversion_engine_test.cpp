// convertPixels and the implementations that do not blend across ratios: the flags, the
// straight copy, the same-size conversion, the none, point and box filters.
#include <gtest/gtest.h>

#include <cstring>

#include "convert_support.h"
#include "pixel/convert/filter_flags.h"

namespace kv_test {
namespace {

using namespace kv;

TEST(ConvertPixels, FlagsOutsideTheKnownCodesAndSwitchesAreRejected) {
  Image source = argbImage(2, 2), destination = argbImage(1, 1);
  EXPECT_EQ(convert(destination, source, FilterLinear | MirrorU), S_OK);
  for (uint32_t bad : {0x103u, 0x800003u, 0u, 6u, 0x10000u, 0xFFFFFFFFu})
    EXPECT_EQ(convert(destination, source, bad), D3DERR_INVALIDCALL) << std::hex << bad;
}

TEST(ConvertPixels, BoxesOutsideTheirMemoryOrEmptyAreRejected) {
  Image source = argbImage(4, 4), destination = argbImage(4, 4);
  PixelBox wide = source.box();
  wide.box[kBoxRight] = 5;
  EXPECT_EQ(convertPixels(destination.box(), wide, FilterPoint), D3DERR_INVALIDCALL);
  PixelBox empty = destination.box();
  empty.box[kBoxTop] = empty.box[kBoxBottom] = 2;
  EXPECT_EQ(convertPixels(empty, source.box(), FilterPoint), D3DERR_INVALIDCALL);
  PixelBox unknown = source.box();
  unknown.format = 0x12345678;
  EXPECT_EQ(convertPixels(destination.box(), unknown, FilterPoint), E_FAIL);
}

TEST(ConvertPixels, SameFormatAndSizeCopiesTheBytesOfTheBoxOnly) {
  Image source = argbImage(5, 3), destination = argbImage(7, 5);
  source.randomize(1);
  destination.randomize(2);
  const Image before = destination;
  PixelBox inner = destination.box();
  inner.box[kBoxLeft] = 1;
  inner.box[kBoxTop] = 2;
  inner.box[kBoxRight] = 6;
  inner.box[kBoxBottom] = 5;
  ASSERT_EQ(convertPixels(inner, source.box(), FilterTriangle | Dither), S_OK);
  for (uint32_t y = 0; y < 5; ++y)
    for (uint32_t x = 0; x < 7; ++x) {
      const bool inside = x >= 1 && x < 6 && y >= 2;
      const uint32_t expected = inside ? source.word(x - 1, y - 2) : Image(before).word(x, y);
      EXPECT_EQ(destination.word(x, y), expected) << x << "," << y;
    }
}

TEST(ConvertPixels, TwoGammaEncodedEndsOfOneSizeAreCopiedWithoutDecoding) {
  Image source = argbImage(4, 4), destination = argbImage(4, 4), halved = argbImage(2, 2);
  source.randomize(3);
  ASSERT_EQ(convert(destination, source, FilterTriangle | GammaIn | GammaOut), S_OK);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(destination.word(x, y), source.word(x, y));
  ASSERT_EQ(convert(halved, source, FilterPoint | GammaIn | GammaOut), S_OK);
  EXPECT_EQ(halved.word(1, 1), source.word(2, 2)) << "point sampling passes the bytes unchanged";
  Image x8(D3DFMT_X8R8G8B8, 4, 4, 4);
  ASSERT_EQ(convert(x8, source, FilterNone | GammaIn | GammaOut), S_OK);
  EXPECT_EQ(x8.word(3, 1), source.word(3, 1) & 0x00ffffffu) << "converted, not gamma-treated";
}

// Two encoded ends: a blending filter decodes (x^2) and encodes (sqrt) around the blend,
// while the jobs that only move pixels (same size, none, point) pass them as they read.
TEST(ConvertPixels, TwoEncodedEndsAreDecodedOnlyAroundABlend) {
  constexpr uint32_t kBoth = GammaIn | GammaOut;
  // Black and white half and half in linear light is 0.5, encoded sqrt(0.5) = 0.70711:
  // 0.70711 * 255 + 0.5 = 180.81 -> 0xB4 (the blend of the encoded values would be 0x80).
  Image pair = argbImage(2, 1), one = argbImage(1, 1);
  pair.setWord(0, 0, 0xFF000000u);
  pair.setWord(1, 0, 0xFFFFFFFFu);
  ASSERT_EQ(convert(one, pair, FilterLinear | kBoth), S_OK);
  EXPECT_EQ(one.word(0, 0), 0xFFB4B4B4u);

  // 16-bit channels into floats come out as read, n * (1/65535); a square and an
  // approximate root on the way would move them by up to about 1.5e-6 relative.
  Image wide(D3DFMT_A16B16G16R16, 8, 4, 4);
  wide.randomize(5);
  struct Job {
    uint32_t filter, side, step;
  };
  for (const Job job : {Job{FilterTriangle, 4, 1}, Job{FilterPoint, 2, 2}, Job{FilterNone, 2, 1}}) {
    Image out = floatImage(job.side, job.side);
    ASSERT_EQ(convert(out, wide, job.filter | kBoth), S_OK);
    for (uint32_t y = 0; y < job.side; ++y)
      for (uint32_t x = 0; x < job.side; ++x)
        for (int c = 0; c < 4; ++c) {
          uint16_t n;
          std::memcpy(&n, wide.pixel(x * job.step, y * job.step) + 2 * c, 2);
          const float expected = float(n) * (1.0f / 65535.0f);
          EXPECT_NEAR(out.floats(x, y)[c], expected, expected * 1.2e-7f)
              << "filter " << job.filter << " at " << x << "," << y << " channel " << c;
        }
  }
}

// A signed format has no gamma, so with both switches on only the other end converts.
// Worked by hand from the power-curve tables (D[i] = (i/254)^1.1, E[i] = (i/254)^(1/1.1)):
// - V8U8 (0, 0) reads (0, 0, 1, 1), goes to (0.5, 0.5, 1, 1) in the unsigned range and is
//   encoded at t = sqrt(0.5) * 254 = 179.605: E[179] + 0.605 (E[180] - E[179]) = 0.72974,
//   0.72974 * 255 + 0.5 = 186.58 -> 0xBA; 1 stays 255.
// - 0x80 = 128/255 decodes at t = (128/255)^2 * 254 = 63.999: 0.219520; in the signed
//   range 2 * 0.219520 - 1 = -0.560960, * 127 = -71.242, + 0.5 = -70.742, which the
//   signed writer rounds down to -71 = 0xB9.
// The small images take the codecs, the 64 x 64 ones the same-size tables; the point and
// none filters are the other jobs that run two encoded ends without gamma.
TEST(ConvertPixels, ASignedEndKeepsTheOtherEndsGammaConversion) {
  constexpr uint32_t kBoth = GammaIn | GammaOut;
  for (uint32_t side : {2u, 64u}) {
    Image bump(D3DFMT_V8U8, 2, side, side), argb = argbImage(side, side);
    ASSERT_EQ(convert(argb, bump, FilterTriangle | kBoth), S_OK);
    EXPECT_EQ(argb.word(0, 0), 0xFFBABAFFu) << side;
    EXPECT_EQ(argb.word(side - 1, side - 1), 0xFFBABAFFu) << side;

    Image grey = argbImage(side, side), back(D3DFMT_V8U8, 2, side, side);
    for (uint32_t y = 0; y < side; ++y)
      for (uint32_t x = 0; x < side; ++x) grey.setWord(x, y, 0xFF808080u);
    ASSERT_EQ(convert(back, grey, FilterTriangle | kBoth), S_OK);
    EXPECT_EQ(back.word(0, 0), 0xB9B9u) << side;
    EXPECT_EQ(back.word(side - 1, side - 1), 0xB9B9u) << side;
  }
  Image bump(D3DFMT_V8U8, 2, 4, 4), halved = argbImage(2, 2), grown = argbImage(5, 5);
  ASSERT_EQ(convert(halved, bump, FilterPoint | kBoth), S_OK);
  EXPECT_EQ(halved.word(1, 1), 0xFFBABAFFu);
  ASSERT_EQ(convert(grown, bump, FilterNone | kBoth), S_OK);
  EXPECT_EQ(grown.word(3, 3), 0xFFBABAFFu);
  Image grey = argbImage(4, 4), bumpHalved(D3DFMT_V8U8, 2, 2, 2);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 4; ++x) grey.setWord(x, y, 0xFF808080u);
  ASSERT_EQ(convert(bumpHalved, grey, FilterPoint | kBoth), S_OK);
  EXPECT_EQ(bumpHalved.word(1, 0), 0xB9B9u);
}

TEST(ConvertPixels, SameSizeConversionPacksEveryPixel) {
  Image source = argbImage(3, 2), destination(D3DFMT_R5G6B5, 2, 3, 2);
  source.setWord(2, 1, 0xffff0000u);
  source.setWord(0, 0, 0xff00ff00u);
  ASSERT_EQ(convert(destination, source, FilterLinear), S_OK);
  EXPECT_EQ(destination.word(2, 1), 0xf800u);
  EXPECT_EQ(destination.word(0, 0), 0x07e0u);
}

// A block format copied to itself moves whole blocks, row of blocks by row of blocks: two
// slices of three rows of two DXT1 blocks (8 bytes each) arrive where they were, each at its
// own pitches.
TEST(CopyIdentical, BlockSurfacesCopyEveryRowOfBlocks) {
  Image source(D3DFMT_DXT1, 2, 8, 12, 2), copy(D3DFMT_DXT1, 2, 8, 12, 2, 12);
  for (size_t i = 0; i < source.bytes.size(); ++i) source.bytes[i] = static_cast<uint8_t>(7 * i + 1);
  ASSERT_EQ(convert(copy, source, FilterNone), S_OK);
  for (uint32_t z = 0; z < 2; ++z)
    for (uint32_t row = 0; row < 3; ++row)
      EXPECT_EQ(std::memcmp(copy.bytes.data() + size_t(z) * copy.slicePitch + size_t(row) * copy.rowPitch,
                            source.bytes.data() + size_t(z) * source.slicePitch + size_t(row) * source.rowPitch, 16),
                0)
          << "slice " << z << ", row of blocks " << row;
}

TEST(ResampleNone, PadsTheDestinationWithTransparentBlack) {
  Image source = floatImage(2, 2), destination = floatImage(3, 3);
  source.randomizeFloats(4);
  destination.randomizeFloats(5);
  ASSERT_EQ(convert(destination, source, FilterNone), S_OK);
  for (uint32_t y = 0; y < 3; ++y)
    for (uint32_t x = 0; x < 3; ++x)
      for (int c = 0; c < 4; ++c) {
        const float expected = x < 2 && y < 2 ? source.floats(x, y)[c] : 0.f;
        EXPECT_EQ(destination.floats(x, y)[c], expected) << x << "," << y;
      }
}

TEST(ResampleNone, PaddingStaysZeroUnderErrorDiffusion) {
  // 0x6A is 0.4157 of full scale: 6.235 sixteenths, so A4R4G4B4 stores 6 and the error of
  // every channel would spill into the padding if diffusion reached it.
  Image source = argbImage(1, 1), destination(D3DFMT_A4R4G4B4, 2, 4, 64);
  source.setWord(0, 0, 0x6A6A6A6Au);
  ASSERT_EQ(convert(destination, source, FilterNone | DitherDiffusion), S_OK);
  EXPECT_EQ(destination.word(0, 0), 0x6666u);
  for (uint32_t y = 0; y < 64; ++y)
    for (uint32_t x = 0; x < 4; ++x)
      if (x || y) {
        ASSERT_EQ(destination.word(x, y), 0u) << x << "," << y;
      }
}

TEST(ResamplePoint, ThreeToTwoTakesColumnsZeroAndOne) {
  Image source = argbImage(3, 3, 3), destination = argbImage(2, 2, 2);
  for (uint32_t z = 0; z < 3; ++z)
    for (uint32_t y = 0; y < 3; ++y)
      for (uint32_t x = 0; x < 3; ++x) source.setWord(x, y, 0xff000000u | z << 16 | y << 8 | x, z);
  ASSERT_EQ(convert(destination, source, FilterPoint), S_OK);
  for (uint32_t z = 0; z < 2; ++z)
    for (uint32_t y = 0; y < 2; ++y)
      for (uint32_t x = 0; x < 2; ++x) EXPECT_EQ(destination.word(x, y, z), 0xff000000u | z << 16 | y << 8 | x);
}

TEST(BoxHalve, FiveByFiveToTwoByTwoIgnoresTheLastRowAndColumn) {
  for (uint32_t format : {uint32_t(D3DFMT_A8R8G8B8), uint32_t(D3DFMT_A32B32G32R32F)}) {
    const uint32_t bytes = format == D3DFMT_A8R8G8B8 ? 4 : 16;
    Image source(format, bytes, 5, 5), destination(format, bytes, 2, 2);
    Image reference = floatImage(5, 5);
    reference.randomizeFloats(6);
    if (format == D3DFMT_A8R8G8B8) {
      ASSERT_EQ(convert(source, reference, FilterPoint), S_OK);
      ASSERT_EQ(convert(reference, source, FilterPoint), S_OK);  // the values the bytes hold
    } else {
      source.bytes = reference.bytes;
    }
    ASSERT_EQ(convert(destination, source, FilterBox), S_OK);
    Image result = floatImage(2, 2);
    ASSERT_EQ(convert(result, destination, FilterPoint), S_OK);
    const float step = format == D3DFMT_A8R8G8B8 ? 1.f / 255 : 1e-6f;
    for (uint32_t y = 0; y < 2; ++y)
      for (uint32_t x = 0; x < 2; ++x)
        for (int c = 0; c < 4; ++c) {
          const float mean = (reference.floats(2 * x, 2 * y)[c] + reference.floats(2 * x + 1, 2 * y)[c] +
                              reference.floats(2 * x, 2 * y + 1)[c] + reference.floats(2 * x + 1, 2 * y + 1)[c]) /
                             4;
          EXPECT_NEAR(result.floats(x, y)[c], mean, step) << format << " " << x << "," << y;
        }
  }
}

TEST(BoxHalve, OneByOneIsCopiedAndFourByFourToThreeFallsThroughToTheTentFilter) {
  Image one = argbImage(1, 1), oneOut = argbImage(1, 1);
  one.setWord(0, 0, 0x12345678u);
  ASSERT_EQ(convert(oneOut, one, FilterBox), S_OK);
  EXPECT_EQ(oneOut.word(0, 0), 0x12345678u);

  Image source = floatImage(4, 4), boxed = floatImage(3, 3), tent = floatImage(3, 3);
  source.randomizeFloats(7);
  ASSERT_EQ(convert(boxed, source, FilterBox), S_OK);
  ASSERT_EQ(convert(tent, source, FilterTriangle), S_OK);
  EXPECT_EQ(boxed.bytes, tent.bytes);
}

TEST(BoxHalve, VolumesAverageEightPixelsAndThinSidesKeepTheirPixel) {
  Image source = floatImage(4, 1, 3), destination = floatImage(2, 1, 1);
  source.randomizeFloats(8);
  ASSERT_EQ(convert(destination, source, FilterBox), S_OK);
  for (uint32_t x = 0; x < 2; ++x)
    for (int c = 0; c < 4; ++c) {
      const float sum = source.floats(2 * x, 0, 0)[c] + source.floats(2 * x + 1, 0, 0)[c] +
                        source.floats(2 * x, 0, 1)[c] + source.floats(2 * x + 1, 0, 1)[c];
      EXPECT_NEAR(destination.floats(x, 0)[c], sum / 4, 1e-6f) << "the rows 2y + 1 alias the rows 2y";
    }
  Image column = floatImage(1, 6), half = floatImage(1, 3);
  column.randomizeFloats(9);
  ASSERT_EQ(convert(half, column, FilterBox), S_OK);
  EXPECT_NEAR(half.floats(0, 2)[1], (column.floats(0, 4)[1] + column.floats(0, 5)[1]) / 2, 1e-6f);
}

TEST(BoxHalve, KeyedPixelsCountAsTransparentBlackOnTheIntegerPathToo) {
  Image source = argbImage(2, 2), destination = argbImage(1, 1);
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t x = 0; x < 2; ++x) source.setWord(x, y, 0xff808080u);
  source.setWord(1, 1, 0xffff00ffu);
  PixelBox keyed = source.box();
  keyed.colorKey = 0xffff00ffu;
  ASSERT_EQ(convertPixels(destination.box(), keyed, FilterBox), S_OK);
  EXPECT_EQ(destination.word(0, 0), 0xbf606060u);
}

}  // namespace
}  // namespace kv_test
