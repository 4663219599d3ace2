#include <gtest/gtest.h>

#include <algorithm>

#include "block_test_support.h"

namespace kv::test {
namespace {

constexpr uint32_t kAllFormats[] = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5};

// The colour block sits after the alpha block in the 16-byte formats.
const uint8_t *colourPart(uint32_t format, const std::vector<uint8_t> &bytes) {
  return bytes.data() + (format == D3DFMT_DXT1 ? 0 : 8);
}

TEST(BlockEncode, FullyTransparentDxt1BlockHasItsFixedBytes) {
  const std::vector<uint8_t> want = {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(encode(D3DFMT_DXT1, solidBlock(0.3f, 0.6f, 0.9f, 0.49f)), want);
  EXPECT_EQ(encode(D3DFMT_DXT1, solidBlock(0.3f, 0.6f, 0.9f, 0.0f), true), want);
}

TEST(BlockEncode, SingleOpaqueColourUsesEqualEndpointsAndCodeZero) {
  // 0.5, 0.25, 0.75 round to 16/31, 16/63, 23/31.
  const Block in = solidBlock(0.5f, 0.25f, 0.75f, 1.0f);
  for (uint32_t format : kAllFormats) {
    const std::vector<uint8_t> bytes = encode(format, in);
    const uint8_t *colour = colourPart(format, bytes);
    EXPECT_EQ(endpoint(colour, 0), 0x8217) << format;
    EXPECT_EQ(endpoint(colour, 1), 0x8217) << format;
    EXPECT_EQ(colourCodes(colour), 0u) << format;
    const Block out = decode(format, bytes);
    for (int p = 0; p < 16; ++p) {
      EXPECT_FLOAT_EQ(out.px[p][0], 16.0f / 31) << format;
      EXPECT_FLOAT_EQ(out.px[p][1], 16.0f / 63) << format;
      EXPECT_FLOAT_EQ(out.px[p][2], 23.0f / 31) << format;
      EXPECT_EQ(out.px[p][3], 1.0f) << format;
    }
  }
}

TEST(BlockEncode, DitheredSingleColourKeepsItsAverage) {
  const Block in = solidBlock(0.5f, 0.25f, 0.75f, 1.0f);
  for (uint32_t format : kAllFormats) {
    const Block out = decode(format, encode(format, in, true));
    for (int c = 0; c < 4; ++c) {
      float sum = 0;
      for (int p = 0; p < 16; ++p) sum += out.px[p][c];
      EXPECT_NEAR(sum / 16, in.px[0][c], 1.0f / 62) << format << " channel " << c;
    }
  }
}

TEST(BlockEncode, BlackAndWhiteHalvesBecomeTheTwoEndpoints) {
  Block in = solidBlock(1, 1, 1, 1);
  for (int p = 8; p < 16; ++p) std::fill(in.px[p], in.px[p] + 3, 0.0f);
  const std::vector<uint8_t> want = {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x55, 0x55};
  EXPECT_EQ(encode(D3DFMT_DXT1, in), want);
}

TEST(BlockEncode, Dxt1TransparentPixelsTakeCodeThreeOfAThreeColourBlock) {
  std::mt19937 rng(7);
  for (int round = 0; round < 50; ++round) {
    Block in = photoLikeBlock(rng, false);
    for (int p : {0, 5, 10, 15}) in.px[p][3] = 0.25f;
    for (bool dither : {false, true}) {
      const std::vector<uint8_t> bytes = encode(D3DFMT_DXT1, in, dither);
      EXPECT_LE(endpoint(bytes.data(), 0), endpoint(bytes.data(), 1));
      const Block out = decode(D3DFMT_DXT1, bytes);
      for (int p = 0; p < 16; ++p) {
        const bool transparent = p % 5 == 0;
        EXPECT_EQ((colourCodes(bytes.data()) >> (2 * p) & 3) == 3, transparent) << p;
        if (transparent) {
          EXPECT_EQ(out.px[p][0] + out.px[p][1] + out.px[p][2] + out.px[p][3], 0.0f);
        } else {
          EXPECT_EQ(out.px[p][3], 1.0f);
        }
      }
    }
  }
}

TEST(BlockEncode, OpaqueBlocksOrderEndpointsForFourColours) {
  std::mt19937 rng(8);
  for (int round = 0; round < 200; ++round) {
    const Block in = photoLikeBlock(rng, false);
    for (uint32_t format : {D3DFMT_DXT1, D3DFMT_DXT5}) {
      const std::vector<uint8_t> bytes = encode(format, in);
      const uint8_t *colour = colourPart(format, bytes);
      if (endpoint(colour, 0) == endpoint(colour, 1)) {
        EXPECT_EQ(colourCodes(colour), 0u);
      } else {
        EXPECT_GT(endpoint(colour, 0), endpoint(colour, 1));
      }
    }
  }
}

TEST(BlockEncode, OpaqueAlphaInDxt5IsTwoFullEndpointsAndZeroCodes) {
  const std::vector<uint8_t> bytes = encode(D3DFMT_DXT5, solidBlock(0.2f, 0.4f, 0.6f, 1.0f), true);
  const std::vector<uint8_t> want = {0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8), want);
}

TEST(BlockEncode, Dxt5AlphaWithZeroAndOneUsesSixStepsAndCodesTheExtremesApart) {
  const float from[4] = {0, 0, 0, 0.3f}, to[4] = {1, 1, 1, 0.7f};
  Block in = gradientBlock(from, to);
  in.px[0][3] = 0.0f;
  in.px[9][3] = 0.0f;
  in.px[15][3] = 1.0f;
  in.px[6][3] = 1.0f;
  const std::vector<uint8_t> bytes = encode(D3DFMT_DXT5, in);
  EXPECT_LE(bytes[0], bytes[1]);
  EXPECT_EQ(alphaCode(bytes, 0), 6);
  EXPECT_EQ(alphaCode(bytes, 9), 6);
  EXPECT_EQ(alphaCode(bytes, 15), 7);
  EXPECT_EQ(alphaCode(bytes, 6), 7);
  const Block out = decode(D3DFMT_DXT5, bytes);
  EXPECT_EQ(out.px[0][3], 0.0f);
  EXPECT_EQ(out.px[15][3], 1.0f);
  EXPECT_LT(rmse(in, out, 3, 1), 0.02);
}

TEST(BlockEncode, Dxt5AlphaOfOnlyZeroAndOneDecodesExactly) {
  Block in = solidBlock(0.5f, 0.5f, 0.5f, 1.0f);
  for (int p = 0; p < 16; p += 3) in.px[p][3] = 0.0f;
  const Block out = decode(D3DFMT_DXT5, encode(D3DFMT_DXT5, in));
  for (int p = 0; p < 16; ++p) EXPECT_EQ(out.px[p][3], in.px[p][3]) << p;
}

TEST(BlockEncode, Dxt5EightStepAlphaPutsTheLargerEndpointFirst) {
  const float from[4] = {0.5f, 0.5f, 0.5f, 0.2f}, to[4] = {0.5f, 0.5f, 0.5f, 0.8f};
  const std::vector<uint8_t> bytes = encode(D3DFMT_DXT5, gradientBlock(from, to));
  EXPECT_GT(bytes[0], bytes[1]);
}

// Whole alpha blocks worked out by a double-precision model of the interpolated-alpha
// encoder: min/max start, the least-squares rounds (each endpoint stepped by the alpha minus
// palette error, which widens the range), byte endpoints and the step-to-code maps. The
// inputs are whole bytes and every fitted endpoint lies well away from a rounding boundary,
// and no pixel's step lies near a rounding tie, so single precision must give the same bytes. Fitting in the other direction, or with
// another step weight, gives other endpoints for each of these blocks.
TEST(BlockEncode, Dxt5AlphaBlocksMatchTheModelOfTheFit) {
  struct Case {
    uint8_t alpha[16];
    uint8_t want[8];
  };
  const Case cases[] = {
      // eight steps
      {{57, 57, 52, 42, 42, 38, 38, 44, 62, 44, 43, 43, 47, 48, 44, 55}, {0x3F, 0x26, 0x1B, 0xFF, 0xC4, 0xF0, 0xDF, 0x7A}},
      {{196, 180, 191, 189, 216, 207, 190, 193, 190, 181, 209, 193, 189, 182, 187, 186},
       {0xD9, 0xB4, 0x8D, 0x8D, 0xD9, 0xCE, 0xEC, 0xFC}},
      {{43, 46, 48, 73, 79, 70, 56, 65, 70, 71, 61, 47, 74, 42, 75, 65}, {0x4E, 0x2A, 0xF9, 0x85, 0x95, 0x13, 0xAF, 0x88}},
      // six steps (0 and 1 present)
      {{255, 255, 0, 73, 45, 66, 73, 154, 152, 255, 255, 190, 52, 99, 0, 108},
       {0x2E, 0xC3, 0xBF, 0x05, 0xA9, 0xFD, 0x83, 0x79}},
      {{76, 0, 136, 0, 255, 0, 119, 134, 39, 54, 178, 137, 174, 255, 127, 0},
       {0x25, 0xB2, 0x72, 0x7D, 0x93, 0x50, 0x9A, 0xD3}},
      {{68, 0, 200, 65, 120, 115, 255, 215, 191, 255, 76, 0, 255, 40, 153, 139},
       {0x28, 0xD8, 0x72, 0xB4, 0x3D, 0xBD, 0x7C, 0x90}},
  };
  for (const Case &c : cases) {
    Block in = solidBlock(0.5f, 0.5f, 0.5f, 1.0f);
    for (int p = 0; p < 16; ++p) in.px[p][3] = c.alpha[p] / 255.0f;
    const std::vector<uint8_t> bytes = encode(D3DFMT_DXT5, in);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8), std::vector<uint8_t>(c.want, c.want + 8))
        << "block starting with alpha " << int(c.alpha[0]);
  }
}

