// The PNG reader on files made by the PNG library's own writer: the format and memory
// layout of every colour type and depth, transparency, gamma and the palette, header-only
// reads, and refusals.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cmath>

#include "decoded_rgba.h"
#include "jpeg_png_files.h"
#include "texload/decode_budget.h"
#include "texload/image_readers.h"

namespace {

using kvtest::Decoded;
using kvtest::PngLayout;

HRESULT read(Decoded &d, const std::vector<uint8_t> &file) {
  return kv::readPng(d.image, file.data(), static_cast<uint32_t>(file.size()));
}

PngLayout layout(int width, int height, int colourType, int bitDepth) {
  PngLayout s;
  s.width = width;
  s.height = height;
  s.colourType = colourType;
  s.bitDepth = bitDepth;
  return s;
}

// Rows of an 8-bit RGB image: pixel (x, y) is (10x, 20y, 7).
std::vector<uint8_t> rgbRows(int width, int height) {
  std::vector<uint8_t> rows;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) rows.insert(rows.end(), {uint8_t(10 * x), uint8_t(20 * y), 7});
  return rows;
}

TEST(PngReader, EightBitRgbGivesX8R8G8B8BlueFirstWithAFillerOf255) {
  Decoded d;
  ASSERT_EQ(read(d, kvtest::encodePng(layout(3, 2, PNG_COLOR_TYPE_RGB, 8), rgbRows(3, 2))), S_OK);
  EXPECT_EQ(d.image.format, uint32_t(D3DFMT_X8R8G8B8));
  EXPECT_EQ(d.image.rowPitch, 12u);
  EXPECT_EQ(d.image.depth, 1u);
  EXPECT_EQ(d.image.slicePitch, 0u);
  const uint8_t *pixel = d.image.pixels + 1 * 12 + 2 * 4;  // (2, 1)
  EXPECT_EQ(pixel[0], 7);
  EXPECT_EQ(pixel[1], 20);
  EXPECT_EQ(pixel[2], 20);
  EXPECT_EQ(pixel[3], 255);
}

TEST(PngReader, ATransparentColourGivesA8R8G8B8) {
  PngLayout s = layout(3, 2, PNG_COLOR_TYPE_RGB, 8);
  s.transparentColour = true;
  s.transparent.red = 10, s.transparent.green = 20, s.transparent.blue = 7;
  Decoded d;
  ASSERT_EQ(read(d, kvtest::encodePng(s, rgbRows(3, 2))), S_OK);
  EXPECT_EQ(d.image.format, uint32_t(D3DFMT_A8R8G8B8));
  EXPECT_EQ(d.image.pixels[12 + 4 + 3], 0);  // (1, 1) is the transparent colour
  EXPECT_EQ(d.image.pixels[3], 255);
}

