// The two 16-bit pixel formats without a Direct3D 9 counterpart. The PNG reader makes
// them and the pixel codecs read them.
#pragma once

#include <cstdint>

namespace kv {

// FMT_R16G16B16: three little-endian samples stored blue, green, red (48 bits a pixel).
// FMT_A16L16: two little-endian samples stored luminance, alpha (32 bits a pixel).
constexpr uint32_t FMT_R16G16B16 = 0x36315220;  // " R16"
constexpr uint32_t FMT_A16L16 = 0x36314C41;     // "AL16"

}  // namespace kv
