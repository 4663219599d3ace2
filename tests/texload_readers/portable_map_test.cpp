#include "reader_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace kv::test {
namespace {

Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }

HRESULT readPpmFile(ScopedImage &out, const Bytes &file) {
  return runReader(readPpm, ImageFileFormat::Ppm, out, file);
}

HRESULT readPfmFile(ScopedImage &out, const Bytes &file) {
  return runReader(readPfm, ImageFileFormat::Pfm, out, file);
}

TEST(PpmReader, BinaryPixmapBecomesOpaqueWords) {
  for (const char *separator : {"\n", "\r\n"}) {
    Bytes file = text(std::string("P6\n2 1\n255") + separator);
    append(file, {255, 0, 0, 0, 0, 255});
    ScopedImage out;
    ASSERT_EQ(readPpmFile(out, file), S_OK) << separator;
    EXPECT_EQ(out->format, static_cast<uint32_t>(D3DFMT_X8R8G8B8));
    EXPECT_EQ(out->rowPitch, 8u);
    EXPECT_EQ(out->ownsPixels, 1u);
    EXPECT_EQ(wordAt(out.image, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(wordAt(out.image, 1, 0), 0xFF0000FFu);
  }
}

TEST(PpmReader, BinaryPixmapLimits) {
  Bytes wide = text("P6\n2 1\n256\n");
  append(wide, {255, 0, 0, 0, 0, 255});
  Bytes cut = text("P6\n2 1\n255\n");
  append(cut, {255, 0, 0, 0, 0});
  for (const Bytes &file : {wide, cut}) {
    ScopedImage out;
    EXPECT_EQ(readPpmFile(out, file), E_FAIL);
  }
  // Smaller maximum values scale up to full intensity.
  Bytes scaled = text("P6 1 1 15 ");
  append(scaled, {15, 0, 7});
  ScopedImage out;
  ASSERT_EQ(readPpmFile(out, scaled), S_OK);
  EXPECT_EQ(wordAt(out.image, 0, 0), 0xFFFF0077u);
}

TEST(PpmReader, AsciiPixmapWithComments) {
  ScopedImage out;
  ASSERT_EQ(readPpmFile(out, text("P3\n1 1\n# a comment\n15\n15 0 7")), S_OK);
  EXPECT_EQ(wordAt(out.image, 0, 0), 0xFFFF0077u);

  ScopedImage twoRows;
  ASSERT_EQ(readPpmFile(twoRows, text("P3 1 2 255\t1 2 3\r\n4 5 6\nignored trailing text")), S_OK);
  EXPECT_EQ(wordAt(twoRows.image, 0, 1), 0xFF040506u);
}

TEST(PpmReader, SamplesAboveTheMaximumStayInTheirChannel) {
  ScopedImage out;
  ASSERT_EQ(readPpmFile(out, text("P3 1 1 15 30 0 0")), S_OK);
  EXPECT_EQ(wordAt(out.image, 0, 0), 0xFFFF0000u);
}

TEST(PpmReader, MalformedPixmapsAreRefused) {
  const char *rejected[] = {
      "P3", "P5 1 1 255 0", "P3 1 1 15 15 0 7x", "P3 1x 1 15 15 0 7", "P3 0 1 15 1 2 3",
      "P3 1 0 15 1 2 3", "P3 1 1 0 1 2 3", "P3 1 1 15 1 2", "P3 1 1 # comment to the end",
      "P3 99999999999 1 1 1 2 3", "P3 65536 65536 255 1 2 3", "P6 1 1 255",
  };
  for (const char *file : rejected) {
    ScopedImage out;
    EXPECT_EQ(readPpmFile(out, text(file)), E_FAIL) << file;
  }
}

Bytes pfmFile(const std::string &header, std::initializer_list<float> samples, bool bigEndian) {
  Bytes b = text(header);
  for (float v : samples) appendFloat(b, v, bigEndian);
  return b;
}

TEST(PfmReader, GreyscaleRowsStartAtTheBottom) {
  ScopedImage out;
  ASSERT_EQ(readPfmFile(out, pfmFile("Pf\n2 2\n-1.0\n", {1, 2, 3, 4}, false)), S_OK);
  EXPECT_EQ(out->format, static_cast<uint32_t>(D3DFMT_A32B32G32R32F));
  EXPECT_EQ(out->rowPitch, 32u);
  EXPECT_EQ(out->ownsPixels, 1u);
  EXPECT_EQ(floatAt(out.image, 0, 1, 0), 1.0f);
  EXPECT_EQ(floatAt(out.image, 1, 1, 2), 2.0f);
  EXPECT_EQ(floatAt(out.image, 0, 0, 1), 3.0f);
  EXPECT_EQ(floatAt(out.image, 1, 0, 3), 1.0f);
}

TEST(PfmReader, ColourWithEitherByteOrder) {
  for (bool bigEndian : {false, true}) {
    ScopedImage out;
    const std::string header = bigEndian ? "PF\n1 1\n2.5\n" : "PF\n1 1\n-2.5\n";
    ASSERT_EQ(readPfmFile(out, pfmFile(header, {0.25f, 0.5f, 8.0f}, bigEndian)), S_OK);
    // The scale's magnitude is not applied.
    EXPECT_EQ(floatAt(out.image, 0, 0, 0), 0.25f);
    EXPECT_EQ(floatAt(out.image, 0, 0, 1), 0.5f);
    EXPECT_EQ(floatAt(out.image, 0, 0, 2), 8.0f);
    EXPECT_EQ(floatAt(out.image, 0, 0, 3), 1.0f);
  }
}

TEST(PfmReader, HeaderLinesMustScanExactly) {
  const std::string longLine = "PF\n1 1" + std::string(253, ' ') + "\n-1\n";
  const std::string headers[] = {
      "Pf\n1 1\n-1.0 x\n", "Pf\n1 1 1\n-1\n", "Pf\n\n1 1\n-1\n", "Pf\n1 1\n\n-1\n",
      "Pf\n1\n-1\n",       "Pf\n1 1\nabc\n",  "PF 1 1\n-1\n",    "Pf\n0 1\n-1\n",
      longLine,
  };
  for (const std::string &header : headers) {
    ScopedImage out;
    EXPECT_EQ(readPfmFile(out, pfmFile(header, {1, 1, 1, 1, 1, 1}, false)), E_FAIL) << header;
  }
  // A header line of 255 characters still reads.
  const std::string longest = "Pf\n1 1" + std::string(252, ' ') + "\n-1\n";
  ScopedImage out;
  EXPECT_EQ(readPfmFile(out, pfmFile(longest, {1}, false)), S_OK);
}

TEST(PfmReader, DataShorterThanThePixelsIsRefused) {
  ScopedImage out;
  EXPECT_EQ(readPfmFile(out, pfmFile("PF\n2 1\n-1\n", {1, 2, 3, 4, 5}, false)), E_FAIL);
  // 2^62 pixels: their byte counts wrap to 0 in 64 bits unless checked before multiplying.
  for (const char *header : {"PF\n4294967295 4294967295\n-1\n", "Pf\n2147483648 2147483648\n-1\n"}) {
    ScopedImage huge;
    EXPECT_EQ(readPfmFile(huge, pfmFile(header, {1, 2, 3}, false)), E_FAIL) << header;
    EXPECT_EQ(huge->ownsPixels, 0u);
  }
}

}  // namespace
}  // namespace kv::test
