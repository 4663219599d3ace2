#include "texload/jpeg_source.h"

namespace kv {

namespace {

// The source manager record, then the data it hands out.
struct MemorySource {
  jpeg_source_mgr library;
  const JOCTET *data;
  size_t size;
};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

// The first call hands over the whole data; every later one means the data ran out
// before the library found what it needs, up to the end-of-image marker: the file is cut
// short, and that ends the decode as the library's own premature-end error. Handing the
// data over again from its start would let a file whose marker segments swallow its own
// start-of-image marker be read round and round without end; handing over a made-up
// end-of-image marker would pass a cut file off as whole, its missing rows grey.
boolean fillInputBuffer(j_decompress_ptr decompressor) {
  auto *source = reinterpret_cast<MemorySource *>(decompressor->src);
  if (!source->data) ERREXIT(decompressor, JERR_INPUT_EOF);
  source->library.next_input_byte = source->data;
  source->library.bytes_in_buffer = source->size;
  source->data = nullptr;
  return TRUE;
}

// Never moves past the bytes that are there: a longer skip takes what is left and asks
// for more, which a cut file does not have.
void skipInputData(j_decompress_ptr decompressor, long count) {
  jpeg_source_mgr *source = decompressor->src;
  if (count <= 0) return;
  auto remaining = static_cast<size_t>(count);
  while (remaining > source->bytes_in_buffer) {
    remaining -= source->bytes_in_buffer;
    source->bytes_in_buffer = 0;
    source->fill_input_buffer(decompressor);
  }
  source->next_input_byte += remaining;
  source->bytes_in_buffer -= remaining;
}

[[noreturn]] void errorExit(j_common_ptr common) {
  common->err->output_message(common);
  auto *errors = reinterpret_cast<JpegErrorManager *>(common->err);
  std::longjmp(errors->recovery, 1);
}

// Warnings and errors are never shown to anyone.
void outputMessage(j_common_ptr common) {
  auto *errors = reinterpret_cast<JpegErrorManager *>(common->err);
  if (!errors->headerRead) return;
  char text[JMSG_LENGTH_MAX];
  common->err->format_message(common, text);
}

}  // namespace

void installJpegErrorManager(jpeg_decompress_struct &decompressor, JpegErrorManager &errors) {
  decompressor.err = jpeg_std_error(&errors.library);
  errors.library.error_exit = errorExit;
  errors.library.output_message = outputMessage;
  errors.headerRead = false;
}

void installJpegMemorySource(jpeg_decompress_struct &decompressor, const uint8_t *data, uint32_t size) {
  auto *source = static_cast<MemorySource *>(decompressor.mem->alloc_small(
      reinterpret_cast<j_common_ptr>(&decompressor), JPOOL_PERMANENT, sizeof(MemorySource)));
  source->library.next_input_byte = nullptr;
  source->library.bytes_in_buffer = 0;
  source->library.init_source = initSource;
  source->library.fill_input_buffer = fillInputBuffer;
  source->library.skip_input_data = skipInputData;
  source->library.resync_to_restart = jpeg_resync_to_restart;
  source->library.term_source = termSource;
  source->data = data;
  source->size = size;
  decompressor.src = &source->library;
}

}  // namespace kv
