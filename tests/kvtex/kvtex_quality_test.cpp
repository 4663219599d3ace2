// Block encoding choices and measuring them: --quality high (libsquish's cluster fit, refined),
// --opaque, and compare's PSNR and difference image.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#ifdef KVTEX_TEST_HAVE_SQUISH
#include <squish.h>
#endif

#include "kvtex_test_support.h"

namespace {

using namespace kvtex_test;
using nlohmann::json;

[[maybe_unused]] uint32_t noisy(uint32_t x, uint32_t y) {
  const uint32_t n = (x * 7 + y * 13) % 11;
  return 0xFF000000u | ((x * 9 + n) & 0xFF) << 16 | ((y * 5 + n * 3) & 0xFF) << 8 | ((x * y + n) & 0xFF);
}

using KvtexCompare = KvtexTest;

TEST_F(KvtexCompare, PsnrPerChannelAndADifferenceImage) {
  const auto a = [](uint32_t x, uint32_t y) { return 0xFF000000u | (x * 20 + 10) << 16 | (y * 20) << 8 | 0x40u; };
  // B: red 4 higher everywhere, alpha 2 lower at one pixel of 64.
  const auto b = [&](uint32_t x, uint32_t y) { return a(x, y) + (4u << 16) - (x == 5 && y == 6 ? 2u << 24 : 0u); };
  const std::string fa = write("a.bmp", bitmap(8, 8, a)), fb = write("b.bmp", bitmap(8, 8, b));
  const RunResult r = run({"compare", fa, fb, "-o", path("diff.png")});
  ASSERT_EQ(r.status, 0) << r.errors;
  ASSERT_EQ(r.lines.size(), 1u);
  const json &line = r.lines[0];
  // Worked by hand: red MSE 16, alpha MSE 4 / 64.
  EXPECT_NEAR(line["psnr"]["r"].get<double>(), 10 * std::log10(65025.0 / 16), 1e-9);
  EXPECT_TRUE(line["psnr"]["g"].is_null());
  EXPECT_TRUE(line["psnr"]["b"].is_null());
  EXPECT_NEAR(line["psnr"]["a"].get<double>(), 10 * std::log10(65025.0 * 16), 1e-9);
  EXPECT_NEAR(line["psnrRgb"].get<double>(), 10 * std::log10(65025.0 * 3 / 16), 1e-9);
  EXPECT_EQ(line["maxDifference"], (json{{"r", 4}, {"g", 0}, {"b", 0}, {"a", 2}}));
  EXPECT_EQ(line["identical"], false);
  const RgbaImage diff = readPng(path("diff.png"));
  ASSERT_EQ(diff.width, 8u);
  EXPECT_EQ(diff.at(0, 0)[0], 32);  // 4 times 8
  EXPECT_EQ(diff.at(0, 0)[1], 0);
  EXPECT_EQ(diff.at(0, 0)[3], 255);

  const RunResult same = run({"compare", fa, fa});
  ASSERT_EQ(same.status, 0) << same.errors;
  EXPECT_EQ(same.lines[0]["identical"], true);
  EXPECT_TRUE(same.lines[0]["psnrRgb"].is_null());

  const RunResult sizes = run({"compare", fa, write("c.bmp", bitmap(4, 8, a))});
  EXPECT_EQ(sizes.status, 1);
  EXPECT_NE(sizes.errors.find("only images of one size compare"), std::string::npos) << sizes.errors;
  EXPECT_EQ(run({"compare", fa}).status, 2);
}

using KvtexEncoders = KvtexTest;

TEST_F(KvtexEncoders, OpaqueDxt1KeepsEveryPixel) {
  // Alpha 0 in every other column: DXT1's transparent mode would turn those pixels
  // transparent black. Red is a ramp along each block, which four DXT1 colours hold.
  const auto colour = [](uint32_t x, uint32_t) { return (x % 2 ? 0xFF000000u : 0u) | (x % 4 * 60) << 16 | 0x4080u; };
  const std::string file = write("a.bmp", bitmap(8, 8, colour));
  for (const char *quality : {"normal", "high"}) {
    const RunResult made =
        run({"convert", file, "-o", path("o.dds"), "--format", "DXT1", "--opaque", "--quality", quality});
    if (made.status == 2 && std::string(quality) == "high") continue;  // built without libsquish
    ASSERT_EQ(made.status, 0) << quality << ": " << made.errors;
    ASSERT_EQ(run({"decode", path("o.dds"), "-o", path("o.png")}).status, 0);
    const RgbaImage back = readPng(path("o.png"));
    ASSERT_EQ(back.width, 8u);
    for (uint32_t y = 0; y < 8; ++y) {
      for (uint32_t x = 0; x < 8; ++x) {
        EXPECT_EQ(back.at(x, y)[3], 255) << quality << " at " << x << "," << y;
        EXPECT_NEAR(back.at(x, y)[0], int(colour(x, y) >> 16 & 0xFF), 8) << quality << " at " << x << "," << y;
      }
    }
  }
}

#ifdef KVTEX_TEST_HAVE_SQUISH
// A DXT colour block decoded in double precision: 5:6:5 fields over 31 and 63, the two
// middle colours at exact thirds (or the half and transparent black when the first
// endpoint is not the greater, in every format), each channel rounded to 8 bits.
void decodeColour(const uint8_t *block, double out[16][4]) {
  const uint32_t e0 = block[0] | block[1] << 8, e1 = block[2] | block[3] << 8;
  const auto unpack = [](uint32_t e, double *c) {
    c[0] = (e >> 11) / 31.0, c[1] = (e >> 5 & 63) / 63.0, c[2] = (e & 31) / 31.0, c[3] = 1.0;
  };
  double palette[4][4] = {};
  unpack(e0, palette[0]);
  unpack(e1, palette[1]);
  for (int c = 0; c < 4; ++c) {
    if (e0 > e1) {
      palette[2][c] = (2 * palette[0][c] + palette[1][c]) / 3;
      palette[3][c] = (palette[0][c] + 2 * palette[1][c]) / 3;
    } else {
      palette[2][c] = (palette[0][c] + palette[1][c]) / 2;
    }
  }
  const uint32_t codes = block[4] | block[5] << 8 | block[6] << 16 | uint32_t(block[7]) << 24;
  for (int p = 0; p < 16; ++p) {
    for (int c = 0; c < 4; ++c) out[p][c] = std::round(palette[codes >> (2 * p) & 3][c] * 255);
  }
}

// The squared error of one decoded pixel against its R, G, B, A bytes (colour, and DXT1's alpha).
double pixelError(const double *decoded, const uint8_t *source, bool dxt1) {
  double error = 0;
  for (int c = 0; c < (dxt1 ? 4 : 3); ++c) error += (decoded[c] - source[c]) * (decoded[c] - source[c]);
  return error;
}

// The block's error when every pixel takes its nearest palette entry.
double nearestError(const uint8_t *colourBlock, bool dxt1, const uint8_t *const pixels[16]) {
  uint8_t probe[8];
  std::copy_n(colourBlock, 8, probe);
  probe[4] = 0xE4, probe[5] = probe[6] = probe[7] = 0;  // pixels 0 to 3 show the palette
  double palette[16][4];
  decodeColour(probe, palette);
  double error = 0;
  for (int p = 0; p < 16; ++p) {
    double least = pixelError(palette[0], pixels[p], dxt1);
    for (int i = 1; i < 4; ++i) least = std::min(least, pixelError(palette[i], pixels[p], dxt1));
    error += least;
  }
  return error;
}

// The squared colour error (and DXT1's alpha) of DXT1 or DXT5 blocks against R, G, B, A bytes.
double squaredError(const uint8_t *blocks, bool dxt1, const std::vector<uint8_t> &rgba, uint32_t w, uint32_t h) {
  double error = 0;
  for (uint32_t by = 0; by < h / 4; ++by) {
    for (uint32_t bx = 0; bx < w / 4; ++bx) {
      double decoded[16][4];
      decodeColour(blocks + (by * (w / 4) + bx) * (dxt1 ? 8 : 16) + (dxt1 ? 0 : 8), decoded);
      for (int p = 0; p < 16; ++p) {
        for (int c = 0; c < (dxt1 ? 4 : 3); ++c) {
          const double d = decoded[p][c] - rgba[((by * 4 + p / 4) * w + bx * 4 + p % 4) * 4 + c];
          error += d * d;
        }
      }
    }
  }
  return error;
}
#endif

TEST_F(KvtexEncoders, HighQualityBlocksBeatLibsquishsBestFitAndTheOwnEncoder) {
#ifndef KVTEX_TEST_HAVE_SQUISH
  GTEST_SKIP() << "libsquish is not installed";
#else
  // Noise on ramps, so that few blocks sit on a line of colours.
  const auto noise = [](uint32_t x, uint32_t y) {
    uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u;
    h ^= h >> 13;
    return noisy(x, y) ^ (h & 0x1F1F1Fu);
  };
  constexpr uint32_t w = 32, h = 32;
  const std::string file = write("n.bmp", bitmap(w, h, noise));
  std::vector<uint8_t> rgba;
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t c = noise(x, y);
      rgba.insert(rgba.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(c >> 24)});
    }
  }
  for (const auto &[name, flag, bytes] : {std::tuple{"DXT1", int(squish::kDxt1), 8}, std::tuple{"DXT5", int(squish::kDxt5), 16}}) {
    const bool dxt1 = bytes == 8;
    std::vector<uint8_t> squished(size_t(w / 4) * (h / 4) * bytes);
    squish::CompressImage(rgba.data(), w, h, squished.data(), flag | squish::kColourIterativeClusterFit);
    double error[2];
    for (const bool high : {false, true}) {
      std::vector<std::string> args = {"convert", file, "-o", path("h.dds"), "--format", name};
      if (high) args.insert(args.end(), {"--quality", "high"});
      const RunResult made = run(args);
      ASSERT_EQ(made.status, 0) << made.errors;
      std::ifstream in(path("h.dds"), std::ios::binary);
      const std::vector<uint8_t> dds{std::istreambuf_iterator<char>(in), {}};
      ASSERT_EQ(dds.size(), 128 + squished.size()) << name;
      error[high] = squaredError(dds.data() + 128, dxt1, rgba, w, h);
    }
    EXPECT_LT(error[1], squaredError(squished.data(), dxt1, rgba, w, h)) << name;
    EXPECT_LT(error[1], error[0]) << name;
    // Every block is a local best: each pixel on its nearest palette entry, and no endpoint
    // field a step away (indices picked again) lower. The slack covers single-precision
    // rounding of the middle colours.
    std::ifstream in(path("h.dds"), std::ios::binary);
    const std::vector<uint8_t> dds{std::istreambuf_iterator<char>(in), {}};
    for (uint32_t b = 0; b < (w / 4) * (h / 4); ++b) {
      const uint8_t *colour = dds.data() + 128 + b * bytes + (dxt1 ? 0 : 8);
      const uint8_t *pixels[16];
      for (int p = 0; p < 16; ++p) pixels[p] = &rgba[(((b / (w / 4)) * 4 + p / 4) * w + (b % (w / 4)) * 4 + p % 4) * 4];
      double decoded[16][4], error = 0;
      decodeColour(colour, decoded);
      for (int p = 0; p < 16; ++p) error += pixelError(decoded[p], pixels[p], dxt1);
      EXPECT_LE(error, nearestError(colour, dxt1, pixels) + 4) << name << " block " << b;
      for (int endpoint = 0; endpoint < 2; ++endpoint) {
        for (const auto &[shift, bits] : {std::pair{11, 5}, std::pair{5, 6}, std::pair{0, 5}}) {
          for (const int step : {-1, 1}) {
            uint8_t moved[8];
            std::copy_n(colour, 8, moved);
            const uint32_t e = moved[2 * endpoint] | moved[2 * endpoint + 1] << 8;
            const int field = int(e >> shift & ((1u << bits) - 1)) + step;
            if (field < 0 || field >= (1 << bits)) continue;
            const uint32_t f = (e & ~(((1u << bits) - 1) << shift)) | uint32_t(field) << shift;
            moved[2 * endpoint] = uint8_t(f), moved[2 * endpoint + 1] = uint8_t(f >> 8);
            EXPECT_GE(nearestError(moved, dxt1, pixels) + 4, error) << name << " block " << b;
          }
        }
      }
    }
  }
#endif
}

}  // namespace
