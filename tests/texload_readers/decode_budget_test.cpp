// The decode budget: its rule on figures worked by hand, and every reader of this folder
// asking it before it takes memory for an image (DDS records, TGA, pixmap, float map and
// Radiance pixels), with the inputs that used to cost far more than their size.
#include "dds_builder.h"
#include "reader_test_support.h"
#include "texload/decode_budget.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kv::test {
namespace {

constexpr uint64_t MiB = uint64_t(1) << 20;

// Sets the pixel limit for one test and puts the default back afterwards.
DecodeCost cost(uint64_t pixels, uint64_t bytes, uint64_t fileBytes, uint64_t leastFileBytes) {
  DecodeCost c;
  c.pixels = pixels;
  c.bytes = bytes;
  c.fileBytes = fileBytes;
  c.leastFileBytes = leastFileBytes;
  return c;
}

TEST(DecodeBudget, AnyFileMayCost64MiBOr16TimesItsSizeAndMoreOnlyWhenItHoldsTheImage) {
  // Up to the floor, however short the file and whatever it would need.
  EXPECT_EQ(checkDecodeBudget(cost(1, 64 * MiB, 10, 1000)), S_OK);
  EXPECT_EQ(checkDecodeBudget(cost(1, 64 * MiB + 1, 10, 1000)), E_FAIL);
  // 16 bytes for each byte of a file of 8 MiB: 128 MiB.
  EXPECT_EQ(checkDecodeBudget(cost(1, 128 * MiB, 8 * MiB, UINT64_MAX)), S_OK);
  EXPECT_EQ(checkDecodeBudget(cost(1, 128 * MiB + 1, 8 * MiB, UINT64_MAX)), E_FAIL);
  // Beyond both, a file long enough for its format's best compression.
  EXPECT_EQ(checkDecodeBudget(cost(1, 1024 * MiB, 1000, 1000)), S_OK);
  EXPECT_EQ(checkDecodeBudget(cost(1, 1024 * MiB, 999, 1000)), E_FAIL);
  // Never more than a 32-bit process can hold, however long the file.
  EXPECT_EQ(checkDecodeBudget(cost(1, 0x7FFFFFFF, 0xFFFFFFFF, 0)), S_OK);
  EXPECT_EQ(checkDecodeBudget(cost(1, 0x80000000u, 0xFFFFFFFF, 0)), E_FAIL);
}

TEST(DecodeBudget, ThePixelLimitIs8192SquaredByDefaultAndCanBeRaised) {
  EXPECT_EQ(decodePixelLimit(), uint64_t(8192) * 8192);
  EXPECT_EQ(checkDecodeBudget(cost(8192 * 8192, 0, 1, 0)), S_OK);
  EXPECT_EQ(checkDecodeBudget(cost(8192 * 8192 + 1, 0, 1, 0)), E_FAIL);
  {
    const PixelLimit raised(uint64_t(1) << 32);
    EXPECT_EQ(checkDecodeBudget(cost(8192 * 8192 + 1, 0, 1, 0)), S_OK);
  }
  EXPECT_EQ(decodePixelLimit(), uint64_t(8192) * 8192);
}

// A small valid file of every reader here, and its pixel count.
struct SmallFile {
  const char *name;
  Reader read;
  ImageFileFormat format;
  Bytes data;
  uint64_t pixels;
};

std::vector<SmallFile> smallFiles() {
  std::vector<SmallFile> files;
  DdsLayout dds;  // 4 x 4 DXT1: one block
  files.push_back({"DDS", readDds, ImageFileFormat::Dds, ddsFile(dds, 8), 16});
  Bytes tga(18, 0);  // 3 x 2 greyscale, run-length: one packet of 6 equal pixels
  tga[2] = 11;
  putLe16(tga, 12, 3);
  putLe16(tga, 14, 2);
  tga[16] = 8;
  append(tga, {0x85, 77});
  files.push_back({"TGA", readTga, ImageFileFormat::Tga, tga, 6});
  Bytes ppm;
  append(ppm, "P6\n3 2\n255\n");
  ppm.resize(ppm.size() + 18, 5);
  files.push_back({"PPM", readPpm, ImageFileFormat::Ppm, ppm, 6});
  Bytes pfm;
  append(pfm, "Pf\n3 2\n-1.0\n");
  for (int i = 0; i < 6; ++i) appendFloat(pfm, 0.25f, false);
  files.push_back({"PFM", readPfm, ImageFileFormat::Pfm, pfm, 6});
  Bytes hdr;
  append(hdr, "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X 3\n");
  for (int i = 0; i < 6; ++i) append(hdr, {128, 128, 128, 128});
  files.push_back({"HDR", readHdr, ImageFileFormat::Hdr, hdr, 6});
  return files;
}

TEST(DecodeBudget, EveryReaderRefusesAnImageAboveThePixelLimit) {
  for (const SmallFile &file : smallFiles()) {
    {
      const PixelLimit limit(file.pixels - 1);
      ScopedImage out;
      EXPECT_EQ(runReader(file.read, file.format, out, file.data), E_FAIL) << file.name;
      EXPECT_EQ(out->ownsPixels, 0u) << file.name;
    }
    const PixelLimit limit(file.pixels);
    ScopedImage out;
    EXPECT_EQ(runReader(file.read, file.format, out, file.data), S_OK) << file.name;
  }
}

TEST(DdsReader, LevelsBeyondTheFullChainAreRefused) {
  // 2,000,128 bytes: a 1 x 1 L8 image and 2,000,000 one-byte levels, which would be as
  // many records.
  DdsLayout l8 = uncompressed(0x20000, 8, 0xFF, 0, 0, 0);
  l8.width = l8.height = 1;
  l8.mipCount = 2000000;
  ScopedImage many;
  EXPECT_EQ(runReader(readDds, ImageFileFormat::Dds, many, ddsFile(l8, 2000000)), E_FAIL);
  EXPECT_EQ(many->nextMip, nullptr);
  // 8 x 2 has four levels (8 x 2, 4 x 1, 2 x 1, 1 x 1); a volume's depth counts too.
  DdsLayout wide = uncompressed(0x20000, 8, 0xFF, 0, 0, 0);
  wide.width = 8;
  wide.height = 2;
  DdsLayout deep = wide;
  deep.width = deep.height = 1;
  deep.headerFlags |= 0x800000;
  deep.depth = 8;
  for (DdsLayout layout : {wide, deep}) {
    layout.mipCount = 4;
    ScopedImage full;
    EXPECT_EQ(runReader(readDds, ImageFileFormat::Dds, full, ddsFile(layout, 64)), S_OK);
    EXPECT_EQ(decodedLevelCount(full.image), 4u);
    layout.mipCount = 5;
    ScopedImage past;
    EXPECT_EQ(runReader(readDds, ImageFileFormat::Dds, past, ddsFile(layout, 64)), E_FAIL);
  }
}

// Flat scanlines of 8192 pixels in 12 bytes each: one pixel and two repeat groups,
// 255 + 31 * 256 = 8191 more.
Bytes repeatCodedHdr(uint32_t scanlines) {
  Bytes file;
  append(file, "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y " + std::to_string(scanlines) + " +X 8192\n");
  for (uint32_t s = 0; s < scanlines; ++s) append(file, {128, 128, 128, 129, 1, 1, 1, 255, 1, 1, 1, 31});
  return file;
}

TEST(HdrReader, RepeatCodedScanlinesAreTakenOnlyWithinTheFloor) {
  // 512 scanlines: 64 MiB of float pixels from 6 KB, within what any file may cost.
  ScopedImage within;
  ASSERT_EQ(runReader(readHdr, ImageFileFormat::Hdr, within, repeatCodedHdr(512)), S_OK);
  EXPECT_EQ(floatAt(within.image, 8191, 511, 0), 1.00390625f);
  // 1024 scanlines: 128 MiB, which run-length scanlines would need over 530 KB to hold.
  ScopedImage beyond;
  EXPECT_EQ(runReader(readHdr, ImageFileFormat::Hdr, beyond, repeatCodedHdr(1024)), E_FAIL);
  EXPECT_EQ(beyond->ownsPixels, 0u);
}

TEST(HdrReader, AHeaderLineWithoutALineFeedIsReadOnce) {
  // Looked for again from every byte, 4 MiB of text took minutes.
  Bytes file;
  append(file, "#?RADIANCE\n");
  file.resize(file.size() + 4 * MiB, 'x');
  const auto start = std::chrono::steady_clock::now();
  ScopedImage out;
  EXPECT_EQ(runReader(readHdr, ImageFileFormat::Hdr, out, file), E_FAIL);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 1.0);
}

}  // namespace
}  // namespace kv::test
