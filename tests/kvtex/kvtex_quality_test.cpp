// Block encoding choices and measuring them: --quality high (libsquish's cluster fit),
// --opaque, and compare's PSNR and difference image.
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

TEST_F(KvtexEncoders, HighQualityBlocksAreLibsquishsClusterFit) {
#ifndef KVTEX_TEST_HAVE_SQUISH
  GTEST_SKIP() << "libsquish is not installed";
#else
  const std::string file = write("n.bmp", bitmap(12, 8, noisy));
  // The expected blocks, from libsquish itself on the same pixels.
  std::vector<uint8_t> rgba;
  for (uint32_t y = 0; y < 8; ++y) {
    for (uint32_t x = 0; x < 12; ++x) {
      const uint32_t c = noisy(x, y);
      rgba.insert(rgba.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(c >> 24)});
    }
  }
  for (const auto &[name, flag, bytes] : {std::tuple{"DXT1", int(squish::kDxt1), 8}, std::tuple{"DXT5", int(squish::kDxt5), 16}}) {
    const RunResult made = run({"convert", file, "-o", path("h.dds"), "--format", name, "--quality", "high"});
    ASSERT_EQ(made.status, 0) << made.errors;
    std::vector<uint8_t> want(size_t(3) * 2 * bytes);
    squish::CompressImage(rgba.data(), 12, 8, want.data(), flag | squish::kColourClusterFit);
    std::ifstream in(path("h.dds"), std::ios::binary);
    const std::vector<uint8_t> dds{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(dds.size(), 128 + want.size()) << name;
    EXPECT_TRUE(std::equal(want.begin(), want.end(), dds.begin() + 128)) << name;
  }
  // Never worse than the library's encoder on this image, by compare's PSNR.
  ASSERT_EQ(run({"convert", file, "-o", path("n.dds"), "--format", "DXT1"}).status, 0);
  ASSERT_EQ(run({"convert", file, "-o", path("h.dds"), "--format", "DXT1", "--quality", "high"}).status, 0);
  const double normal = run({"compare", file, path("n.dds")}).lines[0]["psnrRgb"];
  const double high = run({"compare", file, path("h.dds")}).lines[0]["psnrRgb"];
  EXPECT_GE(high, normal - 0.01);
#endif
}

}  // namespace
