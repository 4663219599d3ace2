// The JPEG library's input and error handling for a file held in memory: a source that
// hands the library the data, and an error manager whose fatal errors jump back to the
// reader's recovery point.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>
#include <jerror.h>

namespace kv {

// The library's standard error manager followed by the point its fatal errors return to.
struct JpegErrorManager {
  jpeg_error_mgr library;
  std::jmp_buf recovery;
  bool headerRead;  // messages are formatted only once the header has been read
};

// Fills the standard error manager and replaces its error exit (jump to recovery) and its
// output message (formatted and dropped, once the header has been read).
void installJpegErrorManager(jpeg_decompress_struct &decompressor, JpegErrorManager &errors);

// Allocates the memory source from the library's permanent pool and installs it. The
// library may raise a fatal error here (no memory), so the recovery point must be set.
void installJpegMemorySource(jpeg_decompress_struct &decompressor, const uint8_t *data, uint32_t size);

}  // namespace kv
