// The JPEG reader on files made by the JPEG library's own compressor: formats and layouts,
// refusals, header-only reads, and files that end early or lie about their lengths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "decoded_rgba.h"
#include "jpeg_png_files.h"
#include "texload/decode_budget.h"
#include "texload/decode_image.h"
#include "texload/image_readers.h"

namespace {

using kvtest::Decoded;

std::vector<uint8_t> makeJpeg(int width, int height, int components, bool progressive = false) {
  kvtest::JpegLayout layout;
  layout.width = width;
  layout.height = height;
  layout.components = components;
  layout.progressive = progressive;
  return kvtest::encodeJpeg(layout, kvtest::testSamples(width, height, components));
}

// A flat grey picture: the least an encoder can spend on its blocks.
std::vector<uint8_t> makeFlatJpeg(int width, int height, int components, bool progressive, bool arithmetic) {
  kvtest::JpegLayout layout;
  layout.width = width;
  layout.height = height;
  layout.components = components;
  layout.progressive = progressive;
  layout.arithmetic = arithmetic;
  return kvtest::encodeJpeg(layout, std::vector<uint8_t>(size_t(width) * size_t(height) * size_t(components), 128));
}

// The frame header's sizes rewritten: the scan data stays that of the smaller picture.
void claimSize(std::vector<uint8_t> &file, uint16_t width, uint16_t height) {
  for (size_t i = 2; i + 9 < file.size(); ++i) {
    const uint8_t marker = file[i + 1];
    if (file[i] == 0xFF && marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      file[i + 5] = static_cast<uint8_t>(height >> 8);
      file[i + 6] = static_cast<uint8_t>(height);
      file[i + 7] = static_cast<uint8_t>(width >> 8);
      file[i + 8] = static_cast<uint8_t>(width);
      return;
    }
  }
  FAIL() << "no frame header";
}

// Sets the decode pixel limit for one test and puts the default back afterwards.
struct PixelLimit {
  explicit PixelLimit(uint64_t pixels) { kv::setDecodePixelLimit(pixels); }
  ~PixelLimit() { kv::setDecodePixelLimit(0); }
};

HRESULT read(Decoded &d, const std::vector<uint8_t> &file) {
  return kv::readJpeg(d.image, file.data(), static_cast<uint32_t>(file.size()));
}

// The reader's pixels against the library's own decode of the same file.
void expectSameAsPlainDecode(const std::vector<uint8_t> &file) {
  kvtest::PlainJpeg plain;
  ASSERT_TRUE(kvtest::plainJpegDecode(file.data(), file.size(), plain));
  Decoded d;
  ASSERT_EQ(read(d, file), S_OK);
  ASSERT_EQ(int(d.image.width), plain.width);
  ASSERT_EQ(int(d.image.height), plain.height);
  const std::vector<uint16_t> rgba = kvtest::recordRgba(d.image);
  for (size_t p = 0; p < size_t(plain.width) * size_t(plain.height); ++p)
    for (int c = 0; c < 3; ++c) {
      const uint8_t expected = plain.samples[p * size_t(plain.components) + size_t(plain.components == 1 ? 0 : c)];
      ASSERT_EQ(rgba[4 * p + size_t(c)], expected) << "pixel " << p << " channel " << c;
    }
}

TEST(JpegReader, GreyscaleGivesL8WithThePitchOfTheWidth) {
  Decoded d;
  ASSERT_EQ(read(d, makeJpeg(37, 21, 1)), S_OK);
  EXPECT_EQ(d.image.format, uint32_t(D3DFMT_L8));
  EXPECT_EQ(d.image.width, 37u);
  EXPECT_EQ(d.image.height, 21u);
  EXPECT_EQ(d.image.depth, 1u);
  EXPECT_EQ(d.image.rowPitch, 37u);
  EXPECT_EQ(d.image.slicePitch, 0u);
  EXPECT_EQ(d.image.ownsPixels, 1u);
  EXPECT_EQ(d.image.palette, nullptr);
  expectSameAsPlainDecode(makeJpeg(37, 21, 1));
}

TEST(JpegReader, ColourGivesBlueGreenRedAndAZeroFourthByte) {
  const std::vector<uint8_t> file = makeJpeg(33, 17, 3);
  Decoded d;
  ASSERT_EQ(read(d, file), S_OK);
  EXPECT_EQ(d.image.format, uint32_t(D3DFMT_X8R8G8B8));
  EXPECT_EQ(d.image.rowPitch, 33u * 4);
  for (uint32_t i = 0; i < 33u * 17u; ++i) ASSERT_EQ(d.image.pixels[4 * i + 3], 0) << i;
  expectSameAsPlainDecode(file);
}

TEST(JpegReader, ProgressiveImagesLargerThanTheWorkingMemoryDecode) {
  // Coefficients of a 1024 x 1024 colour progressive image need about 3 MB: more than the
  // 1.3 MB working memory the library would otherwise have to spill to disk.
  expectSameAsPlainDecode(makeJpeg(1024, 1024, 3, true));
}

TEST(JpegReader, FourComponentImagesAreRefused) {
  Decoded d;
  EXPECT_EQ(read(d, makeJpeg(16, 16, 4)), E_FAIL);
  EXPECT_EQ(d.image.pixels, nullptr);
}

TEST(JpegReader, DataThatIsNotJpegIsRefused) {
  const std::vector<std::vector<uint8_t>> files = {
      {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, {'B', 'M', 0, 0}, std::vector<uint8_t>(600, 0), {0xFF}, {0xFF, 0xD8}};
  for (const auto &file : files) {
    Decoded d;
    EXPECT_EQ(read(d, file), E_FAIL) << file.size();
    EXPECT_EQ(d.image.pixels, nullptr);
  }
  Decoded d;
  EXPECT_EQ(kv::readJpeg(d.image, nullptr, 10), E_FAIL);
  const uint8_t soi[2] = {0xFF, 0xD8};
  EXPECT_EQ(kv::readJpeg(d.image, soi, 0), E_FAIL);
}

TEST(JpegReader, WithoutDecodePixelsOnlyTheHeaderIsRead) {
  Decoded d(false);
  ASSERT_EQ(read(d, makeJpeg(40, 30, 3)), S_OK);
  EXPECT_EQ(d.image.format, uint32_t(D3DFMT_X8R8G8B8));
  EXPECT_EQ(d.image.width, 40u);
  EXPECT_EQ(d.image.height, 30u);
  EXPECT_EQ(d.image.rowPitch, 160u);
  EXPECT_EQ(d.image.pixels, nullptr);
  EXPECT_EQ(d.image.ownsPixels, 0u);
}

TEST(JpegReader, FilesCutShortFailEvenWhenOnlyTheEndMarkerIsMissing) {
  for (const bool progressive : {false, true}) {
    const std::vector<uint8_t> whole = makeJpeg(64, 64, 3, progressive);
    ASSERT_EQ(whole[whole.size() - 2], 0xFF);
    ASSERT_EQ(whole[whole.size() - 1], 0xD9);
    {
      Decoded d;
      EXPECT_EQ(read(d, whole), S_OK);
    }
    for (size_t keep : {whole.size() / 2, whole.size() - 2, whole.size() - 1, size_t(200), size_t(20)}) {
      const std::vector<uint8_t> file(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep));
      Decoded d;
      EXPECT_EQ(read(d, file), E_FAIL) << keep << (progressive ? " progressive" : " baseline");
    }
  }
}

TEST(JpegReader, AFileWhoseSegmentSwallowsItsOwnStartEndsInsteadOfLoopingRoundIt) {
  // An application segment whose length runs past the end over the start-of-image marker:
  // read again and again from the start, this would never reach an image.
  const std::vector<uint8_t> file = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x06, 0x00, 0x00};
  Decoded d;
  EXPECT_EQ(read(d, file), E_FAIL);
}

