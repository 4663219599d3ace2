// Readers not written yet: each rejects every file, so the dispatcher's order stays whole
// and hands the data on. A reader leaves this file when its own file lands.
#include "texload/image_readers.h"

namespace kv {

HRESULT readBmp(DecodedImage &, const uint8_t *, uint32_t) { return E_FAIL; }
HRESULT readPpm(DecodedImage &, const uint8_t *, uint32_t) { return E_FAIL; }
HRESULT readDds(DecodedImage &, const uint8_t *, uint32_t) { return E_FAIL; }
HRESULT readPfm(DecodedImage &, const uint8_t *, uint32_t) { return E_FAIL; }
HRESULT readHdr(DecodedImage &, const uint8_t *, uint32_t) { return E_FAIL; }
HRESULT readTga(DecodedImage &, const uint8_t *, uint32_t) { return E_FAIL; }
HRESULT readDib(DecodedImage &, const uint8_t *, uint32_t) { return E_FAIL; }

}  // namespace kv
