// The nine image-file readers. Each reads only data[0 .. size-1], returns E_FAIL as early
// as possible for data it does not accept, may return E_OUTOFMEMORY, and leaves whatever
// it allocated reachable from the record so that the dispatcher can free it on failure.
// When image.decodePixels is 0 a reader reads only the header: format and sizes.
#pragma once

#include "texload/decoded_image.h"

namespace kv {

HRESULT readBmp(DecodedImage &image, const uint8_t *data, uint32_t size);
HRESULT readPpm(DecodedImage &image, const uint8_t *data, uint32_t size);
HRESULT readDds(DecodedImage &image, const uint8_t *data, uint32_t size);
HRESULT readJpeg(DecodedImage &image, const uint8_t *data, uint32_t size);
HRESULT readPng(DecodedImage &image, const uint8_t *data, uint32_t size);
HRESULT readPfm(DecodedImage &image, const uint8_t *data, uint32_t size);
HRESULT readHdr(DecodedImage &image, const uint8_t *data, uint32_t size);
HRESULT readTga(DecodedImage &image, const uint8_t *data, uint32_t size);
HRESULT readDib(DecodedImage &image, const uint8_t *data, uint32_t size);

}  // namespace kv
