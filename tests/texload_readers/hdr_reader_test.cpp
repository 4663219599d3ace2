#include "reader_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kv::test {
namespace {

const char kHeader[] = "#?RADIANCE\n# made by a test\nFORMAT=32-bit_rle_rgbe\n\n";

Bytes hdrFile(const std::string &header, const std::string &resolution, const Bytes &pixels) {
  Bytes b(header.begin(), header.end());
  append(b, resolution + "\n");
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

HRESULT readHdrFile(ScopedImage &out, const Bytes &file) {
  return runReader(readHdr, ImageFileFormat::Hdr, out, file);
}

// Flat pixels whose red mantissa numbers them 1, 2, 3, ... with exponent 136 (2^8),
// so each decodes to a red of (n + 0.5) / 256 * 256 = n + 0.5.
Bytes numberedPixels(int count) {
  Bytes b;
  for (int i = 1; i <= count; ++i) append(b, {static_cast<uint8_t>(i), 0, 0, 136});
  return b;
}

float redAt(const DecodedImage &image, uint32_t x, uint32_t y) { return floatAt(image, x, y, 0); }

TEST(HdrReader, SharedExponentDecoding) {
  ScopedImage out;
  ASSERT_EQ(readHdrFile(out, hdrFile(kHeader, "-Y 1 +X 1", {128, 64, 0, 129})), S_OK);
  EXPECT_EQ(out->format, static_cast<uint32_t>(D3DFMT_A32B32G32R32F));
  EXPECT_EQ(out->rowPitch, 16u);
  EXPECT_EQ(out->ownsPixels, 1u);
  EXPECT_EQ(floatAt(out.image, 0, 0, 0), 1.00390625f);
  EXPECT_EQ(floatAt(out.image, 0, 0, 1), 0.50390625f);
  EXPECT_EQ(floatAt(out.image, 0, 0, 2), 0.00390625f);
  EXPECT_EQ(floatAt(out.image, 0, 0, 3), 1.0f);
}

TEST(HdrReader, ExposuresMultiply) {
  const std::string header =
      "#?RADIANCE\nEXPOSURE=2\nFORMAT=32-bit_rle_xyze\nEXPOSURE= \t4.0\n\n";
  ScopedImage out;
  ASSERT_EQ(readHdrFile(out, hdrFile(header, "-Y 1 +X 1", {128, 64, 0, 129})), S_OK);
  EXPECT_EQ(floatAt(out.image, 0, 0, 0), 1.00390625f / 8);
  EXPECT_EQ(floatAt(out.image, 0, 0, 3), 1.0f);
}

TEST(HdrReader, WhatFollowsTheFormatNameOnItsLineIsStillRead) {
  // Only the byte after the name goes with it: an exposure on the same line is kept, and
  // a carriage return and line feed end the line as one.
  for (const std::string header : {"#?RADIANCE\nFORMAT=32-bit_rle_rgbe EXPOSURE=2\n\n",
                                   "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\r\nEXPOSURE=2\n\n"}) {
    ScopedImage out;
    ASSERT_EQ(readHdrFile(out, hdrFile(header, "-Y 1 +X 1", {128, 64, 0, 129})), S_OK);
    EXPECT_EQ(floatAt(out.image, 0, 0, 0), 1.00390625f / 2);
  }
}

TEST(HdrReader, HeaderFaultsAreRefused) {
  const std::string headers[] = {
      "#?RADIANCE\n\n",                                       // no format line
      "#?RADIANCE\nFORMAT=32-bit_rle_rgbx\n\n",               // unknown format
      "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\nEXPOSURE=2 x\n\n",  // extra word after exposure
      "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\nEXPOSURE=\n\n",     // no number
      "#?RADIANCX\nFORMAT=32-bit_rle_rgbe\n\n",
  };
  for (const std::string &header : headers) {
    ScopedImage out;
    EXPECT_EQ(readHdrFile(out, hdrFile(header, "-Y 1 +X 1", {1, 1, 1, 128})), E_FAIL) << header;
  }
  const char *resolutions[] = {"Y 1 +X 1", "-Z 1 +X 1", "-Y x +X 1", "-Y 1 X 1", "-Y 1 +Z 1",
                               "-Y 1 +X", "-Y 0 +X 1", "-Y", ""};
  for (const char *resolution : resolutions) {
    ScopedImage out;
    EXPECT_EQ(readHdrFile(out, hdrFile(kHeader, resolution, {1, 1, 1, 128})), E_FAIL) << resolution;
  }
}

TEST(HdrReader, CarriageReturnAfterTheFormatDoesNotEndTheHeader) {
  const std::string header = "#?RADIANCE\r\nFORMAT=32-bit_rle_rgbe\r\nSOFTWARE=x\r\n\n";
  ScopedImage out;
  ASSERT_EQ(readHdrFile(out, hdrFile(header, "-Y 1 +X 2", numberedPixels(2))), S_OK);
  EXPECT_EQ(redAt(out.image, 1, 0), 2.5f);
}

TEST(HdrReader, ResolutionLineOrdersTheScanlines) {
  // A 2x2 image stored as pixels 1, 2, 3, 4; expected reds at (0,0) (1,0) (0,1) (1,1).
  struct Case {
    const char *resolution;
    float expected[4];
  } cases[] = {
      {"-Y 2 +X 2", {1.5f, 2.5f, 3.5f, 4.5f}},  // rows from the top, left to right
      {"+Y 2 +X 2", {3.5f, 4.5f, 1.5f, 2.5f}},  // rows from the bottom
      {"-Y 2 -X 2", {2.5f, 1.5f, 4.5f, 3.5f}},  // right to left
      {"+X 2 -Y 2", {1.5f, 3.5f, 2.5f, 4.5f}},  // columns from the left, each from the top
      {"-X 2 +Y 2", {4.5f, 2.5f, 3.5f, 1.5f}},  // columns from the right, each from the bottom
  };
  for (const Case &c : cases) {
    ScopedImage out;
    ASSERT_EQ(readHdrFile(out, hdrFile(kHeader, c.resolution, numberedPixels(4))), S_OK);
    EXPECT_EQ(redAt(out.image, 0, 0), c.expected[0]) << c.resolution;
    EXPECT_EQ(redAt(out.image, 1, 0), c.expected[1]) << c.resolution;
    EXPECT_EQ(redAt(out.image, 0, 1), c.expected[2]) << c.resolution;
    EXPECT_EQ(redAt(out.image, 1, 1), c.expected[3]) << c.resolution;
  }
  // The other axis's count decides the width even with an unusual size line.
  ScopedImage wide;
  ASSERT_EQ(readHdrFile(wide, hdrFile(kHeader, "-Y 1 +X 3", numberedPixels(3))), S_OK);
  EXPECT_EQ(wide->width, 3u);
  EXPECT_EQ(wide->height, 1u);
}

TEST(HdrReader, FlatRepeatGroupsExtendThePreviousPixel) {
  Bytes pixels = {5, 0, 0, 136, 1, 1, 1, 3};
  ScopedImage out;
  ASSERT_EQ(readHdrFile(out, hdrFile(kHeader, "-Y 1 +X 4", pixels)), S_OK);
  for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(redAt(out.image, x, 0), 5.5f);

  // Consecutive groups build one count, lowest byte first: 1 + (1 << 8) = 257 repeats.
  Bytes longRun = {5, 0, 0, 136, 1, 1, 1, 1, 1, 1, 1, 1};
  ScopedImage runOut;
  ASSERT_EQ(readHdrFile(runOut, hdrFile(kHeader, "-Y 1 +X 258", longRun)), S_OK);
  EXPECT_EQ(redAt(runOut.image, 257, 0), 5.5f);

  const Bytes rejected[] = {
      {5, 0, 0, 136, 1, 1, 1, 4},                                      // passes the end
      {5, 0, 0, 136, 1, 1, 1, 2},                                      // data ends early
  };
  for (const Bytes &p : rejected) {
    ScopedImage bad;
    EXPECT_EQ(readHdrFile(bad, hdrFile(kHeader, "-Y 1 +X 4", p)), E_FAIL);
    EXPECT_EQ(bad->pixels, nullptr);
    EXPECT_EQ(bad->ownsPixels, 0u);
  }
  // A fifth group counts 1 << 32 repeats, more than any scanline: refused, even though a
  // literal pixel after it would complete the scanline of 2.
  const Bytes beyond32Bits = {5, 0, 0, 136, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0,
                              1, 1, 1, 0, 1, 1, 1, 1, 7, 0, 0, 136};
  ScopedImage bad;
  EXPECT_EQ(readHdrFile(bad, hdrFile(kHeader, "-Y 1 +X 2", beyond32Bits)), E_FAIL);
  EXPECT_EQ(bad->pixels, nullptr);
}

TEST(HdrReader, RunLengthScanlines) {
  // Width 4: red as a run of 4, green as literals, blue as runs 2 + 2, exponent a run.
  Bytes pixels = {2, 2, 0, 4, 132, 10, 4, 1, 2, 3, 4, 130, 7, 130, 9, 132, 136};
  ScopedImage out;
  ASSERT_EQ(readHdrFile(out, hdrFile(kHeader, "-Y 1 +X 4", pixels)), S_OK);
  EXPECT_EQ(floatAt(out.image, 0, 0, 0), 10.5f);
  EXPECT_EQ(floatAt(out.image, 3, 0, 1), 4.5f);
  EXPECT_EQ(floatAt(out.image, 1, 0, 2), 7.5f);
  EXPECT_EQ(floatAt(out.image, 2, 0, 2), 9.5f);

  // Width 200 (0x00C8): the length's low byte is 128 or more, its high byte below 128;
  // runs of 127 and 73 in every component.
  Bytes wide = {2, 2, 0, 200};
  for (uint8_t value : {10, 20, 30, 136}) wide.insert(wide.end(), {255, value, 201, value});
  ScopedImage wideOut;
  ASSERT_EQ(readHdrFile(wideOut, hdrFile(kHeader, "-Y 1 +X 200", wide)), S_OK);
  for (uint32_t x : {0u, 126u, 127u, 199u}) {
    EXPECT_EQ(floatAt(wideOut.image, x, 0, 0), 10.5f) << x;
    EXPECT_EQ(floatAt(wideOut.image, x, 0, 1), 20.5f) << x;
    EXPECT_EQ(floatAt(wideOut.image, x, 0, 2), 30.5f) << x;
  }

  // A length's high byte is below 128: a scanline 32768 wide that starts 2, 2, 128 is flat.
  Bytes flat = {2, 2, 128, 136};
  for (int i = 1; i < 32768; ++i) flat.insert(flat.end(), {1, 0, 0, 136});
  ScopedImage flatOut;
  ASSERT_EQ(readHdrFile(flatOut, hdrFile(kHeader, "-Y 1 +X 32768", flat)), S_OK);
  EXPECT_EQ(floatAt(flatOut.image, 0, 0, 0), 2.5f);
  EXPECT_EQ(floatAt(flatOut.image, 0, 0, 2), 128.5f);
  EXPECT_EQ(floatAt(flatOut.image, 32767, 0, 0), 1.5f);

  const Bytes rejected[] = {
      {2, 2, 0, 5, 132, 10, 4, 1, 2, 3, 4, 130, 7, 130, 9, 132, 136},  // length is not the width
      {2, 2, 0, 4, 133, 10, 4, 1, 2, 3, 4, 130, 7, 130, 9, 132, 136},  // run past the scanline
      {2, 2, 0, 4, 132, 10, 5, 1, 2, 3, 4, 5, 130, 7, 130, 9, 132, 136},  // literals past it
      {2, 2, 0, 4, 132, 10, 4, 1, 2, 3},                                // data ends in literals
      {2, 2, 0, 4, 132, 10, 4, 1, 2, 3, 4, 130, 7, 130, 9, 132},        // data ends in a run
  };
  for (const Bytes &p : rejected) {
    ScopedImage bad;
    EXPECT_EQ(readHdrFile(bad, hdrFile(kHeader, "-Y 1 +X 4", p)), E_FAIL);
    EXPECT_EQ(bad->pixels, nullptr);
  }
}

TEST(HdrReader, SizesTheDataCannotHoldAreRefused) {
  const char *resolutions[] = {"-Y 4294967295 +X 4294967295", "-Y 100000 +X 1", "+X 100000 -Y 1"};
  for (const char *resolution : resolutions) {
    ScopedImage out;
    EXPECT_EQ(readHdrFile(out, hdrFile(kHeader, resolution, numberedPixels(3))), E_FAIL) << resolution;
    EXPECT_EQ(out->ownsPixels, 0u);
  }
}

}  // namespace
}  // namespace kv::test
