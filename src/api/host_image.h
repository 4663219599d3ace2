// Reaching a host image's pixels through the host's object layout.
#pragma once

#include <cstdint>

namespace kv {

// Follows handle -> object (at handle * 2) -> word 16 -> bitmap record -> word 8 ->
// bitmap-information record -> word 16 -> pixels. Null when the handle is 0, a word on the
// way is 0 or leads to memory the process cannot read, or an address does not fit the
// platform's pointers.
uint32_t *hostImagePixels(uint32_t handle);

// Whether width x height pixels from pixels on lie in readable memory, as far as the
// platform can tell cheaply (the first and the last pixel are checked). False for a
// non-positive size.
bool hostPixelsReachable(const uint32_t *pixels, int width, int height);

}  // namespace kv
