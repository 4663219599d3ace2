// Conformance on public image files (skipped when the folder is absent): every file is
// read by the readers in the dispatcher's order, and each must be taken by its own reader
// unless it is listed below as refused, with the reason. Where a reference rendering
// exists, the decode must match it within a stated tolerance.
#include "pixel_reference.h"
#include "reader_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

const fs::path kTestData = KV_TESTDATA_DIR;

struct ReaderTry {
  Reader read;
  ImageFileFormat format;
};

// This branch's readers, in the order the dispatcher tries them.
constexpr ReaderTry kTries[] = {
    {readPpm, ImageFileFormat::Ppm}, {readDds, ImageFileFormat::Dds}, {readPfm, ImageFileFormat::Pfm},
    {readHdr, ImageFileFormat::Hdr}, {readTga, ImageFileFormat::Tga},
};

const std::map<std::string, ImageFileFormat> kFolderFormat = {
    {"dds", ImageFileFormat::Dds}, {"tga", ImageFileFormat::Tga}, {"ppm", ImageFileFormat::Ppm},
    {"pfm", ImageFileFormat::Pfm}, {"hdr", ImageFileFormat::Hdr},
};

// Files no reader takes, and why.
const std::map<std::string, std::string> kRefused = {
    // DDS: formats that have no Direct3D 9 counterpart in the recognition table.
    {"dds/magnum-plugins/bc4snorm.dds", "BC4S code"},
    {"dds/magnum-plugins/bc4unorm.dds", "ATI1 code"},
    {"dds/magnum-plugins/bc5snorm.dds", "BC5S code"},
    {"dds/magnum-plugins/bc5unorm.dds", "ATI2 code"},
    {"dds/magnum-plugins/r8unorm.dds", "8-bit red flagged RGB"},
    {"dds/magnum-plugins/depth-set-for-non-3d.dds", "8-bit red flagged RGB"},
    {"dds/magnum-plugins/rgb8unorm.dds", "24-bit blue-green-red order"},
    {"dds/magnum-plugins/rgb8unorm-yup.dds", "24-bit blue-green-red order"},
    {"dds/oiio-images/dds_bgr8.dds", "24-bit blue-green-red order"},
    {"dds/magnum-plugins/unknown-format.dds", "64-bit alpha only"},
    {"dds/magnum-plugins/unknown-format-rgb.dds", "64-bit RGB"},
    {"dds/magnum-plugins/unknown-format-rgba.dds", "64-bit RGBA"},
    {"dds/oiio-images/dds_bc3rxgb.dds", "RXGB code"},
    {"dds/oiio-images/dds_bc4.dds", "ATI1 code"},
    {"dds/oiio-images/dds_bc5.dds", "ATI2 code"},
    {"dds/pillow/ati1.dds", "ATI1 code"},
    {"dds/pillow/ati2.dds", "ATI2 code"},
    {"dds/pillow/bc4u.dds", "BC4U code"},
    {"dds/pillow/bc5s.dds", "BC5S code"},
    {"dds/pillow/bc5u.dds", "BC5U code"},
    {"dds/pillow/palette.dds", "palette flag with bit count 24"},
    {"dds/pillow/uncompressed_l.dds", "luminance mask 0xFF000000"},
    {"dds/pillow/unsupported_bitcount.dds", "luminance mask 0xFF000000"},
    {"dds/pillow/unimplemented_pfflags.dds", "pixel format flag 0x8 alone"},
    {"dds/pillow/unimplemented_pixel_format.dds", "empty four-character code"},
    {"dds/pillow/zero_mask_totals.dds", "RGB without masks"},
    // DDS: corrupt or inconsistent by design.
    {"dds/magnum-plugins/cube-flag-set-for-3d.dds", "one cube face bit"},
    {"dds/magnum-plugins/rgba8unorm-cube-incomplete.dds", "five cube faces"},
    {"dds/magnum-plugins/r8unorm-3d-zero-fields-zero-depth-zero-mips.dds", "pixel format size 0"},
    {"dds/magnum-plugins/wrong-signature.dds", "no signature"},
    {"dds/magnum-plugins/dxt4.dds", "data shorter than the level"},
    {"dds/oiio-images/broken/dds_8bytes.dds", "shorter than the header"},
    {"dds/oiio-images/broken/dds_bc3_no_full_header.dds", "shorter than the header"},
    {"dds/oiio-images/broken/dds_bc3_just_header.dds", "no pixel data"},
    {"dds/pillow/timeout-041dd17dfde800360a47a172269df127af138c6b.dds", "fuzzed header"},
    {"dds/pillow/timeout-52d106579505547091ef69b58341351a37c23e31.dds", "fuzzed header"},
    {"dds/pillow/timeout-755a4d204f4208e3597ac3391edebee196462bd0.dds", "fuzzed header"},
    {"dds/pillow/timeout-c60a3d7314213624607bfb3e38d551a8b24a7435.dds", "fuzzed header"},
    // TGA: greyscale with alpha (16 bits a pixel) is not read.
    {"tga/pillow/la.tga", "greyscale with alpha"},
    {"tga/pillow/tga/common/200x32_la_bl_raw.tga", "greyscale with alpha"},
    {"tga/pillow/tga/common/200x32_la_bl_rle.tga", "greyscale with alpha"},
    {"tga/pillow/tga/common/200x32_la_tl_raw.tga", "greyscale with alpha"},
    {"tga/pillow/tga/common/200x32_la_tl_rle.tga", "greyscale with alpha"},
    // TGA: corrupt by design.
    {"tga/image-rs/regression/tga/bad-color-map.tga", "width 0"},
    {"tga/image-rs/regression/tga/flip-zero-height.tga", "colour map type 2"},
    {"tga/image-rs/regression/tga/flip-zero-height2.tga", "colour map type 218"},
    {"tga/image-rs/regression/tga/orientation-zero-width.tga", "image type 0"},
    {"tga/image-rs/regression/tga/overfull-image.tga", "colour map longer than the data"},
    {"tga/image-rs/regression/tga/sixteen-bit-gray-colormap.tga", "image type 0"},
    {"tga/image-rs/regression/tga/sixteen-bit-gray-colormap2.tga", "colour map entry size 0"},
    {"tga/image-rs/regression/tga/slice-copy-length.tga", "no pixel data"},
    {"tga/pillow/p_8.tga", "colour map entry size 8, no data"},
    {"tga/pillow/cross_scan_line_truncated.tga", "truncated"},
    // PPM folder: other members of the family, and a broken header.
    {"ppm/pillow/16_bit_binary.pgm", "P5 greymap"},
    {"ppm/pillow/hopper_8bit.pgm", "P5 greymap"},
    {"ppm/pillow/hopper_1bit.pbm", "P4 bitmap"},
    {"ppm/pillow/negative_size.ppm", "size with a sign"},
};