TEST(JpegReader, ASegmentLongerThanTheFileIsSkippedWithoutReadingPastIt) {
  std::vector<uint8_t> file = makeJpeg(16, 16, 1);
  // A comment segment of 60000 bytes right after the start marker, in a file far shorter.
  const uint8_t comment[] = {0xFF, 0xFE, 0xEA, 0x60, 'x', 'y'};
  file.insert(file.begin() + 2, std::begin(comment), std::end(comment));
  Decoded d;
  EXPECT_EQ(read(d, file), E_FAIL);
}

TEST(JpegReader, CorruptEntropyDataStillEndsCleanly) {
  std::vector<uint8_t> file = makeJpeg(48, 48, 3);
  std::srand(7);
  for (int round = 0; round < 40; ++round) {
    std::vector<uint8_t> bad = file;
    for (int k = 0; k < 8; ++k) bad[size_t(std::rand()) % bad.size()] = static_cast<uint8_t>(std::rand());
    Decoded d;
    const HRESULT hr = read(d, bad);
    EXPECT_TRUE(hr == S_OK || hr == E_FAIL) << std::hex << hr;
    if (hr == S_OK) {
      EXPECT_NE(d.image.pixels, nullptr);
    }
  }
}

}  // namespace

namespace {

TEST(JpegReader, AHeaderClaimingFarMoreBlocksThanTheDataHoldsIsRefusedBeforeAllocating) {
  // A small image whose frame header is rewritten to claim 26625 x 16642 pixels: 192 bytes
  // of data cannot hold even one bit for each of its blocks.
  std::vector<uint8_t> file = makeJpeg(16, 16, 3);
  bool patched = false;
  for (size_t i = 2; i + 8 < file.size() && !patched; ++i) {
    if (file[i] == 0xFF && file[i + 1] == 0xC0) {
      file[i + 5] = 16642 >> 8, file[i + 6] = 16642 & 0xFF;
      file[i + 7] = 26625 >> 8, file[i + 8] = 26625 & 0xFF;
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  Decoded d;
  EXPECT_EQ(read(d, file), E_FAIL);
  EXPECT_EQ(d.image.pixels, nullptr);
}

}  // namespace

namespace {

TEST(JpegBudget, ATinyArithmeticProgressiveFileClaimingAHugeImageIsRefusedBeforeDecoding) {
  // 355 bytes or so of a flat picture, whose header then says 16000 x 16000: decoding
  // would take the image (1 GB) and the coefficients of every block (0.8 GB).
  std::vector<uint8_t> file = makeFlatJpeg(64, 64, 3, true, true);
  claimSize(file, 16000, 16000);
  ASSERT_LT(file.size(), 1000u);
  {
    Decoded d;
    EXPECT_EQ(read(d, file), E_FAIL);  // 256 million pixels: beyond the default limit
    EXPECT_EQ(d.image.pixels, nullptr);
  }
  // Within a raised pixel limit the file is still far too short for what it costs: a
  // byte for every 64 blocks of 8 x 8 chroma pixels would be 15625 bytes.
  const PixelLimit limit(uint64_t(1) << 30);
  for (const bool decodePixels : {false, true}) {
    Decoded d(decodePixels);
    EXPECT_EQ(read(d, file), E_FAIL) << decodePixels;
    EXPECT_EQ(d.image.pixels, nullptr);
  }
}

TEST(JpegBudget, AFlatArithmeticImageWithinTheFloorDecodesHoweverSmallItsFile) {
  // 2048 x 2048 colour, progressive: 16 MiB of pixels and about 12 MiB of coefficients,
  // under the 64 MiB that any file may cost, from a file of a few hundred bytes.
  const std::vector<uint8_t> file = makeFlatJpeg(2048, 2048, 3, true, true);
  ASSERT_LT(file.size(), 2000u);
  Decoded d;
  ASSERT_EQ(read(d, file), S_OK);
  EXPECT_EQ(d.image.width, 2048u);
  EXPECT_EQ(d.image.pixels[4 * (2048 * 2048 - 1)], 128);
}

TEST(JpegBudget, ThePixelLimitRefusesLargerImagesAndCanBeRaised) {
  const std::vector<uint8_t> file = makeJpeg(64, 48, 3);
  {
    const PixelLimit limit(64 * 48 - 1);
    Decoded d;
    EXPECT_EQ(read(d, file), E_FAIL);
    Decoded header(false);
    EXPECT_EQ(read(header, file), E_FAIL);
    kv::DecodedImage image;
    kv::ImageInfo info;
    EXPECT_EQ(kv::decodeImage(image, file.data(), static_cast<uint32_t>(file.size()), &info, TRUE), kv::ERR_INVALIDDATA);
  }
  const PixelLimit limit(64 * 48);
  Decoded d;
  EXPECT_EQ(read(d, file), S_OK);
}

}  // namespace
