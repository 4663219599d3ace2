// Contact sheets: every level, face and slice in one labelled PNG, a cube map as a cross.
#include "kvtex_test_support.h"

namespace {

using namespace kvtex_test;

constexpr uint32_t kFaceColours[6] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u, 0xFF00FFFFu, 0xFFFF00FFu};

bool is(const RgbaImage &image, uint32_t x, uint32_t y, uint32_t argb) {
  const uint8_t *p = image.at(x, y);
  return p[0] == uint8_t(argb >> 16) && p[1] == uint8_t(argb >> 8) && p[2] == uint8_t(argb) && p[3] == argb >> 24;
}

using KvtexSheet = KvtexTest;

TEST_F(KvtexSheet, ACubeMapIsACrossWithLabels) {
  std::vector<uint8_t> cube = ddsHeader(4, 4, 1, true);
  for (uint32_t f = 0; f < 6; ++f) {
    for (int t = 0; t < 16; ++t) {
      const uint32_t c = kFaceColours[f];
      cube.insert(cube.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c >> 24)});
    }
  }
  const RunResult r = run({"sheet", write("cube.dds", cube), "-o", path("s.png")});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.lines[0]["cells"], 6);
  const RgbaImage sheet = readPng(path("s.png"));
  // Cells 21 wide (the label "+X L0": five glyphs of 4 pixels, and 1) and 13 high (a
  // 9-pixel label strip over 4 rows), 4 apart, in a 4 x 3 grid, with a 4-pixel margin.
  ASSERT_EQ(sheet.width, 4 + 4 * 21 + 3 * 4 + 4u);
  ASSERT_EQ(sheet.height, 4 + 3 * 13 + 2 * 4 + 4u);
  // +Y above +Z; -X, +Z, +X, -Z across; -Y below.
  const uint32_t cross[6][2] = {{2, 1}, {0, 1}, {1, 0}, {1, 2}, {1, 1}, {3, 1}};
  for (uint32_t f = 0; f < 6; ++f) {
    const uint32_t x = 4 + cross[f][0] * 25, y = 4 + cross[f][1] * 17;
    EXPECT_TRUE(is(sheet, x, y + 9, kFaceColours[f])) << "face " << f;
    EXPECT_TRUE(is(sheet, x + 3, y + 12, kFaceColours[f])) << "face " << f;
    // The label's first glyph, '+' or '-': its middle row is three pixels of ink.
    for (uint32_t i = 0; i < 3; ++i) EXPECT_TRUE(is(sheet, x + 1 + i, y + 2 + 2, 0xFFFFFFFFu)) << "face " << f;
  }
  // The corners of the cross hold no face.
  EXPECT_TRUE(is(sheet, 4, 4 + 9, 0xFF303030u));
  EXPECT_TRUE(is(sheet, 4 + 3 * 25, 4 + 2 * 17 + 9, 0xFF303030u));
}

TEST_F(KvtexSheet, LevelsSideBySideAndVolumeSlicesInRows) {
  std::vector<std::string> args = {"volume"};
  for (uint32_t z = 0; z < 3; ++z) {
    const uint32_t c = kFaceColours[z];
    args.push_back(write("s" + std::to_string(z) + ".bmp", bitmap(4, 4, [c](uint32_t, uint32_t) { return c; })));
  }
  args.insert(args.end(), {"-o", path("v.dds"), "--levels", "2"});
  ASSERT_EQ(run(args).status, 0);
  const RunResult r = run({"sheet", path("v.dds"), "-o", path("v.png")});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.lines[0]["cells"], 4);  // three slices, then one
  const RgbaImage sheet = readPng(path("v.png"));
  // Cells 21 wide ("L0 S0" is five glyphs), 13 high; level 1 (2x2x1, cells 11 high) in a
  // row below.
  ASSERT_EQ(sheet.width, 4 + 3 * 21 + 2 * 4 + 4u);
  ASSERT_EQ(sheet.height, 4 + 13 + 8 + 11 + 4u);
  for (uint32_t z = 0; z < 3; ++z) EXPECT_TRUE(is(sheet, 4 + z * 25, 4 + 9, kFaceColours[z])) << "slice " << z;
  EXPECT_FALSE(is(sheet, 4, 4 + 13 + 8 + 9, 0xFF303030u)) << "level 1";

  const std::string flat = write("t.bmp", bitmap(40, 8, [](uint32_t, uint32_t) { return 0xFF102030u; }));
  ASSERT_EQ(run({"convert", flat, "-o", path("t.dds"), "--format", "A8R8G8B8", "--mips"}).status, 0);
  const RunResult levels = run({"sheet", path("t.dds"), "-o", path("t.png")});
  ASSERT_EQ(levels.status, 0) << levels.errors;
  EXPECT_EQ(levels.lines[0]["levels"], 6);  // 40x8 down to 1x1
  const RgbaImage t = readPng(path("t.png"));
  // Level 0 at the margin, level 1 (20x4) after it and 8 pixels apart.
  EXPECT_TRUE(is(t, 4, 4 + 9, 0xFF102030u));
  EXPECT_TRUE(is(t, 4 + 40 + 8, 4 + 9, 0xFF102030u));
  EXPECT_TRUE(is(t, 4 + 40 + 4, 4 + 9, 0xFF303030u));
}

}  // namespace
