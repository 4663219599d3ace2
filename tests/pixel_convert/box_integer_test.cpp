// The integer 2x2 averages of the box filter against the floating path, and the vector
// 32-bit routine against the plain one.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "convert_support.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/convert/raw_pixels.h"
#include "pixel/formats/pixel_format_info.h"

namespace kv_test {
namespace {

using namespace kv;

struct IntegerFormat {
  uint32_t format;
  uint32_t bytes;
  float step[4];  // one quantisation step of R, G, B, A (0 = not stored)
};

constexpr float k8 = 1.f / 255, k5 = 1.f / 31, k6 = 1.f / 63, k4 = 1.f / 15, k3 = 1.f / 7, k2 = 1.f / 3;

const IntegerFormat kFormats[] = {
    {D3DFMT_A8R8G8B8, 4, {k8, k8, k8, k8}}, {D3DFMT_A8B8G8R8, 4, {k8, k8, k8, k8}},
    {D3DFMT_X8R8G8B8, 4, {k8, k8, k8, 0}},  {D3DFMT_X8B8G8R8, 4, {k8, k8, k8, 0}},
    {D3DFMT_R5G6B5, 2, {k5, k6, k5, 0}},    {D3DFMT_X1R5G5B5, 2, {k5, k5, k5, 0}},
    {D3DFMT_A1R5G5B5, 2, {k5, k5, k5, 1}},  {D3DFMT_A4R4G4B4, 2, {k4, k4, k4, k4}},
    {D3DFMT_X4R4G4B4, 2, {k4, k4, k4, 0}},  {D3DFMT_R3G3B2, 1, {k3, k3, k2, 0}},
    {D3DFMT_A8, 1, {0, 0, 0, k8}},          {D3DFMT_L8, 1, {k8, k8, k8, 0}},
    {D3DFMT_A8R3G3B2, 2, {k3, k3, k2, k8}}, {D3DFMT_A8L8, 2, {k8, k8, k8, k8}},
    {D3DFMT_A4L4, 1, {k4, k4, k4, k4}},
};

TEST(BoxIntegerPath, EveryFormatAgreesWithTheFloatingAverageWithinOneStep) {
  for (const IntegerFormat &f : kFormats) {
    for (auto [W, H] : {std::pair{8u, 6u}, std::pair{9u, 7u}, std::pair{2u, 2u}}) {
      Image source(f.format, f.bytes, W, H), halved(f.format, f.bytes, W / 2, H / 2);
      source.randomize(f.format + W);
      ASSERT_EQ(convert(halved, source, FilterBox), S_OK) << f.format;
      // The floating path: unpack, average in single precision, compare unpacked.
      Image unpacked = floatImage(W, H), expected = floatImage(W / 2, H / 2), actual = floatImage(W / 2, H / 2);
      ASSERT_EQ(convert(unpacked, source, FilterPoint), S_OK);
      ASSERT_EQ(convert(expected, unpacked, FilterBox), S_OK);
      ASSERT_EQ(convert(actual, halved, FilterPoint), S_OK);
      for (uint32_t y = 0; y < H / 2; ++y)
        for (uint32_t x = 0; x < W / 2; ++x)
          for (int c = 0; c < 4; ++c) {
            if (f.step[c] == 0) continue;
            ASSERT_NEAR(actual.floats(x, y)[c], expected.floats(x, y)[c], f.step[c] * 1.0001f)
                << "format " << f.format << " " << W << "x" << H << " pixel " << x << "," << y << " channel " << c;
          }
    }
  }
}

// The stored channel fields of each packed format (shift, width), from the formats'
// definitions; X bits are left out, as nothing reads them.
struct Field {
  uint32_t shift, bits;
};
struct FieldLayout {
  uint32_t format, bytes;
  std::vector<Field> fields;
};

const FieldLayout kFieldLayouts[] = {
    {D3DFMT_A8R8G8B8, 4, {{0, 8}, {8, 8}, {16, 8}, {24, 8}}}, {D3DFMT_A8B8G8R8, 4, {{0, 8}, {8, 8}, {16, 8}, {24, 8}}},
    {D3DFMT_X8R8G8B8, 4, {{0, 8}, {8, 8}, {16, 8}}},          {D3DFMT_X8B8G8R8, 4, {{0, 8}, {8, 8}, {16, 8}}},
    {D3DFMT_R5G6B5, 2, {{0, 5}, {5, 6}, {11, 5}}},            {D3DFMT_X1R5G5B5, 2, {{0, 5}, {5, 5}, {10, 5}}},
    {D3DFMT_A1R5G5B5, 2, {{0, 5}, {5, 5}, {10, 5}, {15, 1}}}, {D3DFMT_A4R4G4B4, 2, {{0, 4}, {4, 4}, {8, 4}, {12, 4}}},
    {D3DFMT_X4R4G4B4, 2, {{0, 4}, {4, 4}, {8, 4}}},           {D3DFMT_R3G3B2, 1, {{0, 2}, {2, 3}, {5, 3}}},
    {D3DFMT_A8, 1, {{0, 8}}},                                 {D3DFMT_L8, 1, {{0, 8}}},
    {D3DFMT_A8R3G3B2, 2, {{0, 2}, {2, 3}, {5, 3}, {8, 8}}},   {D3DFMT_A8L8, 2, {{0, 8}, {8, 8}}},
    {D3DFMT_A4L4, 1, {{0, 4}, {4, 4}}},
};

// Halving rounds each field's mean half up: (a + b + c + d + 2) / 4 in integers, so that a
// flat area keeps its value and the chain does not darken level by level.
TEST(BoxIntegerPath, EveryFieldIsItsFourSourceFieldsMeanRoundedHalfUp) {
  for (const FieldLayout &f : kFieldLayouts) {
    const uint32_t W = 8, H = 6;
    Image source(f.format, f.bytes, W, H), halved(f.format, f.bytes, W / 2, H / 2);
    source.randomize(f.format + 77);
    ASSERT_EQ(convert(halved, source, FilterBox), S_OK) << f.format;
    for (uint32_t y = 0; y < H / 2; ++y)
      for (uint32_t x = 0; x < W / 2; ++x)
        for (const Field &field : f.fields) {
          const uint32_t mask = (1u << field.bits) - 1;
          const auto at = [&](uint32_t sx, uint32_t sy) { return (source.word(sx, sy) >> field.shift) & mask; };
          const uint32_t sum = at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1);
          ASSERT_EQ((halved.word(x, y) >> field.shift) & mask, (sum + 2) / 4)
              << "format " << f.format << " pixel " << x << "," << y << " field at bit " << field.shift;
        }
  }
}

TEST(BoxIntegerPath, OneBitAlphaIsSetWhenTwoOfFourAre) {
  Image source(D3DFMT_A1R5G5B5, 2, 4, 2), halved(D3DFMT_A1R5G5B5, 2, 2, 1);
  source.setWord(0, 0, 0x8000);
  source.setWord(1, 1, 0x8000);
  source.setWord(2, 0, 0x8000);
  ASSERT_EQ(convert(halved, source, FilterBox), S_OK);
  EXPECT_EQ(halved.word(0, 0), 0x8000u);
  EXPECT_EQ(halved.word(1, 0), 0x0000u);
}

TEST(BoxIntegerPath, TheVectorRoutineGivesThePlainRoutinesBytes) {
  std::mt19937 random(12);
  for (uint32_t width : {1u, 3u, 4u, 5u, 8u, 13u, 64u}) {
    std::vector<uint8_t> row0(8 * width), row1(8 * width), plain(4 * width), vector(4 * width);
    for (auto &b : row0) b = uint8_t(random());
    for (auto &b : row1) b = uint8_t(random());
    boxAverageRow32(false, row0.data(), row1.data(), plain.data(), width);
    boxAverageRow32(true, row0.data(), row1.data(), vector.data(), width);
    EXPECT_EQ(plain, vector) << width;
    // The plain routine itself: (a + b + c + d + 2) >> 2 per byte.
    for (uint32_t x = 0; x < width; ++x)
      for (int c = 0; c < 4; ++c) {
        const int sum = row0[8 * x + c] + row0[8 * x + 4 + c] + row1[8 * x + c] + row1[8 * x + 4 + c] + 2;
        ASSERT_EQ(plain[4 * x + c], sum >> 2);
      }
  }
}

}  // namespace
}  // namespace kv_test
