// Nothing lost on the way out: batch outputs that would meet, sizes that are not whole
// 4x4 blocks, cube faces and volume slices.
#include <cstdlib>

#include "kvtex_test_support.h"

namespace {

using namespace kvtex_test;
using nlohmann::json;

uint32_t solid(uint32_t colour) { return colour; }

// Each of these is exact in R5G6B5, so a one-colour DXT1 block keeps it.
constexpr uint32_t kFaceColours[6] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u, 0xFF00FFFFu, 0xFFFF00FFu};

void expectColour(const RgbaImage &image, uint32_t x, uint32_t y, uint32_t argb, int tolerance, const std::string &what) {
  ASSERT_LT(x, image.width) << what;
  ASSERT_LT(y, image.height) << what;
  const uint8_t *p = image.at(x, y);
  const int want[4] = {int(argb >> 16 & 0xFF), int(argb >> 8 & 0xFF), int(argb & 0xFF), int(argb >> 24)};
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(int(p[c]), want[c], tolerance) << what << " channel " << c;
}

using KvtexBatchOutputs = KvtexTest;

TEST_F(KvtexBatchOutputs, SameNamesInDifferentFoldersKeepTheirFolders) {
  fs::create_directories(dir_ / "a");
  fs::create_directories(dir_ / "b");
  const std::string a = write("a/x.bmp", bitmap(2, 2, [](uint32_t, uint32_t) { return solid(0xFF102030u); }));
  const std::string b = write("b/x.bmp", bitmap(2, 2, [](uint32_t, uint32_t) { return solid(0xFF405060u); }));
  const RunResult r = run({"decode", a, b, "-o", path("out")});
  ASSERT_EQ(r.status, 0) << r.errors;
  expectColour(readPng(path("out/a/x.bmp.png")), 0, 0, 0xFF102030u, 0, "a/x");
  expectColour(readPng(path("out/b/x.bmp.png")), 0, 0, 0xFF405060u, 0, "b/x");
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[1]["outputs"], json::array({path("out") + "/b/x.bmp.png"}));

  // Inputs side by side still come out side by side.
  const std::string c = write("a/y.bmp", bitmap(2, 2, [](uint32_t, uint32_t) { return solid(0xFF000000u); }));
  ASSERT_EQ(run({"convert", a, c, "-o", path("flat"), "--format", "DXT1"}).status, 0);
  EXPECT_TRUE(fs::exists(path("flat/x.bmp.dds")));
  EXPECT_TRUE(fs::exists(path("flat/y.bmp.dds")));
}

TEST_F(KvtexBatchOutputs, AFileGivenTwiceIsRefusedBeforeAnythingIsWritten) {
  const std::string a = write("x.bmp", bitmap(2, 2, [](uint32_t, uint32_t) { return solid(0xFF102030u); }));
  for (const char *command : {"decode", "texture", "convert"}) {
    std::vector<std::string> args = {command, a, path("other.bmp"), a, "-o", path("out")};
    if (std::string(command) == "convert") args.insert(args.end(), {"--format", "DXT1"});
    write("other.bmp", bitmap(2, 2, [](uint32_t, uint32_t) { return solid(0xFF000000u); }));
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 2) << command;
    EXPECT_NE(r.errors.find("would both be written to"), std::string::npos) << command << ": " << r.errors;
    EXPECT_FALSE(fs::exists(path("out"))) << command;
  }
}

using KvtexSizes = KvtexTest;

TEST_F(KvtexSizes, ConvertKeepsSizesThatAreNotWholeBlocks) {
  // Colour changes every pixel along x, so a wrong edge column shows.
  const auto colour = [](uint32_t x, uint32_t y) { return 0xFF000000u | (x % 8 < 4 ? 0xFF0000u : 0x0000FFu) | y; };
  struct Case {
    uint32_t width, height;
    const char *format;
    uint32_t levels;  // the full chain
  };
  for (const Case c : {Case{333, 77, "DXT1", 9}, Case{1, 1, "DXT1", 1}, Case{5, 3, "DXT5", 3}, Case{6, 2, "DXT3", 3},
                       Case{7, 5, "A8R8G8B8", 3}}) {
    const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) + " " + c.format;
    const std::string source = write("s.bmp", bitmap(c.width, c.height, colour));
    const RunResult made = run({"convert", source, "-o", path("s.dds"), "--format", c.format, "--mips"});
    ASSERT_EQ(made.status, 0) << what << ": " << made.errors;
    EXPECT_EQ(made.lines[0]["width"], c.width) << what;
    EXPECT_EQ(made.lines[0]["height"], c.height) << what;
    EXPECT_EQ(made.lines[0]["levels"], c.levels) << what;
    const RunResult info = run({"info", path("s.dds")});
    ASSERT_EQ(info.status, 0) << what << ": " << info.errors;
    EXPECT_EQ(info.lines[0]["width"], c.width) << what;
    EXPECT_EQ(info.lines[0]["height"], c.height) << what;
    EXPECT_EQ(info.lines[0]["levels"], c.levels) << what;
    ASSERT_EQ(run({"decode", path("s.dds"), "-o", path("s.png")}).status, 0) << what;
    const RgbaImage back = readPng(path("s.png"));
    ASSERT_EQ(back.width, c.width) << what;
    ASSERT_EQ(back.height, c.height) << what;
    // The last column and row lie in partial blocks.
    for (const uint32_t x : {0u, c.width - 1}) {
      for (const uint32_t y : {0u, c.height - 1}) {
        expectColour(back, x, y, colour(x, y), 8, what + " at " + std::to_string(x) + "," + std::to_string(y));
      }
    }
    ASSERT_EQ(run({"decode", path("s.dds"), "-o", path("last.png"), "--level", std::to_string(c.levels - 1)}).status,
              0)
        << what;
    EXPECT_EQ(readPng(path("last.png")).width, 1u) << what;
  }
}

