#include <cmath>

#include "codec_test_support.h"
#include "pixel/blocks/block_compression.h"

namespace kv {
namespace {

using test::FloatRow;
using test::makeCodec;
using test::Surface;

// A block surface: width and height in pixels, memory for whole blocks.
Surface blockSurface(uint32_t format, uint32_t width, uint32_t height) {
  const uint32_t blocksAcross = (width + 3) / 4, blocksDown = (height + 3) / 4;
  Surface s(format, width, blocksDown, blocksAcross * dxtBlockBytes(format));
  s.height = height;
  return s;
}

PixelBox blockBox(Surface &s) {
  PixelBox box = s.box();
  box.slicePitch = s.rowPitch * ((s.height + 3) / 4);
  return box;
}

// Colours on the 5:6:5 grid, so that single-colour and two-colour blocks survive exactly.
const float kRed[4] = {31 / 31.0f, 12 / 63.0f, 3 / 31.0f, 1};
const float kBlue[4] = {2 / 31.0f, 40 / 63.0f, 29 / 31.0f, 1};

void fill(PixelCodec &codec, uint32_t height, const float *colour) {
  for (uint32_t y = 0; y < height; ++y) {
    FloatRow row = test::constantRow(codec.width(), colour[0], colour[1], colour[2], colour[3]);
    codec.writeRow(y, 0, row.data());
  }
}

// A block surface filled with one colour through the codec.
Surface filledBlockSurface(uint32_t format, uint32_t width, uint32_t height, const float *colour) {
  Surface surface = blockSurface(format, width, height);
  auto codec = makeCodec(blockBox(surface));
  fill(*codec, height, colour);
  return surface;
}

void expectPixel(const float *p, const float *colour, const char *what) {
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(p[c], colour[c], 1e-6) << what << " channel " << c;
}

TEST(BlockCodec, KnownBlockDecodesToItsFourColours) {
  Surface surface = blockSurface(D3DFMT_DXT1, 4, 4);
  // color0 pure red > color1 pure blue: four colours; row 0 uses codes 0, 1, 2, 3.
  const uint8_t block[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0};
  std::memcpy(surface.row(0), block, 8);
  PixelBox box = blockBox(surface);
  box.box[kBoxLeft] = 1;
  auto codec = makeCodec(box);
  float row[12];
  codec->readRow(0, 0, row);
  const float blue[4] = {0, 0, 1, 1}, twoThirdsRed[4] = {2 / 3.0f, 0, 1 / 3.0f, 1}, oneThirdRed[4] = {1 / 3.0f, 0, 2 / 3.0f, 1};
  expectPixel(row, blue, "code 1");
  expectPixel(row + 4, twoThirdsRed, "code 2");
  expectPixel(row + 8, oneThirdRed, "code 3");
  codec->readRow(1, 0, row);
  const float red[4] = {1, 0, 0, 1};
  expectPixel(row, red, "code 0");
}

TEST(BlockCodec, WholeBlocksRoundTripSingleColours) {
  for (uint32_t format : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5}) {
    Surface surface = filledBlockSurface(format, 8, 8, kRed);
    auto codec = makeCodec(blockBox(surface));
    FloatRow row(32);
    for (uint32_t y = 0; y < 8; ++y) {
      codec->readRow(y, 0, row.data());
      for (uint32_t x = 0; x < 8; ++x) expectPixel(&row[4 * x], kRed, "whole");
    }
  }
}

TEST(BlockCodec, BoxesThatCutBlocksKeepThePixelsOutsideTheBox) {
  for (uint32_t format : {D3DFMT_DXT1, D3DFMT_DXT5}) {
    Surface surface = filledBlockSurface(format, 12, 8, kRed);
    PixelBox cut = blockBox(surface);
    const uint32_t region[6] = {2, 1, 9, 6, 0, 1};
    std::memcpy(cut.box, region, sizeof region);
    {
      auto codec = makeCodec(cut);
      ASSERT_EQ(codec->width(), 7u);
      ASSERT_EQ(codec->height(), 5u);
      fill(*codec, 5, kBlue);
    }
    auto codec = makeCodec(blockBox(surface));
    FloatRow row(48);
    for (uint32_t y = 0; y < 8; ++y) {
      codec->readRow(y, 0, row.data());
      for (uint32_t x = 0; x < 12; ++x) {
        const bool inside = x >= 2 && x < 9 && y >= 1 && y < 6;
        expectPixel(&row[4 * x], inside ? kBlue : kRed, inside ? "inside" : "outside");
      }
    }
  }
}

TEST(BlockCodec, ReadingACutBoxReturnsOnlyItsPixels) {
  Surface surface = blockSurface(D3DFMT_DXT1, 8, 4);
  {
    PixelBox right = blockBox(surface);
    right.box[kBoxLeft] = 4;
    auto codec = makeCodec(right);
    fill(*codec, 4, kBlue);
    PixelBox left = blockBox(surface);
    left.box[kBoxRight] = 4;
    auto other = makeCodec(left);
    fill(*other, 4, kRed);
  }
  PixelBox middle = blockBox(surface);
  middle.box[kBoxLeft] = 3, middle.box[kBoxRight] = 5, middle.box[kBoxTop] = 2;
  auto codec = makeCodec(middle);
  float row[8];
  codec->readRow(1, 0, row);  // surface row 3
  expectPixel(row, kRed, "x = 3");
  expectPixel(row + 4, kBlue, "x = 4");
}

TEST(BlockCodec, BottomEdgeBlockRowIsWrittenOnceItsRowsInsideTheBoxArrive) {
  Surface surface = blockSurface(D3DFMT_DXT1, 4, 6);  // the second block row holds 2 rows
  auto codec = makeCodec(blockBox(surface));
  fill(*codec, 6, kBlue);
  // Still open: read back through a second codec before the first is destroyed.
  auto reader = makeCodec(blockBox(surface));
  float row[16];
  reader->readRow(5, 0, row);
  expectPixel(row, kBlue, "last row");
}

TEST(BlockCodec, UnfinishedBlockRowIsWrittenOnDestructionKeepingTheRowsNotWritten) {
  Surface surface = filledBlockSurface(D3DFMT_DXT1, 4, 4, kRed);
  {
    auto codec = makeCodec(blockBox(surface));
    FloatRow blue = test::constantRow(4, kBlue[0], kBlue[1], kBlue[2], kBlue[3]);
    codec->writeRow(0, 0, blue.data());
  }
  auto codec = makeCodec(blockBox(surface));
  float row[16];
  codec->readRow(0, 0, row);
  expectPixel(row, kBlue, "written row");
  codec->readRow(3, 0, row);
  expectPixel(row, kRed, "row never written");
}

TEST(BlockCodec, ColourKeyComparesAtBlockPrecision) {
  Surface surface = filledBlockSurface(D3DFMT_DXT1, 4, 4, kRed);
  PixelBox box = blockBox(surface);
  // 0xFF, 0x31, 0x19 quantise to (31, 12, 3) in 5:6:5.
  box.colorKey = 0xFFFF3119;
  auto codec = makeCodec(box);
  float row[16];
  codec->readRow(2, 0, row);
  for (float v : row) EXPECT_EQ(v, 0.0f);
}

TEST(BlockCodec, SlicesAreSeparateBlockRows) {
  Surface surface = blockSurface(D3DFMT_DXT5, 4, 4);
  surface.bytes.resize(surface.bytes.size() * 2 + 64);
  PixelBox box = blockBox(surface);
  box.box[kBoxBack] = 2;
  {
    auto codec = makeCodec(box);
    fill(*codec, 4, kRed);
    for (uint32_t y = 0; y < 4; ++y) {
      FloatRow row = test::constantRow(4, kBlue[0], kBlue[1], kBlue[2], kBlue[3]);
      codec->writeRow(y, 1, row.data());
    }
  }
  auto codec = makeCodec(box);
  float row[16];
  codec->readRow(0, 0, row);
  expectPixel(row, kRed, "slice 0");
  codec->readRow(0, 1, row);
  expectPixel(row, kBlue, "slice 1");
}

}  // namespace
}  // namespace kv
