#include <gtest/gtest.h>

#include "block_test_support.h"
#include "pixel/blocks/premultiplied_alpha.h"

namespace kv::test {
namespace {

void expectPixel(const Block &b, int p, float r, float g, float bl, float a) {
  EXPECT_FLOAT_EQ(b.px[p][0], r) << "pixel " << p;
  EXPECT_FLOAT_EQ(b.px[p][1], g) << "pixel " << p;
  EXPECT_FLOAT_EQ(b.px[p][2], bl) << "pixel " << p;
  EXPECT_FLOAT_EQ(b.px[p][3], a) << "pixel " << p;
}

TEST(BlockDecode, BlockSizesAreEightForDxt1AndSixteenForTheOthers) {
  EXPECT_EQ(dxtBlockBytes(D3DFMT_DXT1), 8u);
  for (uint32_t f : {D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5}) EXPECT_EQ(dxtBlockBytes(f), 16u);
  EXPECT_EQ(dxtBlockBytes(D3DFMT_A8R8G8B8), 0u);
  EXPECT_EQ(dxtBlockBytes(0), 0u);
}

TEST(BlockDecode, FourColourBlockInterpolatesThirdsBetweenTheEndpoints) {
  // red > blue as 16-bit numbers; codes 0, 1, 2, 3 on pixels 0..3, then repeating.
  const Block b = decode(D3DFMT_DXT1, {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4});
  for (int row = 0; row < 4; ++row) {
    expectPixel(b, 4 * row + 0, 1, 0, 0, 1);
    expectPixel(b, 4 * row + 1, 0, 0, 1, 1);
    expectPixel(b, 4 * row + 2, 1 - 1.0f / 3, 0, 1.0f / 3, 1);
    expectPixel(b, 4 * row + 3, 1 - 2.0f / 3, 0, 2.0f / 3, 1);
  }
}

TEST(BlockDecode, ThreeColourBlockHasMidpointAndTransparentBlack) {
  // blue <= red: three colours; pixel p takes code p & 3.
  const Block b = decode(D3DFMT_DXT1, {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0xE4, 0xE4, 0xE4});
  expectPixel(b, 0, 0, 0, 1, 1);
  expectPixel(b, 1, 1, 0, 0, 1);
  expectPixel(b, 2, 0.5f, 0, 0.5f, 1);
  expectPixel(b, 3, 0, 0, 0, 0);
  // Equal endpoints are a three-colour block too.
  const Block same = decode(D3DFMT_DXT1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0});
  expectPixel(same, 0, 0, 0, 0, 0);
  expectPixel(same, 4, 1, 1, 1, 1);
}

TEST(BlockDecode, ExplicitAlphaGivesFourBitsPerPixelLowNibbleFirst) {
  // Pixel p has alpha code p; a white colour block follows.
  const Block b = decode(D3DFMT_DXT3, {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,  //
                                       0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
  for (int p = 0; p < 16; ++p) expectPixel(b, p, 1, 1, 1, static_cast<float>(p) * (1.0f / 15));
}

TEST(BlockDecode, InterpolatedAlphaEightStepsWhenFirstEndpointIsLarger) {
  // alpha0 255, alpha1 0; pixel p has code p & 7: 0 → 1, 1 → 0, 2..7 → 6/7 .. 1/7.
  const Block b = decode(D3DFMT_DXT5, {255, 0, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA,  //
                                       0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
  const float want[8] = {1, 0, 6.0f / 7, 5.0f / 7, 4.0f / 7, 3.0f / 7, 2.0f / 7, 1.0f / 7};
  for (int p = 0; p < 16; ++p) EXPECT_FLOAT_EQ(b.px[p][3], want[p & 7]) << p;
}

TEST(BlockDecode, InterpolatedAlphaSixStepsWithExactZeroAndOne) {
  // alpha0 51 (0.2) <= alpha1 204 (0.8): four steps between, code 6 = 0, code 7 = 1.
  const Block b = decode(D3DFMT_DXT5, {51, 204, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA,  //
                                       0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0});
  const float want[8] = {0.2f, 0.8f, 0.32f, 0.44f, 0.56f, 0.68f, 0.0f, 1.0f};
  for (int p = 0; p < 16; ++p) EXPECT_NEAR(b.px[p][3], want[p & 7], 1e-6f) << p;
  EXPECT_EQ(b.px[6][3], 0.0f);
  EXPECT_EQ(b.px[7][3], 1.0f);
}

TEST(BlockDecode, UnpremultiplyDividesByAlphaAndSaturates) {
  Block b = solidBlock(0.25f, 0.5f, 0.75f, 0.5f);
  b.px[1][3] = 0.0f;
  b.px[2][3] = 1.0f;
  unpremultiplyAlpha(b.px);
  expectPixel(b, 0, 0.5f, 1.0f, 1.0f, 0.5f);  // equal to alpha and above it both give 1
  expectPixel(b, 1, 0, 0, 0, 0);
  expectPixel(b, 2, 0.25f, 0.5f, 0.75f, 1.0f);
}

TEST(BlockDecode, PremultipliedFormatsDecodeToStraightAlpha) {
  // Colour (R 8/31, G 0, B 0) everywhere; alphas by pixel: 0, 1, 8/15.
  const std::vector<uint8_t> colour = {0x00, 0x40, 0x00, 0x00, 0, 0, 0, 0};
  std::vector<uint8_t> dxt2 = {0xF0, 0x08, 0, 0, 0, 0, 0, 0};
  dxt2.insert(dxt2.end(), colour.begin(), colour.end());
  const Block b2 = decode(D3DFMT_DXT2, dxt2);
  const Block b3 = decode(D3DFMT_DXT3, dxt2);
  expectPixel(b2, 0, 0, 0, 0, 0);
  expectPixel(b2, 1, 8.0f / 31, 0, 0, 1);
  EXPECT_EQ(b2.px[2][0], b3.px[2][0] / b3.px[2][3]);
  EXPECT_FLOAT_EQ(b3.px[2][0], 8.0f / 31);

  // DXT4: alpha0 0, alpha1 255 (six steps); pixel 0 code 0 → 0, pixel 1 code 1 → 1, pixel 2 code 2 → 0.2.
  std::vector<uint8_t> dxt4 = {0, 255, 0x88, 0, 0, 0, 0, 0};
  dxt4.insert(dxt4.end(), colour.begin(), colour.end());
  const Block b4 = decode(D3DFMT_DXT4, dxt4);
  expectPixel(b4, 0, 0, 0, 0, 0);
  expectPixel(b4, 1, 8.0f / 31, 0, 0, 1);
  EXPECT_FLOAT_EQ(b4.px[2][3], 0.2f);
  EXPECT_FLOAT_EQ(b4.px[2][0], 1.0f);  // 8/31 is above 0.2: saturates
}

}  // namespace
}  // namespace kv::test