Bytes readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// DDS files whose code is "DX10" carry a second header and formats numbered beyond
// Direct3D 9; none of them is read.
bool hasExtendedDdsHeader(const Bytes &data) {
  return data.size() >= 88 && std::memcmp(data.data(), "DDS ", 4) == 0 &&
         std::memcmp(data.data() + 84, "DX10", 4) == 0;
}

bool isImageFile(const fs::path &path) { return path.extension() != ".png"; }

std::vector<fs::path> filesOf(const std::string &folder) {
  std::vector<fs::path> files;
  for (const auto &entry : fs::recursive_directory_iterator(kTestData / folder)) {
    if (entry.is_regular_file() && isImageFile(entry.path())) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Returns the format of the reader that took the data; the record stays filled.
bool decodeInOrder(ScopedImage &out, const Bytes &data, ImageFileFormat &taken) {
  for (const ReaderTry &attempt : kTries) {
    if (SUCCEEDED(runReader(attempt.read, attempt.format, out, data))) {
      taken = attempt.format;
      return true;
    }
    releaseDecodedImage(out.image);
  }
  return false;
}

class PublicFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_directory(kTestData)) GTEST_SKIP() << "no public test images at " << kTestData;
  }
};

TEST_F(PublicFiles, EachFileIsTakenByItsReaderOrRefusedForAKnownReason) {
  for (const auto &[folder, format] : kFolderFormat) {
    for (const fs::path &path : filesOf(folder)) {
      const std::string name = fs::relative(path, kTestData).generic_string();
      const Bytes data = readFile(path);
      ScopedImage out;
      ImageFileFormat taken{};
      const bool accepted = decodeInOrder(out, data, taken);
      const auto refused = kRefused.find(name);
      if (hasExtendedDdsHeader(data)) {
        EXPECT_FALSE(accepted) << name << " has the extended header, which is not read";
      } else if (refused != kRefused.end()) {
        EXPECT_FALSE(accepted) << name << " was expected to be refused: " << refused->second;
      } else {
        EXPECT_TRUE(accepted) << name << " was refused";
        if (accepted) {
          EXPECT_EQ(taken, format) << name;
        }
      }
    }
  }
}

