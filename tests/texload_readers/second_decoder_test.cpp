// Public files decoded by a second, unrelated decoder (stb_image, Debian's libstb-dev) and
// by our readers, compared pixel by pixel: one test per reader over its folder (the float
// maps, which stb does not read, against the pixmap of the same picture). Where the
// two decoders are known to part ways, the table below says how, and the test holds the
// file to that; every other file must decode alike or be refused by both. Skipped when the
// public files or the second decoder are absent.
#include "reader_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#if __has_include(<stb/stb_image.h>)
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_PNM
#define STBI_ONLY_HDR
#define STBI_NO_STDIO
#include <stb/stb_image.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

const fs::path kTestData = KV_TESTDATA_DIR;

// How a file fares, read by both decoders.
enum class Outcome {
  Alike,          // both decode it to the same pixels
  BothRefuse,     // neither decodes it
  OnlyOursReads,  // the second decoder refuses it; ours decodes it
  OnlyItReads,    // ours refuses it; the second decoder decodes it
  Differ,         // both decode it, to the same size, and part ways on pixels as stated
  OursRefuses,    // ours refuses it; it is not handed to stb, which misbehaves on it
};

struct Divergence {
  Outcome outcome;
  const char *why;
};

// Files on which the decoders part ways, and why. Every other file must be Alike or
// BothRefuse. Where the second decoder is the one at fault, the pixel that shows it was
// checked by hand against the file's bytes.
const std::map<std::string, Divergence> kDivergences = {
    // BMP: ours keeps to its own rules.
    {"bmp/bmpsuite-2.8/g/rgb16-565.bmp", {Outcome::OnlyItReads, "bit fields after a 40-byte header are refused"}},
    {"bmp/bmpsuite-2.8/g/rgb16bfdef.bmp", {Outcome::OnlyItReads, "bit fields after a 40-byte header are refused"}},
    {"bmp/bmpsuite-2.8/g/rgb32bf.bmp", {Outcome::OnlyItReads, "bit fields after a 40-byte header are refused"}},
    {"bmp/bmpsuite-2.8/g/rgb32bfdef.bmp", {Outcome::OnlyItReads, "bit fields after a 40-byte header are refused"}},
    {"bmp/bmpsuite-2.8/q/rgb16-231.bmp", {Outcome::OnlyItReads, "bit fields after a 40-byte header are refused"}},
    {"dib/pillow/clipboard.dib", {Outcome::OnlyItReads, "bit fields after a 40-byte header are refused"}},
    {"bmp/bmpsuite-2.8/b/badfilesize.bmp", {Outcome::OnlyItReads, "the file header's size exceeds the data"}},
    {"bmp/bmpsuite-2.8/b/shortfile.bmp", {Outcome::OnlyItReads, "rows past the end of the data"}},
    {"bmp/bmpsuite-2.8/b/badpalettesize.bmp", {Outcome::OnlyItReads, "a colour count of 305402420 puts the pixels past the data"}},
    {"bmp/image-rs/bad/bmp/Bad_clrsUsed.bmp", {Outcome::OnlyItReads, "a colour count of 4278190086 puts the pixels past the data"}},
    {"bmp/bmpsuite-2.8/q/pal8os2sp.bmp", {Outcome::OnlyItReads, "252 colours of 3 bytes: the pixels are taken after a table of 256, and the last row runs past the data"}},
    {"bmp/bmpsuite-2.8/q/rgb32-xbgr.bmp", {Outcome::OnlyItReads, "masks shifted a byte up: the pixels are taken a byte later, and the last one runs past the data"}},
    {"bmp/bmpsuite-2.8/b/pal8badindex.bmp", {Outcome::Differ, "indices past the 101 colours: ours opaque white, stb black"}},
    // BMP: what stb does not read.
    {"bmp/bmpsuite-2.8/g/pal4rle.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/bmpsuite-2.8/g/pal8rle.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/bmpsuite-2.8/q/pal4rlecut.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/bmpsuite-2.8/q/pal4rletrns.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/bmpsuite-2.8/q/pal8rlecut.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/bmpsuite-2.8/q/pal8rletrns.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/bmpsuite-2.8/b/badrle4bis.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/bmpsuite-2.8/b/badrle4ter.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/bmpsuite-2.8/b/badrlebis.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/bmpsuite-2.8/b/badrleter.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/bmpsuite-2.8/b/rletopdown.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/image-rs/lenient/rle_overflow.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/pillow/hopper_rle8.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/pillow/hopper_rle8_grayscale.bmp", {Outcome::OnlyOursReads, "stb has no run-length decoder"}},
    {"bmp/bmpsuite-2.8/b/badheadersize.bmp", {Outcome::OnlyOursReads, "stb knows no 66-byte header"}},
    {"bmp/bmpsuite-2.8/q/pal8os2v2.bmp", {Outcome::OnlyOursReads, "stb knows no 64-byte header"}},
    {"bmp/bmpsuite-2.8/q/pal8os2v2-sz.bmp", {Outcome::OnlyOursReads, "stb knows no 64-byte header"}},
    {"bmp/bmpsuite-2.8/q/rgb32h52.bmp", {Outcome::OnlyOursReads, "stb knows no 52-byte header"}},
    {"bmp/bmpsuite-2.8/g/rgb24pal.bmp", {Outcome::OnlyOursReads, "stb refuses a colour table before 24-bit pixels"}},
    {"bmp/bmpsuite-2.8/q/rgb24largepal.bmp", {Outcome::OnlyOursReads, "stb refuses a colour table before 24-bit pixels"}},
    {"bmp/bmpsuite-2.8/q/rgba32h56.bmp", {Outcome::OnlyOursReads, "stb refuses the offset after a 56-byte header"}},
    {"bmp/bmpsuite-2.8/q/pal8offs.bmp", {Outcome::OnlyOursReads, "stb refuses a gap before the pixels (ours reads from the table's end)"}},
    {"bmp/bmpsuite-2.8/q/pal8oversizepal.bmp", {Outcome::OnlyOursReads, "stb refuses a 300-colour table"}},
    {"bmp/bmpsuite-2.8/q/rgba16-1924.bmp", {Outcome::OnlyOursReads, "stb refuses masks of more than 8 bits"}},
    {"bmp/bmpsuite-2.8/q/rgba32-1010102.bmp", {Outcome::OnlyOursReads, "stb refuses masks of more than 8 bits"}},
    {"bmp/bmpsuite-2.8/q/rgba32-61754.bmp", {Outcome::OnlyOursReads, "stb refuses masks of more than 8 bits"}},
    {"bmp/bmpsuite-2.8/q/rgba32-81284.bmp", {Outcome::OnlyOursReads, "stb refuses masks of more than 8 bits"}},
    {"bmp/image-rs/V3_A1_R5_G5_B5.bmp", {Outcome::OnlyOursReads, "stb refuses a 56-byte header without bit-field compression"}},
    {"bmp/image-rs/V3_A1_R5_G5_B5_Top_Down.bmp", {Outcome::OnlyOursReads, "stb refuses a 56-byte header without bit-field compression"}},
    {"bmp/image-rs/V3_A4_R4_G4_B4.bmp", {Outcome::OnlyOursReads, "stb refuses a 56-byte header without bit-field compression"}},
    {"bmp/image-rs/V3_A4_R4_G4_B4_Top_Down.bmp", {Outcome::OnlyOursReads, "stb refuses a 56-byte header without bit-field compression"}},
    {"bmp/image-rs/V3_R5_G6_B5.bmp", {Outcome::OnlyOursReads, "stb refuses a 56-byte header without bit-field compression"}},
    {"bmp/image-rs/V3_R5_G6_B5_Top_Down.bmp", {Outcome::OnlyOursReads, "stb refuses a 56-byte header without bit-field compression"}},
    {"bmp/image-rs/V3_X4_R4_G4_B4.bmp", {Outcome::OnlyOursReads, "stb refuses a 56-byte header without bit-field compression"}},
    {"bmp/image-rs/V3_X4_R4_G4_B4_Top_Down.bmp", {Outcome::OnlyOursReads, "stb refuses a 56-byte header without bit-field compression"}},
    {"bmp/image-rs/V3_X8_R8_G8_B8.bmp", {Outcome::OnlyOursReads, "stb refuses a 56-byte header without bit-field compression"}},
    {"bmp/image-rs/V3_X8_R8_G8_B8_Top_Down.bmp", {Outcome::OnlyOursReads, "stb refuses a 56-byte header without bit-field compression"}},
    // BMP: stb counts a 12-byte header's colour table 4 entries short (it takes 24 header
    // bytes for 26), so pixels of the last four colours differ. Core_8_Bit pixel (38, 315)
    // is index 252, whose entry is pure blue: ours blue, stb not.
    {"bmp/image-rs/Core_1_Bit.bmp", {Outcome::Differ, "stb finds no colours in a 2-entry table of 3-byte entries"}},
    {"bmp/image-rs/Core_4_Bit.bmp", {Outcome::Differ, "stb drops the last 4 of 16 colours of 3 bytes"}},
    {"bmp/image-rs/Core_8_Bit.bmp", {Outcome::Differ, "stb drops the last 4 of 256 colours of 3 bytes"}},
    // TGA.
    {"tga/pillow/la.tga", {Outcome::OnlyItReads, "greyscale with alpha is not read"}},
    {"tga/pillow/tga/common/200x32_la_bl_raw.tga", {Outcome::OnlyItReads, "greyscale with alpha is not read"}},
    {"tga/pillow/tga/common/200x32_la_bl_rle.tga", {Outcome::OnlyItReads, "greyscale with alpha is not read"}},
    {"tga/pillow/tga/common/200x32_la_tl_raw.tga", {Outcome::OnlyItReads, "greyscale with alpha is not read"}},
    {"tga/pillow/tga/common/200x32_la_tl_rle.tga", {Outcome::OnlyItReads, "greyscale with alpha is not read"}},
    {"tga/pillow/cross_scan_line_truncated.tga", {Outcome::OnlyItReads, "the data ends before the last pixel"}},
    {"tga/image-rs/regression/tga/overfull-image.tga", {Outcome::OnlyItReads, "a colour map of 8315 entries runs past the data (stb skips no map of map type 0)"}},
    {"tga/image-rs/testsuite/b5-unused-cmap.tga", {Outcome::OnlyOursReads, "stb refuses a colour map beside true-colour pixels"}},
    // Pixel (1, 2) is index 106, entry 67 of a map starting at 39: blue 0xEA. stb takes entry 106.
    {"tga/image-rs/testsuite/cmap_offset.tga", {Outcome::Differ, "stb ignores the colour map's first entry index"}},
    // HDR.
    {"hdr/image-rs/old-rle.hdr", {Outcome::Differ, "stb takes the old form's repeat groups (1, 1, 1, n) for pixels"}},
    // PPM folder: the reader takes P3 and P6 only; stb takes binary maps only.
    {"ppm/pillow/hopper_8bit.pgm", {Outcome::OnlyItReads, "a P5 greymap"}},
    {"ppm/pillow/16_bit_binary.pgm", {Outcome::OursRefuses, "a P5 greymap; stb reads past its buffer narrowing it to 8 bits"}},
    {"ppm/pillow/negative_size.ppm", {Outcome::OursRefuses, "a size with a sign; stb overflows an int reading it"}},
    {"ppm/pillow/hopper_8bit_plain.ppm", {Outcome::OnlyOursReads, "stb reads no P3 (its P6 twin, hopper_8bit.ppm, decodes alike)"}},
};

