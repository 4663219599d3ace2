// Public bitmap files: every one decodes or is rejected cleanly, and bmpsuite's good files
// match bmpsuite's own reference renderings. Skipped when the test images are absent.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bitmap_builder.h"
#include "texload/decode_image.h"

namespace {

namespace fs = std::filesystem;

const fs::path kTestData = KV_TESTDATA_DIR;

std::vector<uint8_t> readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t bytesPerPixel(uint32_t format) {
  switch (format) {
    case D3DFMT_P8: return 1;
    case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4: case D3DFMT_A8R3G3B2: case D3DFMT_A8L8: case D3DFMT_L16: return 2;
    case D3DFMT_R8G8B8: return 3;
    case D3DFMT_A32B32G32R32F: return 16;
    default: return 4;
  }
}

// Bits [shift, shift + bits) of value widened to 8 bits, rounded to nearest.
uint8_t field(uint32_t value, int shift, int bits) {
  const uint32_t max = (1u << bits) - 1;
  return uint8_t((((value >> shift) & max) * 255 + max / 2) / max);
}

// The decoded surface as 8-bit red, green, blue, alpha, written independently of the
// library's own pixel conversion; false for a format this test does not know.
bool toRgba(const kv::DecodedImage &image, std::vector<uint8_t> &rgba) {
  rgba.assign(size_t(image.width) * image.height * 4, 0);
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t *row = image.pixels + size_t(y) * image.rowPitch;
    for (uint32_t x = 0; x < image.width; ++x) {
      uint8_t *out = &rgba[(size_t(y) * image.width + x) * 4];
      const uint8_t *p = row + x * bytesPerPixel(image.format);
      const uint32_t v16 = bytesPerPixel(image.format) == 2 ? p[0] | p[1] << 8 : 0;
      switch (image.format) {
        case D3DFMT_P8: std::memcpy(out, image.palette + 4 * p[0], 4); break;
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
          out[0] = field(v16, 10, 5), out[1] = field(v16, 5, 5), out[2] = field(v16, 0, 5);
          out[3] = image.format == D3DFMT_A1R5G5B5 ? field(v16, 15, 1) : 255;
          break;
        case D3DFMT_R5G6B5:
          out[0] = field(v16, 11, 5), out[1] = field(v16, 5, 6), out[2] = field(v16, 0, 5), out[3] = 255;
          break;
        case D3DFMT_R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A8R8G8B8:
          out[0] = p[2], out[1] = p[1], out[2] = p[0];
          out[3] = image.format == D3DFMT_A8R8G8B8 ? p[3] : 255;
          break;
        case D3DFMT_A32B32G32R32F:
          for (int c = 0; c < 4; ++c) {
            float f;
            std::memcpy(&f, p + 4 * c, 4);
            out[c] = uint8_t(std::clamp(f, 0.0f, 1.0f) * 255.0f + 0.5f);
          }
          break;
        default: return false;
      }
    }
  }
  return true;
}

bool readReference(const fs::path &path, uint32_t &width, uint32_t &height, std::vector<uint8_t> &rgba) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.string().c_str())) return false;
  png.format = PNG_FORMAT_RGBA;
  rgba.resize(PNG_IMAGE_SIZE(png));
  width = png.width;
  height = png.height;
  return png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr) != 0;
}

TEST(BitmapConformance, EveryPublicBitmapDecodesOrIsRejectedCleanly) {
  if (!fs::is_directory(kTestData / "bmp")) GTEST_SKIP() << "no public test images at " << kTestData;
  int decoded = 0, rejected = 0;
  for (const char *folder : {"bmp", "dib"}) {
    for (const auto &entry : fs::recursive_directory_iterator(kTestData / folder)) {
      const std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || (ext != ".bmp" && ext != ".dib")) continue;
      const auto data = readFile(entry.path());
      for (BOOL pixels : {FALSE, TRUE}) {
        kvtest::DecodedRecord record;
        kv::ImageInfo info;
        const HRESULT hr = kv::decodeImage(record.image, data.data(), uint32_t(data.size()), &info, pixels);
        ASSERT_TRUE(hr == S_OK || hr == kv::ERR_INVALIDDATA) << entry.path() << " " << hr;
        if (!pixels) continue;
        if (hr != S_OK) {
          ++rejected;
          continue;
        }
        ++decoded;
        // Read every byte of every row, so a surface reaching past its buffer or the file shows.
        const size_t rowBytes = size_t(record.image.width) * bytesPerPixel(record.image.format);
        unsigned sum = 0;
        for (uint32_t y = 0; y < record.image.height; ++y) {
          const uint8_t *row = record.image.pixels + size_t(y) * record.image.rowPitch;
          for (size_t i = 0; i < rowBytes; ++i) sum += row[i];
        }
        volatile unsigned sink = sum;  // keeps the reads
        (void)sink;
      }
    }
  }
  std::printf("public bitmaps: %d decoded, %d rejected\n", decoded, rejected);
  EXPECT_GT(decoded, 0);
}