TEST(BlockEncode, ExplicitAlphaKeepsSixteenLevelsExactly) {
  Block in = solidBlock(0.5f, 0.5f, 0.5f, 1.0f);
  for (int p = 0; p < 16; ++p) in.px[p][3] = static_cast<float>(p) / 15.0f;
  const std::vector<uint8_t> bytes = encode(D3DFMT_DXT3, in);
  const std::vector<uint8_t> want = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8), want);
}

TEST(BlockEncode, PremultipliedFormatsStoreColourTimesAlpha) {
  const Block in = solidBlock(0.8f, 0.6f, 0.4f, 0.5f);
  const Block premultiplied = solidBlock(0.4f, 0.3f, 0.2f, 0.5f);
  EXPECT_EQ(encode(D3DFMT_DXT2, in), encode(D3DFMT_DXT3, premultiplied));
  EXPECT_EQ(encode(D3DFMT_DXT4, in, true), encode(D3DFMT_DXT5, premultiplied, true));
  const Block out = decode(D3DFMT_DXT4, encode(D3DFMT_DXT4, in));
  EXPECT_NEAR(out.px[3][0], 0.8f, 0.04f);
  EXPECT_NEAR(out.px[3][3], 0.5f, 0.004f);
}

// Error bounds (RMSE per block in [0, 1] units, worst and mean over 300 blocks), set a
// little above what the encoder reaches; a wrong code map, endpoint order or fit lands
// far above them. The photo-like blocks have independent edges per channel, which no
// four-colour line fits well.
struct Bounds {
  double worstBlock, mean;
};