Bytes readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> filesOf(const char *folder, std::initializer_list<const char *> extensions) {
  std::vector<std::string> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(kTestData / folder, error), end; !error && it != end; it.increment(error)) {
    const std::string extension = it->path().extension().string();
    if (!it->is_regular_file() || std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
      continue;
    files.push_back(fs::relative(it->path(), kTestData).generic_string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Eight-bit pixels, red, green, blue, alpha, top row first.
struct Rgba8 {
  int width = 0, height = 0;
  std::vector<uint8_t> samples;
};

// An n-bit field widened to 8 bits by repeating its bits, as most decoders do; a field of
// more than 8 bits keeps its top 8.
uint32_t widen(uint32_t value, int bits) {
  if (bits >= 8) return value >> (bits - 8);
  uint32_t out = 0;
  for (int at = 8 - bits; at > -bits; at -= bits) out |= at >= 0 ? value << at : value >> -at;
  return out & 255;
}

uint32_t le16(const uint8_t *p) { return p[0] | p[1] << 8; }
uint32_t le32(const uint8_t *p) { return le16(p) | le16(p + 2) << 16; }

// Fields (shift, bits) of the packed formats, red, green, blue, alpha (alpha bits 0: opaque).
struct Packed {
  uint32_t format, bytes;
  int field[4][2];
};
constexpr Packed kPacked[] = {
    {D3DFMT_X1R5G5B5, 2, {{10, 5}, {5, 5}, {0, 5}, {0, 0}}},
    {D3DFMT_A1R5G5B5, 2, {{10, 5}, {5, 5}, {0, 5}, {15, 1}}},
    {D3DFMT_R5G6B5, 2, {{11, 5}, {5, 6}, {0, 5}, {0, 0}}},
    {D3DFMT_A4R4G4B4, 2, {{8, 4}, {4, 4}, {0, 4}, {12, 4}}},
    {D3DFMT_X4R4G4B4, 2, {{8, 4}, {4, 4}, {0, 4}, {0, 0}}},
    {D3DFMT_A8R3G3B2, 2, {{5, 3}, {2, 3}, {0, 2}, {8, 8}}},
    {D3DFMT_A8L8, 2, {{0, 8}, {0, 8}, {0, 8}, {8, 8}}},
    {D3DFMT_L16, 2, {{0, 16}, {0, 16}, {0, 16}, {0, 0}}},
    {D3DFMT_L8, 1, {{0, 8}, {0, 8}, {0, 8}, {0, 0}}},
    {D3DFMT_R8G8B8, 3, {{16, 8}, {8, 8}, {0, 8}, {0, 0}}},
    {D3DFMT_X8R8G8B8, 4, {{16, 8}, {8, 8}, {0, 8}, {0, 0}}},
    {D3DFMT_A8R8G8B8, 4, {{16, 8}, {8, 8}, {0, 8}, {24, 8}}},
    {D3DFMT_X8B8G8R8, 4, {{0, 8}, {8, 8}, {16, 8}, {0, 0}}},
    {D3DFMT_A8B8G8R8, 4, {{0, 8}, {8, 8}, {16, 8}, {24, 8}}},
    {D3DFMT_A2B10G10R10, 4, {{0, 10}, {10, 10}, {20, 10}, {30, 2}}},
    {D3DFMT_A2R10G10B10, 4, {{20, 10}, {10, 10}, {0, 10}, {30, 2}}},
    {D3DFMT_G16R16, 4, {{0, 16}, {16, 16}, {0, 0}, {0, 0}}},
};

// Our decoded record as 8-bit pixels; false for a format not listed.
bool toRgba8(const DecodedImage &image, Rgba8 &out) {
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.samples.assign(size_t(image.width) * image.height * 4, 0);
  const Packed *packed = nullptr;
  for (const Packed &p : kPacked)
    if (p.format == image.format) packed = &p;
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t *row = image.pixels + size_t(y) * image.rowPitch;
    for (uint32_t x = 0; x < image.width; ++x) {
      uint8_t *o = &out.samples[(size_t(y) * image.width + x) * 4];
      if (image.format == D3DFMT_P8) {
        std::copy_n(image.palette + 4 * row[x], 4, o);
      } else if (image.format == D3DFMT_A32B32G32R32F) {
        for (int c = 0; c < 4; ++c) {
          float f;
          std::memcpy(&f, row + 16 * x + 4 * c, 4);
          o[c] = static_cast<uint8_t>(std::lround(std::clamp(f, 0.0f, 1.0f) * 255));
        }
      } else if (packed) {
        const uint8_t *p = row + packed->bytes * x;
        const uint32_t v = packed->bytes == 1 ? p[0] : packed->bytes == 2 ? le16(p) : packed->bytes == 3 ? le16(p) | p[2] << 16 : le32(p);
        for (int c = 0; c < 4; ++c) {
          const int shift = packed->field[c][0], bits = packed->field[c][1];
          o[c] = bits == 0 ? (c == 3 ? 255 : 0) : static_cast<uint8_t>(widen((v >> shift) & ((1u << bits) - 1), bits));
        }
      } else {
        return false;
      }
    }
  }
  return true;
}

bool secondDecode(const Bytes &file, Rgba8 &out) {
  int channels = 0;
  stbi_uc *pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &out.width, &out.height, &channels, 4);
  if (!pixels) return false;
  out.samples.assign(pixels, pixels + size_t(out.width) * size_t(out.height) * 4);
  stbi_image_free(pixels);
  return true;
}

// How our decode is held to the second decoder's.
struct Comparison {
  int tolerance = 0;  // in 8-bit steps
  bool alpha = true;
  bool mirrorX = false;  // compare with the second decoder's rows mirrored left to right
};
using ComparisonRule = Comparison (*)(const Bytes &file, const DecodedImage &ours);

Comparison exact(const Bytes &, const DecodedImage &) { return {}; }

// Ours maps a masked field v of n bits to v / (2^n - 1) as a float; stb repeats the
// field's bits: the two differ by less than one step.
Comparison bmpComparison(const Bytes &, const DecodedImage &ours) {
  return {ours.format == D3DFMT_A32B32G32R32F ? 1 : 0};
}

// stb widens 5-bit fields as v * 255 / 31, rounded down (ours are compared by repeating
// their bits, up to one step apart), and takes no alpha from 16-bit values or colour
// map entries; it ignores the right-to-left bit of the descriptor.
Comparison tgaComparison(const Bytes &file, const DecodedImage &) {
  Comparison c;
  const bool fiveBitMap = file[1] == 1 && (file[7] == 15 || file[7] == 16);
  const bool fiveBitPixels = file[16] == 15 || file[16] == 16;
  if ((fiveBitMap && (file[2] & 3) == 1) || fiveBitPixels) c.tolerance = 1, c.alpha = false;
  c.mirrorX = (file[17] & 0x10) != 0;
  return c;
}

struct ReaderCase {
  Reader read;
  ImageFileFormat format;
  ComparisonRule rule;
  bool headerless = false;  // a bitmap without its file header, which stb needs
};

// The 14-byte file header before a bitmap: the pixels follow the info header, the masks
// of a 40-byte header with bit fields, and the colour table.
Bytes withFileHeader(const Bytes &dib) {
  if (dib.size() < 40) return dib;
  const uint32_t headerSize = le32(&dib[0]), bitCount = le16(&dib[14]), compression = le32(&dib[16]);
  const uint32_t colours = le32(&dib[32]) ? le32(&dib[32]) : bitCount <= 8 ? 1u << bitCount : 0;
  const uint32_t offset = 14 + headerSize + (headerSize == 40 && compression == 3 ? 12 : 0) + 4 * colours;
  Bytes file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  putLe32(file, 2, static_cast<uint32_t>(dib.size() + 14));
  putLe32(file, 10, offset);
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

class SecondDecoder : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (!fs::is_directory(kTestData)) GTEST_SKIP() << "no public test images at " << kTestData;
  }

  void check(const ReaderCase &reader) {
    const std::string &name = GetParam();
    const Bytes file = readFile(kTestData / name);
    ScopedImage ours;
    const bool oursReads = runReader(reader.read, reader.format, ours, file) == S_OK;
    const auto stated = kDivergences.find(name);
    if (stated != kDivergences.end() && stated->second.outcome == Outcome::OursRefuses) {
      EXPECT_FALSE(oursReads) << stated->second.why;
      return;
    }
    Rgba8 theirs, mine;
    const bool itReads = secondDecode(reader.headerless ? withFileHeader(file) : file, theirs);
    const Outcome expected = stated != kDivergences.end() ? stated->second.outcome
                             : itReads                    ? Outcome::Alike
                                                          : Outcome::BothRefuse;
    const Outcome actual = oursReads && itReads ? (expected == Outcome::Differ ? Outcome::Differ : Outcome::Alike)
                           : oursReads          ? Outcome::OnlyOursReads
                           : itReads            ? Outcome::OnlyItReads
                                                : Outcome::BothRefuse;
    ASSERT_EQ(static_cast<int>(actual), static_cast<int>(expected))
        << "(0 alike, 1 both refuse, 2 only ours reads, 3 only stb reads, 4 differ, 5 ours refuses): "
        << (stated != kDivergences.end() ? stated->second.why : "no divergence stated") << "; stb says "
        << (itReads ? "nothing" : stbi_failure_reason());
    if (actual != Outcome::Alike && actual != Outcome::Differ) return;
    ASSERT_TRUE(toRgba8(ours.image, mine)) << "format " << ours->format;
    ASSERT_EQ(mine.width, theirs.width);
    ASSERT_EQ(mine.height, theirs.height);
    const Comparison how = reader.rule(file, ours.image);
    int worst = 0;
    size_t where = 0;
    for (size_t i = 0; i < mine.samples.size(); ++i) {
      const size_t pixel = i / 4, x = pixel % size_t(mine.width), y = pixel / size_t(mine.width);
      const size_t theirX = how.mirrorX ? size_t(mine.width) - 1 - x : x;
      const int d = std::abs(mine.samples[i] - theirs.samples[(y * size_t(mine.width) + theirX) * 4 + i % 4]);
      if ((how.alpha || i % 4 != 3) && d > worst) worst = d, where = i;
    }
    if (actual == Outcome::Differ) {
      EXPECT_GT(worst, how.tolerance) << "stated to differ: " << stated->second.why;
      return;
    }
    EXPECT_LE(worst, how.tolerance) << "pixel " << where / 4 % size_t(mine.width) << ", "
                                    << where / 4 / size_t(mine.width) << " channel " << where % 4 << ": ours "
                                    << int(mine.samples[where]);
  }
};