TEST_F(KvtexSizes, TextureSaysWhenTheLoaderChangedSizeOrFormat) {
  const std::string source = write("s.bmp", bitmap(333, 77, [](uint32_t, uint32_t) { return 0xFF808080u; }));
  const RunResult blocks = run({"texture", source, "-o", path("t"), "--format", "DXT1", "--levels", "1"});
  ASSERT_EQ(blocks.status, 0) << blocks.errors;
  EXPECT_EQ(blocks.lines[0]["width"], 336);  // whole blocks, the loader's rule
  EXPECT_NE(blocks.errors.find("made 336x80 of the asked 333x77"), std::string::npos) << blocks.errors;

  const RunResult pow2 = run({"texture", source, "-o", path("p"), "--caps", "pow2", "--levels", "1"});
  ASSERT_EQ(pow2.status, 0) << pow2.errors;
  EXPECT_NE(pow2.errors.find("made 512x128 of the asked 333x77"), std::string::npos) << pow2.errors;

  const RunResult same = run({"texture", source, "-o", path("s"), "--levels", "1"});
  ASSERT_EQ(same.status, 0) << same.errors;
  EXPECT_EQ(same.errors.find("note"), std::string::npos) << same.errors;

  // A format the device does not take as a texture: the loader's nearest one, said.
  const RunResult format = run({"texture", source, "-o", path("f"), "--format", "R8G8B8", "--levels", "1"});
  ASSERT_EQ(format.status, 0) << format.errors;
  if (format.lines[0]["format"] != "D3DFMT_R8G8B8") {
    EXPECT_NE(format.errors.find("the device's choice for D3DFMT_R8G8B8"), std::string::npos) << format.errors;
  }
}

using KvtexFacesAndSlices = KvtexTest;

TEST_F(KvtexFacesAndSlices, CubeMapsStayCubeMaps) {
  // 4x4 faces, three levels, every texel of face f its own colour.
  std::vector<uint8_t> cube = ddsHeader(4, 4, 3, true);
  for (uint32_t f = 0; f < 6; ++f) {
    for (uint32_t texels : {16u, 4u, 1u}) {
      for (uint32_t t = 0; t < texels; ++t) {
        const uint32_t c = kFaceColours[f];
        cube.insert(cube.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c >> 24)});
      }
    }
  }
  const std::string file = write("cube.dds", cube);
  // DXT1 --opaque goes through the staged encoder, which walks the faces itself.
  for (const std::string format : {"A8R8G8B8", "DXT1", "DXT1 --opaque"}) {
    std::vector<std::string> args = {"convert", file, "-o", path("c.dds"), "--format", format.substr(0, format.find(' ')),
                                     "--levels", "file"};
    if (format.ends_with("--opaque")) args.push_back("--opaque");
    const RunResult made = run(args);
    ASSERT_EQ(made.status, 0) << format << ": " << made.errors;
    EXPECT_EQ(made.lines[0]["resourceType"], "cube") << format;
    const RunResult info = run({"info", path("c.dds")});
    ASSERT_EQ(info.status, 0) << format << ": " << info.errors;
    EXPECT_EQ(info.lines[0]["resourceType"], "cube") << format;
    EXPECT_EQ(info.lines[0]["levels"], 3) << format;
    EXPECT_EQ(info.lines[0]["width"], 4) << format;
    for (uint32_t f = 0; f < 6; ++f) {
      for (uint32_t level : {0u, 2u}) {
        const std::string what = format + " face " + std::to_string(f) + " level " + std::to_string(level);
        ASSERT_EQ(run({"decode", path("c.dds"), "-o", path("f.png"), "--face", std::to_string(f), "--level",
                       std::to_string(level)})
                      .status,
                  0)
            << what;
        expectColour(readPng(path("f.png")), 0, 0, kFaceColours[f], 0, what);
      }
    }
  }
}

