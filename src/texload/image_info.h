// What an image file holds, as decodeImage reports it to the texture loader's caller.
#pragma once

#include "gfx/platform.h"
#include "texload/decoded_image.h"

#include <cstdint>

namespace kv {

// Seven 32-bit fields, in this order.
struct ImageInfo {
  uint32_t width = 0;                  // of the top level, in pixels
  uint32_t height = 0;
  uint32_t depth = 0;                  // 1 for 2D images
  uint32_t mipLevels = 0;              // levels the file itself holds
  D3DFORMAT format = D3DFMT_UNKNOWN;   // never one of the private 16-bit codes
  D3DRESOURCETYPE resourceType = D3DRTYPE_TEXTURE;
  ImageFileFormat fileFormat = ImageFileFormat::Bmp;
};

static_assert(sizeof(ImageInfo) == 28, "ImageInfo is seven 32-bit fields");

}  // namespace kv
