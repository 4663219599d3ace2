#include "png_writer.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {
struct FileCloser {
  void operator()(std::FILE *f) const { std::fclose(f); }
};
}  // namespace

bool writeFramePng(const std::string &path, const uint32_t *pixels, int width, int height) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  // The host's rows run bottom-up; a PNG's run top-down. The fourth byte is not shown.
  for (int y = 0; y < height; ++y) {
    const uint32_t *src = pixels + static_cast<size_t>(height - 1 - y) * width;
    for (int x = 0; x < width; ++x) {
      row[3 * x + 0] = static_cast<png_byte>(src[x] >> 16);
      row[3 * x + 1] = static_cast<png_byte>(src[x] >> 8);
      row[3 * x + 2] = static_cast<png_byte>(src[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}