TEST(PngReader, SixteenBitLayoutsAreLittleEndianInTheirOwnOrders) {
  // One pixel: red 0x0102, green 0x0304, blue 0x0506, alpha 0x0708 (file order big-endian).
  const std::vector<uint8_t> rgba = {1, 2, 3, 4, 5, 6, 7, 8};
  Decoded a;
  ASSERT_EQ(read(a, kvtest::encodePng(layout(1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16), rgba)), S_OK);
  EXPECT_EQ(a.image.format, uint32_t(D3DFMT_A16B16G16R16));
  EXPECT_EQ(std::vector<uint8_t>(a.image.pixels, a.image.pixels + 8), (std::vector<uint8_t>{2, 1, 4, 3, 6, 5, 8, 7}));

  const std::vector<uint8_t> rgb = {1, 2, 3, 4, 5, 6};
  Decoded b;
  ASSERT_EQ(read(b, kvtest::encodePng(layout(1, 1, PNG_COLOR_TYPE_RGB, 16), rgb)), S_OK);
  EXPECT_EQ(b.image.format, kv::FMT_R16G16B16);
  EXPECT_EQ(b.image.rowPitch, 6u);
  EXPECT_EQ(std::vector<uint8_t>(b.image.pixels, b.image.pixels + 6), (std::vector<uint8_t>{6, 5, 4, 3, 2, 1}));

  Decoded c;
  ASSERT_EQ(read(c, kvtest::encodePng(layout(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16), {1, 2, 3, 4})), S_OK);
  EXPECT_EQ(c.image.format, kv::FMT_A16L16);
  EXPECT_EQ(std::vector<uint8_t>(c.image.pixels, c.image.pixels + 4), (std::vector<uint8_t>{2, 1, 4, 3}));

  PngLayout greyKey = layout(2, 1, PNG_COLOR_TYPE_GRAY, 16);
  greyKey.transparentColour = true;
  greyKey.transparent.gray = 0x0102;
  Decoded e;
  ASSERT_EQ(read(e, kvtest::encodePng(greyKey, {1, 2, 9, 9})), S_OK);
  EXPECT_EQ(e.image.format, kv::FMT_A16L16);
  EXPECT_EQ(std::vector<uint8_t>(e.image.pixels, e.image.pixels + 8), (std::vector<uint8_t>{2, 1, 0, 0, 9, 9, 255, 255}));

  Decoded f;
  ASSERT_EQ(read(f, kvtest::encodePng(layout(1, 1, PNG_COLOR_TYPE_GRAY, 16), {1, 2})), S_OK);
  EXPECT_EQ(f.image.format, uint32_t(D3DFMT_L16));
  EXPECT_EQ(f.image.pixels[0], 2);
}

TEST(PngReader, SmallGreyDepthsAreScaledToBytes) {
  Decoded d;
  ASSERT_EQ(read(d, kvtest::encodePng(layout(4, 1, PNG_COLOR_TYPE_GRAY, 2), {0x1B})), S_OK);  // 0 1 2 3
  EXPECT_EQ(d.image.format, uint32_t(D3DFMT_L8));
  EXPECT_EQ(std::vector<uint8_t>(d.image.pixels, d.image.pixels + 4), (std::vector<uint8_t>{0, 85, 170, 255}));

  Decoded g;
  ASSERT_EQ(read(g, kvtest::encodePng(layout(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8), {5, 6, 7, 8})), S_OK);
  EXPECT_EQ(g.image.format, uint32_t(D3DFMT_A8L8));
  EXPECT_EQ(std::vector<uint8_t>(g.image.pixels, g.image.pixels + 4), (std::vector<uint8_t>{5, 6, 7, 8}));
}

PngLayout sixteenColourPalette() {
  PngLayout s = layout(4, 1, PNG_COLOR_TYPE_PALETTE, 4);
  for (int i = 0; i < 16; ++i) s.palette.push_back({uint8_t(16 * i), uint8_t(255 - 16 * i), uint8_t(i)});
  return s;
}