struct SuiteFile {
  const char *name;
  const char *reference;  // null: rejected by design
};

// Bit-field files whose masks follow a 40-byte header are rejected: the masks are only
// taken from inside a header of 52 bytes or more.
constexpr SuiteFile kGoodFiles[] = {
    {"pal1.bmp", "pal1.png"},           {"pal1bg.bmp", "pal1bg.png"},
    {"pal1wb.bmp", "pal1.png"},         {"pal4.bmp", "pal4.png"},
    {"pal4gs.bmp", "pal4gs.png"},       {"pal4rle.bmp", "pal4.png"},
    {"pal8-0.bmp", "pal8.png"},         {"pal8.bmp", "pal8.png"},
    {"pal8gs.bmp", "pal8gs.png"},       {"pal8nonsquare.bmp", "pal8nonsquare-e.png"},
    {"pal8os2.bmp", "pal8.png"},        {"pal8rle.bmp", "pal8.png"},
    {"pal8topdown.bmp", "pal8.png"},    {"pal8v4.bmp", "pal8.png"},
    {"pal8v5.bmp", "pal8.png"},         {"pal8w124.bmp", "pal8w124.png"},
    {"pal8w125.bmp", "pal8w125.png"},   {"pal8w126.bmp", "pal8w126.png"},
    {"rgb16.bmp", "rgb16.png"},         {"rgb24.bmp", "rgb24.png"},
    {"rgb24pal.bmp", "rgb24.png"},      {"rgb32.bmp", "rgb24.png"},
    {"rgb16-565.bmp", nullptr},         {"rgb16-565pal.bmp", nullptr},
    {"rgb16bfdef.bmp", nullptr},        {"rgb32bf.bmp", nullptr},
    {"rgb32bfdef.bmp", nullptr},
};

// The references are exact for 8-bit sources; 5-bit fields widened to 8 bits may round
// one way or the other.
constexpr int kTolerance = 2;

TEST(BitmapConformance, BmpsuiteGoodFilesMatchTheirReferenceRenderings) {
  const fs::path suite = kTestData / "bmp" / "bmpsuite-2.8";
  if (!fs::is_directory(suite / "g")) GTEST_SKIP() << "no bmpsuite at " << suite;
  for (const SuiteFile &file : kGoodFiles) {
    SCOPED_TRACE(file.name);
    const auto data = readFile(suite / "g" / file.name);
    ASSERT_FALSE(data.empty());
    kvtest::DecodedRecord record;
    kv::ImageInfo info;
    const HRESULT hr = kv::decodeImage(record.image, data.data(), uint32_t(data.size()), &info, TRUE);
    if (!file.reference) {
      EXPECT_EQ(hr, kv::ERR_INVALIDDATA);
      continue;
    }
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(info.fileFormat, kv::ImageFileFormat::Bmp);
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> expected, actual;
    ASSERT_TRUE(readReference(suite / "html" / file.reference, width, height, expected));
    ASSERT_EQ(record.image.width, width);
    ASSERT_EQ(record.image.height, height);
    ASSERT_TRUE(toRgba(record.image, actual)) << "format " << record.image.format;
    int worst = 0;
    for (size_t i = 0; i < actual.size(); ++i) worst = std::max(worst, std::abs(actual[i] - expected[i]));
    EXPECT_LE(worst, kTolerance);
    std::printf("%s: largest channel difference %d\n", file.name, worst);
  }
}

}  // namespace