TEST_F(KvtexFacesAndSlices, CubeMapsFromSixImages) {
  std::vector<std::string> args = {"cube"};
  for (uint32_t f = 0; f < 6; ++f) {
    const uint32_t c = kFaceColours[f];
    args.push_back(write("f" + std::to_string(f) + ".bmp", bitmap(8, 8, [c](uint32_t, uint32_t) { return c; })));
  }
  args.insert(args.end(), {"-o", path("sky.dds"), "--format", "DXT1", "--levels", "0"});
  const RunResult made = run(args);
  ASSERT_EQ(made.status, 0) << made.errors;
  EXPECT_EQ(made.lines[0]["levels"], 4);
  const RunResult info = run({"info", path("sky.dds")});
  ASSERT_EQ(info.status, 0) << info.errors;
  EXPECT_EQ(info.lines[0]["resourceType"], "cube");
  for (uint32_t f = 0; f < 6; ++f) {
    ASSERT_EQ(run({"decode", path("sky.dds"), "-o", path("f.png"), "--face", std::to_string(f), "--level", "3"}).status,
              0);
    expectColour(readPng(path("f.png")), 0, 0, kFaceColours[f], 0, "face " + std::to_string(f));
  }
  // Five images make no cube map.
  args.erase(args.begin() + 6);
  const RunResult five = run(args);
  EXPECT_EQ(five.status, 2);
  EXPECT_NE(five.errors.find("six images"), std::string::npos) << five.errors;
}

TEST_F(KvtexFacesAndSlices, VolumesFromSlicesAndBackStayVolumes) {
  std::vector<std::string> args = {"volume"};
  for (uint32_t z = 0; z < 3; ++z) {
    const uint32_t c = kFaceColours[z];
    args.push_back(write("s" + std::to_string(z) + ".bmp", bitmap(4, 4, [c](uint32_t, uint32_t) { return c; })));
  }
  args.insert(args.end(), {"-o", path("v.dds"), "--format", "A8R8G8B8"});
  const RunResult made = run(args);
  ASSERT_EQ(made.status, 0) << made.errors;
  const RunResult info = run({"info", path("v.dds")});
  ASSERT_EQ(info.status, 0) << info.errors;
  EXPECT_EQ(info.lines[0]["resourceType"], "volume");
  EXPECT_EQ(info.lines[0]["depth"], 3);
  for (uint32_t z = 0; z < 3; ++z) {
    ASSERT_EQ(run({"decode", path("v.dds"), "-o", path("s.png"), "--slice", std::to_string(z)}).status, 0);
    expectColour(readPng(path("s.png")), 3, 3, kFaceColours[z], 0, "slice " + std::to_string(z));
  }

  // convert keeps the volume, and makes its chain: 4x4x3, 2x2x1, 1x1x1.
  const RunResult again = run({"convert", path("v.dds"), "-o", path("v2.dds"), "--format", "X8R8G8B8", "--mips"});
  ASSERT_EQ(again.status, 0) << again.errors;
  const RunResult info2 = run({"info", path("v2.dds")});
  ASSERT_EQ(info2.status, 0) << info2.errors;
  EXPECT_EQ(info2.lines[0]["resourceType"], "volume");
  EXPECT_EQ(info2.lines[0]["depth"], 3);
  EXPECT_EQ(info2.lines[0]["levels"], 3);
  ASSERT_EQ(run({"decode", path("v2.dds"), "-o", path("s.png"), "--slice", "2"}).status, 0);
  expectColour(readPng(path("s.png")), 1, 2, kFaceColours[2], 0, "converted slice 2");
}

}  // namespace

namespace {

using namespace kvtex_test;

using KvtexFileLevels = KvtexTest;

TEST_F(KvtexFileLevels, LevelsTheFileHoldsAreCopiedNotFilteredAgain) {
  // Level 0 all one colour, level 1 another that no filter of level 0 gives.
  for (const bool cube : {false, true}) {
    std::vector<uint8_t> dds = ddsHeader(4, 4, 2, cube);
    for (int face = 0; face < (cube ? 6 : 1); ++face) {
      for (int t = 0; t < 16; ++t) dds.insert(dds.end(), {0x10, 0x20, 0x30, 0xFF});
      for (int t = 0; t < 4; ++t) dds.insert(dds.end(), {0xC0, uint8_t(0x80 + face), 0x40, 0xFF});
    }
    const std::string file = write("l.dds", dds);
    const RunResult made = run({"convert", file, "-o", path("l2.dds"), "--format", "A8R8G8B8", "--levels", "file"});
    ASSERT_EQ(made.status, 0) << made.errors;
    const int face = cube ? 5 : 0;
    ASSERT_EQ(run({"decode", path("l2.dds"), "-o", path("l1.png"), "--level", "1", "--face", std::to_string(face)})
                  .status,
              0);
    const RgbaImage level1 = readPng(path("l1.png"));
    ASSERT_EQ(level1.width, 2u);
    // Stored blue, green, red, alpha: red 0x40, green 0x80 + face, blue 0xC0.
    EXPECT_EQ(level1.at(1, 1)[0], 0x40) << cube;
    EXPECT_EQ(level1.at(1, 1)[1], 0x80 + face) << cube;
    EXPECT_EQ(level1.at(1, 1)[2], 0xC0) << cube;
  }
}

}  // namespace
