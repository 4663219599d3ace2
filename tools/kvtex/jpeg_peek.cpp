// JPEG files through libjpeg directly: the frame header alone for info, and libjpeg's own
// message for data the library's reader refuses.
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include "kvtex.h"

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace kvtex {
namespace {

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  std::string message;  // the first fatal error or warning
};

void jpegFatal(j_common_ptr info) {
  auto *errors = reinterpret_cast<JpegErrors *>(info->err);
  char text[JMSG_LENGTH_MAX];
  info->err->format_message(info, text);
  errors->message = text;
  std::longjmp(errors->jump, 1);
}

void jpegWarning(j_common_ptr info, int level) {
  auto *errors = reinterpret_cast<JpegErrors *>(info->err);
  if (level >= 0 || !errors->message.empty()) return;
  char text[JMSG_LENGTH_MAX];
  info->err->format_message(info, text);
  errors->message = text;
}

}  // namespace

std::string jpegMessage(const std::vector<uint8_t> &data) {
  jpeg_decompress_struct info{};
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = jpegFatal;
  errors.manager.emit_message = jpegWarning;
  // Nothing with a destructor is made between setjmp and a jump back to it.
  if (setjmp(errors.jump) == 0) {
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    JSAMPARRAY rows = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                info.output_width * info.output_components, 1);
    while (info.output_scanline < info.output_height && errors.message.empty()) jpeg_read_scanlines(&info, rows, 1);
  }
  jpeg_destroy_decompress(&info);
  return errors.message;
}

bool jpegHeader(const std::vector<uint8_t> &data, uint32_t &width, uint32_t &height, uint32_t &components) {
  jpeg_decompress_struct info{};
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = jpegFatal;
  errors.manager.emit_message = jpegWarning;
  bool ok = false;
  if (setjmp(errors.jump) == 0) {
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    // The markers up to the first scan, and the output size they give: nothing is decoded.
    jpeg_read_header(&info, TRUE);
    jpeg_calc_output_dimensions(&info);
    width = info.output_width;
    height = info.output_height;
    components = static_cast<uint32_t>(info.output_components);
    ok = info.data_precision == 8;
  }
  jpeg_destroy_decompress(&info);
  return ok;
}

}  // namespace kvtex
