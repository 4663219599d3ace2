// Recognising an image file in memory by trying the nine readers in a fixed order.
#pragma once

#include "texload/decoded_image.h"
#include "texload/image_info.h"

namespace kv {

// Decodes the file data[0 .. size-1] into image, which must be cleared. With decodePixels
// 0 the readers only read headers. info, when given, receives what the file holds.
// Returns S_OK, D3DERR_INVALIDCALL for null data or size 0, or ERR_INVALIDDATA when no
// reader accepts the data; on failure image owns nothing. The numeric locale is "C" while
// the readers run and is put back before the call returns.
HRESULT decodeImage(DecodedImage &image, const void *data, uint32_t size, ImageInfo *info,
                    BOOL decodePixels);

}  // namespace kv
