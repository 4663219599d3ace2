// The linear filter reads only the columns a reduction touches (readColumns) from packed
// sources when it touches at most half of them, and blends A8R8G8B8 sources straight from
// their words. It must give the very bytes of the whole-row path: the same image, unpacked
// once into a floating format (whose codec reads whole rows), filtered the same way.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "convert_support.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/formats/pixel_codec_test_hooks.h"

namespace kv_test {
namespace {

using namespace kv;

struct Source {
  uint32_t format, bytesPerPixel;
};

// Filters `source` (with its colour key) to width x height A8R8G8B8 both directly and
// through a floating copy, and expects equal bytes.
void expectSameAsWholeRows(Image &source, uint32_t colorKey, uint32_t width, uint32_t height, uint32_t flags) {
  Image floats = floatImage(source.width, source.height);
  PixelBox keyed = source.box();
  keyed.colorKey = colorKey;
  ASSERT_EQ(convertPixels(floats.box(), keyed, FilterNone), S_OK);
  Image expected = argbImage(width, height), actual = argbImage(width, height);
  ASSERT_EQ(convert(expected, floats, FilterLinear | flags), S_OK);
  ASSERT_EQ(convertPixels(actual.box(), keyed, FilterLinear | flags), S_OK);
  EXPECT_EQ(actual.bytes, expected.bytes);
}

TEST(LinearColumns, ReductionsMatchWholeRowReadsOnRandomImages) {
  const Source sources[] = {{D3DFMT_A8R8G8B8, 4}, {D3DFMT_X8R8G8B8, 4}, {D3DFMT_R5G6B5, 2}, {D3DFMT_A4R4G4B4, 2}};
  const std::tuple<uint32_t, uint32_t, uint32_t, uint32_t> sizes[] = {
      {64, 64, 32, 32}, {64, 64, 1, 1}, {301, 199, 150, 99}, {300, 200, 37, 25}, {257, 3, 128, 1},
      {1000, 17, 3, 5}, {33, 65, 7, 2},  {640, 480, 320, 240}, {640, 480, 160, 120}, {301, 199, 75, 50},
      {300, 200, 100, 66}, {299, 7, 37, 3},   {1100, 3, 260, 2}};  // the last gathers over 2048 bytes of columns
  const uint32_t mirrors[] = {0, MirrorU, MirrorV, MirrorU | MirrorV};
  uint32_t seed = 1;
  for (const bool simd : {true, false}) {
    if (simd && !pixelCodecSimdAvailable()) continue;
    setPixelCodecSimdEnabled(simd);
    for (const Source &s : sources)
      for (const auto &[sw, sh, dw, dh] : sizes)
        for (const uint32_t mirror : mirrors) {
          SCOPED_TRACE(testing::Message() << "format " << s.format << " " << sw << "x" << sh << " to " << dw << "x"
                                          << dh << " mirror " << mirror << " simd " << simd);
          Image source(s.format, s.bytesPerPixel, sw, sh);
          source.randomize(seed++);
          expectSameAsWholeRows(source, 0, dw, dh, mirror);
        }
  }
  setPixelCodecSimdEnabled(true);
}

TEST(LinearColumns, ColourKeyAppliesToTheReadColumns) {
  Image source = argbImage(96, 40);
  source.randomize(7);
  // Every third pixel carries the key.
  for (uint32_t y = 0; y < 40; ++y)
    for (uint32_t x = 0; x < 96; x += 3) source.setWord(x, y, 0xFF102030u);
  expectSameAsWholeRows(source, 0xFF102030u, 24, 10, 0);
  expectSameAsWholeRows(source, 0xFF102030u, 47, 19, MirrorU | MirrorV);
}

// Reductions big enough to be filtered by two threads, each half its own rows, straight from
// the words (two pixels at a time where the processor can): the bytes of one whole-row pass.
TEST(LinearColumns, BigReductionsMatchWholeRowReads) {
  const std::tuple<uint32_t, uint32_t, uint32_t, uint32_t> sizes[] = {{1030, 1030, 515, 515}, {1031, 1029, 600, 450}};
  for (const auto &[sw, sh, dw, dh] : sizes) {
    Image source = argbImage(sw, sh);
    source.randomize(sw);
    expectSameAsWholeRows(source, 0, dw, dh, 0);
  }
}

// Error diffusion carries each row's error into the next: a big reduction into a diffusing
// destination must stay on one thread and give the bytes of the whole-row path.
TEST(LinearColumns, BigReductionIntoADiffusingDestinationMatchesWholeRowReads) {
  Image source = argbImage(1030, 1030);
  source.randomize(17);
  Image floats = floatImage(1030, 1030);
  ASSERT_EQ(convert(floats, source, FilterNone), S_OK);
  Image expected(D3DFMT_R5G6B5, 2, 515, 515), actual(D3DFMT_R5G6B5, 2, 515, 515);
  ASSERT_EQ(convert(expected, floats, FilterLinear | DitherDiffusion), S_OK);
  ASSERT_EQ(convert(actual, source, FilterLinear | DitherDiffusion), S_OK);
  EXPECT_EQ(actual.bytes, expected.bytes);
}

// An identical copy big enough for two threads: the same pixels (rows without padding, so
// that the copy is one block split in two).
TEST(LinearColumns, BigIdenticalCopyKeepsEveryPixel) {
  Image source(D3DFMT_A8R8G8B8, 4, 701, 403, 1, 0), copy(D3DFMT_A8R8G8B8, 4, 701, 403, 1, 0);
  source.randomize(3);
  ASSERT_EQ(convert(copy, source, FilterNone), S_OK);
  EXPECT_EQ(copy.bytes, source.bytes);
}

TEST(LinearColumns, ReductionOfAnInnerBoxReadsThatBox) {
  Image source = argbImage(120, 90);
  source.randomize(11);
  Image floats = floatImage(120, 90);
  ASSERT_EQ(convert(floats, source, FilterNone), S_OK);
  const uint32_t inner[6] = {13, 7, 113, 80, 0, 1};
  PixelBox argbBox = source.box(), floatBox = floats.box();
  for (int i = 0; i < 6; ++i) argbBox.box[i] = floatBox.box[i] = inner[i];
  for (const auto &[w, h] : {std::pair<uint32_t, uint32_t>{50, 36}, {17, 9}}) {
    Image expected = argbImage(w, h), actual = argbImage(w, h);
    ASSERT_EQ(convertPixels(expected.box(), floatBox, FilterLinear), S_OK);
    ASSERT_EQ(convertPixels(actual.box(), argbBox, FilterLinear), S_OK);
    EXPECT_EQ(actual.bytes, expected.bytes) << w << "x" << h;
  }
}

}  // namespace
}  // namespace kv_test
