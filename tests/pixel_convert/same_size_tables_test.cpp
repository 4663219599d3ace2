// The table-driven same-size conversion gives the codecs' bytes: whole images (table path)
// against the same images converted one row at a time (too small for tables, so through
// the codecs), for every byte-channel source and a spread of destinations, with colour
// keys and gamma switches.
#include <gtest/gtest.h>

#include "convert_support.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/convert/raw_pixels.h"

namespace kv_test {
namespace {

using namespace kv;

const uint32_t kSources[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A8B8G8R8, D3DFMT_X8B8G8R8, D3DFMT_A8L8,
                             D3DFMT_V8U8,     D3DFMT_Q8W8V8U8, D3DFMT_X8L8V8U8, D3DFMT_L8,       D3DFMT_A8,
                             D3DFMT_P8,       D3DFMT_R3G3B2,   D3DFMT_A4L4};
const uint32_t kDestinations[] = {
    D3DFMT_A8R8G8B8,    D3DFMT_X8R8G8B8, D3DFMT_A8B8G8R8, D3DFMT_R5G6B5,   D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
    D3DFMT_A4R4G4B4,    D3DFMT_X4R4G4B4, D3DFMT_R3G3B2,   D3DFMT_A8R3G3B2, D3DFMT_A8,       D3DFMT_A2R10G10B10,
    D3DFMT_A2B10G10R10, D3DFMT_G16R16,   D3DFMT_R8G8B8,   D3DFMT_V8U8,     D3DFMT_Q8W8V8U8, D3DFMT_X8L8V8U8,
    D3DFMT_V16U16,      D3DFMT_L8,       D3DFMT_A8L8,     D3DFMT_P8,       D3DFMT_L16,      D3DFMT_R16F};

struct Palette {
  uint8_t entries[256 * 4];
  explicit Palette(uint32_t seed) {
    std::mt19937 random(seed);
    for (auto &b : entries) b = uint8_t(random());
  }
};

TEST(SameSizeTables, GiveTheCodecsBytesForEveryByteChannelSource) {
  const Palette sourcePalette(1), destinationPalette(2);
  const uint32_t W = 72, H = 64;  // enough pixels for the tables, W not a multiple of 16
  for (uint32_t sourceFormat : kSources) {
    for (uint32_t destinationFormat : kDestinations) {
      const uint32_t sb = rawBytesPerPixel(sourceFormat), db = rawBytesPerPixel(destinationFormat);
      Image source(sourceFormat, sb, W, H);
      source.randomize(sourceFormat ^ destinationFormat);
      // A key equal to one of the pixels (as ARGB where the format is ARGB), and none.
      for (uint32_t key : {0u, source.word(5, 5), source.word(5, 5) | 0xff000000u, 0xff00ff00u}) {
        for (uint32_t gamma : {0u, GammaIn, GammaOut, GammaIn | GammaOut}) {
          Image whole(destinationFormat, db, W, H), rows(destinationFormat, db, W, H);
          PixelBox from = source.box(), to = whole.box();
          from.colorKey = key;
          from.palette = sourcePalette.entries;
          to.palette = destinationPalette.entries;
          ASSERT_EQ(convertPixels(to, from, FilterTriangle | gamma), S_OK);
          for (uint32_t y = 0; y < H; ++y) {
            PixelBox rowFrom = from, rowTo = rows.box();
            rowTo.palette = destinationPalette.entries;
            rowFrom.box[kBoxTop] = rowTo.box[kBoxTop] = y;
            rowFrom.box[kBoxBottom] = rowTo.box[kBoxBottom] = y + 1;
            ASSERT_EQ(convertPixels(rowTo, rowFrom, FilterTriangle | gamma), S_OK);
          }
          for (uint32_t y = 0; y < H; ++y)
            ASSERT_EQ(std::memcmp(whole.pixel(0, y), rows.pixel(0, y), size_t(W) * db), 0)
                << "source " << sourceFormat << " destination " << destinationFormat << " key " << std::hex << key
                << " gamma " << gamma << " row " << std::dec << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace kv_test
