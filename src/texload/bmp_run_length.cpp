#include "texload/bmp_run_length.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

// A delta moves the position by at most 255 + 255 rows, and data under 4 GiB holds fewer
// than 2^30 deltas, so a position this far out can never come back into the buffer. Holding
// it there keeps the arithmetic exact without letting it overflow.
constexpr int64_t kFarOutside = int64_t(1) << 48;

bool runFits(int64_t position, uint32_t count, int64_t size) {
  return position >= 0 && position + count <= size;
}

uint8_t nibble(uint8_t byte, uint32_t index) {
  return (index & 1) ? byte & 0x0F : byte >> 4;
}

void writeRun(RunLengthCode code, uint8_t *out, uint32_t count, uint8_t value) {
  if (code == RunLengthCode::Bytes) {
    std::memset(out, value, count);
    return;
  }
  for (uint32_t i = 0; i < count; ++i) out[i] = nibble(value, i);
}

void copyLiterals(RunLengthCode code, uint8_t *out, uint32_t count, const uint8_t *literals) {
  if (code == RunLengthCode::Bytes) {
    std::memcpy(out, literals, count);
    return;
  }
  for (uint32_t i = 0; i < count; ++i) out[i] = nibble(literals[i / 2], i);
}

}  // namespace

HRESULT decodeRunLength(RunLengthCode code, const uint8_t *source, size_t sourceSize,
                        const RunLengthTarget &target) {
  int64_t rowStart = target.firstRow;
  int64_t position = target.firstRow;
  if (position < 0) return S_OK;
  size_t at = 0;
  for (;;) {
    if (rowStart >= target.size) return S_OK;
    if (sourceSize - at < 2) return E_FAIL;
    const uint32_t count = source[at];
    const uint32_t value = source[at + 1];
    at += 2;
    if (count > 0) {
      if (!runFits(position, count, target.size)) return E_FAIL;
      writeRun(code, target.buffer + position, count, static_cast<uint8_t>(value));
      position += count;
    } else if (value == 0) {  // end of line
      rowStart += target.rowStep;
      position = rowStart;
    } else if (value == 1) {  // end of bitmap: the rows not reached stay as they are
      rowStart = target.size;
    } else if (value == 2) {  // delta; the row start stays where the line began
      if (sourceSize - at < 2) return E_FAIL;
      position += source[at] + int64_t(source[at + 1]) * target.rowStep;
      position = std::clamp(position, -kFarOutside, kFarOutside);
      at += 2;
    } else {  // absolute run of literal pixels, padded to an even byte count
      if (!runFits(position, value, target.size)) return E_FAIL;
      const size_t bytes = code == RunLengthCode::Bytes ? value : (value + 1) / 2;
      if (sourceSize - at < bytes) return E_FAIL;
      copyLiterals(code, target.buffer + position, value, source + at);
      at += std::min(bytes + (bytes & 1), sourceSize - at);
      position += value;
    }
    if (rowStart < 0) return S_OK;  // the last row of a bottom-up image is done
  }
}

}  // namespace kv