struct ReferenceCase {
  const char *file;
  const char *reference;
  int colourTolerance;
  bool compareAlpha;
};

// Tolerances, in 8-bit steps: 0 for 8-bit formats; 1 where 5-bit fields are widened
// (renderers round differently); 4 for DXT, whose interpolated colours renderers round in
// different ways. One picture's uncompressed source serves as the reference of its
// 16-bit encodings, which are held to half a step of their coarsest field (4 for 5-bit,
// 8 for 4-bit). Its block-compressed encodings are lossy copies of that source, not
// renderings of it, and are not compared.
const ReferenceCase kReferenceCases[] = {
    {"dds/pillow/hopper.dds", "dds/pillow/reference-png/hopper.png", 0, false},
    {"dds/pillow/uncompressed_rgb.dds", "dds/pillow/reference-png/uncompressed_rgb.png", 0, true},
    {"dds/pillow/uncompressed_la.dds", "dds/pillow/reference-png/uncompressed_la.png", 0, true},
    {"dds/pillow/bgr15.dds", "dds/pillow/reference-png/bgr15.png", 1, false},
    {"dds/pillow/dxt1-rgb-4bbp-noalpha_MipMaps-1.dds",
     "dds/pillow/reference-png/dxt1-rgb-4bbp-noalpha_MipMaps-1.png", 4, false},
    {"dds/pillow/dxt3-argb-8bbp-explicitalpha_MipMaps-1.dds",
     "dds/pillow/reference-png/dxt3-argb-8bbp-explicitalpha_MipMaps-1.png", 4, true},
    {"dds/pillow/dxt5-argb-8bbp-interpolatedalpha_MipMaps-1.dds",
     "dds/pillow/reference-png/dxt5-argb-8bbp-interpolatedalpha_MipMaps-1.png", 4, true},
    {"dds/oiio-images/dds_rgba8.dds", "dds/oiio-images/reference-png/_src.png", 0, true},
    {"dds/oiio-images/dds_rgba8_mips.dds", "dds/oiio-images/reference-png/_src.png", 0, true},
    {"dds/oiio-images/dds_rgb8.dds", "dds/oiio-images/reference-png/_src.png", 0, false},
    {"dds/oiio-images/dds_rgba4.dds", "dds/oiio-images/reference-png/_src.png", 8, true},
    {"dds/oiio-images/dds_r5g6b5.dds", "dds/oiio-images/reference-png/_src.png", 4, false},
};

TEST_F(PublicFiles, DecodesMatchTheReferenceRenderings) {
  for (const ReferenceCase &c : kReferenceCases) {
    const Bytes data = readFile(kTestData / c.file);
    ScopedImage out;
    ASSERT_EQ(runReader(readDds, ImageFileFormat::Dds, out, data), S_OK) << c.file;
    ArgbImage decoded, reference;
    ASSERT_TRUE(convertToArgb(out.image, decoded)) << c.file << " format " << out->format;
    ASSERT_TRUE(loadPng((kTestData / c.reference).string(), reference)) << c.reference;
    ASSERT_EQ(decoded.width, reference.width) << c.file;
    ASSERT_EQ(decoded.height, reference.height) << c.file;
    const Difference d = compareImages(decoded, reference);
    EXPECT_LE(d.maxColour, c.colourTolerance) << c.file;
    if (c.compareAlpha) {
      EXPECT_LE(d.maxAlpha, c.colourTolerance) << c.file;
    }
  }
}

