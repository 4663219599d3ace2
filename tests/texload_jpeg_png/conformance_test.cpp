// Public test files, when the shared test data is present, each compared with a plain
// library decode: one test per reader over its folder.
//  - PNG: the library's samples as stored (no gamma handling), shown on a 2.2 screen where
//    the file has a gAMA chunk and no sRGB chunk. PngSuite's gamma set is instead held to
//    the suite's own rendering for such a screen, its 0.45 file. Every deliberately broken
//    file (PngSuite's x* files) and every file the library refuses is refused.
//  - JPEG: the library's own decode with its defaults; four-component files are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "decoded_rgba.h"
#include "jpeg_png_files.h"
#include "texload/image_readers.h"

namespace {

namespace fs = std::filesystem;

const fs::path kTestData = KV_TESTDATA_DIR;

std::vector<std::string> filesOf(const char *folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(kTestData / folder, error), end; !error && it != end; it.increment(error))
    if (it->is_regular_file()) files.push_back(fs::relative(it->path(), kTestData).generic_string());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> contents(const std::string &name) {
  std::ifstream in(kTestData / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string testName(const ::testing::TestParamInfo<std::string> &info) {
  std::string name = info.param;
  for (char &c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

constexpr double kScreenGamma = 2.2;

// A sample of a file with gamma g as a 2.2 screen shows it: (v / top) ^ (1 / (2.2 g)).
double shown(double v, double top, double gamma) { return std::pow(v / top, 1 / (kScreenGamma * gamma)); }

// Samples go through the correction unless the file's gamma already suits the screen to
// within 5 %; a palette's colours always do.
bool corrected(const kvtest::PlainPng &plain) {
  return plain.gamma > 0 && (plain.palette || std::abs(kScreenGamma * plain.gamma - 1) > 0.05);
}

class PngFiles : public ::testing::TestWithParam<std::string> {};

// Worst difference, in steps of the decode's own depth, between ours and the plain
// decode shown on a 2.2 screen (rounded to the nearest step).
int worstAgainstShown(const std::vector<uint16_t> &ours, const kvtest::PlainPng &plain) {
  const double top = plain.bitDepth == 16 ? 65535 : 255;
  int worst = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    double expected = plain.rgba[i];
    if (i % 4 != 3 && corrected(plain)) expected = std::floor(shown(expected, top, plain.gamma) * top + 0.5);
    worst = std::max(worst, static_cast<int>(std::abs(ours[i] - expected)));
  }
  return worst;
}

// PngSuite's gamma set holds one picture for six file gammas (0.35 to 2.5), with the
// gamma written on it as a label (columns 11 to 21, rows 21 to 26) that differs from file
// to file. The 0.45 file is the suite's rendering for a 2.2 screen, off by 1 % of its
// exponent (up to 0.93 of a step). The suite's samples are within one 8-bit step of the
// picture (some are truncated, not rounded), so a sample may differ from the rendering
// by what one step either side of it spans once shown, plus 2 steps: the rendering's
// exponent and the rounding of both decodes.
bool isGammaSuite(const std::string &name) {
  const std::string file = fs::path(name).filename().string();
  return name.rfind("png/pngsuite/", 0) == 0 && file.size() == 12 && file[0] == 'g' && file[3] == 'n';
}

bool onTheLabel(size_t pixel, int width) {
  const size_t x = pixel % size_t(width), y = pixel / size_t(width);
  return x >= 11 && x <= 21 && y >= 21 && y <= 26;
}

// The largest excess of a difference over its tolerance, in 8-bit steps.
double worstOverGammaSuiteTolerance(const std::vector<uint16_t> &ours, int oursDepth, const kvtest::PlainPng &plain,
                                    const kvtest::PlainPng &rendering) {
  const double toEight = oursDepth == 16 ? 255.0 / 65535 : 1;
  const double plainToEight = plain.bitDepth == 16 ? 255.0 / 65535 : 1;
  const double renderingToEight = rendering.bitDepth == 16 ? 255.0 / 65535 : 1;
  double worst = -1e9;
  for (size_t i = 0; i < ours.size(); ++i) {
    if (i % 4 == 3 || onTheLabel(i / 4, plain.width)) continue;
    const double v = plain.rgba[i] * plainToEight, here = shown(v, 255, plain.gamma);
    const double span = 255 * std::max(shown(std::min(v + 1, 255.0), 255, plain.gamma) - here,
                                       here - shown(std::max(v - 1, 0.0), 255, plain.gamma));
    const double difference = std::abs(ours[i] * toEight - rendering.rgba[i] * renderingToEight);
    worst = std::max(worst, difference - (span + 2));
  }
  return worst;
}

TEST_P(PngFiles, DecodeAsThePlainLibraryDecodeShownOnAScreenOfGamma22) {
  const std::string &name = GetParam();
  const std::vector<uint8_t> file = contents(name);
  const bool broken = name.rfind("png/pngsuite/x", 0) == 0;
  kvtest::PlainPng plain;
  const bool plainDecodes = kvtest::plainPngDecode(file.data(), file.size(), plain);
  kvtest::Decoded d;
  const HRESULT hr = kv::readPng(d.image, file.data(), static_cast<uint32_t>(file.size()));
  if (broken || !plainDecodes) {
    EXPECT_LT(hr, 0) << (broken ? "deliberately broken" : "the library refuses it");
    return;
  }
  ASSERT_EQ(hr, S_OK);
  ASSERT_EQ(int(d.image.width), plain.width);
  ASSERT_EQ(int(d.image.height), plain.height);
  ASSERT_EQ(kvtest::rgbaDepth(d.image), plain.bitDepth);
  const std::vector<uint16_t> ours = kvtest::recordRgba(d.image);
  ASSERT_EQ(ours.size(), plain.rgba.size());
  if (isGammaSuite(name)) {
    const std::string renderingName = name.substr(0, name.size() - 12) + "g04" + name.substr(name.size() - 9);
    const std::vector<uint8_t> renderingFile = contents(renderingName);
    kvtest::PlainPng rendering;
    ASSERT_TRUE(kvtest::plainPngDecode(renderingFile.data(), renderingFile.size(), rendering)) << renderingName;
    ASSERT_EQ(rendering.rgba.size(), ours.size());
    EXPECT_LE(worstOverGammaSuiteTolerance(ours, kvtest::rgbaDepth(d.image), plain, rendering), 0)
        << "against " << renderingName;
    return;
  }
  // A palette's colours are corrected exactly; libpng rounds the exponent to five
  // decimals before it builds its tables for the samples: one step.
  EXPECT_LE(worstAgainstShown(ours, plain), corrected(plain) && !plain.palette ? 1 : 0);
}
INSTANTIATE_TEST_SUITE_P(Public, PngFiles, ::testing::ValuesIn(filesOf("png")), testName);

// Files the reader refuses although the library decodes them, and why.
const std::map<std::string, const char *> kJpegRefused = {
    {"jpeg/jpeg-decoder/reftest/images/mozilla/jpg-cmyk-1.jpg", "four components"},
    {"jpeg/jpeg-decoder/reftest/images/mozilla/jpg-cmyk-2.jpg", "four components"},
    {"jpeg/magnum-plugins/cmyk.jpg", "four components"},
    {"jpeg/pillow/pil_sample_cmyk.jpg", "four components"},
    // When the library asks for more data, the reader ends the decode with the library's
    // premature-end error; the library's own memory source makes up an end-of-image marker.
    {"jpeg/pillow/truncated_jpeg.jpg", "data that ends inside the scan"},
};

class JpegFiles : public ::testing::TestWithParam<std::string> {};

TEST_P(JpegFiles, DecodeAsTheLibraryDecodesThemOrAreRefused) {
  const std::string &name = GetParam();
  const std::vector<uint8_t> file = contents(name);
  kvtest::Decoded d;
  const HRESULT hr = kv::readJpeg(d.image, file.data(), static_cast<uint32_t>(file.size()));
  kvtest::PlainJpeg plain;
  const bool plainDecodes = kvtest::plainJpegDecode(file.data(), file.size(), plain);
  const auto refused = kJpegRefused.find(name);
  if (!plainDecodes || refused != kJpegRefused.end()) {
    EXPECT_EQ(hr, E_FAIL) << (plainDecodes ? refused->second : "the library refuses it");
    return;
  }
  ASSERT_EQ(hr, S_OK);
  ASSERT_EQ(int(d.image.width), plain.width);
  ASSERT_EQ(int(d.image.height), plain.height);
  std::vector<uint16_t> expected;
  for (size_t p = 0; p < size_t(plain.width) * size_t(plain.height); ++p) {
    const uint8_t *s = plain.samples.data() + p * size_t(plain.components);
    if (plain.components == 1)
      expected.insert(expected.end(), {s[0], s[0], s[0], 255});
    else
      expected.insert(expected.end(), {s[0], s[1], s[2], 255});
  }
  EXPECT_EQ(kvtest::recordRgba(d.image), expected);
}
INSTANTIATE_TEST_SUITE_P(Public, JpegFiles, ::testing::ValuesIn(filesOf("jpeg")), testName);

}  // namespace

// Without the public files there is nothing to instantiate.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(PngFiles);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(JpegFiles);