std::string testName(const ::testing::TestParamInfo<std::string> &info) {
  std::string name = info.param;
  for (char &c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

using BmpFiles = SecondDecoder;
TEST_P(BmpFiles, DecodeAsTheSecondDecoderDoes) { check({readBmp, ImageFileFormat::Bmp, bmpComparison}); }
INSTANTIATE_TEST_SUITE_P(Public, BmpFiles, ::testing::ValuesIn(filesOf("bmp", {".bmp"})), testName);

using DibFiles = SecondDecoder;
TEST_P(DibFiles, DecodeAsTheSecondDecoderDoes) { check({readDib, ImageFileFormat::Dib, bmpComparison, true}); }
INSTANTIATE_TEST_SUITE_P(Public, DibFiles, ::testing::ValuesIn(filesOf("dib", {".dib"})), testName);

using TgaFiles = SecondDecoder;
TEST_P(TgaFiles, DecodeAsTheSecondDecoderDoes) { check({readTga, ImageFileFormat::Tga, tgaComparison}); }
INSTANTIATE_TEST_SUITE_P(Public, TgaFiles, ::testing::ValuesIn(filesOf("tga", {".tga"})), testName);

using PpmFiles = SecondDecoder;
TEST_P(PpmFiles, DecodeAsTheSecondDecoderDoes) { check({readPpm, ImageFileFormat::Ppm, exact}); }
INSTANTIATE_TEST_SUITE_P(Public, PpmFiles, ::testing::ValuesIn(filesOf("ppm", {".ppm", ".pnm", ".pgm", ".pbm"})),
                         testName);

// Radiance files. stb writes m / 256 * 2^(E - 128) for mantissa m and exponent E (0 for
// E = 0) and ignores EXPOSURE lines; ours writes (m + 0.5) / 256 * 2^(E - 128) divided by
// the exposures. So ours times the exposures minus stb's is one value h = 2^(E - 137) for
// the three channels of a pixel, and stb's value is a whole multiple m of 2h, m below 256.
double exposureOf(const Bytes &file) {
  double product = 1;
  size_t at = 0;
  while (at < file.size() && file[at] != '\n') {
    const size_t end = std::find(file.begin() + long(at), file.end(), '\n') - file.begin();
    const std::string line(file.begin() + long(at), file.begin() + long(end));
    if (line.rfind("EXPOSURE=", 0) == 0) product *= std::strtod(line.c_str() + 9, nullptr);
    at = end + 1;
  }
  return product;
}

bool isHalfStepAbove(const float ours[3], const float theirs[3], double exposure) {
  double step = 0;
  for (int c = 0; c < 3; ++c) {
    const double h = ours[c] * exposure - theirs[c];
    if (c == 0) step = h;
    if (!(h > 0) || std::abs(h - step) > step * 1e-3) return false;
    const double m = theirs[c] / (2 * h);
    if (m > 255.5 || std::abs(m - std::round(m)) > 1e-2) return false;
  }
  const double e = std::log2(step);
  return std::abs(e - std::round(e)) < 1e-3;
}

using HdrFiles = SecondDecoder;
TEST_P(HdrFiles, DecodeAsTheSecondDecoderDoes) {
  const std::string &name = GetParam();
  const Bytes file = readFile(kTestData / name);
  ScopedImage ours;
  ASSERT_EQ(runReader(readHdr, ImageFileFormat::Hdr, ours, file), S_OK);
  int width = 0, height = 0, channels = 0;
  float *theirs = stbi_loadf_from_memory(file.data(), static_cast<int>(file.size()), &width, &height, &channels, 4);
  ASSERT_NE(theirs, nullptr) << stbi_failure_reason();
  const double exposure = exposureOf(file);
  int differing = 0, first = -1;
  for (int y = 0; y < height && ours->width == uint32_t(width) && ours->height == uint32_t(height); ++y) {
    for (int x = 0; x < width; ++x) {
      const float *t = theirs + (size_t(y) * size_t(width) + size_t(x)) * 4;
      float o[4];
      std::memcpy(o, ours->pixels + size_t(y) * ours->rowPitch + size_t(x) * 16, 16);
      // Exponent 0: stb writes black, ours (m + 0.5) * 2^-136, below the smallest normal float.
      const bool zeroExponent = t[0] == 0 && t[1] == 0 && t[2] == 0 && o[0] < 1e-38f && o[1] < 1e-38f && o[2] < 1e-38f;
      if ((!zeroExponent && !isHalfStepAbove(o, t, exposure)) || o[3] != 1.0f) {
        if (differing++ == 0) first = y * width + x;
      }
    }
  }
  stbi_image_free(theirs);
  ASSERT_EQ(ours->width, uint32_t(width));
  ASSERT_EQ(ours->height, uint32_t(height));
  const auto stated = kDivergences.find(name);
  if (stated != kDivergences.end()) {
    EXPECT_GT(differing, 0) << "stated to differ: " << stated->second.why;
    return;
  }
  EXPECT_EQ(differing, 0) << "first at " << first % std::max(width, 1) << ", " << first / std::max(width, 1);
}
INSTANTIATE_TEST_SUITE_P(Public, HdrFiles, ::testing::ValuesIn(filesOf("hdr", {".hdr"})), testName);

// Pillow's float maps hold its hopper picture as luminance, (299 R + 587 G + 114 B) / 1000
// (its conversion to grey), rounded to a whole number: each pixel must be within half a
// step of that worked out from the picture's pixmap as stb decodes it.
const std::map<std::string, std::string> kFloatMapSources = {
    {"pfm/pillow/hopper.pfm", "ppm/pillow/hopper.ppm"},
    {"pfm/pillow/hopper_be.pfm", "ppm/pillow/hopper.ppm"},
};

using PfmFiles = SecondDecoder;
TEST_P(PfmFiles, DecodeToTheLuminanceOfTheirPixmap) {
  const std::string &name = GetParam();
  const auto source = kFloatMapSources.find(name);
  ASSERT_NE(source, kFloatMapSources.end()) << "no pixmap stated for it";
  ScopedImage ours;
  ASSERT_EQ(runReader(readPfm, ImageFileFormat::Pfm, ours, readFile(kTestData / name)), S_OK);
  Rgba8 picture;
  ASSERT_TRUE(secondDecode(readFile(kTestData / source->second), picture)) << stbi_failure_reason();
  ASSERT_EQ(ours->width, uint32_t(picture.width));
  ASSERT_EQ(ours->height, uint32_t(picture.height));
  int differing = 0;
  for (uint32_t y = 0; y < ours->height; ++y) {
    for (uint32_t x = 0; x < ours->width; ++x) {
      const uint8_t *rgb = &picture.samples[(size_t(y) * ours->width + x) * 4];
      const double luminance = (299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2]) / 1000.0;
      bool alike = floatAt(ours.image, x, y, 3) == 1.0f;
      for (uint32_t c = 0; c < 3; ++c) alike = alike && std::abs(floatAt(ours.image, x, y, c) - luminance) <= 0.5;
      if (!alike && differing++ == 0) ADD_FAILURE() << "first at " << x << ", " << y;
    }
  }
  EXPECT_EQ(differing, 0);
}
INSTANTIATE_TEST_SUITE_P(Public, PfmFiles, ::testing::ValuesIn(filesOf("pfm", {".pfm"})), testName);

}  // namespace
}  // namespace kv::test

// Without the public files there is nothing to instantiate.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(BmpFiles);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(DibFiles);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TgaFiles);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(PpmFiles);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(HdrFiles);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(PfmFiles);

#else  // no stb_image, as in the Windows cross-build

TEST(SecondDecoder, NeedsStbImage) { GTEST_SKIP() << "stb_image is not installed (Debian libstb-dev)"; }

#endif
