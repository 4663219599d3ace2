// The back-buffer size the host asked for with setWindowSize: read when the device is made
// and each time it is reset, never at any other moment.
#pragma once

#include <cstdint>

namespace kv {

struct BackBufferSize {
  uint32_t width = 544;
  uint32_t height = 416;
};

BackBufferSize &requestedBackBufferSize();

}  // namespace kv
