// Raw byte access to the box of a PixelBox, for the implementations that copy or average
// packed pixels without unpacking them.
#pragma once

#include <cstdint>

#include "pixel/formats/pixel_codec.h"
#include "pixel/locks/surface_lock.h"

namespace kv {

// Bytes of one pixel of a format with a pixel word; 0 for block and pair formats and for
// formats without a row in the format table.
uint32_t rawBytesPerPixel(uint32_t format);

struct RawRegion {
  uint8_t *origin;  // the box's first pixel
  uint32_t rowPitch, slicePitch;
  uint8_t *row(uint32_t y, uint32_t z) const { return origin + size_t(z) * slicePitch + size_t(y) * rowPitch; }
};

inline RawRegion rawRegion(const PixelBox &box, uint32_t bytesPerPixel) {
  uint8_t *origin = box.data + size_t(box.box[kBoxFront]) * box.slicePitch + size_t(box.box[kBoxTop]) * box.rowPitch +
                    size_t(box.box[kBoxLeft]) * bytesPerPixel;
  return {origin, box.rowPitch, box.slicePitch};
}

}  // namespace kv

namespace kv {

// One row of the integer 2x2 average of a 32-bit format with four 8-bit fields: the plain
// routine, or the vector one when `vector` is set and the processor has it. Both give the
// same bytes; the conversion engine picks one with the MMX test.
void boxAverageRow32(bool vector, const uint8_t *row0, const uint8_t *row1, uint8_t *out, uint32_t width);

}  // namespace kv