TEST(PngReader, AFourBitPaletteGivesIndicesAndAFullPalette) {
  PngLayout s = sixteenColourPalette();
  s.paletteAlphas = {0, 100, 200};
  Decoded d;
  ASSERT_EQ(read(d, kvtest::encodePng(s, {0x01, 0x2F})), S_OK);  // indices 0 1 2 15
  EXPECT_EQ(d.image.format, uint32_t(D3DFMT_P8));
  EXPECT_EQ(std::vector<uint8_t>(d.image.pixels, d.image.pixels + 4), (std::vector<uint8_t>{0, 1, 2, 15}));
  ASSERT_NE(d.image.palette, nullptr);
  EXPECT_EQ(d.image.ownsPalette, 1u);
  const uint8_t *p = d.image.palette;
  EXPECT_EQ(p[4 * 1 + 0], 16);
  EXPECT_EQ(p[4 * 1 + 1], 239);
  EXPECT_EQ(p[4 * 1 + 2], 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(p[4 * i + 3], s.paletteAlphas[size_t(i)]) << i;
  for (int i = 3; i < 16; ++i) EXPECT_EQ(p[4 * i + 3], 255) << i;
  for (int i = 16; i < 256; ++i)
    for (int c = 0; c < 4; ++c) ASSERT_EQ(p[4 * i + c], 255) << i;
}

TEST(PngReader, APaletteIsGammaCorrectedOnceByTheTable) {
  PngLayout s = sixteenColourPalette();
  s.gamma = 1.0;  // a linear file on a 2.2 screen: well outside the library's threshold
  Decoded d;
  ASSERT_EQ(read(d, kvtest::encodePng(s, {0x01, 0x2F})), S_OK);
  for (int i = 0; i < 16; ++i) {
    const int expected = int(std::pow(16 * i / 255.0, 1 / 2.2) * 255 + 0.5);
    EXPECT_EQ(d.image.palette[4 * i], expected) << i;
  }
}

TEST(PngReader, AGammaCloseToTheScreensLeavesSamplesAlone) {
  PngLayout s = layout(3, 2, PNG_COLOR_TYPE_RGB, 8);
  s.gamma = 0.45455;
  Decoded d;
  ASSERT_EQ(read(d, kvtest::encodePng(s, rgbRows(3, 2))), S_OK);
  EXPECT_EQ(d.image.pixels[12 + 8 + 2], 20);  // red of (2, 1) as written

  PngLayout g = layout(3, 2, PNG_COLOR_TYPE_RGB, 8);
  g.gamma = 1.0;
  Decoded corrected;
  ASSERT_EQ(read(corrected, kvtest::encodePng(g, rgbRows(3, 2))), S_OK);
  EXPECT_GT(corrected.image.pixels[12 + 8 + 2], 20);  // brightened for the screen
}

TEST(PngReader, InterlacedImagesComeOutAsTheirPlainTwins) {
  std::vector<uint8_t> rows = rgbRows(13, 11);
  PngLayout s = layout(13, 11, PNG_COLOR_TYPE_RGB, 8);
  Decoded plain;
  ASSERT_EQ(read(plain, kvtest::encodePng(s, rows)), S_OK);
  s.interlaced = true;
  Decoded interlaced;
  ASSERT_EQ(read(interlaced, kvtest::encodePng(s, rows)), S_OK);
  EXPECT_EQ(kvtest::recordRgba(interlaced.image), kvtest::recordRgba(plain.image));
}

TEST(PngReader, WithoutDecodePixelsOnlyTheHeaderIsRead) {
  Decoded d(false);
  ASSERT_EQ(read(d, kvtest::encodePng(layout(5, 3, PNG_COLOR_TYPE_RGB_ALPHA, 8), std::vector<uint8_t>(60, 1))), S_OK);
  EXPECT_EQ(d.image.format, uint32_t(D3DFMT_A8R8G8B8));
  EXPECT_EQ(d.image.width, 5u);
  EXPECT_EQ(d.image.height, 3u);
  EXPECT_EQ(d.image.rowPitch, 20u);
  EXPECT_EQ(d.image.pixels, nullptr);
  EXPECT_EQ(d.image.palette, nullptr);
}

TEST(PngReader, ShortWrongOrDamagedDataIsRefused) {
  const std::vector<uint8_t> file = kvtest::encodePng(layout(8, 8, PNG_COLOR_TYPE_RGB, 8), rgbRows(8, 8));
  const std::vector<std::vector<uint8_t>> bad = {
      {file.begin(), file.begin() + 4},                   // the signature as far as it goes
      {file.begin(), file.begin() + 8},                   // the signature alone
      {file.begin(), file.end() - 30},                    // cut inside the image data
      {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0},                 // not a PNG
      {0xFF, 0xD8, 0xFF, 0xE0},                           // a JPEG start
  };
  for (const auto &data : bad) {
    Decoded d;
    EXPECT_EQ(read(d, data), E_FAIL) << data.size();
  }
  std::vector<uint8_t> crc = file;
  crc[8 + 8 + 13] ^= 1;  // the header chunk's checksum
  Decoded d;
  EXPECT_EQ(read(d, crc), E_FAIL);
  EXPECT_EQ(kv::readPng(d.image, nullptr, 8), E_FAIL);
  EXPECT_EQ(kv::readPng(d.image, file.data(), 0), E_FAIL);
}

}  // namespace

