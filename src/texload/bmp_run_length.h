// The two run-length encodings of bitmap pixel data: one byte a pixel (8-bit) or one
// nibble a pixel (4-bit). Both decode to one byte a pixel.
#pragma once

#include "gfx/platform.h"

#include <cstddef>
#include <cstdint>

namespace kv {

enum class RunLengthCode { Bytes, Nibbles };

// Where the decoded rows go: the whole output buffer, the offset of the first row to be
// written (negative when the image has no rows) and the step from one row to the next
// (+pitch for top-row-first images, -pitch for bottom-up ones).
struct RunLengthTarget {
  uint8_t *buffer;
  int64_t size;
  int64_t firstRow;
  int64_t rowStep;
};

// Decodes source[0 .. sourceSize-1]. Every read and write is checked: a stream that runs
// out before its last row or an end-of-bitmap code, or a run that would leave the buffer,
// gives E_FAIL. Pixels the stream never reaches are left as they are.
HRESULT decodeRunLength(RunLengthCode code, const uint8_t *source, size_t sourceSize,
                        const RunLengthTarget &target);

}  // namespace kv