void expectRoundTripWithin(uint32_t format, bool dither, bool photoLike, Bounds colour, Bounds alpha) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  double colourSum = 0, alphaSum = 0, colourWorst = 0, alphaWorst = 0;
  const int blocks = 300;
  for (int i = 0; i < blocks; ++i) {
    Block in;
    if (photoLike) {
      in = photoLikeBlock(rng, format != D3DFMT_DXT1);
    } else {
      const float from[4] = {unit(rng), unit(rng), unit(rng), unit(rng)};
      const float to[4] = {unit(rng), unit(rng), unit(rng), unit(rng)};
      in = gradientBlock(from, to);
      if (format == D3DFMT_DXT1) {
        for (auto &p : in.px) p[3] = 1.0f;
      }
    }
    const Block out = decode(format, encode(format, in, dither));
    const double c = rmse(in, out), a = rmse(in, out, 3, 1);
    colourSum += c;
    alphaSum += a;
    colourWorst = std::max(colourWorst, c);
    alphaWorst = std::max(alphaWorst, a);
  }
  EXPECT_LT(colourWorst, colour.worstBlock) << format << (dither ? " dithered" : "");
  EXPECT_LT(colourSum / blocks, colour.mean) << format << (dither ? " dithered" : "");
  EXPECT_LT(alphaWorst, alpha.worstBlock) << format << (dither ? " dithered" : "");
  EXPECT_LT(alphaSum / blocks, alpha.mean) << format << (dither ? " dithered" : "");
}

TEST(BlockEncode, RoundTripOfPhotoLikeBlocksStaysWithinBounds) {
  for (bool dither : {false, true}) {
    expectRoundTripWithin(D3DFMT_DXT1, dither, true, {0.12, 0.055}, {1e-9, 1e-9});
    expectRoundTripWithin(D3DFMT_DXT3, dither, true, {0.12, 0.055}, {0.035, 0.024});
    expectRoundTripWithin(D3DFMT_DXT5, dither, true, {0.12, 0.055}, {0.04, 0.015});
  }
}

TEST(BlockEncode, RoundTripOfGradientBlocksStaysWithinBounds) {
  for (bool dither : {false, true}) {
    expectRoundTripWithin(D3DFMT_DXT1, dither, false, {0.08, 0.038}, {1e-9, 1e-9});
    expectRoundTripWithin(D3DFMT_DXT5, dither, false, {0.08, 0.038}, {0.08, 0.022});
  }
}

TEST(BlockEncode, DitheringChangesCodesButKeepsTheErrorBounded) {
  std::mt19937 rng(12);
  int changed = 0;
  for (int i = 0; i < 100; ++i) {
    for (uint32_t format : {D3DFMT_DXT1, D3DFMT_DXT5}) {
      const Block in = photoLikeBlock(rng, format == D3DFMT_DXT5);
      const std::vector<uint8_t> plain = encode(format, in), dithered = encode(format, in, true);
      changed += plain != dithered;
      const double plainError = rmse(in, decode(format, plain));
      const double ditheredError = rmse(in, decode(format, dithered));
      EXPECT_LT(ditheredError, plainError + 0.03);
    }
  }
  EXPECT_GT(changed, 50);
}

}  // namespace
}  // namespace kv::test