// Files that store one picture in different orders or encodings decode to the same rows.
const std::vector<std::vector<const char *>> kSamePicture = {
    {"tga/pillow/tga/common/200x32_l_tl_raw.tga", "tga/pillow/tga/common/200x32_l_bl_raw.tga",
     "tga/pillow/tga/common/200x32_l_tl_rle.tga", "tga/pillow/tga/common/200x32_l_bl_rle.tga"},
    {"tga/pillow/tga/common/200x32_p_tl_raw.tga", "tga/pillow/tga/common/200x32_p_bl_raw.tga",
     "tga/pillow/tga/common/200x32_p_tl_rle.tga", "tga/pillow/tga/common/200x32_p_bl_rle.tga"},
    {"tga/pillow/tga/common/200x32_rgb_tl_raw.tga", "tga/pillow/tga/common/200x32_rgb_bl_raw.tga",
     "tga/pillow/tga/common/200x32_rgb_tl_rle.tga", "tga/pillow/tga/common/200x32_rgb_bl_rle.tga"},
    {"tga/pillow/tga/common/200x32_rgba_tl_raw.tga", "tga/pillow/tga/common/200x32_rgba_bl_raw.tga",
     "tga/pillow/tga/common/200x32_rgba_tl_rle.tga", "tga/pillow/tga/common/200x32_rgba_bl_rle.tga"},
    {"pfm/pillow/hopper.pfm", "pfm/pillow/hopper_be.pfm"},
    {"ppm/pillow/hopper_8bit.ppm", "ppm/pillow/hopper_8bit_plain.ppm"},
};

// Files that store the same pixels and differ only in the corner their descriptor names:
// each decodes to the first one mirrored as the corners differ.
struct MirrorCase {
  const char *file;
  bool mirrorX, mirrorY;
};
const std::vector<std::vector<MirrorCase>> kMirrored = {
    {{"tga/image-rs/testsuite/top_left.tga", false, false},
     {"tga/image-rs/testsuite/top_right.tga", true, false},
     {"tga/image-rs/testsuite/bottom_left.tga", false, true},
     {"tga/image-rs/testsuite/bottom_right.tga", true, true}},
    {{"tga/pillow/rgb32rle.tga", false, false},
     {"tga/pillow/rgb32rle_bottom_right.tga", true, false},
     {"tga/pillow/rgb32rle_top_right.tga", true, true}},
};

struct Surface {
  uint32_t format = 0, width = 0, height = 0;
  Bytes rows, palette;
  bool operator==(const Surface &) const = default;
};

Surface decodeSurface(const fs::path &path) {
  const Bytes data = readFile(path);
  ScopedImage out;
  ImageFileFormat taken{};
  Surface s;
  if (!decodeInOrder(out, data, taken)) return s;
  s.format = out->format;
  s.width = out->width;
  s.height = out->height;
  s.rows.assign(out->pixels, out->pixels + out->rowPitch * out->height);
  if (out->palette) s.palette.assign(out->palette, out->palette + 1024);
  return s;
}

TEST_F(PublicFiles, OnePictureInEveryOrderDecodesAlike) {
  for (const auto &group : kSamePicture) {
    const Surface first = decodeSurface(kTestData / group.front());
    ASSERT_NE(first.width, 0u) << group.front();
    for (size_t i = 1; i < group.size(); ++i) {
      EXPECT_TRUE(decodeSurface(kTestData / group[i]) == first) << group[i] << " differs from " << group.front();
    }
  }
}

Surface mirrored(const Surface &s, bool mirrorX, bool mirrorY) {
  Surface m = s;
  const size_t pixelBytes = s.rows.size() / (static_cast<size_t>(s.width) * s.height);
  const size_t pitch = pixelBytes * s.width;
  for (uint32_t y = 0; y < s.height; ++y) {
    for (uint32_t x = 0; x < s.width; ++x) {
      const uint32_t sx = mirrorX ? s.width - 1 - x : x, sy = mirrorY ? s.height - 1 - y : y;
      std::memcpy(&m.rows[y * pitch + x * pixelBytes], &s.rows[sy * pitch + sx * pixelBytes], pixelBytes);
    }
  }
  return m;
}

TEST_F(PublicFiles, CornerBitsMirrorTheSamePixels) {
  for (const auto &group : kMirrored) {
    const Surface first = decodeSurface(kTestData / group.front().file);
    ASSERT_NE(first.width, 0u) << group.front().file;
    for (size_t i = 1; i < group.size(); ++i) {
      EXPECT_TRUE(decodeSurface(kTestData / group[i].file) == mirrored(first, group[i].mirrorX, group[i].mirrorY))
          << group[i].file;
    }
  }
}

}  // namespace
}  // namespace kv::test
