// Public test files, when the shared test data is present: every PNG that the PNG library
// decodes comes out of the reader as the same RGBA, every deliberately broken one (PngSuite's
// x* files) and every file the library refuses is refused; every JPEG either decodes as the
// library's own decode does or is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "decoded_rgba.h"
#include "jpeg_png_files.h"
#include "texload/image_readers.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> filesUnder(const fs::path &folder) {
  std::vector<fs::path> files;
  for (const auto &entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> contents(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

fs::path testData(const char *format) { return fs::path(KV_TESTDATA_DIR) / format; }

TEST(PngConformance, EveryFileDecodesAsTheLibraryDoesOrIsRefused) {
  const fs::path folder = testData("png");
  if (!fs::is_directory(folder)) GTEST_SKIP() << "no test data at " << folder;
  int decoded = 0, refused = 0;
  for (const fs::path &path : filesUnder(folder)) {
    if (path.extension() != ".png") continue;
    SCOPED_TRACE(path.string());
    const std::vector<uint8_t> file = contents(path);
    const bool broken = path.parent_path().filename() == "pngsuite" && path.filename().string()[0] == 'x';
    kvtest::PlainPng plain;
    const bool plainDecodes = kvtest::plainPngDecode(file.data(), file.size(), plain);
    kvtest::Decoded d;
    const HRESULT hr = kv::readPng(d.image, file.data(), static_cast<uint32_t>(file.size()));
    if (broken || !plainDecodes) {
      EXPECT_LT(hr, 0);
      ++refused;
      continue;
    }
    ASSERT_EQ(hr, S_OK);
    ASSERT_EQ(int(d.image.width), plain.width);
    ASSERT_EQ(int(d.image.height), plain.height);
    ASSERT_EQ(kvtest::rgbaDepth(d.image), plain.bitDepth);
    EXPECT_EQ(kvtest::recordRgba(d.image), plain.rgba);
    ++decoded;
  }
  EXPECT_GT(decoded, 100);
  EXPECT_GT(refused, 10);
}

TEST(JpegConformance, EveryFileDecodesAsTheLibraryDoesOrIsRefusedCleanly) {
  const fs::path folder = testData("jpeg");
  if (!fs::is_directory(folder)) GTEST_SKIP() << "no test data at " << folder;
  int decoded = 0;
  for (const fs::path &path : filesUnder(folder)) {
    SCOPED_TRACE(path.string());
    const std::vector<uint8_t> file = contents(path);
    kvtest::Decoded d;
    const HRESULT hr = kv::readJpeg(d.image, file.data(), static_cast<uint32_t>(file.size()));
    ASSERT_TRUE(hr == S_OK || hr == E_FAIL) << std::hex << hr;
    if (hr != S_OK) continue;
    ++decoded;
    kvtest::PlainJpeg plain;
    ASSERT_TRUE(kvtest::plainJpegDecode(file.data(), file.size(), plain));
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
  EXPECT_GT(decoded, 20);
}

}  // namespace
