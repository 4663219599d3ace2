#include <fcntl.h>
#include <png.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "kvtex.h"
#include "pixel/convert/conversion_job.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/formats/pixel_codec.h"

namespace kvtex {
namespace {

kv::PixelBox wholeBox(const uint8_t *data, uint32_t format, uint32_t rowPitch, uint32_t width, uint32_t height) {
  kv::PixelBox box;
  box.data = const_cast<uint8_t *>(data);
  box.format = format;
  box.rowPitch = rowPitch;
  const uint32_t region[6] = {0, 0, width, height, 0, 1};
  for (int i = 0; i < 6; ++i) box.bounds[i] = box.box[i] = region[i];
  return box;
}

}  // namespace

MappedFile::MappedFile(const std::string &path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
      static_cast<uint64_t>(status.st_size) <= 0xFFFFFFFFu) {
    void *mapped = ::mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped != MAP_FAILED) {
      bytes_ = static_cast<const uint8_t *>(mapped);
      size_ = static_cast<uint32_t>(status.st_size);
    }
  }
  ::close(fd);
}

MappedFile::~MappedFile() {
  if (bytes_) ::munmap(const_cast<uint8_t *>(bytes_), size_);
}

std::optional<std::vector<uint8_t>> readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  const std::streamoff size = in.tellg();
  // The library takes sizes as 32-bit counts.
  if (size < 0 || static_cast<uint64_t>(size) > 0xFFFFFFFFu) return std::nullopt;
  std::vector<uint8_t> data(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char *>(data.data()), size)) return std::nullopt;
  return data;
}

HRESULT convertToArgb(const uint8_t *pixels, uint32_t format, uint32_t rowPitch, const uint8_t *palette,
                      uint32_t width, uint32_t height, std::vector<uint32_t> &argb) {
  argb.assign(static_cast<size_t>(width) * height, 0);
  kv::PixelBox source = wholeBox(pixels, format, rowPitch, width, height);
  source.palette = palette;
  const kv::PixelBox destination =
      wholeBox(reinterpret_cast<const uint8_t *>(argb.data()), D3DFMT_A8R8G8B8, width * 4, width, height);
  // Same size on both sides: the engine copies or converts pixel for pixel.
  return kv::convertPixels(destination, source, kv::FilterNone);
}

namespace {

// libpng's errors end in a jump back to writePng, which then gives up.
void pngError(png_structp png, png_const_charp message) {
  auto *reason = static_cast<std::string *>(png_get_error_ptr(png));
  *reason = message;
  png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

void pngAppend(png_structp png, png_bytep data, png_size_t size) {
  auto *bytes = static_cast<std::vector<uint8_t> *>(png_get_io_ptr(png));
  bytes->insert(bytes->end(), data, data + size);
}

void pngFlush(png_structp) {}

// Encodes the rows (RGB or RGBA bytes, top first) into `bytes`. Fast rather than small:
// zlib level 1 and one cheap filter for every row, as the files are looked at, not kept.
// Nothing with a destructor is made between setjmp and a jump back to it.
bool writePng(std::vector<uint8_t> &bytes, const std::vector<png_bytep> &rows, uint32_t width, uint32_t height,
              bool alpha, std::string &reason) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &reason, pngError, pngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, nullptr);
    reason = "out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &bytes, pngAppend, pngFlush);
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_IHDR(png, info, width, height, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  png_write_image(png, const_cast<png_bytepp>(rows.data()));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

std::string writeArgbPng(const std::string &path, const std::vector<uint32_t> &argb, uint32_t width,
                         uint32_t height) {
  // An image with every pixel opaque is written as RGB: a quarter smaller, and quicker.
  const bool alpha = std::any_of(argb.begin(), argb.end(), [](uint32_t c) { return c >> 24 != 0xFF; });
  const size_t channels = alpha ? 4 : 3;
  std::vector<uint8_t> pixels(argb.size() * channels);
  for (size_t i = 0; i < argb.size(); ++i) {
    uint8_t *p = &pixels[i * channels];
    p[0] = static_cast<uint8_t>(argb[i] >> 16);
    p[1] = static_cast<uint8_t>(argb[i] >> 8);
    p[2] = static_cast<uint8_t>(argb[i]);
    if (alpha) p[3] = static_cast<uint8_t>(argb[i] >> 24);
  }
  std::vector<png_bytep> rows(height);
  for (uint32_t y = 0; y < height; ++y) rows[y] = &pixels[size_t(y) * width * channels];
  std::vector<uint8_t> bytes;
  std::string reason;
  if (!writePng(bytes, rows, width, height, alpha, reason)) return "cannot make a PNG image: " + reason;
  return writeOutput(path, bytes);
}

HRESULT textureLevelToArgb(IDirect3DTexture9 *texture, UINT level, const PALETTEENTRY *palette,
                           std::vector<uint32_t> &argb, uint32_t &width, uint32_t &height) {
  D3DSURFACE_DESC desc{};
  if (HRESULT hr = texture->GetLevelDesc(level, &desc); FAILED(hr)) return hr;
  D3DLOCKED_RECT locked{};
  if (HRESULT hr = texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY); FAILED(hr)) return hr;
  width = desc.Width;
  height = desc.Height;
  const HRESULT hr = convertToArgb(static_cast<const uint8_t *>(locked.pBits), desc.Format,
                                   static_cast<uint32_t>(locked.Pitch), reinterpret_cast<const uint8_t *>(palette),
                                   width, height, argb);
  texture->UnlockRect(level);
  return hr;
}

}  // namespace kvtex
