// Golden frames: PNG files kept beside the tests, compared with a tolerance per channel.
// Run a test program with KV_UPDATE_GOLDEN=1 to write the files anew (then look at them).
// When a frame differs, the actual frame and a difference image are written to the build
// folder (failed-frames/<name>.actual.png and <name>.diff.png) and the failure names them.
#pragma once

#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace kvtest {

// A frame as the tests compare it: 0xAARRGGBB pixels, top row first.
struct Frame {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

inline Frame frameFromHost(const uint32_t *bottomUp, int width, int height) {
  Frame f{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      f.pixels[static_cast<size_t>(y) * width + x] = bottomUp[static_cast<size_t>(height - 1 - y) * width + x];
  return f;
}

inline std::string goldenPath(const std::string &name) { return std::string(KV_SOURCE_DIR) + "/tests/golden/" + name + ".png"; }

inline bool writeGolden(const std::string &path, const Frame &f) {
  std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, f.width, f.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<size_t>(f.width) * 4);
  for (int y = 0; y < f.height; ++y) {
    for (int x = 0; x < f.width; ++x) {
      const uint32_t p = f.pixels[static_cast<size_t>(y) * f.width + x];
      row[4 * x + 0] = static_cast<png_byte>(p >> 16);
      row[4 * x + 1] = static_cast<png_byte>(p >> 8);
      row[4 * x + 2] = static_cast<png_byte>(p);
      row[4 * x + 3] = static_cast<png_byte>(p >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

inline bool readGolden(const std::string &path, Frame *out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGRA;  // little-endian words 0xAARRGGBB
  out->width = static_cast<int>(image.width);
  out->height = static_cast<int>(image.height);
  out->pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
  const bool ok = png_image_finish_read(&image, nullptr, out->pixels.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

#ifndef KV_FAILED_FRAMES_DIR
#define KV_FAILED_FRAMES_DIR "failed-frames"
#endif

// Opaque, so that any viewer shows it: pixels within tolerance as a dim grey copy of the
// golden frame, differing pixels red, brighter the larger the difference.
inline Frame differenceImage(const Frame &actual, const Frame &expected, int tolerance) {
  Frame diff{actual.width, actual.height, std::vector<uint32_t>(actual.pixels.size())};
  for (size_t i = 0; i < actual.pixels.size(); ++i) {
    int worst = 0, sum = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      const int e = static_cast<int>((expected.pixels[i] >> shift) & 0xFF);
      worst = std::max(worst, std::abs(static_cast<int>((actual.pixels[i] >> shift) & 0xFF) - e));
      if (shift < 24) sum += e;
    }
    const uint32_t grey = static_cast<uint32_t>(sum / 12);
    diff.pixels[i] = worst > tolerance ? 0xFF000000u | static_cast<uint32_t>(128 + worst / 2) << 16
                                       : 0xFF000000u | grey << 16 | grey << 8 | grey;
  }
  return diff;
}

// Writes the actual frame (and, for frames of the golden size, the difference image) and
// says where they are.
inline std::string keepFailedFrame(const std::string &name, const Frame &actual, const Frame *expected, int tolerance) {
  const std::string dir = KV_FAILED_FRAMES_DIR;
  mkdir(dir.c_str(), 0777);
  const std::string actualPath = dir + "/" + name + ".actual.png";
  std::string where = writeGolden(actualPath, actual) ? "; actual frame: " + actualPath : "; cannot write " + actualPath;
  if (expected) {
    const std::string diffPath = dir + "/" + name + ".diff.png";
    if (writeGolden(diffPath, differenceImage(actual, *expected, tolerance))) where += ", difference: " + diffPath;
  }
  return where;
}

// Compares a frame with its golden file, allowing `tolerance` per channel.
inline ::testing::AssertionResult matchesGolden(const std::string &name, const Frame &actual, int tolerance = 1) {
  const std::string path = goldenPath(name);
  const char *update = std::getenv("KV_UPDATE_GOLDEN");
  if (update && *update == '1') {
    if (!writeGolden(path, actual)) return ::testing::AssertionFailure() << "cannot write " << path;
    return ::testing::AssertionSuccess() << "wrote " << path;
  }
  Frame expected;
  if (!readGolden(path, &expected)) return ::testing::AssertionFailure() << "cannot read golden frame " << path;
  if (expected.width != actual.width || expected.height != actual.height)
    return ::testing::AssertionFailure() << "size " << actual.width << "x" << actual.height << ", golden "
                                         << expected.width << "x" << expected.height
                                         << keepFailedFrame(name, actual, nullptr, tolerance);
  size_t bad = 0;
  std::string first;
  for (size_t i = 0; i < actual.pixels.size(); ++i) {
    for (int shift = 0; shift < 32; shift += 8) {
      const int a = static_cast<int>((actual.pixels[i] >> shift) & 0xFF);
      const int e = static_cast<int>((expected.pixels[i] >> shift) & 0xFF);
      if (std::abs(a - e) > tolerance) {
        if (bad++ == 0) {
          char text[128];
          std::snprintf(text, sizeof text, "first at (%zu, %zu): 0x%08X, golden 0x%08X", i % actual.width,
                        i / actual.width, actual.pixels[i], expected.pixels[i]);
          first = text;
        }
        break;
      }
    }
  }
  if (bad)
    return ::testing::AssertionFailure() << bad << " pixels differ by more than " << tolerance << "; " << first
                                         << keepFailedFrame(name, actual, &expected, tolerance);
  return ::testing::AssertionSuccess();
}

}  // namespace kvtest