namespace {

struct PixelLimit {
  explicit PixelLimit(uint64_t pixels) { kv::setDecodePixelLimit(pixels); }
  ~PixelLimit() { kv::setDecodePixelLimit(0); }
};

void putBe32(std::vector<uint8_t> &file, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) file[at + size_t(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// The header chunk's width and height rewritten, with its checksum made good again; the
// image data stays that of the smaller picture.
std::vector<uint8_t> claimSize(std::vector<uint8_t> file, uint32_t width, uint32_t height) {
  putBe32(file, 16, width);
  putBe32(file, 20, height);
  putBe32(file, 29, static_cast<uint32_t>(crc32(0, file.data() + 12, 17)));
  return file;
}

TEST(PngBudget, AHeaderClaimingMoreThanTheDataCanInflateToIsRefusedBeforeAllocating) {
  // 5000 x 5000 RGBA: 100 MB of pixels, more than any file may cost whatever its size, from
  // a file that deflate at its best (1032 to one) could not fill with 100 MB of rows.
  const std::vector<uint8_t> small = kvtest::encodePng(layout(4, 4, PNG_COLOR_TYPE_RGB_ALPHA, 8), std::vector<uint8_t>(64, 9));
  const std::vector<uint8_t> file = claimSize(small, 5000, 5000);
  for (const bool decodePixels : {false, true}) {
    Decoded d(decodePixels);
    EXPECT_EQ(read(d, file), E_FAIL) << decodePixels;
    EXPECT_EQ(d.image.pixels, nullptr);
  }
  // Below the floor the same header is taken, and the data running out ends the decode.
  Decoded header(false);
  EXPECT_EQ(read(header, claimSize(small, 1000, 1000)), S_OK);
}

TEST(PngBudget, AFileCompressedAsFarAsDeflateGoesDecodesBeyondTheFloor) {
  // 8192 x 8192 one-bit grey, all black: 64 MiB of L8 pixels and the row pointers, above the
  // 64 MiB floor, from about 8 KB: filtered rows of 1025 bytes at deflate's best ratio.
  const std::vector<uint8_t> file =
      kvtest::encodePng(layout(8192, 8192, PNG_COLOR_TYPE_GRAY, 1), std::vector<uint8_t>(size_t(8192) * 1024, 0));
  ASSERT_LT(file.size(), 64u * 1024);
  Decoded d;
  ASSERT_EQ(read(d, file), S_OK);
  EXPECT_EQ(d.image.format, uint32_t(D3DFMT_L8));
  EXPECT_EQ(d.image.pixels[size_t(8192) * 8192 - 1], 0);
}

TEST(PngBudget, ThePixelLimitRefusesLargerImagesAndCanBeRaised) {
  const std::vector<uint8_t> file = kvtest::encodePng(layout(64, 48, PNG_COLOR_TYPE_RGB, 8), rgbRows(64, 48));
  {
    const PixelLimit limit(64 * 48 - 1);
    Decoded d;
    EXPECT_EQ(read(d, file), E_FAIL);
  }
  {
    // Narrower than either side: the library's own limits refuse the header.
    const PixelLimit limit(47);
    Decoded d(false);
    EXPECT_EQ(read(d, file), E_FAIL);
  }
  const PixelLimit limit(64 * 48);
  Decoded d;
  EXPECT_EQ(read(d, file), S_OK);
  // 20000 x 20000 is beyond the default limit however much data follows.
  kv::setDecodePixelLimit(0);
  Decoded big(false);
  EXPECT_EQ(read(big, claimSize(file, 20000, 20000)), E_FAIL);
}

}  // namespace
