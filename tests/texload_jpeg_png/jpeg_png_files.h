// JPEG and PNG files made in memory with the libraries' own writers, and plain library
// decodes to compare the readers against. Header-only, so that the benchmark can use it too.
#pragma once

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace kvtest {

// ---- JPEG ----

struct JpegLayout {
  int width = 16, height = 16;
  int components = 3;  // 1 grey, 3 RGB, 4 CMYK
  int quality = 95;
  bool progressive = false;
  bool arithmetic = false;  // arithmetic coding instead of Huffman
};

// Samples top row first, components interleaved.
inline std::vector<uint8_t> encodeJpeg(const JpegLayout &layout, const std::vector<uint8_t> &samples) {
  jpeg_compress_struct c{};
  jpeg_error_mgr errors{};
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  unsigned char *buffer = nullptr;
  unsigned long length = 0;
  jpeg_mem_dest(&c, &buffer, &length);
  c.image_width = static_cast<JDIMENSION>(layout.width);
  c.image_height = static_cast<JDIMENSION>(layout.height);
  c.input_components = layout.components;
  c.in_color_space = layout.components == 1 ? JCS_GRAYSCALE : layout.components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, layout.quality, TRUE);
  if (layout.progressive) jpeg_simple_progression(&c);
  if (layout.arithmetic) c.arith_code = TRUE;
  jpeg_start_compress(&c, TRUE);
  const size_t stride = size_t(layout.width) * size_t(layout.components);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + c.next_scanline * stride);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> file(buffer, buffer + length);
  std::free(buffer);
  return file;
}

// A smooth pattern with some detail, so that the compressed data is neither trivial nor noise.
inline std::vector<uint8_t> testSamples(int width, int height, int components) {
  std::vector<uint8_t> samples(size_t(width) * size_t(height) * size_t(components));
  size_t i = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < components; ++c)
        samples[i++] = static_cast<uint8_t>((x * (c + 1) * 3 + y * (2 - c % 2) * 5 + ((x ^ y) & 15)) & 255);
  return samples;
}

struct JpegFailure {
  jpeg_error_mgr library;
  std::jmp_buf back;
};

inline void jumpBack(j_common_ptr common) { std::longjmp(reinterpret_cast<JpegFailure *>(common->err)->back, 1); }
inline void quiet(j_common_ptr) {}

struct PlainJpeg {
  int width = 0, height = 0, components = 0;
  std::vector<uint8_t> samples;  // top row first, the library's default output colour space
};

// The library's defaults through its own memory source; false when it raises an error.
inline bool plainJpegDecode(const uint8_t *data, size_t size, PlainJpeg &out) {
  jpeg_decompress_struct d{};
  JpegFailure errors{};
  d.err = jpeg_std_error(&errors.library);
  errors.library.error_exit = jumpBack;
  errors.library.output_message = quiet;
  if (setjmp(errors.back)) {
    jpeg_destroy_decompress(&d);
    return false;
  }
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, data, static_cast<unsigned long>(size));
  jpeg_read_header(&d, TRUE);
  jpeg_start_decompress(&d);
  out.width = static_cast<int>(d.output_width);
  out.height = static_cast<int>(d.output_height);
  out.components = d.output_components;
  const size_t stride = size_t(d.output_width) * size_t(d.output_components);
  out.samples.resize(stride * d.output_height);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = out.samples.data() + d.output_scanline * stride;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return true;
}

// ---- PNG ----

struct PngLayout {
  int width = 4, height = 4;
  int colourType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<png_color> palette;
  std::vector<png_byte> paletteAlphas;  // tRNS of a palette image
  bool transparentColour = false;       // tRNS of a grey or RGB image
  png_color_16 transparent{};
  double gamma = 0;  // written as a gAMA chunk when above 0
  bool srgb = false;
};

inline void appendBytes(png_structp png, png_bytep data, size_t length) {
  auto *file = static_cast<std::vector<uint8_t> *>(png_get_io_ptr(png));
  file->insert(file->end(), data, data + length);
}
inline void flushNothing(png_structp) {}

// Rows as the file stores them: packed samples, 16-bit samples big-endian.
inline std::vector<uint8_t> encodePng(const PngLayout &layout, const std::vector<uint8_t> &rows) {
  std::vector<uint8_t> file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &file, appendBytes, flushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(layout.width), static_cast<png_uint_32>(layout.height), layout.bitDepth,
               layout.colourType, layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!layout.palette.empty())
    png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
  if (!layout.paletteAlphas.empty())
    png_set_tRNS(png, info, layout.paletteAlphas.data(), static_cast<int>(layout.paletteAlphas.size()), nullptr);
  if (layout.transparentColour) png_set_tRNS(png, info, nullptr, 0, &layout.transparent);
  if (layout.gamma > 0) png_set_gAMA(png, info, layout.gamma);
  if (layout.srgb) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  png_write_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  std::vector<png_bytep> pointers(size_t(layout.height));
  for (int y = 0; y < layout.height; ++y) pointers[size_t(y)] = const_cast<png_bytep>(rows.data() + size_t(y) * rowBytes);
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return file;
}

struct PlainPng {
  int width = 0, height = 0;
  int bitDepth = 0;               // 8 or 16
  std::vector<uint16_t> rgba;     // four samples a pixel, top row first, as stored
  bool palette = false;
  double gamma = 0;               // the gAMA chunk's file gamma; 0 without one or with sRGB
};

struct PngSource {
  const uint8_t *data;
  size_t left;
};

inline void readSource(png_structp png, png_bytep out, size_t length) {
  auto *source = static_cast<PngSource *>(png_get_io_ptr(png));
  if (length > source->left) png_error(png, "read error");
  std::memcpy(out, source->data, length);
  source->data += length;
  source->left -= length;
}
inline void ignoreWarning(png_structp, png_const_charp) {}

// The library expanding everything to RGBA at 8 or 16 bits, with no gamma handling: the
// samples as the file stores them. False when the library raises an error.
inline bool plainPngDecode(const uint8_t *data, size_t size, PlainPng &out) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, ignoreWarning);
  png_infop info = png_create_info_struct(png);
  std::vector<uint8_t> pixels;
  std::vector<png_bytep> rows;
  PngSource source{data, size};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &source, readSource);
  png_read_info(png, info);
  int intent = 0;
  out.palette = png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE;
  if (png_get_sRGB(png, info, &intent) || !png_get_gAMA(png, info, &out.gamma)) out.gamma = 0;
  png_set_expand(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out.width = static_cast<int>(png_get_image_width(png, info));
  out.height = static_cast<int>(png_get_image_height(png, info));
  out.bitDepth = png_get_bit_depth(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  pixels.resize(rowBytes * size_t(out.height));
  rows.resize(size_t(out.height));
  for (int y = 0; y < out.height; ++y) rows[size_t(y)] = pixels.data() + size_t(y) * rowBytes;
  png_read_image(png, rows.data());  // like the reader, nothing after the image data is read
  png_destroy_read_struct(&png, &info, nullptr);
  out.rgba.resize(size_t(out.width) * size_t(out.height) * 4);
  for (size_t i = 0; i < out.rgba.size(); ++i)
    out.rgba[i] = out.bitDepth == 16 ? static_cast<uint16_t>(pixels[2 * i] << 8 | pixels[2 * i + 1]) : pixels[i];
  return true;
}

}  // namespace kvtest
