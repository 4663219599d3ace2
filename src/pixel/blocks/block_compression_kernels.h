// Encoding with a chosen set of kernels, so that the plain and the SSE2 loops can be
// held equal against each other.
#pragma once

#include <cstdint>

#include "pixel/blocks/block_kernels.h"

namespace kv {

void encodeDxtBlockWith(const BlockKernels &kernels, uint32_t format, const float pixels[16][4], bool dither,
                        uint8_t *block);

}  // namespace kv
