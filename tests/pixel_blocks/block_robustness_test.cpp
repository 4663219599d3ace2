#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "block_test_support.h"
#include "pixel/blocks/block_compression_kernels.h"

namespace kv::test {
namespace {

constexpr uint32_t kAllFormats[] = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5};

void expectUnitRange(const Block &b, const char *what) {
  for (int p = 0; p < 16; ++p) {
    for (int c = 0; c < 4; ++c) {
      EXPECT_TRUE(b.px[p][c] >= 0.0f && b.px[p][c] <= 1.0f) << what << " pixel " << p << " channel " << c;
    }
  }
}

Block clampedLikeTheEncoder(Block b) {
  for (auto &p : b.px) {
    for (float &v : p) v = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
  }
  return b;
}

TEST(BlockRobustness, ArbitraryBytesDecodeToFiniteUnitValues) {
  std::mt19937 rng(3);
  for (int i = 0; i < 2000; ++i) {
    std::vector<uint8_t> bytes(16);
    for (auto &b : bytes) b = static_cast<uint8_t>(rng());
    for (uint32_t format : kAllFormats) expectUnitRange(decode(format, bytes), "decoded");
  }
}

TEST(BlockRobustness, OutOfRangeAndNotANumberEncodeAsTheirClampedValues) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const float wild[] = {nan, -nan, inf, -inf, 1e30f, -1e30f, 2.0f, -0.5f, 1.0f + FLT_EPSILON, -FLT_MIN, FLT_MAX};
  std::mt19937 rng(4);
  for (int i = 0; i < 300; ++i) {
    Block in = photoLikeBlock(rng, true);
    for (int k = 0; k < 6; ++k) in.px[rng() % 16][rng() % 4] = wild[rng() % std::size(wild)];
    const Block clamped = clampedLikeTheEncoder(in);
    for (uint32_t format : kAllFormats) {
      for (bool dither : {false, true}) {
        const std::vector<uint8_t> bytes = encode(format, in, dither);
        EXPECT_EQ(bytes, encode(format, clamped, dither)) << format;
        expectUnitRange(decode(format, bytes), "round trip");
      }
    }
  }
}

TEST(BlockRobustness, AlphaAboveOneKeepsExplicitCodesInTheirNibble) {
  Block in = solidBlock(0.5f, 0.5f, 0.5f, 7.0f);
  in.px[1][3] = 0.0f;
  const std::vector<uint8_t> bytes = encode(D3DFMT_DXT3, in, true);
  EXPECT_EQ(bytes[0], 0x0F);  // pixel 0 at 15, pixel 1 at 0
}

TEST(BlockRobustness, NearlyEqualColoursFitWithoutDividingByZero) {
  for (float spread : {0.0f, 1e-30f, FLT_MIN, 1e-20f, 1e-7f, 1e-4f, 1.0f / 64}) {
    Block in = solidBlock(0.4f, 0.4f, 0.4f, 1.0f);
    for (int p = 0; p < 16; p += 2) in.px[p][1] += spread;
    for (uint32_t format : kAllFormats) {
      for (bool dither : {false, true}) {
        const Block out = decode(format, encode(format, in, dither));
        expectUnitRange(out, "nearly equal");
        EXPECT_LT(rmse(in, out), 0.03) << spread;
      }
    }
  }
}

TEST(BlockRobustness, SixStepAlphaWithoutMiddleValuesStaysExact) {
  // Only 0 and 1 besides one value that rounds to them: the fit has nothing to fit.
  Block in = solidBlock(0.2f, 0.2f, 0.2f, 1.0f);
  in.px[0][3] = 0.999f;
  in.px[3][3] = 0.0f;
  const Block out = decode(D3DFMT_DXT5, encode(D3DFMT_DXT5, in));
  EXPECT_EQ(out.px[0][3], 1.0f);
  EXPECT_EQ(out.px[3][3], 0.0f);
  EXPECT_EQ(out.px[5][3], 1.0f);
}

TEST(BlockRobustness, OtherFormatsTouchNeitherBytesNorPixels) {
  std::vector<uint8_t> bytes(16, 0xAB);
  Block pixels = solidBlock(0.5f, 0.5f, 0.5f, 0.5f);
  encodeDxtBlock(D3DFMT_A8R8G8B8, pixels.px, false, bytes.data());
  decodeDxtBlock(D3DFMT_A8R8G8B8, bytes.data(), pixels.px);
  EXPECT_EQ(bytes, std::vector<uint8_t>(16, 0xAB));
  EXPECT_EQ(pixels.px[7][2], 0.5f);
}

TEST(BlockRobustness, Sse2KernelsGiveTheSameBytesAsThePlainOnes) {
  const BlockKernels *sse2 = sse2BlockKernels();
  if (!sse2) GTEST_SKIP() << "built without SSE2";
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> unit(-0.1f, 1.1f);
  for (int i = 0; i < 3000; ++i) {
    Block in;
    if (i % 3 == 0) {
      for (auto &p : in.px) {
        for (float &v : p) v = unit(rng);
      }
    } else if (i % 3 == 1) {
      in = photoLikeBlock(rng, true);
    } else {
      const float from[4] = {unit(rng), unit(rng), unit(rng), unit(rng)};
      const float to[4] = {unit(rng), unit(rng), unit(rng), unit(rng)};
      in = gradientBlock(from, to);
    }
    for (uint32_t format : kAllFormats) {
      for (bool dither : {false, true}) {
        uint8_t plain[16], simd[16];
        encodeDxtBlockWith(plainBlockKernels(), format, in.px, dither, plain);
        encodeDxtBlockWith(*sse2, format, in.px, dither, simd);
        ASSERT_EQ(std::vector<uint8_t>(plain, plain + dxtBlockBytes(format)),
                  std::vector<uint8_t>(simd, simd + dxtBlockBytes(format)))
            << "block " << i << " format " << format << " dither " << dither;
      }
    }
  }
}

}  // namespace
}  // namespace kv::test
